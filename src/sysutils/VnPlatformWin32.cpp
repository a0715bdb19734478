// The platform layer on Windows: the ANSI functions throughout, all text 8-bit.
#include "VnPlatform.h"
#include "VnWin32Text.h"

#include "VnCp1251.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <restartmanager.h>
#include <shlobj.h>
#include <vector>

// windows.h defines these names as macros for the A/W variants; the interface uses them plainly.
#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile
#undef SetCurrentDirectory
#undef CreateProcess
#undef MessageBox

namespace VnPlatform {

namespace {

HANDLE Native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

bool Check(BOOL ok) {
    return ok != FALSE;
}

HWND OwnerWindow() {
    HWND active = ::GetActiveWindow();
    return active;
}

} // namespace

uint32_t LastError() {
    return ::GetLastError();
}
void SetLastError(uint32_t code) {
    ::SetLastError(code);
}

std::string ErrorText(uint32_t code) {
    char buffer[256];
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    return std::string(buffer, length);
}

FileHandle OpenFileRead(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

FileHandle CreateNewPrivateFile(const std::string& path) {
    // CREATE_NEW fails on any existing name, a reparse point included; the file inherits the
    // folder's access rules, which for a publisher's own folder are the owner's.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

FileHandle CreateNewFile(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

FileHandle OpenFileExclusive(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

std::string FileHolders(const std::string& path) {
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (::RmStartSession(&session, 0, key) != ERROR_SUCCESS)
        return std::string();
    std::string names;
    const std::wstring widePath = Widen(path, CP_ACP);
    LPCWSTR files[] = {widePath.c_str()};
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    if (::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        ::RmGetList(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA) {
        std::vector<RM_PROCESS_INFO> processes(needed);
        count = needed;
        if (::RmGetList(session, &needed, &count, processes.data(), &reasons) == ERROR_SUCCESS) {
            for (UINT i = 0; i < count; ++i) {
                const std::string name = Narrow(processes[i].strAppName, CP_ACP);
                if (!name.empty())
                    names += (names.empty() ? "" : ", ") + name;
            }
        }
    }
    ::RmEndSession(session);
    return names;
}

FileHandle CreateFileRW(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

bool ReadFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done) {
    DWORD got = 0;
    const bool ok = Check(::ReadFile(Native(file), buffer, count, &got, nullptr));
    done = got;
    return ok;
}

bool WriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done) {
    DWORD wrote = 0;
    const bool ok = Check(::WriteFile(Native(file), buffer, count, &wrote, nullptr));
    done = wrote;
    return ok;
}

bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t& position) {
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    if (!::SetFilePointerEx(Native(file), distance, &result, method))
        return false;
    position = result.QuadPart;
    return true;
}

bool FlushFile(FileHandle file) {
    return Check(::FlushFileBuffers(Native(file)));
}

void CloseFile(FileHandle file) {
    if (file != InvalidFile)
        ::CloseHandle(Native(file));
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
    return Check(::CreateDirectoryA(path.c_str(), nullptr));
}

bool RemoveDirectory(const std::string& path) {
    return Check(::RemoveDirectoryA(path.c_str()));
}

bool DeleteFile(const std::string& path) {
    return Check(::DeleteFileA(path.c_str()));
}

bool MoveFile(const std::string& from, const std::string& to) {
    return Check(::MoveFileA(from.c_str(), to.c_str()));
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return Check(::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH + 1];
    const DWORD length = ::GetCurrentDirectoryA(sizeof(buffer), buffer);
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

bool SetCurrentDirectory(const std::string& path) {
    return Check(::SetCurrentDirectoryA(path.c_str()));
}

std::string FullPathName(const std::string& path) {
    char buffer[MAX_PATH + 1];
    char* namePart = nullptr;
    const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, &namePart);
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : path;
}

bool FreeDiskSpace(const std::string& folder, uint64_t& bytes) {
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
        return false;
    bytes = available.QuadPart;
    return true;
}

std::string TempFolder() {
    char buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof(buffer), buffer);
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

std::string ModuleFileName() {
    char buffer[MAX_PATH + 1];
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return std::string(buffer, length < sizeof(buffer) ? length : 0);
}

void SetStdStreamsBinary() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool CreateProcess(const std::string& commandLine, bool hidden, ProcessInfo& info) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup); // 68
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    std::string line = commandLine; // CreateProcessA may write into its command line
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                          nullptr, nullptr, &startup, &process))
        return false;
    info.process = reinterpret_cast<intptr_t>(process.hProcess);
    info.thread = reinterpret_cast<intptr_t>(process.hThread);
    return true;
}

WaitResult WaitForProcess(ProcessInfo& info, uint32_t milliseconds) {
    switch (::WaitForSingleObject(reinterpret_cast<HANDLE>(info.process), milliseconds)) {
    case WAIT_OBJECT_0:
        return WaitResult::Ended;
    case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
    default:
        return WaitResult::Failed;
    }
}

bool GetExitCodeProcess(const ProcessInfo& info, uint32_t& exitCode) {
    DWORD code = 0;
    const bool ok = Check(::GetExitCodeProcess(reinterpret_cast<HANDLE>(info.process), &code));
    exitCode = code;
    return ok;
}

bool TerminateProcess(ProcessInfo& info, uint32_t exitCode) {
    return Check(::TerminateProcess(reinterpret_cast<HANDLE>(info.process), exitCode));
}

void CloseProcess(ProcessInfo& info) {
    if (info.thread != 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(info.thread));
    if (info.process != 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(info.process));
    info = ProcessInfo();
}

bool CheckAdministrators(bool& member) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidA("S-1-5-32-544", &sid))
        return false;
    BOOL isMember = FALSE;
    const BOOL checked = ::CheckTokenMembership(nullptr, sid, &isMember);
    const DWORD checkError = ::GetLastError();
    const bool freed = ::LocalFree(sid) == nullptr;
    if (!checked) {
        ::SetLastError(checkError);
        return false;
    }
    member = isMember != FALSE;
    return freed;
}

std::string ProgramFilesFolder() {
    char buffer[MAX_PATH + 1];
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, buffer)))
        return std::string();
    std::string folder = buffer;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

uint16_t UserDefaultLangID() {
    return ::GetUserDefaultLangID();
}

// The user's locale decides; the configuration texts are Windows-1251 whatever the locale, so
// ASCII and Cyrillic letters are folded in every locale.
bool SameTextLocale(const std::string& a, const std::string& b) {
    return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                            static_cast<int>(a.size()), b.data(),
                            static_cast<int>(b.size())) == CSTR_EQUAL ||
           VnCp1251::SameText(a, b);
}

void ShellOpen(const std::string& target) {
    ::ShellExecuteA(OwnerWindow(), nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool BrowseForFolder(const std::string& title, std::string& path) {
    path.clear();
    LPITEMIDLIST root = nullptr;
    ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &root);
    BROWSEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.hwndOwner = OwnerWindow();
    info.pidlRoot = root;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST picked = ::SHBrowseForFolderA(&info);
    bool ok = false;
    if (picked != nullptr) {
        char buffer[MAX_PATH + 1];
        if (::SHGetPathFromIDListA(picked, buffer)) {
            path = buffer;
            ok = !path.empty();
        }
        ::CoTaskMemFree(picked);
    }
    if (root != nullptr)
        ::CoTaskMemFree(root);
    return ok;
}

int MessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    return ::MessageBoxA(OwnerWindow(), text.c_str(), caption.c_str(), flags);
}

} // namespace VnPlatform

std::wstring Widen(const std::string& text, unsigned codePage) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& text, unsigned codePage) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}
