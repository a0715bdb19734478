#include "Win32Uninstaller.h"

#include <windows.h>
#undef CreateDirectory // VnPlatform's, not the macro of windows.h

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnInstallRecord.h"
#include "VnPlatform.h"
#include "VnRemoval.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"

namespace {

// The copy's own switches, ahead of the user's: the folder, the pipe's write end and the first
// process's id.
const char* const FolderSwitch = "/UNINSTALLFROM=";
const char* const HandoffSwitch = "/HANDOFF=";
const char* const ParentSwitch = "/PARENT=";
// The copy's folder: the system, the administrators and its creator only.
const char* const PrivateFolderRules = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)";
// How long the copy waits for the first process to end before it deletes the uninstaller.
constexpr DWORD ParentExitLimit = 60000; // milliseconds

// One word of a command line, quoted by the rules that CommandLineToArgvW undoes.
std::string QuoteArgument(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos)
        return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    return quoted.append(2 * backslashes, '\\') + "\"";
}

std::string ValueOf(const std::vector<std::string>& words, size_t index, const char* name) {
    return index < words.size() && StartsWith(words[index], name)
               ? words[index].substr(std::strlen(name))
               : std::string();
}

// A new folder in the temporary folder that only the system, the administrators and its creator
// may use: nobody can have put a library beside the copy that the loader would take.
std::string MakePrivateFolder() {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            VnPlatform::TempFolder() +
            Format("VNT_Uninstall-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), attempt);
        if (VnPlatform::CreateDirectory(name, PrivateFolderRules))
            return name + "\\";
        if (VnPlatform::LastError() != VnPlatform::ERROR_ALREADY_EXISTS_CODE)
            break;
    }
    return std::string();
}

} // namespace

bool IsUninstallerCopy(const std::vector<std::string>& words) {
    return !words.empty() && StartsWith(words[0], FolderSwitch);
}

int StartUninstallerCopy(const std::string& program, const std::vector<std::string>& words) {
    const std::string folder = MakePrivateFolder();
    const std::string copy = folder + UninstallerName;
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (folder.empty() || !CopyFileA(program.c_str(), copy.c_str(), TRUE) ||
        !CreatePipe(&readEnd, &writeEnd, &inherited, 0))
        return VnExitCode::Fatal;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine =
        QuoteArgument(copy) + " " + QuoteArgument(FolderSwitch + ExtractFilePath(program)) + " " +
        HandoffSwitch + std::to_string(reinterpret_cast<uintptr_t>(writeEnd)) + " " + ParentSwitch +
        std::to_string(GetCurrentProcessId());
    for (const std::string& word : words)
        commandLine += " " + QuoteArgument(word);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const bool started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(folder.c_str());
        return VnExitCode::Fatal;
    }
    CloseHandle(process.hThread);
    // The code arrives before the copy deletes this program's file; a copy that ended without
    // one leaves its own exit code.
    DWORD code = VnExitCode::Fatal, got = 0;
    if (!ReadFile(readEnd, &code, sizeof(code), &got, nullptr) || got != sizeof(code)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        if (!GetExitCodeProcess(process.hProcess, &code))
            code = VnExitCode::Fatal;
    }
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int RunUninstallerCopy(const std::string& program, const std::vector<std::string>& words,
                       const TVnSetupFrontEnd& frontEnd) {
    const std::string folder = IncludeTrailingPathDelimiter(ValueOf(words, 0, FolderSwitch));
    const HANDLE handoff = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(
        std::strtoull(ValueOf(words, 1, HandoffSwitch).c_str(), nullptr, 10)));
    const DWORD parentId = std::strtoul(ValueOf(words, 2, ParentSwitch).c_str(), nullptr, 10);
    const HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    TVnInstallRecord record;
    try {
        ReadInstallRecord(folder, record);
    } catch (const std::exception&) {
    }
    const std::vector<std::string> userWords(words.begin() + std::min<size_t>(3, words.size()),
                                             words.end());
    const int code = RunUninstallProgram(folder, userWords, frontEnd);
    DWORD written = 0;
    WriteFile(handoff, &code, sizeof(code), &written, nullptr);
    CloseHandle(handoff);
    if (code == VnExitCode::Success) {
        if (parent)
            WaitForSingleObject(parent, ParentExitLimit);
        InstallLog().Run(folder, [&] {
            RemoveUninstaller(folder, UninstallTexts(record.Language));
            return 0;
        });
    }
    if (parent)
        CloseHandle(parent);
    // The copy and its folder go at the next restart, where the system lets them.
    MoveFileExA(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(ExtractFileDir(program).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return code;
}
