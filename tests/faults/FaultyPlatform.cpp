#include "FaultyPlatform.h"

#include "VnPlatform.h"

using namespace VnPlatform;

// The real functions and their wrappers, by the linker names that CMakeLists.txt hands in.
#define VN_LINKED(name) __asm__(name)
bool RealWriteFile(FileHandle, const void*, uint32_t, uint32_t&) VN_LINKED(VN_REAL_WRITEFILE);
FileHandle RealCreateNewFile(const std::string&, const std::string&)
    VN_LINKED(VN_REAL_CREATENEWFILE);
FileHandle RealCreateNewFileIn(FolderHandle, const std::string&, const std::string&)
    VN_LINKED(VN_REAL_CREATENEWFILEIN);
FileHandle RealCreateFileRW(const std::string&) VN_LINKED(VN_REAL_CREATEFILERW);
bool RealCreateDirectory(const std::string&, const std::string&) VN_LINKED(VN_REAL_CREATEDIRECTORY);
FolderHandle RealCreateSubfolder(FolderHandle, const std::string&, const std::string&)
    VN_LINKED(VN_REAL_CREATESUBFOLDER);
bool RealMoveInFolder(FolderHandle, const std::string&, const std::string&, bool)
    VN_LINKED(VN_REAL_MOVEINFOLDER);
bool RealMoveFile(const std::string&, const std::string&) VN_LINKED(VN_REAL_MOVEFILE);
bool RealReplaceFile(const std::string&, const std::string&) VN_LINKED(VN_REAL_REPLACEFILE);
FileHandle RealOpenFileExclusive(const std::string&) VN_LINKED(VN_REAL_OPENFILEEXCLUSIVE);
std::string RealFileHolders(const std::string&) VN_LINKED(VN_REAL_FILEHOLDERS);

namespace {

constexpr uint32_t DiskFull = 112;

struct TFaultState {
    TFaultKind Kind = TFaultKind::Write;
    unsigned Armed = 0, Count = 0;
    bool Hit = false;
    std::string InUsePath, Holder;
} State;

// True when this call is the one to fail; the error code is then set.
bool Fails(TFaultKind kind, uint32_t code) {
    if (State.Armed == 0 || kind != State.Kind || ++State.Count != State.Armed)
        return false;
    State.Hit = true;
    SetLastError(code);
    return true;
}

} // namespace

void ArmFault(TFaultKind kind, unsigned n) {
    State.Kind = kind;
    State.Armed = n;
    State.Count = 0;
    State.Hit = false;
}

bool FaultHit() {
    return State.Hit;
}

void SimulateInUse(const std::string& path, const std::string& holder) {
    State.InUsePath = path;
    State.Holder = holder;
}

bool WrapWriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done)
    VN_LINKED(VN_WRAP_WRITEFILE);
bool WrapWriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    return !Fails(TFaultKind::Write, DiskFull) && RealWriteFile(file, buffer, count, done);
}

FileHandle WrapCreateNewFile(const std::string& path, const std::string& rules)
    VN_LINKED(VN_WRAP_CREATENEWFILE);
FileHandle WrapCreateNewFile(const std::string& path, const std::string& rules) {
    return Fails(TFaultKind::Write, DiskFull) ? InvalidFile : RealCreateNewFile(path, rules);
}

FileHandle WrapCreateNewFileIn(FolderHandle folder, const std::string& name,
                               const std::string& rules) VN_LINKED(VN_WRAP_CREATENEWFILEIN);
FileHandle WrapCreateNewFileIn(FolderHandle folder, const std::string& name,
                               const std::string& rules) {
    return Fails(TFaultKind::Write, DiskFull) ? InvalidFile
                                              : RealCreateNewFileIn(folder, name, rules);
}

FileHandle WrapCreateFileRW(const std::string& path) VN_LINKED(VN_WRAP_CREATEFILERW);
FileHandle WrapCreateFileRW(const std::string& path) {
    return Fails(TFaultKind::Write, DiskFull) ? InvalidFile : RealCreateFileRW(path);
}

bool WrapCreateDirectory(const std::string& path, const std::string& rules)
    VN_LINKED(VN_WRAP_CREATEDIRECTORY);
bool WrapCreateDirectory(const std::string& path, const std::string& rules) {
    return !Fails(TFaultKind::Write, DiskFull) && RealCreateDirectory(path, rules);
}

FolderHandle WrapCreateSubfolder(FolderHandle parent, const std::string& name,
                                 const std::string& rules) VN_LINKED(VN_WRAP_CREATESUBFOLDER);
FolderHandle WrapCreateSubfolder(FolderHandle parent, const std::string& name,
                                 const std::string& rules) {
    return Fails(TFaultKind::Write, DiskFull) ? InvalidFolder
                                              : RealCreateSubfolder(parent, name, rules);
}

bool WrapMoveInFolder(FolderHandle folder, const std::string& from, const std::string& to,
                      bool replace) VN_LINKED(VN_WRAP_MOVEINFOLDER);
bool WrapMoveInFolder(FolderHandle folder, const std::string& from, const std::string& to,
                      bool replace) {
    return !Fails(TFaultKind::Move, ERROR_ACCESS_DENIED_CODE) &&
           RealMoveInFolder(folder, from, to, replace);
}

bool WrapMoveFile(const std::string& from, const std::string& to) VN_LINKED(VN_WRAP_MOVEFILE);
bool WrapMoveFile(const std::string& from, const std::string& to) {
    return !Fails(TFaultKind::Move, ERROR_ACCESS_DENIED_CODE) && RealMoveFile(from, to);
}

bool WrapReplaceFile(const std::string& from, const std::string& to) VN_LINKED(VN_WRAP_REPLACEFILE);
bool WrapReplaceFile(const std::string& from, const std::string& to) {
    return !Fails(TFaultKind::Move, ERROR_ACCESS_DENIED_CODE) && RealReplaceFile(from, to);
}

FileHandle WrapOpenFileExclusive(const std::string& path) VN_LINKED(VN_WRAP_OPENFILEEXCLUSIVE);
FileHandle WrapOpenFileExclusive(const std::string& path) {
    if (!State.InUsePath.empty() && path == State.InUsePath) {
        SetLastError(ERROR_SHARING_VIOLATION_CODE);
        return InvalidFile;
    }
    return RealOpenFileExclusive(path);
}

std::string WrapFileHolders(const std::string& path) VN_LINKED(VN_WRAP_FILEHOLDERS);
std::string WrapFileHolders(const std::string& path) {
    return path == State.InUsePath ? State.Holder : RealFileHolders(path);
}
