// The one interface to the operating system. Two implementations: VnPlatformWin32.cpp (the
// Windows ANSI functions) and VnPlatformPosix.cpp (a stand-in with the same contract, so that every
// module builds and is tested natively). Paths use "\" as separator; the POSIX side also accepts
// "/" and maps "\" to "/" at the system call.
//
// Functions that can fail answer false (or an invalid handle) and leave a Windows error code for
// LastError(); they never raise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace VnPlatform {

// Windows error codes that callers test for; the POSIX side maps errno values onto them.
enum : uint32_t {
    ERROR_ACCESS_DENIED_CODE = 5,
    ERROR_SHARING_VIOLATION_CODE = 32,
    ERROR_LOCK_VIOLATION_CODE = 33,
    ERROR_FILE_EXISTS_CODE = 80,
    ERROR_ALREADY_EXISTS_CODE = 183,
    ERROR_DIRECTORY_CODE = 267,
    ERROR_STOPPED_ON_SYMLINK_CODE = 681, // a step of a path is a link, which is not followed
    ERROR_SERVICE_DOES_NOT_EXIST_CODE = 1060,
    ERROR_TIMEOUT_CODE = 1460,
};

uint32_t LastError();
void SetLastError(uint32_t code);
// The system's text for an error code (FormatMessageA from the system table), as the system
// gives it, trailing line break included.
std::string ErrorText(uint32_t code);

// Files. A handle is an opaque value; InvalidFile marks a failure.
using FileHandle = intptr_t;
constexpr FileHandle InvalidFile = -1;
enum class SeekOrigin { Begin, Current, End };

// Read access; other processes may read but not write.
FileHandle OpenFileRead(const std::string& path);
// Read-write access; created when absent, truncated when present; not shared while open.
FileHandle CreateFileRW(const std::string& path);
// Write access to a new file that only its owner may read and write from its creation on. Fails
// when the name exists in any form (a symbolic link is never followed).
FileHandle CreateNewPrivateFile(const std::string& path);
// Write access to a new file, with the access rules of an SDDL text (empty: the folder's
// inherited rules). Fails when the name exists in any form (a symbolic link is never followed).
FileHandle CreateNewFile(const std::string& path, const std::string& sddl = std::string());
// Append access, the file created when absent; shared for reading, writing and deletion, so that
// a viewer or another writer may hold it. Fails with ERROR_STOPPED_ON_SYMLINK_CODE when the name
// is a link (never followed) and with ERROR_ACCESS_DENIED_CODE when it is not a plain file or has
// further hard links.
FileHandle OpenFileAppend(const std::string& path);
// Write access to an existing file, neither created nor truncated, shared with no one: on Windows
// it fails with ERROR_SHARING_VIOLATION_CODE while another handle of any process is open on it.
FileHandle OpenFileExclusive(const std::string& path);
// The programs that the system knows to hold a file open (the Restart Manager's names, joined
// with ", "); empty when it knows of none.
std::string FileHolders(const std::string& path);
bool ReadFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done);
bool WriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done);
bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t& position);
bool FlushFile(FileHandle file);
void CloseFile(FileHandle file);

bool FileExists(const std::string& path);
// The path itself is a symbolic link, a junction or another reparse point (never followed).
bool IsLink(const std::string& path);
bool DirectoryExists(const std::string& path);
// A new folder, with the access rules of an SDDL text (empty: inherited from its parent).
bool CreateDirectory(const std::string& path, const std::string& sddl = std::string());
bool RemoveDirectory(const std::string& path);
bool DeleteFile(const std::string& path);
// Moves a file or folder; fails when the target exists (MoveFileA).
bool MoveFile(const std::string& from, const std::string& to);
// Moves a file over an existing one (MoveFileExA with MOVEFILE_REPLACE_EXISTING).
bool ReplaceFile(const std::string& from, const std::string& to);
std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& path);
// The absolute form of a path ("." and ".." resolved), with "\" separators on Windows.
std::string FullPathName(const std::string& path);
// The bytes available to the caller on the volume of an existing folder.
bool FreeDiskSpace(const std::string& folder, uint64_t& bytes);
// A folder for temporary files, ending with a separator.
std::string TempFolder();
// Text that names paths with the system's own separator: as it is on Windows; "\" becomes "/"
// on POSIX. For what a person reads, never for a path the program uses again.
std::string NativeSeparators(const std::string& text);
// The full path of the running program's own file.
std::string ModuleFileName();
// Restricts where libraries are loaded from to the system folder (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32 where the system has it, and SetDllDirectory("")): never the
// program's own folder nor the current one. The first call of every program's entry; nothing
// natively.
void RestrictLibrarySearch();
// Bytes from the system's cryptographic random generator.
bool RandomBytes(void* buffer, size_t count);
// Standard output and error pass bytes unchanged (no LF to CR LF translation on Windows).
void SetStdStreamsBinary();

// Folders held open and reached step by step, never through a link. On Windows a held folder is
// opened without delete sharing, so neither it nor a folder above it can be renamed or replaced
// while it is held, and a path through held folders names what was checked; on POSIX every
// operation below is relative to the folder's descriptor (openat, unlinkat, renameat). A name is
// one step: no separator, not "." or "..".
using FolderHandle = intptr_t;
constexpr FolderHandle InvalidFolder = 0;
// An existing folder by its full path. The steps above the last are resolved as the system does;
// the last must not be a link (ERROR_STOPPED_ON_SYMLINK_CODE).
FolderHandle OpenFolder(const std::string& path);
// The existing folder `name` in parent; ERROR_STOPPED_ON_SYMLINK_CODE when it is a link, code 2
// or 3 when it is absent, ERROR_DIRECTORY_CODE (267) when it is a file.
FolderHandle OpenSubfolder(FolderHandle parent, const std::string& name);
// A new folder `name` in parent with the access rules of sddl (empty: inherited), then open;
// fails when the name exists in any form.
FolderHandle CreateSubfolder(FolderHandle parent, const std::string& name,
                             const std::string& sddl = std::string());
void CloseFolder(FolderHandle folder);
// The full path of a held folder, with a trailing separator.
std::string FolderPath(FolderHandle folder);
// A new file `name` in parent, as CreateNewFile.
FileHandle CreateNewFileIn(FolderHandle parent, const std::string& name,
                           const std::string& sddl = std::string());
// The existing plain file `name` in parent, for reading and for its deletion, shared with readers
// only. ERROR_STOPPED_ON_SYMLINK_CODE when it is a link; ERROR_ACCESS_DENIED_CODE when it is no
// plain file or has further hard links.
FileHandle OpenFileForRemoval(FolderHandle parent, const std::string& name);
// Deletes the file that OpenFileForRemoval opened as `name` of parent, through that handle: never
// another file that has taken the name meanwhile. A read-only file is not deleted
// (ERROR_ACCESS_DENIED_CODE). The handle stays the caller's to close.
bool DeleteOpenedFile(FolderHandle parent, const std::string& name, FileHandle file);
// Removes the empty folder `name` of parent; a link there is not removed
// (ERROR_STOPPED_ON_SYMLINK_CODE), nor a folder that is not empty.
bool RemoveSubfolder(FolderHandle parent, const std::string& name);
// Moves the entry `from` of folder to `to` in the same folder; fails when `to` exists, unless
// replace is set and `to` is a file. Links are moved as they are, never followed.
bool MoveInFolder(FolderHandle folder, const std::string& from, const std::string& to,
                  bool replace);

// Processes.
struct ProcessInfo {
    intptr_t process = 0;
    intptr_t thread = 0;
};
enum class WaitResult { Ended, TimedOut, Failed };
// Starts a command line (Windows parsing rules for the program and arguments) in the caller's
// environment and current directory.
bool CreateProcess(const std::string& commandLine, bool hidden, ProcessInfo& info);
WaitResult WaitForProcess(ProcessInfo& info, uint32_t milliseconds);
bool GetExitCodeProcess(const ProcessInfo& info, uint32_t& exitCode);
bool TerminateProcess(ProcessInfo& info, uint32_t exitCode);
void CloseProcess(ProcessInfo& info);

// Services and the programs that hold files: what an upgrade of a running installation needs.
struct ServiceEntry {
    std::string Name;        // the service's key name
    std::string ProgramFile; // its program file: the binary path without quotes and arguments
    bool Running = false;    // in any state but stopped
};
// The services of the local Service Control Manager whose program file is one of programFiles
// (full paths, compared case-insensitively as the file system compares names).
bool ServicesOfPrograms(const std::vector<std::string>& programFiles,
                        std::vector<ServiceEntry>& services);
// Asks a service to stop and waits until it reports SERVICE_STOPPED and its process has ended
// (the process holds the program's file until then), at most `milliseconds` in all; a service
// already stopped answers true at once. ERROR_TIMEOUT_CODE when the time ran out before it
// stopped.
bool StopService(const std::string& name, uint32_t milliseconds);
// Starts a service without waiting for it to run; one that is already running counts as started.
bool StartService(const std::string& name);
// Marks a service for deletion; the system removes it once it has stopped and no handle is open.
bool DeleteService(const std::string& name);
// Asks the Restart Manager to close the programs that hold any of files open, and waits for it.
// True when none holds them any more.
bool CloseFileHolders(const std::vector<std::string>& files);

// A named mutex of the machine, held by the calling process until released or until it ends. An
// invalid handle when another process holds it (ERROR_ALREADY_EXISTS_CODE, or
// ERROR_ACCESS_DENIED_CODE when its owner's rights keep the caller out) or the system refuses it.
// On Windows an administrator's mutex lives in a private namespace bounded by the Administrators
// group, which no other user can create or squat; a standard user's in the global one. On POSIX
// it is a lock file in the temporary folder, private to the user who holds it.
using MutexHandle = intptr_t;
constexpr MutexHandle InvalidMutex = 0;
MutexHandle HoldNamedMutex(const std::string& name);
void ReleaseNamedMutex(MutexHandle mutex);

// The product's key under Software\Microsoft\Windows\CurrentVersion\Uninstall, in the 32-bit
// view of the registry (the view of the shipped 32-bit setup, whatever the build).
enum class RegistryRoot { Machine, User }; // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER
struct RegistryValue {
    std::string Name;
    bool IsNumber = false; // REG_DWORD Number, else REG_SZ Text
    std::string Text;
    uint32_t Number = 0;
};
// Creates the key when absent and sets the values (other values of the key stay).
bool WriteUninstallKey(RegistryRoot root, const std::string& key,
                       const std::vector<RegistryValue>& values);
// Every REG_SZ and REG_DWORD value of the key; false when the key does not exist
// (ERROR_FILE_NOT_FOUND).
bool ReadUninstallKey(RegistryRoot root, const std::string& key,
                      std::vector<RegistryValue>& values);
// Deletes the key with its values; true when it is gone, also when it never existed.
bool DeleteUninstallKey(RegistryRoot root, const std::string& key);

// The system's application log. Unless messageFile is empty, the source is registered first where
// the process may (an administrator's), its message file being messageFile, whose message table
// shows an event's first insertion string as its whole text; then the event id is written, an error
// or an information, with text as its one insertion string. False when it was not written. POSIX:
// nothing, false.
bool ReportEvent(const std::string& source, const std::string& messageFile, unsigned id, bool error,
                 const std::string& text);

// Security, shell and locale.
// The SID of the user the process runs as, in its string form ("S-1-5-21-..."); empty when the
// system cannot tell. POSIX: "S-1-22-1-<uid>", the form Samba gives a Unix user.
std::string CurrentUserSid();
// Whether the rules of an existing folder let Users, Authenticated Users, Everyone or INTERACTIVE
// create or change files in it. POSIX: write permission for the group or others.
bool OthersMayWrite(const std::string& folder, bool& writable);
// The folders of the system that an installation must not take, without trailing separators;
// empty where the system names none: the Windows folder, the program-files folders (native and
// 32-bit) and the folder that holds the users' profiles.
struct SystemFolders {
    std::string Windows;
    std::vector<std::string> ProgramFiles;
    std::string Profiles;
};
SystemFolders KnownSystemFolders();
// Membership of the calling thread in the built-in administrators group; false when a system call
// fails (the error code then tells which).
bool CheckAdministrators(bool& member);
// The program-files folder without a trailing separator; empty when the system cannot name it.
std::string ProgramFilesFolder();
uint16_t UserDefaultLangID();
// CompareStringA with the user's default locale and NORM_IGNORECASE: true for CSTR_EQUAL.
bool SameTextLocale(const std::string& a, const std::string& b);
void ShellOpen(const std::string& target);
// A message box over the application's window; answers the button id (1 = OK).
int MessageBox(const std::string& caption, const std::string& text, unsigned flags);

} // namespace VnPlatform
