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
#include <memory>
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
#undef ReportEvent

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

FileHandle OpenFileExclusive(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
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
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, buffer);
    return length > 0 && length < MAX_PATH + 2 ? AnsiPath(std::wstring(buffer, length))
                                               : std::string();
}

std::string NativeSeparators(const std::string& text) {
    return text;
}

std::string ModuleFileName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return AnsiPath(buffer.substr(0, length));
        buffer.resize(buffer.size() * 2);
    }
}

void RestrictLibrarySearch() {
    // Vista and 7 have SetDefaultDllDirectories only with KB2533623; SetDllDirectory("") still
    // takes the current folder out of the search there.
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
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

// Whether two full paths name the same file, compared as the file system compares names.
bool SamePath(const std::string& a, const std::string& b) {
    const std::wstring wideA = Widen(a, CP_ACP), wideB = Widen(b, CP_ACP);
    return ::CompareStringOrdinal(wideA.data(), static_cast<int>(wideA.size()), wideB.data(),
                                  static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
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

// A service reports SERVICE_STOPPED before its process has ended, and the process holds the
// program's file until then: its end is waited for too, within the same time (a process that
// hosts other services may not end; then the time only runs out).
void WaitForProcessEnd(DWORD processId, ULONGLONG deadline) {
    HANDLE process = processId == 0 ? nullptr : ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return; // no process, or one that has ended
    const ULONGLONG now = ::GetTickCount64();
    ::WaitForSingleObject(process, now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    ::CloseHandle(process);
}

bool WaitUntilStopped(SC_HANDLE service, DWORD processId, uint32_t milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    SERVICE_STATUS_PROCESS status;
    while (QueryStatus(service, status)) {
        if (status.dwCurrentState == SERVICE_STOPPED) {
            WaitForProcessEnd(processId, deadline);
            return true;
        }
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

bool ServicesOfPrograms(const std::vector<std::string>& programFiles,
                        std::vector<ServiceEntry>& services) {
    services.clear();
    const TServiceHandle manager(
        ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    std::vector<TServiceState> states;
    if (!manager || !ListServices(manager.Get(), states))
        return false;
    for (const TServiceState& state : states) {
        std::string binaryPath;
        if (!QueryBinaryPath(manager.Get(), state.Name, binaryPath))
            continue; // not ours to see
        const std::string program = FullPathName(ProgramOfCommandLine(ExpandedText(binaryPath)));
        const auto isProgram = [&program](const std::string& file) {
            return SamePath(program, file);
        };
        if (std::any_of(programFiles.begin(), programFiles.end(), isProgram))
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
    return WaitUntilStopped(service.Get(), status.dwProcessId, milliseconds);
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

namespace {

// A named mutex and the private namespace it lives in, if any, closed on destruction without
// touching the caller's error code. The namespace stays open while the mutex is held.
struct THeldMutex {
    THeldMutex() = default;
    ~THeldMutex() {
        const DWORD error = ::GetLastError();
        if (Mutex != nullptr)
            ::CloseHandle(Mutex);
        if (Namespace != nullptr)
            ::ClosePrivateNamespace(Namespace, 0);
        ::SetLastError(error);
    }
    THeldMutex(const THeldMutex&) = delete;
    THeldMutex& operator=(const THeldMutex&) = delete;

    HANDLE Namespace = nullptr;
    HANDLE Mutex = nullptr;
};

// A boundary descriptor that holds the Administrators group, deleted on scope exit.
class TAdministratorsBoundary {
public:
    explicit TAdministratorsBoundary(const std::wstring& name) {
        ::SetLastError(ERROR_SUCCESS); // a system without the function may fail silently
        FBoundary = ::CreateBoundaryDescriptorW(name.c_str(), 0);
        alignas(SID) BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof(sid);
        if (FBoundary != nullptr &&
            (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) ||
             !::AddSIDToBoundaryDescriptor(&FBoundary, sid)))
            Delete();
    }
    ~TAdministratorsBoundary() { Delete(); }
    TAdministratorsBoundary(const TAdministratorsBoundary&) = delete;
    TAdministratorsBoundary& operator=(const TAdministratorsBoundary&) = delete;

    HANDLE Get() const { return FBoundary; }

private:
    void Delete() {
        if (FBoundary == nullptr)
            return;
        const DWORD error = ::GetLastError();
        ::DeleteBoundaryDescriptor(FBoundary);
        ::SetLastError(error);
        FBoundary = nullptr;
    }

    HANDLE FBoundary = nullptr;
};

// The private namespace `alias` bounded by the Administrators group, created with rules that let
// only the system and the administrators in, or opened when it exists; null on failure.
HANDLE AdministratorsNamespace(const std::wstring& alias) {
    const TAdministratorsBoundary boundary(alias);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (boundary.Get() == nullptr ||
        !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    HANDLE created = ::CreatePrivateNamespaceW(&attributes, boundary.Get(), alias.c_str());
    if (created == nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS)
        created = ::OpenPrivateNamespaceW(boundary.Get(), alias.c_str());
    const DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    ::SetLastError(error);
    return created;
}

// The system has no private namespaces (Wine: the boundary descriptor fails without an error
// code, and the namespace functions are missing).
bool LacksPrivateNamespaces(DWORD error) {
    return error == ERROR_SUCCESS || error == ERROR_CALL_NOT_IMPLEMENTED ||
           error == ERROR_NOT_SUPPORTED;
}

std::string WithoutGlobalPrefix(const std::string& name) {
    const std::string prefix = "Global\\";
    return name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : name;
}

} // namespace

MutexHandle HoldNamedMutex(const std::string& name) {
    std::unique_ptr<THeldMutex> held(new THeldMutex);
    std::wstring mutexName = Widen(name, CP_ACP);
    bool administrator = false;
    if (CheckAdministrators(administrator) && administrator) {
        // No other user can create or enter this namespace before the administrators do.
        const std::wstring alias = Widen(WithoutGlobalPrefix(name), CP_ACP);
        held->Namespace = AdministratorsNamespace(alias);
        if (held->Namespace != nullptr)
            mutexName = alias + L"\\" + alias;
        else if (!LacksPrivateNamespaces(::GetLastError()))
            return InvalidMutex;
    }
    // A mutex that exists is never taken over, not even one abandoned by its ended holder while
    // another process keeps a handle to it: whoever made it came first.
    held->Mutex = ::CreateMutexW(nullptr, TRUE, mutexName.c_str());
    if (held->Mutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return InvalidMutex; // closed, the error code kept
    return reinterpret_cast<MutexHandle>(held.release());
}

void ReleaseNamedMutex(MutexHandle mutex) {
    if (mutex == InvalidMutex)
        return;
    const std::unique_ptr<THeldMutex> held(reinterpret_cast<THeldMutex*>(mutex));
    ::ReleaseMutex(held->Mutex);
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

namespace {

// The source's key under the application log, with its message file; REG_EXPAND_SZ as the log
// service expects it.
void RegisterLogSource(const std::wstring& source, const std::wstring& messageFile) {
    TRegistryKey key;
    const std::wstring name =
        L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    ::RegSetValueExW(key.Get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(messageFile.c_str()),
                     static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
    ::RegSetValueExW(key.Get(), L"TypesSupported", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&types), sizeof(types));
}

} // namespace

bool ReportEvent(const std::string& source, const std::string& messageFile, unsigned id, bool error,
                 const std::string& text) {
    const std::wstring wideSource = Widen(source, CP_ACP);
    if (!messageFile.empty())
        RegisterLogSource(wideSource, Widen(messageFile, CP_ACP));
    const HANDLE log = ::RegisterEventSourceW(nullptr, wideSource.c_str());
    if (log == nullptr)
        return false;
    // The identifiers of the message table (setup/res/VnEvents.mc) carry the severity in their
    // top bits; the log shows the low 16 bits as the event's ID.
    const DWORD eventId = (error ? 0xC0000000u : 0x40000000u) | (id & 0xFFFFu);
    const std::wstring wideText = Widen(text, CP_ACP);
    LPCWSTR strings[] = {wideText.c_str()};
    const BOOL written =
        ::ReportEventW(log, error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, eventId,
                       nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(log);
    return written != FALSE;
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

bool NarrowExactly(const std::wstring& text, unsigned codePage, std::string& narrow) {
    narrow.clear();
    if (text.empty())
        return true;
    // UTF-8 holds every character and takes neither flag nor default character.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const usedDefault = utf8 ? nullptr : &defaulted;
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    narrow.assign(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, &narrow[0], length,
                          utf8 ? nullptr : "?", usedDefault);
    return !defaulted;
}

std::string Narrow(const std::wstring& text, unsigned codePage) {
    std::string narrow;
    NarrowExactly(text, codePage, narrow);
    return narrow;
}

namespace {

// The last name of path's short form, when the code page holds it.
bool ShortName(const std::wstring& path, std::string& name) {
    const DWORD length = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0)
        return false;
    std::wstring shortPath(length, L'\0');
    shortPath.resize(::GetShortPathNameW(path.c_str(), &shortPath[0], length));
    const size_t separator = shortPath.find_last_of(L"\\/");
    return NarrowExactly(shortPath.substr(separator == std::wstring::npos ? 0 : separator + 1),
                         CP_ACP, name);
}

} // namespace

std::string AnsiPath(const std::wstring& path) {
    std::string narrow;
    if (NarrowExactly(path, CP_ACP, narrow))
        return narrow;
    // Only the names that the code page cannot hold take their short form: the program's own
    // file keeps the name by which it knows what it is.
    std::string ansi;
    for (size_t begin = 0; begin < path.size();) {
        const size_t end = std::min(path.find_first_of(L"\\/", begin), path.size());
        std::string name;
        if (!NarrowExactly(path.substr(begin, end - begin), CP_ACP, name) &&
            !ShortName(path.substr(0, end), name))
            return narrow;
        ansi += name;
        if (end < path.size())
            ansi += static_cast<char>(path[end]);
        begin = end + 1;
    }
    return ansi;
}
