// The entry of VNT_Setup.exe: the command line, the wizard's window or the progress window of a
// silent run, and the exit code. The payload and the signature are read from the program's own
// file. The same program, without its payload, is the uninstaller VNT_Uninstall.exe.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "VnPlatform.h"
#include "VnRemoval.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnWin32Text.h"
#include "Win32Progress.h"
#include "Win32Uninstaller.h"
#include "Win32View.h"
#include "fMain.h"

namespace {

// The words after the program's name, by the system's rules for quotes, in the ANSI code page of
// the paths that the program uses.
std::vector<std::string> CommandLineWords() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 1; arguments && i < count; ++i)
        words.push_back(Narrow(arguments[i], CP_ACP));
    LocalFree(arguments);
    return words;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    VnPlatform::RestrictLibrarySearch();
    TVnWin32Services services;
    std::unique_ptr<TVnWin32Progress> progress;
    TVnSetupFrontEnd frontEnd;
    frontEnd.WindowServices = &services;
    frontEnd.MessageLoop = [&services](TfrmMain& form) {
        TVnWin32View view(form, services);
        view.Run();
    };
    frontEnd.ShowProgress = [&](const std::string& step, int position, int max) {
        if (!progress)
            progress = std::make_unique<TVnWin32Progress>(services);
        progress->Show(step, position, max);
    };
    // There is no regional-settings broadcast to ignore: nothing here reads locale formats.
    const std::string program = VnPlatform::ModuleFileName();
    const std::vector<std::string> words = CommandLineWords();
    if (IsUninstallerCopy(words))
        return RunUninstallerCopy(program, words, frontEnd);
    if (SameTextAscii(ExtractFileName(program), UninstallerName))
        return StartUninstallerCopy(program, words);
    return RunSetupProgram(program, words, frontEnd);
}
