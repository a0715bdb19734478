// VNT_Setup.exe with its command line: the switches read, one setup of the product at a time, the
// wizard shown or driven silently, what it chose saved for the next run, and the exit code; and
// the same program as the uninstaller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "VnVisUtils.h"

class TfrmMain;

// The name of the global mutex that every setup and uninstall of the product holds while it runs.
extern const char* const SetupMutexName;

// What the platform's entry provides.
struct TVnSetupFrontEnd {
    // The services of the window. A silent run shows its messages through them unless
    // /SUPPRESSMSGBOXES is given; it asks them the system's questions too.
    TVnUIServices* WindowServices = nullptr;
    // Runs the initialised wizard in its window until the window closes.
    std::function<void(TfrmMain&)> MessageLoop;
    // /SILENT: what is being done and the extraction's progress, for a small progress window.
    std::function<void(const std::string& activity, int position, int max)> ShowProgress;
    // The uninstaller's language code, once it is known, before its first message.
    std::function<void(const std::string& language)> UseLanguage;
};

// The whole program over programFile (the executable, or a package) with the words of its
// command line. Answers the exit code (VnExitCode).
int RunSetupProgram(const std::string& programFile, const std::vector<std::string>& words,
                    const TVnSetupFrontEnd& frontEnd);

// The uninstaller over the installation in folder (ending with a separator), with the words of its
// command line: the confirmation (unless silent), the services of the folder stopped and
// deleted, the recorded files and folders removed, the data kept, the Uninstall key removed last.
// Answers the exit code (VnExitCode); a file in use or a missing or damaged record ends it with
// Fatal before anything is removed. The uninstaller's own file, and the folder once it is empty,
// are the caller's to remove (RemoveUninstaller): a running program cannot delete its own file.
int RunUninstallProgram(const std::string& folder, const std::vector<std::string>& words,
                        const TVnSetupFrontEnd& frontEnd);
