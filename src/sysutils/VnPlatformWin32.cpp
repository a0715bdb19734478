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

#include <algorithm>
#include <cstdio>
#include <cstring>
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
#undef StartService
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

namespace {

// A Restart Manager session with files registered, ended on scope exit.
class TRestartSession {
public:
    explicit TRestartSession(const std::vector<std::string>& files) {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        FStatus = ::RmStartSession(&FSession, 0, key);
        FStarted = FStatus == ERROR_SUCCESS;
        if (FStarted)
            FStatus = Register(files);
    }
    ~TRestartSession() {
        if (FStarted)
            ::RmEndSession(FSession);
    }
    TRestartSession(const TRestartSession&) = delete;
    TRestartSession& operator=(const TRestartSession&) = delete;

    // ERROR_SUCCESS once the session has started with the files registered.
    DWORD Status() const { return FStatus; }
    // The processes that hold a registered file.
    DWORD Holders(std::vector<RM_PROCESS_INFO>& processes) const {
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        processes.clear();
        DWORD result = ::RmGetList(FSession, &needed, &count, nullptr, &reasons);
        while (result == ERROR_MORE_DATA) {
            processes.resize(needed);
            count = needed;
            result = ::RmGetList(FSession, &needed, &count, processes.data(), &reasons);
        }
        processes.resize(result == ERROR_SUCCESS ? count : 0);
        return result;
    }
    // Closes the holders, ending those that do not close when asked.
    DWORD ForceShutdown() const { return ::RmShutdown(FSession, RmForceShutdown, nullptr); }

private:
    DWORD Register(const std::vector<std::string>& files) const {
        std::vector<std::wstring> wideFiles;
        for (const std::string& file : files)
            wideFiles.push_back(Widen(file, CP_ACP));
        std::vector<LPCWSTR> names;
        for (const std::wstring& file : wideFiles)
            names.push_back(file.c_str());
        return ::RmRegisterResources(FSession, static_cast<UINT>(names.size()), names.data(), 0,
                                     nullptr, 0, nullptr);
    }

    DWORD FSession = 0;
    DWORD FStatus = ERROR_SUCCESS;
    bool FStarted = false;
};

// The processes that hold any of files, as a session of their own sees them now.
DWORD ListHolders(const std::vector<std::string>& files, std::vector<RM_PROCESS_INFO>& holders) {
    const TRestartSession session(files);
    return session.Status() == ERROR_SUCCESS ? session.Holders(holders) : session.Status();
}

DWORD ShutDownHolders(const std::vector<std::string>& files) {
    const TRestartSession session(files);
    return session.Status() == ERROR_SUCCESS ? session.ForceShutdown() : session.Status();
}

} // namespace

std::string FileHolders(const std::string& path) {
    std::vector<RM_PROCESS_INFO> holders;
    std::string names;
    if (ListHolders({path}, holders) != ERROR_SUCCESS)
        return names;
    for (const RM_PROCESS_INFO& holder : holders) {
        const std::string name = Narrow(holder.strAppName, CP_ACP);
        if (!name.empty())
            names += (names.empty() ? "" : ", ") + name;
    }
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

bool IsLink(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
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

namespace {

// A Service Control Manager handle, closed on scope exit without touching the caller's error code.
class TServiceHandle {
public:
    explicit TServiceHandle(SC_HANDLE handle) : FHandle(handle) {}
    ~TServiceHandle() {
        if (FHandle == nullptr)
            return;
        const DWORD error = ::GetLastError();
        ::CloseServiceHandle(FHandle);
        ::SetLastError(error);
    }
    TServiceHandle(const TServiceHandle&) = delete;
    TServiceHandle& operator=(const TServiceHandle&) = delete;

    SC_HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }

private:
    SC_HANDLE FHandle;
};

// A service opened with the given rights through a connection of its own.
class TOpenService {
public:
    TOpenService(const std::string& name, DWORD access)
        : FManager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)),
          FService(FManager ? ::OpenServiceA(FManager.Get(), name.c_str(), access) : nullptr) {}

    SC_HANDLE Get() const { return FService.Get(); }
    explicit operator bool() const { return bool(FService); }

private:
    TServiceHandle FManager; // declared first: closed after the service
    TServiceHandle FService;
};

struct TServiceState {
    std::string Name;
    DWORD State;
};

// Every Win32 service with its current state.
bool ListServices(SC_HANDLE manager, std::vector<TServiceState>& list) {
    std::vector<ENUM_SERVICE_STATUS_PROCESSA> buffer(65536 / sizeof(ENUM_SERVICE_STATUS_PROCESSA));
    DWORD resume = 0;
    while (true) {
        const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(buffer[0]));
        DWORD needed = 0, count = 0;
        const BOOL complete = ::EnumServicesStatusExA(
            manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
            reinterpret_cast<LPBYTE>(buffer.data()), bytes, &needed, &count, &resume, nullptr);
        if (!complete && ::GetLastError() != ERROR_MORE_DATA)
            return false;
        for (DWORD i = 0; i < count; ++i)
            list.push_back(
                {buffer[i].lpServiceName, buffer[i].ServiceStatusProcess.dwCurrentState});
        if (complete)
            return true;
        if (count == 0 && needed <= bytes)
            return false; // no progress: ERROR_MORE_DATA stays
        if (count == 0)
            buffer.resize(needed / sizeof(buffer[0]) + 1);
    }
}

// The binary path of a service: its command line as the Service Control Manager keeps it.
bool QueryBinaryPath(SC_HANDLE manager, const std::string& name, std::string& binaryPath) {
    const TServiceHandle service(::OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    if (!service || ::QueryServiceConfigA(service.Get(), nullptr, 0, &needed) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<QUERY_SERVICE_CONFIGA> config(needed / sizeof(QUERY_SERVICE_CONFIGA) + 1);
    const DWORD bytes = static_cast<DWORD>(config.size() * sizeof(config[0]));
    if (!::QueryServiceConfigA(service.Get(), config.data(), bytes, &needed))
        return false;
    binaryPath = config[0].lpBinaryPathName != nullptr ? config[0].lpBinaryPathName : "";
    return true;
}

// Text with its %NAME% references to environment variables replaced by their values.
std::string ExpandedText(const std::string& text) {
    const DWORD length = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (length == 0)
        return text;
    std::string expanded(length + 1, '\0'); // the ANSI form may want one byte more than it says
    const DWORD written = ::ExpandEnvironmentStringsA(text.c_str(), &expanded[0], length + 1);
    if (written == 0 || written > length + 1)
        return text;
    expanded.resize(written - 1);
    return expanded;
}

// Whether a program name ends at `end` of a command line: ".exe" before a blank or the end.
bool ProgramNameEndsAt(const std::string& commandLine, size_t end) {
    return end >= 4 && _strnicmp(commandLine.c_str() + end - 4, ".exe", 4) == 0 &&
           (end == commandLine.size() || commandLine[end] == ' ' || commandLine[end] == '\t');
}

// The program file of a command line. A quoted one ends at its closing quote. An unquoted one may
// hold blanks: of the prefixes that end in ".exe" before a blank, the first that names an existing
// file is what the system runs; when none exists, the longest is meant.
std::string ProgramOfCommandLine(const std::string& commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    std::string longest;
    for (size_t end = 4; end <= commandLine.size(); ++end) {
        if (!ProgramNameEndsAt(commandLine, end))
            continue;
        longest = commandLine.substr(0, end);
        if (FileExists(longest))
            return longest;
    }
    return longest.empty() ? commandLine.substr(0, commandLine.find_first_of(" \t")) : longest;
}

// Whether a full path lies in a folder given as a full path with a trailing separator, compared
// as the file system compares names.
bool LiesIn(const std::string& path, const std::string& folder) {
    const std::wstring widePath = Widen(path, CP_ACP), wideFolder = Widen(folder, CP_ACP);
    const int length = static_cast<int>(wideFolder.size());
    return widePath.size() >= wideFolder.size() &&
           ::CompareStringOrdinal(widePath.data(), length, wideFolder.data(), length, TRUE) ==
               CSTR_EQUAL;
}

std::string FolderPrefix(const std::string& folder) {
    std::string prefix = FullPathName(folder);
    if (prefix.empty() || prefix.back() != '\\')
        prefix += '\\';
    return prefix;
}

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return Check(::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                        reinterpret_cast<LPBYTE>(&status), sizeof(status),
                                        &needed));
}

// A tenth of the service's own estimate of the time its step takes, within 0.1 to 1 second.
DWORD PollInterval(const SERVICE_STATUS_PROCESS& status) {
    const DWORD tenth = status.dwWaitHint / 10;
    return tenth == 0 ? 250 : std::clamp<DWORD>(tenth, 100, 1000);
}

bool RequestStop(SC_HANDLE service) {
    SERVICE_STATUS status;
    return ::ControlService(service, SERVICE_CONTROL_STOP, &status) ||
           ::GetLastError() == ERROR_SERVICE_NOT_ACTIVE;
}

bool WaitUntilStopped(SC_HANDLE service, uint32_t milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    SERVICE_STATUS_PROCESS status;
    while (QueryStatus(service, status)) {
        if (status.dwCurrentState == SERVICE_STOPPED)
            return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            ::SetLastError(ERROR_TIMEOUT);
            return false;
        }
        ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(PollInterval(status), deadline - now)));
    }
    return false;
}

} // namespace

bool ServicesInFolder(const std::string& folder, std::vector<ServiceEntry>& services) {
    services.clear();
    const TServiceHandle manager(
        ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    std::vector<TServiceState> states;
    if (!manager || !ListServices(manager.Get(), states))
        return false;
    const std::string prefix = FolderPrefix(folder);
    for (const TServiceState& state : states) {
        std::string binaryPath;
        if (!QueryBinaryPath(manager.Get(), state.Name, binaryPath))
            continue; // not ours to see
        const std::string program = FullPathName(ProgramOfCommandLine(ExpandedText(binaryPath)));
        if (LiesIn(program, prefix))
            services.push_back({state.Name, program, state.State != SERVICE_STOPPED});
    }
    ::SetLastError(ERROR_SUCCESS);
    return true;
}

bool StopService(const std::string& name, uint32_t milliseconds) {
    const TOpenService service(name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status;
    if (!service || !QueryStatus(service.Get(), status))
        return false;
    if (status.dwCurrentState == SERVICE_STOPPED)
        return true;
    if (status.dwCurrentState != SERVICE_STOP_PENDING && !RequestStop(service.Get()))
        return false;
    return WaitUntilStopped(service.Get(), milliseconds);
}

bool StartService(const std::string& name) {
    const TOpenService service(name, SERVICE_START);
    return service && (::StartServiceA(service.Get(), 0, nullptr) ||
                       ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING);
}

bool DeleteService(const std::string& name) {
    const TOpenService service(name, DELETE);
    return service && Check(::DeleteService(service.Get()));
}

bool CloseFileHolders(const std::vector<std::string>& files) {
    const DWORD shutdown = ShutDownHolders(files);
    std::vector<RM_PROCESS_INFO> holders;
    const DWORD checked = ListHolders(files, holders);
    if (checked == ERROR_SUCCESS && holders.empty())
        return true;
    ::SetLastError(checked != ERROR_SUCCESS    ? checked
                   : shutdown != ERROR_SUCCESS ? shutdown
                                               : ERROR_SHARING_VIOLATION);
    return false;
}

MutexHandle HoldNamedMutex(const std::string& name) {
    // A mutex that exists is never taken over, not even one abandoned by its ended holder while
    // another process keeps a handle to it: whoever made it came first.
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
    if (mutex == nullptr)
        return InvalidMutex;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return InvalidMutex;
    }
    return reinterpret_cast<MutexHandle>(mutex);
}

void ReleaseNamedMutex(MutexHandle mutex) {
    if (mutex == InvalidMutex)
        return;
    ::ReleaseMutex(reinterpret_cast<HANDLE>(mutex));
    ::CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

namespace {

// A registry key, closed on scope exit without touching the caller's error code.
class TRegistryKey {
public:
    TRegistryKey() = default;
    ~TRegistryKey() {
        if (FKey == nullptr)
            return;
        const DWORD error = ::GetLastError();
        ::RegCloseKey(FKey);
        ::SetLastError(error);
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    HKEY Get() const { return FKey; }
    // Where a Reg* function that opens the key stores it.
    PHKEY Receive() { return &FKey; }

private:
    HKEY FKey = nullptr;
};

// A value as RegEnumValueA gives it. The buffers keep their size from one value to the next.
struct TEnumeratedValue {
    std::string NameBuffer;
    std::vector<BYTE> DataBuffer;
    DWORD NameLength = 0, DataLength = 0, Type = REG_NONE;
};

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string UninstallSubkey(const std::string& key) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key;
}

// The Reg* functions answer their error code instead of setting it: it becomes the thread's.
bool CheckStatus(LONG status) {
    ::SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

bool SetValue(HKEY key, const RegistryValue& value) {
    if (value.IsNumber) {
        const DWORD number = value.Number;
        return CheckStatus(::RegSetValueExA(key, value.Name.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&number),
                                            sizeof(number)));
    }
    return CheckStatus(::RegSetValueExA(key, value.Name.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(value.Text.c_str()),
                                        static_cast<DWORD>(value.Text.size() + 1)));
}

// Buffers for the key's longest value name and data. The name's length comes in UTF-16 units: two
// bytes each leave room for a double-byte code page.
LONG SizeBuffers(HKEY key, TEnumeratedValue& value) {
    DWORD nameChars = 0, dataBytes = 0;
    const LONG status =
        ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &nameChars, &dataBytes, nullptr, nullptr);
    value.NameBuffer.assign(2 * nameChars + 1, '\0');
    value.DataBuffer.assign(dataBytes + 1, 0); // never empty: RegEnumValueA always gets a buffer
    return status;
}

// The value at index. The ANSI form of a name or text may take more bytes than the key reports
// (a multi-byte code page), and the key may change meanwhile: the buffers double until it fits.
LONG EnumValue(HKEY key, DWORD index, TEnumeratedValue& value) {
    while (true) {
        value.NameLength = static_cast<DWORD>(value.NameBuffer.size());
        value.DataLength = static_cast<DWORD>(value.DataBuffer.size());
        const LONG status =
            ::RegEnumValueA(key, index, &value.NameBuffer[0], &value.NameLength, nullptr,
                            &value.Type, value.DataBuffer.data(), &value.DataLength);
        if (status != ERROR_MORE_DATA)
            return status;
        value.NameBuffer.resize(2 * value.NameBuffer.size());
        value.DataBuffer.resize(std::max<size_t>(2 * value.DataBuffer.size(), value.DataLength));
    }
}

// A REG_SZ or REG_DWORD value in the interface's form; false for a value of another type.
bool ToRegistryValue(const TEnumeratedValue& enumerated, RegistryValue& value) {
    const char* data = reinterpret_cast<const char*>(enumerated.DataBuffer.data());
    value.Name.assign(enumerated.NameBuffer, 0, enumerated.NameLength);
    switch (enumerated.Type) {
    case REG_DWORD:
        if (enumerated.DataLength != sizeof(DWORD))
            return false;
        value.IsNumber = true;
        std::memcpy(&value.Number, data, sizeof(DWORD));
        return true;
    case REG_SZ:
        value.Text.assign(data, std::find(data, data + enumerated.DataLength, '\0'));
        return true;
    default:
        return false;
    }
}

} // namespace

bool WriteUninstallKey(RegistryRoot root, const std::string& key,
                       const std::vector<RegistryValue>& values) {
    TRegistryKey opened;
    if (!CheckStatus(::RegCreateKeyExA(RootKey(root), UninstallSubkey(key).c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_32KEY,
                                       nullptr, opened.Receive(), nullptr)))
        return false;
    return std::all_of(values.begin(), values.end(), [&opened](const RegistryValue& value) {
        return SetValue(opened.Get(), value);
    });
}

bool ReadUninstallKey(RegistryRoot root, const std::string& key,
                      std::vector<RegistryValue>& values) {
    values.clear();
    TRegistryKey opened;
    TEnumeratedValue enumerated;
    if (!CheckStatus(::RegOpenKeyExA(RootKey(root), UninstallSubkey(key).c_str(), 0,
                                     KEY_QUERY_VALUE | KEY_WOW64_32KEY, opened.Receive())) ||
        !CheckStatus(SizeBuffers(opened.Get(), enumerated)))
        return false;
    for (DWORD index = 0;; ++index) {
        const LONG status = EnumValue(opened.Get(), index, enumerated);
        if (status != ERROR_SUCCESS)
            return CheckStatus(status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status);
        RegistryValue value;
        if (ToRegistryValue(enumerated, value))
            values.push_back(value);
    }
}

bool DeleteUninstallKey(RegistryRoot root, const std::string& key) {
    const LONG status =
        ::RegDeleteKeyExA(RootKey(root), UninstallSubkey(key).c_str(), KEY_WOW64_32KEY, 0);
    return CheckStatus(status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status);
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
