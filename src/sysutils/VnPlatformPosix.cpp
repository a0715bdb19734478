// POSIX stand-in for the Windows platform layer: same contract, Windows error codes, "\" paths.
#include "VnPlatform.h"

#include "VnCp1251.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace VnPlatform {

namespace {

thread_local uint32_t LastErrorCode = 0;

// errno values for which a Windows code exists; others become a customer code carrying errno.
constexpr uint32_t CustomerBit = 0x20000000;

uint32_t WindowsCode(int error) {
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    case EBADF:
        return 6;
    case ENOMEM:
        return 8;
    case EBUSY:
    case ETXTBSY:
        return 32;
    case ENOSPC:
        return 112;
    case EINVAL:
        return 87;
    case ENAMETOOLONG:
        return 206;
    case EEXIST:
        return 183;
    case ENOTEMPTY:
        return 145;
    case EISDIR:
        return 5;
    case EXDEV:
        return 17;
    case ELOOP:
    case EMLINK: // FreeBSD's answer to O_NOFOLLOW on a link
        return ERROR_STOPPED_ON_SYMLINK_CODE;
    default:
        return CustomerBit | static_cast<uint32_t>(error);
    }
}

bool Fail(int error = errno) {
    LastErrorCode = WindowsCode(error);
    return false;
}

bool Succeed() {
    LastErrorCode = 0;
    return true;
}

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native)
        if (c == '\\')
            c = '/';
    // MoveFileA and RemoveDirectoryA accept a trailing separator; rename and rmdir on a path
    // with one behave the same, but keep "/" itself intact.
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    return native;
}

bool PathExists(const std::string& native) {
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0;
}

int FileDescriptor(FileHandle file) {
    return static_cast<int>(file);
}

// The mode that stands for an SDDL text's access rules: the owner always; the group and others
// read (and search) when the rules give Users, Authenticated Users or Everyone an entry; nobody
// else when they do not. No rules: the usual modes, which the umask narrows.
mode_t ModeOfRules(const std::string& sddl, bool folder) {
    const mode_t usual = folder ? 0755 : 0644;
    if (sddl.empty())
        return usual;
    const bool others = sddl.find(";;;BU)") != std::string::npos ||
                        sddl.find(";;;AU)") != std::string::npos ||
                        sddl.find(";;;WD)") != std::string::npos;
    return (folder ? 0700 : 0600) | (others ? usual & 0055 : 0);
}

// A plain file that no other name links to.
bool IsSinglePlainFile(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

// The descriptor of an open when it is a plain file that no other name links to; otherwise it is
// closed and the failure is the caller's.
FileHandle PlainFileOrFail(int fd) {
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    if (!IsSinglePlainFile(fd)) {
        ::close(fd);
        Fail(EACCES);
        return InvalidFile;
    }
    Succeed();
    return fd;
}

FileHandle CreateNewFileAt(int folder, const std::string& name, const std::string& sddl) {
    const int fd =
        ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                 ModeOfRules(sddl, false));
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    // The mode given at creation is narrowed by the umask; rules given are kept exactly.
    if (!sddl.empty())
        ::fchmod(fd, ModeOfRules(sddl, false));
    Succeed();
    return fd;
}

// Splits a command line by the Windows rules: blanks separate arguments; double quotes group;
// 2n backslashes before a quote give n and the quote toggles; 2n+1 give n and a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')))
                    arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

bool ExitedOrKilled(pid_t pid, int& status, bool wait) {
    const pid_t got = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
    return got == pid;
}

// Process records: pid in `process`, and the exit status once reaped in `thread` (+1, 0 = none).
void Reaped(ProcessInfo& info, int status) {
    info.thread = 1 + (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

} // namespace

uint32_t LastError() {
    return LastErrorCode;
}
void SetLastError(uint32_t code) {
    LastErrorCode = code;
}

std::string ErrorText(uint32_t code) {
    switch (code) {
    case 0:
        return "The operation completed successfully.\r\n";
    case 2:
        return "The system cannot find the file specified.\r\n";
    case 3:
        return "The system cannot find the path specified.\r\n";
    case 5:
        return "Access is denied.\r\n";
    case 6:
        return "The handle is invalid.\r\n";
    case 8:
        return "Not enough memory resources are available to process this command.\r\n";
    case 17:
        return "The system cannot move the file to a different disk drive.\r\n";
    case 32:
        return "The process cannot access the file because it is being used by another "
               "process.\r\n";
    case 87:
        return "The parameter is incorrect.\r\n";
    case 112:
        return "There is not enough space on the disk.\r\n";
    case 145:
        return "The directory is not empty.\r\n";
    case 183:
        return "Cannot create a file when that file already exists.\r\n";
    case 206:
        return "The filename or extension is too long.\r\n";
    case ERROR_DIRECTORY_CODE:
        return "The directory name is invalid.\r\n";
    case ERROR_STOPPED_ON_SYMLINK_CODE:
        return "The create operation stopped after reaching a symbolic link.\r\n";
    case ERROR_SERVICE_DOES_NOT_EXIST_CODE:
        return "The specified service does not exist as an installed service.\r\n";
    case ERROR_TIMEOUT_CODE:
        return "This operation returned because the timeout period expired.\r\n";
    default:
        if (code & CustomerBit)
            return std::string(std::strerror(static_cast<int>(code & ~CustomerBit))) + "\r\n";
        return "Unknown error.\r\n";
    }
}

FileHandle OpenFileRead(const std::string& path) {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        Fail(EACCES);
        return InvalidFile;
    }
    Succeed();
    return fd;
}

FileHandle CreateNewPrivateFile(const std::string& path) {
    const int fd = ::open(NativePath(path).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    Succeed();
    return fd;
}

FileHandle CreateNewFile(const std::string& path, const std::string& sddl) {
    return CreateNewFileAt(AT_FDCWD, NativePath(path), sddl);
}

FileHandle OpenFileAppend(const std::string& path) {
    return PlainFileOrFail(::open(NativePath(path).c_str(),
                                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
}

FileHandle OpenFileExclusive(const std::string& path) {
    // No sharing modes here: an open for writing is all that can be asked.
    const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    Succeed();
    return fd;
}

std::string FileHolders(const std::string&) {
    return std::string();
}

FileHandle CreateFileRW(const std::string& path) {
    const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        Fail();
        return InvalidFile;
    }
    Succeed();
    return fd;
}

bool ReadFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    while (true) {
        const ssize_t got = ::read(FileDescriptor(file), buffer, count);
        if (got >= 0) {
            done = static_cast<uint32_t>(got);
            return Succeed();
        }
        if (errno != EINTR)
            return Fail();
    }
}

bool WriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    while (true) {
        const ssize_t wrote = ::write(FileDescriptor(file), buffer, count);
        if (wrote >= 0) {
            done = static_cast<uint32_t>(wrote);
            return Succeed();
        }
        if (errno != EINTR)
            return Fail();
    }
}

bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t& position) {
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    const off_t result = ::lseek(FileDescriptor(file), static_cast<off_t>(offset), whence);
    if (result < 0)
        return Fail();
    position = static_cast<int64_t>(result);
    return Succeed();
}

bool FlushFile(FileHandle file) {
    if (::fsync(FileDescriptor(file)) != 0)
        return Fail();
    return Succeed();
}

void CloseFile(FileHandle file) {
    if (file != InvalidFile)
        ::close(FileDescriptor(file));
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    std::string native = NativePath(path);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back(); // lstat of "link/" would follow the link
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path, const std::string& sddl) {
    if (::mkdir(NativePath(path).c_str(), ModeOfRules(sddl, true)) != 0)
        return Fail();
    return Succeed();
}

bool RemoveDirectory(const std::string& path) {
    if (::rmdir(NativePath(path).c_str()) != 0)
        return Fail();
    return Succeed();
}

bool DeleteFile(const std::string& path) {
    const std::string native = NativePath(path);
    struct stat st;
    if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Fail(EACCES);
    if (::unlink(native.c_str()) != 0)
        return Fail();
    return Succeed();
}

bool MoveFile(const std::string& from, const std::string& to) {
    const std::string source = NativePath(from), target = NativePath(to);
    if (!PathExists(source))
        return Fail(ENOENT);
    if (PathExists(target))
        return Fail(EEXIST);
    if (::rename(source.c_str(), target.c_str()) != 0)
        return Fail();
    return Succeed();
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    const std::string target = NativePath(to);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Fail(EACCES);
    if (::rename(NativePath(from).c_str(), target.c_str()) != 0)
        return Fail();
    return Succeed();
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool SetCurrentDirectory(const std::string& path) {
    if (::chdir(NativePath(path).c_str()) != 0)
        return Fail();
    return Succeed();
}

bool FreeDiskSpace(const std::string& folder, uint64_t& bytes) {
    struct statvfs info;
    if (::statvfs(NativePath(folder).c_str(), &info) != 0)
        return Fail();
    bytes = uint64_t(info.f_bavail) * info.f_frsize;
    return Succeed();
}

std::string FullPathName(const std::string& path) {
    std::string native = path;
    for (char& c : native)
        if (c == '\\')
            c = '/';
    const bool trailing = !native.empty() && native.back() == '/';
    if (native.empty() || native[0] != '/')
        native = CurrentDirectory() + "/" + native;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos)
            end = native.size();
        const std::string part = native.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts)
        full += "/" + part;
    if (full.empty() || trailing)
        full += "/";
    return full;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ModuleFileName() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

void SetStdStreamsBinary() {}

void RestrictLibrarySearch() {}

std::string NativeSeparators(const std::string& text) {
    std::string native = text;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool RandomBytes(void* buffer, size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = ::getrandom(bytes, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return Fail();
        bytes += got;
        count -= static_cast<size_t>(got);
    }
    return Succeed();
}

namespace {

// A held folder: its descriptor and the path it was reached by.
struct THeldFolder {
    int Descriptor;
    std::string Path; // with a trailing "/"
};

THeldFolder& Held(FolderHandle folder) {
    return *reinterpret_cast<THeldFolder*>(folder);
}

FolderHandle HoldFolder(int fd, const std::string& path) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_DIRECTORY_CODE);
        return InvalidFolder;
    }
    Succeed();
    return reinterpret_cast<FolderHandle>(
        new THeldFolder{fd, path.back() == '/' ? path : path + "/"});
}

// Opens a folder relative to `at` by one step, never through a link: O_NOFOLLOW answers ELOOP for
// a link; O_DIRECTORY is left out so that a file answers ERROR_DIRECTORY_CODE, not ENOTDIR.
FolderHandle OpenFolderAt(int at, const std::string& name, const std::string& path) {
    const int fd = ::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Fail();
        return InvalidFolder;
    }
    return HoldFolder(fd, path);
}

// One step of a path: no separator, not "." or "..", not empty.
bool IsOneStep(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

} // namespace

FolderHandle OpenFolder(const std::string& path) {
    const std::string native = NativePath(path);
    return OpenFolderAt(AT_FDCWD, native, native);
}

FolderHandle OpenSubfolder(FolderHandle parent, const std::string& name) {
    if (!IsOneStep(name)) {
        Fail(EINVAL);
        return InvalidFolder;
    }
    return OpenFolderAt(Held(parent).Descriptor, name, Held(parent).Path + name);
}

FolderHandle CreateSubfolder(FolderHandle parent, const std::string& name,
                             const std::string& sddl) {
    if (!IsOneStep(name)) {
        Fail(EINVAL);
        return InvalidFolder;
    }
    if (::mkdirat(Held(parent).Descriptor, name.c_str(), ModeOfRules(sddl, true)) != 0) {
        Fail();
        return InvalidFolder;
    }
    return OpenSubfolder(parent, name);
}

void CloseFolder(FolderHandle folder) {
    if (folder == InvalidFolder)
        return;
    ::close(Held(folder).Descriptor);
    delete &Held(folder);
}

std::string FolderPath(FolderHandle folder) {
    return Held(folder).Path;
}

FileHandle CreateNewFileIn(FolderHandle parent, const std::string& name, const std::string& sddl) {
    if (!IsOneStep(name)) {
        Fail(EINVAL);
        return InvalidFile;
    }
    return CreateNewFileAt(Held(parent).Descriptor, name, sddl);
}

FileHandle OpenFileForRemoval(FolderHandle parent, const std::string& name) {
    if (!IsOneStep(name)) {
        Fail(EINVAL);
        return InvalidFile;
    }
    return PlainFileOrFail(::openat(Held(parent).Descriptor, name.c_str(),
                                    O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

bool DeleteOpenedFile(FolderHandle parent, const std::string& name, FileHandle file) {
    // POSIX deletes names, not files: the name must still be the opened file (device and inode),
    // and a file without write permission stands for a read-only one.
    const int folder = Held(parent).Descriptor;
    struct stat opened, named;
    if (::fstat(FileDescriptor(file), &opened) != 0 ||
        ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail();
    if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        return Fail(ENOENT);
    if ((opened.st_mode & S_IWUSR) == 0)
        return Fail(EACCES);
    if (::unlinkat(folder, name.c_str(), 0) != 0)
        return Fail();
    return Succeed();
}

bool RemoveSubfolder(FolderHandle parent, const std::string& name) {
    if (!IsOneStep(name))
        return Fail(EINVAL);
    const int folder = Held(parent).Descriptor;
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail();
    if (S_ISLNK(st.st_mode))
        return Fail(ELOOP);
    if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0)
        return Fail(errno == EEXIST ? ENOTEMPTY : errno);
    return Succeed();
}

bool MoveInFolder(FolderHandle folder, const std::string& from, const std::string& to,
                  bool replace) {
    if (!IsOneStep(from) || !IsOneStep(to))
        return Fail(EINVAL);
    const int fd = Held(folder).Descriptor;
    if (replace) {
        struct stat st;
        if (::fstatat(fd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
            return Fail(EACCES);
    }
    const unsigned flags = replace ? 0 : RENAME_NOREPLACE;
    if (::renameat2(fd, from.c_str(), fd, to.c_str(), flags) != 0)
        return Fail();
    return Succeed();
}

bool CreateProcess(const std::string& commandLine, bool hidden, ProcessInfo& info) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty())
        return Fail(ENOENT);
    std::vector<std::string> args = words;
    args[0] = NativePath(args[0]);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    // posix_spawn reports a missing or unusable program through its result; check first so
    // that the code matches what CreateProcessA gives.
    if (::access(argv[0], X_OK) != 0)
        return Fail();
    const int error = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (error != 0)
        return Fail(error);
    info.process = pid;
    info.thread = 0;
    return Succeed();
}

WaitResult WaitForProcess(ProcessInfo& info, uint32_t milliseconds) {
    if (info.thread != 0)
        return WaitResult::Ended;
    const pid_t pid = static_cast<pid_t>(info.process);
    int status = 0;
    struct timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    long pause = 1; // milliseconds, growing to 20
    while (true) {
        if (ExitedOrKilled(pid, status, false)) {
            Reaped(info, status);
            Succeed();
            return WaitResult::Ended;
        }
        struct timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long elapsed =
            (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (milliseconds != 0xFFFFFFFFu && elapsed >= milliseconds) {
            Succeed();
            return WaitResult::TimedOut;
        }
        struct timespec delay = {0, pause * 1000000L};
        ::nanosleep(&delay, nullptr);
        if (pause < 20)
            pause *= 2;
    }
}

bool GetExitCodeProcess(const ProcessInfo& info, uint32_t& exitCode) {
    if (info.thread == 0) {
        exitCode = 259; // STILL_ACTIVE
        return Succeed();
    }
    exitCode = static_cast<uint32_t>(info.thread - 1);
    return Succeed();
}

bool TerminateProcess(ProcessInfo& info, uint32_t exitCode) {
    if (info.thread != 0)
        return Fail(EACCES); // Windows refuses to terminate a process that has ended
    const pid_t pid = static_cast<pid_t>(info.process);
    if (::kill(pid, SIGKILL) != 0)
        return Fail();
    int status = 0;
    if (ExitedOrKilled(pid, status, true))
        info.thread = 1 + exitCode;
    return Succeed();
}

void CloseProcess(ProcessInfo& info) {
    if (info.process != 0 && info.thread == 0) {
        // Reap it if it has ended; a process still running is left to run on.
        int status = 0;
        ExitedOrKilled(static_cast<pid_t>(info.process), status, false);
    }
    info = ProcessInfo();
}

bool ServicesOfPrograms(const std::vector<std::string>&, std::vector<ServiceEntry>& services) {
    services.clear();
    return Succeed();
}

bool StopService(const std::string&, uint32_t) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
    return false;
}

bool StartService(const std::string&) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
    return false;
}

bool DeleteService(const std::string&) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
    return false;
}

bool CloseFileHolders(const std::vector<std::string>&) {
    return Succeed();
}

namespace {

// The lock file that stands for a named mutex: the name with every character outside
// [A-Za-z0-9._-] replaced by "_", and the user's id, in the temporary folder. Each user has a lock
// of their own: a file that another user made first can neither block nor stand in for it.
std::string MutexLockFile(const std::string& name) {
    std::string file = name;
    for (char& c : file) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!kept)
            c = '_';
    }
    return TempFolder() + file + "." + std::to_string(::geteuid()) + ".lock";
}

} // namespace

// The handle is the descriptor plus one, never 0. The lock goes with the descriptor; the file
// stays, as removing it could race with another process that has just opened it. A lock file
// that is a link, or that another user owns, is refused.
MutexHandle HoldNamedMutex(const std::string& name) {
    const int fd =
        ::open(MutexLockFile(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        Fail();
        return InvalidMutex;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(EACCES);
        return InvalidMutex;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            SetLastError(ERROR_ALREADY_EXISTS_CODE);
        else
            Fail(error);
        return InvalidMutex;
    }
    Succeed();
    return fd + 1;
}

void ReleaseNamedMutex(MutexHandle mutex) {
    if (mutex != InvalidMutex)
        ::close(static_cast<int>(mutex - 1));
}

namespace {

// The uninstall keys of this process: no registry here, and nothing outlives the process.
using TUninstallKeys = std::map<std::pair<RegistryRoot, std::string>, std::vector<RegistryValue>>;

TUninstallKeys& UninstallKeys() {
    static TUninstallKeys keys;
    return keys;
}

// A key's place in the map: the registry ignores letter case in key names.
TUninstallKeys::key_type UninstallKeyId(RegistryRoot root, const std::string& key) {
    std::string name = key;
    for (char& c : name)
        c = static_cast<char>(VnCp1251::UpperCase(static_cast<unsigned char>(c)));
    return {root, name};
}

// Adds a value, or gives its data to the one of the same name in any letter case, which keeps
// its name as the registry does.
void MergeValue(std::vector<RegistryValue>& values, const RegistryValue& value) {
    const auto same = std::find_if(values.begin(), values.end(), [&value](const RegistryValue& v) {
        return VnCp1251::SameText(v.Name, value.Name);
    });
    if (same == values.end())
        values.push_back(value);
    else
        *same = {same->Name, value.IsNumber, value.Text, value.Number};
}

} // namespace

bool WriteUninstallKey(RegistryRoot root, const std::string& key,
                       const std::vector<RegistryValue>& values) {
    std::vector<RegistryValue>& stored = UninstallKeys()[UninstallKeyId(root, key)];
    for (const RegistryValue& value : values)
        MergeValue(stored, value);
    return Succeed();
}

bool ReadUninstallKey(RegistryRoot root, const std::string& key,
                      std::vector<RegistryValue>& values) {
    values.clear();
    const auto found = UninstallKeys().find(UninstallKeyId(root, key));
    if (found == UninstallKeys().end())
        return Fail(ENOENT);
    values = found->second;
    return Succeed();
}

bool DeleteUninstallKey(RegistryRoot root, const std::string& key) {
    UninstallKeys().erase(UninstallKeyId(root, key));
    return Succeed();
}

bool ReportEvent(const std::string&, const std::string&, unsigned, bool, const std::string&) {
    return false;
}

bool CheckAdministrators(bool& member) {
    member = ::geteuid() == 0;
    return Succeed();
}

std::string CurrentUserSid() {
    return "S-1-22-1-" + std::to_string(::geteuid());
}

bool OthersMayWrite(const std::string& folder, bool& writable) {
    struct stat st;
    if (::stat(NativePath(folder).c_str(), &st) != 0)
        return Fail();
    writable = (st.st_mode & 0022) != 0;
    return Succeed();
}

SystemFolders KnownSystemFolders() {
    // No Windows folder here; the users' homes stand for the profiles.
    return {std::string(), {}, "/home"};
}

std::string ProgramFilesFolder() {
    return std::string();
}

uint16_t UserDefaultLangID() {
    // The language of the locale environment, as Windows would report it for that user.
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0')
            continue;
        if (std::strncmp(value, "ru", 2) == 0)
            return 0x0419;
        if (std::strncmp(value, "uk", 2) == 0)
            return 0x0422;
        return 0x0409;
    }
    return 0x0409;
}

bool SameTextLocale(const std::string& a, const std::string& b) {
    return VnCp1251::SameText(a, b);
}

void ShellOpen(const std::string& target) {
    // No desktop shell to hand the target to; say what would have been opened.
    std::fprintf(stderr, "open: %s\n", target.c_str());
}

int MessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 1;
}

} // namespace VnPlatform
