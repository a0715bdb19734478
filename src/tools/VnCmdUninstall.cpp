// vntsetup uninstall: the uninstaller's removal without a window, its own file included.
#include <cstdio>

#include "VnCommands.h"
#include "VnExitCodes.h"
#include "VnInstallRecord.h"
#include "VnRemoval.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

int CmdUninstall(const std::vector<std::string>& words) {
    TVnArgs args(words, {}, {});
    args.ExpectPositional(1, "uninstall FOLDER");
    const std::string folder = IncludeTrailingPathDelimiter(ExpandFileName(args.Positional()[0]));
    TVnConsoleServices services(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", Shown(line).c_str()); });
    TVnSetupFrontEnd frontEnd;
    frontEnd.WindowServices = &services;
    const int code = RunUninstallProgram(folder, {"/VERYSILENT"}, frontEnd);
    if (code != VnExitCode::Success)
        return code == VnExitCode::BadSwitch ? code : 1;
    RemoveUninstaller(folder, UninstallTexts("en"));
    std::printf("removed the installation in %s; its configuration, mail and logs are kept\n",
                Shown(folder).c_str());
    return 0;
}
