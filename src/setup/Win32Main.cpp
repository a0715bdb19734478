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
#include "VnSetupOptions.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnWin32Text.h"
#include "Win32Progress.h"
#include "Win32Uninstaller.h"
#include "Win32View.h"
#include "fMain.h"

namespace {

// A word in the ANSI code page of the paths that the program uses. A file switch's path that the
// code page cannot hold takes its short form (AnsiPath); any other such character becomes '?',
// which the checks of the answers refuse.
std::string WordText(const std::wstring& word) {
    std::string text;
    if (NarrowExactly(word, CP_ACP, text))
        return text;
    const size_t equals = word.find(L'=');
    if (word.size() < 2 || word[0] != L'/' || equals == std::wstring::npos ||
        !IsFileSwitch(Narrow(word.substr(1, equals - 1), CP_ACP)))
        return text;
    return Narrow(word.substr(0, equals + 1), CP_ACP) + AnsiPath(word.substr(equals + 1));
}

// The words after the program's name, by the system's rules for quotes.
std::vector<std::string> CommandLineWords() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 1; arguments && i < count; ++i)
        words.push_back(WordText(arguments[i]));
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
    // A Russian uninstaller's texts are Windows-1251 on every system; English ones are ASCII,
    // beside paths and system messages in the system's code page.
    frontEnd.UseLanguage = [&services](const std::string& language) {
        services.SetMessageCodePage(language == "ru" ? LanguageCodePage : SystemCodePage);
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
