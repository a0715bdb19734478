// The install log: one line per action, with the local date and time, appended to VNT_Setup.log
// in the installation folder. Lines wait in memory until the folder is known and exists, so that
// a run that fails before there is a folder logs nothing, and a folder that a failed run removes
// again is not kept alive by its log. Writing the log never raises: a log that cannot be written
// never fails an installation. No password is ever handed to it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "VnSysUtils.h"

// The texts of the lines, in the order of section VnInstallLog of the language file.
enum TVnLogText {
    ltPackageValid,         // package: signature correct, no Authenticode table
    ltPackageAuthenticode,  // package: signature correct, an Authenticode table of its size
    ltFullSetup,            // folder of a full installation
    ltConsoleSetup,         // folder of a console-only installation
    ltUpgrade,              // folder of a configuration upgrade
    ltLegacyImport,         // folder of a first-generation import
    ltExtracted,            // extracted folder, its files and bytes
    ltLegacyConfigExists,   // no import: a new configuration exists
    ltLegacyNoFile,         // no import: no first-generation file
    ltLegacyWrongSignature, // no import: not a first-generation file
    ltLegacyConverted,      // imported, with the counts
    ltLegacyMoved,          // a folder moved, or not
    ltLegacyRemoved,        // a folder removed, or not
    ltDone,                 // result word of a folder step
    ltNotDone,              // result word of a folder step
    ltDatabaseRead,         // a database read, its version
    ltDatabaseMissing,      // server.cfg missing: the default
    ltDatabaseEmpty,        // server.cfg empty: the default
    ltDatabaseUnusable,     // server.cfg without its tables: the default
    ltStateMissing,         // no state.cfg
    ltUpgradeSteps,         // the upgrade steps applied to a database
    ltNoUpgradeSteps,       // no step applied
    ltBackup,               // a file kept as its .bak copy
    ltWritten,              // a file written
    ltAdministrator,        // the administrator, with a new password
    ltAdministratorKept,    // the administrator, password unchanged
    ltConsoleUpdated,       // console configuration read and updated
    ltConsoleMissing,       // console configuration missing: the template
    ltConsoleOld,           // console configuration too old: the template
    ltConsoleDamaged,       // console configuration damaged: kept as .bak, the template
    ltStarted,              // program started
    ltNotStarted,           // program could not be started
    ltServiceStopped,       // a service of the folder stopped for the installation
    ltServiceNotStopped,    // a service that did not stop, with the reason (a message)
    ltServiceStarted,       // a stopped service started again
    ltServiceNotStarted,    // a stopped service that could not be started again, with the reason
    ltServiceDeleted,       // a service of the folder deleted
    ltServiceNotDeleted,    // a service that could not be deleted, with the reason (a message)
    ltHoldersClosed,        // the programs holding files asked to close, with the result word
    ltAnswersSaved,         // the answers written to an answer file
    ltRegistered,           // the entry in Apps: root key, key name
    ltFolderOpen,           // an existing folder that ordinary users may write: it, the command
    ltCopyNotWritten,       // the log's copy could not be written (yet): its file
    ltMessage,              // a message shown to the user
    ltCount
};

// The formats in the current language (English until the language file is loaded), for the
// string table of the language file.
std::vector<std::string*> InstallLogTexts();
const std::string& InstallLogText(TVnLogText text);

class TVnInstallLog {
public:
    // A new run: pending lines and the folder are dropped.
    void Begin();
    // The installation folder; the log is its VNT_Setup.log.
    void SetFolder(const std::string& folder);
    const std::string& FileName() const { return FLog.FileName; }
    // A copy of every line from now on, appended to fileName at every flush whether or not the
    // folder exists; empty: no copy.
    void SetCopy(const std::string& fileName) { FCopy.FileName = fileName; }

    // A line from a text of the table filled with its arguments by FormatText.
    template <class... TArgs> void Write(TVnLogText text, const TArgs&... args) {
        Add(FormatText(InstallLogText(text), args...));
    }
    // A line as it is; its line breaks become blanks.
    void Add(const std::string& line);
    // While muted, lines are dropped (TVnMutedLog).
    void SetMuted(bool muted) { FMuted = muted; }
    // Appends the pending lines when the folder exists; otherwise they wait.
    void Flush();
    // Flush, then the run ends: whatever could not be written is dropped.
    void End();
    // The logs of the run that ended last: the folder's (empty when it had no folder) and the copy.
    const std::string& EndedFileName() const { return FEndedFileName; }
    const std::string& CopyFileName() const { return FCopy.FileName; }
    // One run around work: Begin, the folder (none: nothing is written), work, End. The message
    // of a failure that leaves work is logged before it travels on.
    int Run(const std::string& folder, const std::function<int()>& work);

private:
    // A file and the lines that wait for it.
    struct TTarget {
        std::string FileName;
        std::vector<std::string> Pending;
        // Appends the pending lines; they wait for the next flush when that fails (false). A
        // partial write leaves them too: a line may then stand twice, none is lost.
        bool Flush();
    };
    TTarget FLog; // VNT_Setup.log in the folder
    TTarget FCopy;
    bool FMuted = false;
    bool FCopyFailureLogged = false; // once a run
    std::string FEndedFileName;
};

// The log of the process.
TVnInstallLog& InstallLog();

// The log of the process muted for the object's lifetime: for work that only looks ahead.
class TVnMutedLog {
public:
    TVnMutedLog() { InstallLog().SetMuted(true); }
    ~TVnMutedLog() { InstallLog().SetMuted(false); }
    TVnMutedLog(const TVnMutedLog&) = delete;
    TVnMutedLog& operator=(const TVnMutedLog&) = delete;
};
