// Closing what holds an installation's files: the Windows services whose program is one of the
// installation's own files, stopped through the Service Control Manager and started again
// afterwards (or, by the uninstaller, deleted), and the other programs, which the Restart Manager
// is asked to close. A service of another program, even one in a folder below the installation's,
// is never touched. Every step goes to the install log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The log lines of the steps; each "%s" is filled in turn: the service, then the reason.
struct TVnServiceTexts {
    std::string Stopped, NotStopped, Started, NotStarted, Deleted, NotDeleted;
};
// The texts of the install log (of the language file).
TVnServiceTexts InstallServiceTexts();

class TVnStoppedServices {
public:
    // How long one service may take to stop, or to be gone once deleted.
    static constexpr uint32_t TimeLimit = 60000; // milliseconds

    explicit TVnStoppedServices(TVnServiceTexts texts) : FTexts(std::move(texts)) {}
    // Starts again every service that Stop stopped and DeleteAll did not delete.
    ~TVnStoppedServices();
    TVnStoppedServices(const TVnStoppedServices&) = delete;
    TVnStoppedServices& operator=(const TVnStoppedServices&) = delete;

    // Stops every running service whose program is one of programs (full paths), each waited
    // for up to TimeLimit. A service that does not stop, or services that cannot be listed, raise
    // EVnSetupExit with VnExitCode::Fatal.
    void Stop(const std::vector<std::string>& programs);
    // Deletes every service whose program is one of programs (after Stop) and waits up to
    // TimeLimit until the system has removed them. One that cannot be deleted raises as Stop does.
    void DeleteAll(const std::vector<std::string>& programs);

private:
    std::vector<std::string> FStopped;
    TVnServiceTexts FTexts;
};

// Asks the Restart Manager to close the programs that hold files (full paths) open.
void CloseFileHolders(const std::vector<std::string>& files);
