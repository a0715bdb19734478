#include "VnRunEvents.h"

#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnPlatform.h"
#include "VnRemoval.h"
#include "VnSysUtils.h"
#include "fMain.h"

const char* const EventSourceName = "Vantro Mail Server Setup";

TVnRunEvent RunEvent(TVnRunKind kind, int exitCode, const std::string& folder,
                     const std::vector<std::string>& logFiles) {
    const bool installation = kind == TVnRunKind::Installation;
    TVnRunEvent event;
    event.Failure = exitCode != VnExitCode::Success && exitCode != VnExitCode::RestartNeeded;
    event.Id = (installation ? 11707 : 11724) + (event.Failure ? 1 : 0);
    const char* const outcome =
        installation ? (event.Failure ? "Installation failed" : "Installation completed")
                     : (event.Failure ? "Removal failed" : "Removal completed");
    event.Text =
        Format("Product: %s -- %s with exit code %d.", ProductVersionName, outcome, exitCode);
    if (!folder.empty())
        event.Text += Format(" Folder: \"%s\".", folder.c_str());
    std::string logs;
    for (const std::string& log : logFiles)
        if (!log.empty())
            logs += (logs.empty() ? "" : ", ") + ("\"" + log + "\"");
    if (!logs.empty())
        event.Text += " Log: " + logs + ".";
    return event;
}

TVnEventSink& RunEventSink() {
    static TVnEventSink sink = [](const TVnRunEvent& event, const std::string& messageFile) {
        VnPlatform::ReportEvent(EventSourceName, messageFile, event.Id, event.Failure, event.Text);
    };
    return sink;
}

int ReportRunEnd(TVnRunKind kind, int exitCode, const std::string& folder) {
    const std::string log = InstallLog().EndedFileName();
    const std::string shownFolder = !log.empty() ? ExtractFilePath(log) : folder;
    const std::string uninstaller = shownFolder.empty() ? "" : shownFolder + UninstallerName;
    const std::string messageFile =
        !uninstaller.empty() && VnPlatform::FileExists(uninstaller) ? uninstaller : "";
    try {
        RunEventSink()(RunEvent(kind, exitCode, shownFolder, {log, InstallLog().CopyFileName()}),
                       messageFile);
    } catch (const std::exception&) {
    }
    return exitCode;
}
