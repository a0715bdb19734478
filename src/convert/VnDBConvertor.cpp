#include "VnDBConvertor.h"

#include <algorithm>

#include "VnCrypt.h"
#include "VnDB.h"
#include "VnInstallLog.h"
#include "VnSignature.h"
#include "VnStagedFiles.h"
#include "VnUnpack.h"
#include "VnUpgradeSteps.h"

// The password is the encoded empty password: a fresh console configuration keeps no password.
const char* const TVnDBConvertor::ConsoleTemplate =
    "<vnt-db><table name=\"Admin\"><row><col name=\"Language\"></col><col name=\"SaveState\">1"
    "</col><col name=\"Left\">0</col><col name=\"Top\">0</col><col name=\"Width\">0</col><col "
    "name=\"Height\">0</col><col name=\"Splitter\">0</col><col name=\"Maximized\">0</col><col "
    "name=\"Server\">127.0.0.1</col><col name=\"User\">admin</col><col name=\"Password\">"
    "C00:P99PMYEj86R/</col><col name=\"Port\">49201</col><col name=\"Log\">0</col></row></table>"
    "</vnt-db>";

namespace {

// Databases of older versions have steps applied, so they are kept before being replaced.
constexpr int OldestUntouchedVersion = DatabaseVersionNumber;
// Files below this version without these markers are not databases the upgrade can read.
constexpr int MarkedVersion = 3031;

constexpr size_t CopyPieceSize = 64 * 1024;

// Copies the file to its name followed by ".bak", in pieces: the old file is written while the
// new database is in memory. Answers the copy's name, empty when the file is gone.
std::string BackUpFile(const std::string& fileName) {
    if (!VnPlatform::FileExists(fileName))
        return std::string();
    const std::string backup = fileName + ".bak";
    TVnFileStream source(fileName, TVnFileStream::Mode::OpenRead);
    WriteFileAtomic(backup, [&source](TVnStream& target) {
        std::string piece(CopyPieceSize, '\0');
        for (int64_t left = source.Size(); left > 0;) {
            const size_t count = static_cast<size_t>(std::min<int64_t>(left, CopyPieceSize));
            source.ReadBuffer(&piece[0], count);
            target.WriteBuffer(piece.data(), count);
            left -= static_cast<int64_t>(count);
        }
    });
    return backup;
}

// Clears the database module's references when a tree of the caller's ends.
class TVnDatabaseScope {
public:
    explicit TVnDatabaseScope(TVnXMLElement& root) { CurrentDB = &root; }
    ~TVnDatabaseScope() {
        CurrentDB = nullptr;
        CurrentRow = nullptr;
    }
    TVnDatabaseScope(const TVnDatabaseScope&) = delete;
    TVnDatabaseScope& operator=(const TVnDatabaseScope&) = delete;
};

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string JoinedSteps(const std::vector<std::string>& steps) {
    std::string text;
    for (const std::string& step : steps)
        text += (text.empty() ? "" : ", ") + step;
    return text;
}

void LogSteps(const std::string& fileName, const std::vector<std::string>& steps) {
    if (steps.empty())
        InstallLog().Write(ltNoUpgradeSteps, fileName.c_str());
    else
        InstallLog().Write(ltUpgradeSteps, fileName.c_str(), JoinedSteps(steps).c_str());
}

// Why the default database replaces server.cfg, for the log.
void LogServerRead(const std::string& fileName, bool read, bool replaced, int version) {
    const std::string number = IntToStr(version);
    if (!read)
        InstallLog().Write(VnPlatform::FileExists(fileName) ? ltDatabaseEmpty : ltDatabaseMissing,
                           fileName.c_str());
    else if (replaced)
        InstallLog().Write(ltDatabaseUnusable, fileName.c_str(), number.c_str());
    else
        InstallLog().Write(ltDatabaseRead, fileName.c_str(), number.c_str());
}

} // namespace

TVnDBConvertor::TVnDBConvertor(std::string packageFile)
    : FPackageFile(std::move(packageFile)), FServerDB(std::make_unique<TVnXMLElement>()),
      FStateDB(std::make_unique<TVnXMLElement>()) {}

TVnDBConvertor::TVnDBConvertor(TVnBaseArchive& package)
    : FPackage(&package), FServerDB(std::make_unique<TVnXMLElement>()),
      FStateDB(std::make_unique<TVnXMLElement>()) {}

void TVnDBConvertor::ConvertDatabases(const std::string& configFolder,
                                      const std::string& language) {
    // Rebuilt from scratch on every run.
    CurrentDB = nullptr;
    CurrentRow = nullptr;
    FServerDB = std::make_unique<TVnXMLElement>();
    FStateDB = std::make_unique<TVnXMLElement>();
    FServerFileVersion = FStateFileVersion = 0;
    FStateBackup = false;

    FServerFileName = configFolder + "server.cfg";
    std::string text;
    const bool serverRead = ReadDatabaseFile(FServerFileName, FVersion, text);
    if (serverRead)
        FServerFileVersion = FVersion;
    FNewDatabase = !serverRead || (FVersion < MarkedVersion &&
                                   !Contains(text, "<table name=\"RASConnections\">") &&
                                   !Contains(text, "<table name=\"TimeRanges\">"));
    FServerBackup = VnPlatform::FileExists(FServerFileName) &&
                    (FNewDatabase || FServerFileVersion < OldestUntouchedVersion);
    LogServerRead(FServerFileName, serverRead, FNewDatabase, FVersion);
    if (FNewDatabase) {
        text = ExtractDefaultDatabase();
        FVersion = VersionNumber(DatabaseVersion);
    }
    FServerDB->Parse(text);
    std::string().swap(text); // the tree holds it now: release the text before the next read
    CurrentDB = FServerDB.get();
    LogSteps(FServerFileName, UpgradeServerDatabase(FVersion));
    SetTableField("Main", "Language", language);

    FStateFileName = configFolder + "state.cfg";
    int stateVersion = 0;
    if (!ReadDatabaseFile(FStateFileName, stateVersion, text)) {
        InstallLog().Write(ltStateMissing, FStateFileName.c_str());
        FStateFileName.clear();
        return;
    }
    InstallLog().Write(ltDatabaseRead, FStateFileName.c_str(), IntToStr(stateVersion).c_str());
    FVersion = FStateFileVersion = stateVersion;
    FStateBackup = FStateFileVersion < OldestUntouchedVersion;
    FStateDB->Parse(text);
    std::string().swap(text);
    // The state upgrade looks up remote mailboxes in the same database; afterwards the table is
    // the last of server.cfg.
    TVnXMLElement* const mailboxes = FindTable("RemoteMailboxes");
    mailboxes->SetParent(FStateDB.get());
    CurrentDB = FStateDB.get();
    try {
        LogSteps(FStateFileName, UpgradeStateDatabase(FVersion));
    } catch (...) {
        mailboxes->SetParent(FServerDB.get());
        throw;
    }
    mailboxes->SetParent(FServerDB.get());
}

std::string TVnDBConvertor::ExtractDefaultDatabase() const {
    if (FPackage)
        return FPackage->ReadEntryText("server.cfg");
    TVnArchive archive(FPackageFile, SignatureSize);
    return archive.ReadEntryText("server.cfg");
}

int TVnDBConvertor::GetAdminList(std::vector<TVnAdminEntry>& list) {
    CurrentDB = FServerDB.get();
    const int admin = static_cast<int>(StrToInt(GetTableField("Main", "Admin")));
    list.clear();
    for (TVnXMLElement* user : FindTable("Users")->Children()) {
        CurrentRow = user;
        LocateID("Domains", FindField(user, "Domain")->Text);
        TVnAdminEntry entry;
        entry.ID = static_cast<int>(StrToInt(FindField(user, "ID")->Text));
        entry.Text = FindField(user, "Name")->Text + "@" + GetField("Name");
        list.push_back(entry);
    }
    return admin;
}

void TVnDBConvertor::MoveAdminFirst() {
    CurrentDB = FServerDB.get();
    // Without an administrator's row the order of the users stays as it is.
    if (!LocateID("Users", GetTableField("Main", "Admin")))
        return;
    TVnXMLElement* const admin = CurrentRow;
    TVnXMLElement* const first = FindTable("Users")->Child(0);
    if (admin == first)
        return;
    const std::string adminText = admin->WriteText(-1);
    admin->Clear();
    admin->Parse(first->WriteText(-1));
    first->Clear();
    first->Parse(adminText);
}

std::vector<std::string> TVnDBConvertor::SetAdministrator(int userID, const std::string& password) {
    ApplyAdministrator(userID, password);
    return WriteDatabases();
}

void TVnDBConvertor::ApplyAdministrator(int userID, const std::string& password) {
    CurrentDB = FServerDB.get();
    if (userID != 0) {
        const std::string id = IntToStr(userID);
        if (!LocateID("Users", id))
            throw EVnException(Format("User %d not found", userID));
        if (!password.empty())
            SetField("Password", EncodePassword(password));
        SetTableField("Main", "Admin", id);
    }
    MoveAdminFirst();
}

std::vector<std::string> TVnDBConvertor::WriteDatabases() {
    const bool withState = !FStateFileName.empty();
    // Both files are put in place together, or neither is.
    // Config's parent, the installation folder, is the root below which no link is followed.
    const std::string root = ExtractFilePath(ExtractFileDir(FServerFileName));
    TVnStagedFiles staged(root, {FServerFileName, FStateFileName});
    const auto stage = [&staged](const std::string& fileName, TVnXMLElement& root) {
        // Written in pieces: the text of a large database is never in memory whole.
        const std::unique_ptr<TVnFileStream> stream = staged.Create(fileName);
        WriteDatabase(*stream, root);
        stream->Flush();
    };
    stage(FServerFileName, *FServerDB);
    if (withState)
        stage(FStateFileName, *FStateDB);
    std::vector<std::string> written;
    for (const auto& file : {std::make_pair(FServerBackup, FServerFileName),
                             std::make_pair(withState && FStateBackup, FStateFileName)}) {
        if (!file.first)
            continue;
        const std::string backup = BackUpFile(file.second);
        if (!backup.empty()) {
            InstallLog().Write(ltBackup, file.second.c_str(), backup.c_str());
            written.push_back(backup);
        }
    }
    staged.Commit();
    // What is on disk now is this version: a later write must not replace the copies.
    FServerBackup = false;
    FStateBackup = false;
    for (const std::string* fileName : {&FServerFileName, &FStateFileName}) {
        if (fileName->empty())
            continue;
        InstallLog().Write(ltWritten, fileName->c_str());
        written.push_back(*fileName);
    }
    return written;
}

std::string TVnDBConvertor::ServerText() {
    return DatabaseText(*FServerDB);
}

void TVnDBConvertor::WriteConsoleConfig(const std::string& consoleFolder, const std::string& user,
                                        const std::string& language, const std::string& password) {
    TVnConsoleConfig(consoleFolder, !user.empty()).Write(user, language, password);
}

// ---- The console configuration ------------------------------------------------------------

TVnConsoleConfig::TVnConsoleConfig(const std::string& consoleFolder, bool withUser)
    : FFileName(consoleFolder + "VNT_Admin.cfg"), FRoot(std::make_unique<TVnXMLElement>()) {
    int version = 0;
    std::string text;
    try {
        if (!ReadDatabaseFile(FFileName, version, text)) {
            FState = ltConsoleMissing;
        } else if (version < MarkedVersion && !Contains(text, "<col name=\"Top\">")) {
            FState = ltConsoleOld;
        } else {
            FRoot->Parse(text);
            const TVnDatabaseScope scope(*FRoot);
            // The columns that Write sets.
            const TVnXMLElement* row = FindTable("Admin")->Child(0);
            FindField(row, "Language");
            if (withUser) {
                FindField(row, "User");
                FindField(row, "Password");
            }
            return;
        }
    } catch (const EStreamError&) {
        throw; // not read at all: nothing is known about the file
    } catch (const Exception& e) {
        FState = ltConsoleDamaged;
        FDamage = e.Message();
    }
    FRoot = std::make_unique<TVnXMLElement>();
    FRoot->Parse(TVnDBConvertor::ConsoleTemplate);
}

void TVnConsoleConfig::Write(const std::string& user, const std::string& language,
                             const std::string& password) {
    const TVnDatabaseScope scope(*FRoot);
    CurrentRow = FindTable("Admin")->Child(0);
    SetField("Language", language);
    if (!user.empty()) {
        // The encoded empty password: the console keeps no password, and so it stays.
        const std::string noPassword = EncodePassword("");
        if (GetField("Password") != noPassword) {
            if (!password.empty())
                SetField("Password", EncodePassword(password));
            else if (!SameTextAscii(user, GetField("User")))
                SetField("Password", noPassword);
        }
        SetField("User", user);
    }
    if (FState == ltConsoleDamaged) {
        const std::string backup = BackUpFile(FFileName);
        InstallLog().Write(ltConsoleDamaged, FFileName.c_str(), FDamage.c_str(), backup.c_str());
    } else {
        InstallLog().Write(FState, FFileName.c_str());
    }
    WriteDatabaseFile(FFileName, *FRoot);
    InstallLog().Write(ltWritten, FFileName.c_str());
}
