// The platform layer on Windows: files and folders created with access rules, names opened
// without following a link, folders held open and reached step by step, and what the system tells
// of its users and folders.
#include "VnPlatform.h"
#include "VnWin32Text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#undef CreateDirectory

namespace VnPlatform {

namespace {

// Memory that the system allocated with LocalAlloc, freed without touching the thread's error code.
struct TLocalFree {
    void operator()(void* memory) const {
        const DWORD error = ::GetLastError();
        ::LocalFree(memory);
        ::SetLastError(error);
    }
};
template <typename T> using TLocalPtr = std::unique_ptr<T, TLocalFree>;

// A handle, closed on scope exit without touching the thread's error code.
class THandle {
public:
    explicit THandle(HANDLE handle) : FHandle(handle) {}
    ~THandle() {
        if (FHandle == INVALID_HANDLE_VALUE)
            return;
        const DWORD error = ::GetLastError();
        ::CloseHandle(FHandle);
        ::SetLastError(error);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(FHandle, INVALID_HANDLE_VALUE); }

private:
    HANDLE FHandle;
};

// The security attributes that an SDDL text stands for; none for an empty text.
class TSecurityAttributes {
public:
    explicit TSecurityAttributes(const std::string& sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        FConverted = sddl.empty() || ::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                         sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
        FDescriptor.reset(descriptor);
        FAttributes = {static_cast<DWORD>(sizeof(FAttributes)), descriptor, FALSE};
    }

    // False, with the system's error code, when the text is no valid SDDL.
    bool Converted() const { return FConverted; }
    SECURITY_ATTRIBUTES* Get() { return FDescriptor ? &FAttributes : nullptr; }

private:
    TLocalPtr<void> FDescriptor;
    SECURITY_ATTRIBUTES FAttributes;
    bool FConverted;
};

FileHandle ToFileHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(handle);
}

// How a name is opened, and what it must turn out to be: Refusal answers ERROR_SUCCESS for what
// may stay open, else the code to fail with.
struct TOpenMode {
    DWORD Access, Share, Disposition, Flags;
    DWORD (*Refusal)(const BY_HANDLE_FILE_INFORMATION& info);
};

DWORD UnlessPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
    const bool plain =
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks == 1;
    return plain ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD UnlessFolder(const BY_HANDLE_FILE_INFORMATION& info) {
    return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr TOpenMode AppendMode = {FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, ShareAll,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, UnlessPlainFile};
// Without delete sharing: neither the folder nor one above it can be renamed while it is held.
constexpr TOpenMode HoldMode = {FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, UnlessFolder};
constexpr TOpenMode FileRemovalMode = {GENERIC_READ | DELETE, FILE_SHARE_READ, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, UnlessPlainFile};
constexpr TOpenMode FolderRemovalMode = {DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, ShareAll,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, UnlessFolder};

// Opens a name, its last step never followed: a link there, or what the mode refuses, is closed
// again at once.
HANDLE OpenChecked(const std::string& path, const TOpenMode& mode) {
    THandle handle(::CreateFileA(path.c_str(), mode.Access, mode.Share, nullptr, mode.Disposition,
                                 mode.Flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info))
        return INVALID_HANDLE_VALUE;
    const DWORD refusal = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT
                              ? static_cast<DWORD>(ERROR_STOPPED_ON_SYMLINK_CODE)
                              : mode.Refusal(info);
    if (refusal != ERROR_SUCCESS) {
        ::SetLastError(refusal);
        return INVALID_HANDLE_VALUE;
    }
    return handle.Release();
}

// Marks the file or folder of a handle for deletion once its last handle is closed.
bool DeleteOnClose(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                        sizeof(disposition)) != FALSE;
}

// A path without trailing separators, but for a root ("C:\"), which needs its own.
std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

// A held folder: the handle that pins it and its full path, with a trailing backslash.
struct THeldFolder {
    THandle Handle;
    std::string Path;
};

const THeldFolder& Held(FolderHandle folder) {
    return *reinterpret_cast<const THeldFolder*>(folder);
}

FolderHandle HoldFolder(const std::string& path) {
    HANDLE handle = OpenChecked(path, HoldMode);
    if (handle == INVALID_HANDLE_VALUE)
        return InvalidFolder;
    std::string held = path.back() == '\\' ? path : path + '\\';
    return reinterpret_cast<FolderHandle>(new THeldFolder{THandle(handle), std::move(held)});
}

// The full path of `name` in a held folder. A name is one step: not empty, not "." or "..", and
// neither a separator nor a colon (a drive or a stream) in it; else ERROR_INVALID_PARAMETER.
bool StepPath(FolderHandle folder, const std::string& name, std::string& path) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:") != std::string::npos) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    path = Held(folder).Path + name;
    return true;
}

} // namespace

FileHandle CreateNewFile(const std::string& path, const std::string& sddl) {
    TSecurityAttributes security(sddl);
    if (!security.Converted())
        return InvalidFile;
    // CREATE_NEW fails on any existing name; a link there is that name, never its target.
    return ToFileHandle(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, security.Get(), CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
}

bool CreateDirectory(const std::string& path, const std::string& sddl) {
    TSecurityAttributes security(sddl);
    return security.Converted() && ::CreateDirectoryA(path.c_str(), security.Get()) != FALSE;
}

FileHandle OpenFileAppend(const std::string& path) {
    // A link at the name is opened itself: nothing is created at its target.
    return ToFileHandle(OpenChecked(path, AppendMode));
}

bool RandomBytes(void* buffer, size_t count) {
    // RtlGenRandom has no import library: it is advapi32's SystemFunction036, found at run time.
    using TGenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    static const auto genRandom = reinterpret_cast<TGenRandom>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "SystemFunction036")));
    if (genRandom == nullptr) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto* bytes = static_cast<BYTE*>(buffer);
    while (count > 0) {
        const ULONG chunk = static_cast<ULONG>(std::min<size_t>(count, MAXLONG));
        if (!genRandom(bytes, chunk)) {
            ::SetLastError(ERROR_GEN_FAILURE);
            return false;
        }
        bytes += chunk;
        count -= chunk;
    }
    return true;
}

FolderHandle OpenFolder(const std::string& path) {
    return HoldFolder(WithoutTrailingSeparators(FullPathName(path)));
}

FolderHandle OpenSubfolder(FolderHandle parent, const std::string& name) {
    std::string path;
    return StepPath(parent, name, path) ? HoldFolder(path) : InvalidFolder;
}

FolderHandle CreateSubfolder(FolderHandle parent, const std::string& name,
                             const std::string& sddl) {
    std::string path;
    return StepPath(parent, name, path) && CreateDirectory(path, sddl) ? HoldFolder(path)
                                                                       : InvalidFolder;
}

void CloseFolder(FolderHandle folder) {
    if (folder != InvalidFolder)
        delete &Held(folder);
}

std::string FolderPath(FolderHandle folder) {
    return Held(folder).Path;
}

FileHandle CreateNewFileIn(FolderHandle parent, const std::string& name, const std::string& sddl) {
    std::string path;
    return StepPath(parent, name, path) ? CreateNewFile(path, sddl) : InvalidFile;
}

FileHandle OpenFileForRemoval(FolderHandle parent, const std::string& name) {
    std::string path;
    return StepPath(parent, name, path) ? ToFileHandle(OpenChecked(path, FileRemovalMode))
                                        : InvalidFile;
}

// The handle names the file: whatever has taken its name meanwhile stays. A read-only file is
// refused by the system (ERROR_ACCESS_DENIED).
bool DeleteOpenedFile(FolderHandle, const std::string&, FileHandle file) {
    return DeleteOnClose(reinterpret_cast<HANDLE>(file));
}

bool RemoveSubfolder(FolderHandle parent, const std::string& name) {
    std::string path;
    if (!StepPath(parent, name, path))
        return false;
    // The system refuses a folder that is not empty (ERROR_DIR_NOT_EMPTY); it goes as the handle
    // closes.
    const THandle folder(OpenChecked(path, FolderRemovalMode));
    return folder && DeleteOnClose(folder.Get());
}

bool MoveInFolder(FolderHandle folder, const std::string& from, const std::string& to,
                  bool replace) {
    std::string fromPath, toPath;
    if (!StepPath(folder, from, fromPath) || !StepPath(folder, to, toPath))
        return false;
    // MOVEFILE_REPLACE_EXISTING is not meant for a folder as the target: refused here. A link is
    // moved as it is.
    if (replace) {
        const DWORD attributes = ::GetFileAttributesA(toPath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
    }
    return ::MoveFileExA(fromPath.c_str(), toPath.c_str(),
                         replace ? MOVEFILE_REPLACE_EXISTING : 0) != FALSE;
}

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    const THandle ownedToken(token);
    DWORD bytes = 0;
    if (::GetTokenInformation(token, TokenUser, nullptr, 0, &bytes) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::string();
    std::vector<TOKEN_USER> user(bytes / sizeof(TOKEN_USER) + 1);
    const DWORD size = static_cast<DWORD>(user.size() * sizeof(TOKEN_USER));
    char* text = nullptr;
    if (!::GetTokenInformation(token, TokenUser, user.data(), size, &bytes) ||
        !::ConvertSidToStringSidA(user[0].User.Sid, &text))
        return std::string();
    const TLocalPtr<char> ownedText(text);
    return text;
}

namespace {

// Users, Authenticated Users, Everyone or INTERACTIVE.
bool IsOthers(const void* sid) {
    for (const WELL_KNOWN_SID_TYPE type :
         {WinBuiltinUsersSid, WinAuthenticatedUserSid, WinWorldSid, WinInteractiveSid}) {
        BYTE known[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof(known);
        if (::CreateWellKnownSid(type, nullptr, known, &size) &&
            ::EqualSid(const_cast<void*>(sid), known))
            return true;
    }
    return false;
}

// Whether an ACE allows others to create or change files. An inherit-only ACE does not apply to
// the folder itself but to the files and folders created in it: it counts as well, since it lets
// those users change what the setup puts there.
bool LetsOthersWrite(const ACE_HEADER& header) {
    if (header.AceType != ACCESS_ALLOWED_ACE_TYPE &&
        header.AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
        return false;
    const auto& ace = reinterpret_cast<const ACCESS_ALLOWED_ACE&>(header); // same layout for both
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    ACCESS_MASK mask = ace.Mask;
    ::MapGenericMask(&mask, &mapping);
    const ACCESS_MASK writes = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER;
    return (mask & writes) != 0 && IsOthers(&ace.SidStart);
}

// The shell's folder without trailing separators; empty when the system names none.
std::string ShellFolder(int csidl) {
    char buffer[MAX_PATH + 1];
    return SUCCEEDED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))
               ? WithoutTrailingSeparators(buffer)
               : std::string();
}

std::string EnvironmentFolder(const char* name) {
    const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0); // with the terminator
    std::string value(size, '\0');
    const DWORD length = size == 0 ? 0 : ::GetEnvironmentVariableA(name, &value[0], size);
    value.resize(length < size ? length : 0);
    return WithoutTrailingSeparators(value);
}

// The folder that holds the profiles, as the profile service keeps it (its environment strings
// expanded), else the parent of the user's own profile. Not GetProfilesDirectory: userenv.dll is
// no KnownDLL.
std::string ProfilesFolder() {
    std::string value(MAX_PATH, '\0');
    DWORD bytes = static_cast<DWORD>(value.size());
    LONG status;
    while ((status = ::RegGetValueA(HKEY_LOCAL_MACHINE,
                                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                                    "ProfilesDirectory", RRF_RT_REG_SZ, nullptr, &value[0],
                                    &bytes)) == ERROR_MORE_DATA) {
        value.resize(std::max<size_t>(bytes, 2 * value.size()));
        bytes = static_cast<DWORD>(value.size());
    }
    value.resize(status == ERROR_SUCCESS ? std::strlen(value.c_str()) : 0);
    if (!value.empty())
        return WithoutTrailingSeparators(value);
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    const size_t last = profile.find_last_of('\\');
    return last == std::string::npos ? std::string()
                                     : WithoutTrailingSeparators(profile.substr(0, last + 1));
}

bool SameFolder(const std::string& a, const std::string& b) {
    const std::wstring wideA = Widen(a, CP_ACP), wideB = Widen(b, CP_ACP);
    return ::CompareStringOrdinal(wideA.c_str(), -1, wideB.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

bool OthersMayWrite(const std::string& folder, bool& writable) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status =
        ::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        ::SetLastError(status);
        return false;
    }
    const TLocalPtr<void> ownedDescriptor(descriptor);
    writable = dacl == nullptr; // no rules at all: everyone may do everything
    for (DWORD index = 0; !writable && index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        writable = ::GetAce(dacl, index, &ace) && LetsOthersWrite(*static_cast<ACE_HEADER*>(ace));
    }
    return true;
}

SystemFolders KnownSystemFolders() {
    SystemFolders folders;
    // The shared Windows folder: GetWindowsDirectory may name a private one of a terminal user.
    char windows[MAX_PATH + 1];
    const UINT length = ::GetSystemWindowsDirectoryA(windows, sizeof(windows));
    if (length > 0 && length < sizeof(windows))
        folders.Windows = WithoutTrailingSeparators(std::string(windows, length));
    for (const std::string& folder :
         {ShellFolder(CSIDL_PROGRAM_FILES), ShellFolder(CSIDL_PROGRAM_FILESX86),
          EnvironmentFolder("ProgramW6432")}) {
        const auto same = [&folder](const std::string& known) { return SameFolder(known, folder); };
        if (!folder.empty() &&
            std::none_of(folders.ProgramFiles.begin(), folders.ProgramFiles.end(), same))
            folders.ProgramFiles.push_back(folder);
    }
    folders.Profiles = ProfilesFolder();
    return folders;
}

} // namespace VnPlatform
