// The server's configuration during a full installation: reads server.cfg and state.cfg (or
// takes the default database of the package), brings them to version 3.08 in memory, lets the
// administrator be chosen among the users, and writes both files together; and the
// administration console's configuration, VNT_Admin.cfg.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "VnInstallLog.h"
#include "VnXML.h"

// One user as offered for administrator: name@domain, and the user's ID.
struct TVnAdminEntry {
    std::string Text;
    int ID = 0;
};

class TVnBaseArchive;

class TVnDBConvertor {
public:
    // packageFile: the package whose entry "server.cfg" is the default database (the setup passes
    // its own executable).
    explicit TVnDBConvertor(std::string packageFile);
    // The default database read through an open package's archive, which must outlive the
    // convertor.
    explicit TVnDBConvertor(TVnBaseArchive& package);
    TVnDBConvertor(const TVnDBConvertor&) = delete;
    TVnDBConvertor& operator=(const TVnDBConvertor&) = delete;

    // Reads server.cfg of configFolder (ending in a separator), or the default database when there
    // is none usable, upgrades it and stores the language; then reads and upgrades state.cfg if
    // there is one. Nothing is written.
    void ConvertDatabases(const std::string& configFolder, const std::string& language);
    // The text of the package's entry "server.cfg".
    std::string ExtractDefaultDatabase() const;

    // One entry per row of Users, in order; answers Main's Admin.
    int GetAdminList(std::vector<TVnAdminEntry>& list);
    // Swaps the administrator's row with the first row of Users.
    void MoveAdminFirst();
    // Stores the administrator and the password (empty: unchanged), then writes the databases.
    // Answers the files written, backups included.
    std::vector<std::string> SetAdministrator(int userID, const std::string& password);
    // SetAdministrator in two parts: the changes in memory, and the writing.
    void ApplyAdministrator(int userID, const std::string& password);
    // Writes server.cfg and, if one was read, state.cfg: both go to temporary files first and
    // replace the old files only when both are complete. A file of an older version, or one that
    // was discarded for the default, is first copied to its name followed by ".bak".
    std::vector<std::string> WriteDatabases();
    // server.cfg exactly as WriteDatabases writes it.
    std::string ServerText();

    // Reads or creates VNT_Admin.cfg in consoleFolder (ending in a separator), sets the language
    // and, when a user is given, the user and the password; writes it (TVnConsoleConfig).
    static void WriteConsoleConfig(const std::string& consoleFolder, const std::string& user,
                                   const std::string& language, const std::string& password);
    // The console configuration that replaces a missing or too old one.
    static const char* const ConsoleTemplate;

    const std::string& ServerFileName() const { return FServerFileName; }
    const std::string& StateFileName() const { return FStateFileName; }
    TVnXMLElement& ServerDB() { return *FServerDB; }
    TVnXMLElement& StateDB() { return *FStateDB; }
    // Version number of the database upgraded last (state.cfg when there is one).
    int Version() const { return FVersion; }
    // Version numbers of the files as found; 0 for a file that was not read.
    int ServerFileVersion() const { return FServerFileVersion; }
    int StateFileVersion() const { return FStateFileVersion; }
    // True when the default database replaced a missing or unusable server.cfg.
    bool NewDatabase() const { return FNewDatabase; }

private:
    std::string FPackageFile;
    TVnBaseArchive* FPackage = nullptr;
    std::string FServerFileName;
    std::unique_ptr<TVnXMLElement> FServerDB;
    std::string FStateFileName;
    std::unique_ptr<TVnXMLElement> FStateDB;
    int FVersion = 0;
    bool FNewDatabase = false;
    int FServerFileVersion = 0;
    int FStateFileVersion = 0;
    // The file on disk is to be kept as ".bak" before it is replaced.
    bool FServerBackup = false;
    bool FStateBackup = false;
};

// The console's configuration, VNT_Admin.cfg, read and checked before anything of the
// installation is written, so that its writing cannot fail on what the file holds: a file that
// does not parse, or whose table Admin has no first row with the columns Write sets, is replaced
// by the built-in template as a missing, empty or too old one is, and is kept as
// VNT_Admin.cfg.bak when the new file is written.
class TVnConsoleConfig {
public:
    // withUser: Write will set User and Password as well as Language. A file that cannot be read
    // at all raises its file error.
    TVnConsoleConfig(const std::string& consoleFolder, bool withUser);
    // Sets the language and, when a user is given, the user and the password (a new password
    // replaces a stored one; a change of user without one clears it; a console that keeps no
    // password keeps none); writes the file.
    void Write(const std::string& user, const std::string& language, const std::string& password);

    const std::string& FileName() const { return FFileName; }
    // The template took the place of a damaged file.
    bool Damaged() const { return FState == ltConsoleDamaged; }
    // What was wrong with the damaged file.
    const std::string& Damage() const { return FDamage; }

private:
    std::string FFileName;
    std::unique_ptr<TVnXMLElement> FRoot;
    TVnLogText FState = ltConsoleUpdated; // what the log says of the file
    std::string FDamage;
};
