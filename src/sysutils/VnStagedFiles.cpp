#include "VnStagedFiles.h"

#include <algorithm>

#include "VnAccessRules.h"

namespace {

// Names tried before a create or move gives up on finding a free one.
constexpr unsigned MaxNameAttempts = 10000;

bool NameTaken(uint32_t code) {
    return code == VnPlatform::ERROR_ALREADY_EXISTS_CODE ||
           code == VnPlatform::ERROR_FILE_EXISTS_CODE;
}

bool NotFound(uint32_t code) {
    return code == 2 || code == 3;
}

std::string Normal(std::string path) {
    std::replace(path.begin(), path.end(), '/', PathDelim);
    return path;
}

} // namespace

bool DeleteFileIn(VnPlatform::FolderHandle folder, const std::string& name) {
    const VnPlatform::FileHandle file = VnPlatform::OpenFileForRemoval(folder, name);
    if (file == VnPlatform::InvalidFile)
        return false;
    const bool deleted = VnPlatform::DeleteOpenedFile(folder, name, file);
    const uint32_t code = VnPlatform::LastError();
    VnPlatform::CloseFile(file);
    VnPlatform::SetLastError(code);
    return deleted;
}

TVnStagedFiles::TVnStagedFiles(const std::string& root, const std::vector<std::string>& targets)
    : FRoot(IncludeTrailingPathDelimiter(root)), FHeld(FRoot) {
    for (const std::string& target : targets)
        FReserved.insert(AsciiLowerCase(Normal(target)));
}

TVnStagedFiles::~TVnStagedFiles() {
    if (!FCommitted)
        Rollback();
}

std::string TVnStagedFiles::Relative(const std::string& path) const {
    const std::string root = Normal(FRoot), full = Normal(ExcludeTrailingPathDelimiter(path));
    if (SameTextAscii(full + PathDelim, root))
        return std::string();
    if (full.size() <= root.size() || !SameTextAscii(full.substr(0, root.size()), root))
        throw EFCreateError(path, VnPlatform::ERROR_ACCESS_DENIED_CODE);
    return full.substr(root.size());
}

VnPlatform::FolderHandle TVnStagedFiles::Folder(const std::string& relative,
                                                const std::string& named) {
    const VnPlatform::FolderHandle folder = FHeld.Open(relative);
    if (folder == VnPlatform::InvalidFolder)
        throw EFCreateError(named, VnPlatform::LastError());
    return folder;
}

void TVnStagedFiles::CreateByPath(const std::string& folder) {
    std::vector<std::string> missing;
    for (std::string path = ExcludeTrailingPathDelimiter(folder);
         !path.empty() && !VnPlatform::DirectoryExists(path);) {
        missing.push_back(path);
        const std::string parent = ExtractFileDir(path);
        if (parent == path)
            break;
        path = parent;
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
        if (!VnPlatform::CreateDirectory(*path, InstallAccess().FolderRules(*path)))
            throw EFCreateError(*path, VnPlatform::LastError());
        FCreatedByPath.push_back(*path);
    }
}

void TVnStagedFiles::CreateFolders(const std::string& folder) {
    const std::string root = ExcludeTrailingPathDelimiter(FRoot);
    const std::string full = Normal(ExcludeTrailingPathDelimiter(folder));
    if (StartsWith(AsciiLowerCase(Normal(root)) + PathDelim, AsciiLowerCase(full) + PathDelim)) {
        CreateByPath(folder); // the root or a folder above it
        return;
    }
    CreateByPath(root);
    const std::string relative = Relative(folder);
    const auto rulesOf = [](const std::string& path) { return InstallAccess().FolderRules(path); };
    for (size_t end = relative.find(PathDelim);; end = relative.find(PathDelim, end + 1)) {
        const std::string step = relative.substr(0, end);
        bool created = false;
        if (FHeld.OpenOrCreate(step, rulesOf, created) == VnPlatform::InvalidFolder)
            throw EFCreateError(FHeld.FullPath(step), VnPlatform::LastError());
        if (created)
            FCreatedBelow.push_back(step);
        if (end == std::string::npos)
            return;
    }
}

std::string TVnStagedFiles::PathIn(const std::string& folder, const std::string& name) const {
    return IncludeTrailingPathDelimiter(FHeld.FullPath(folder)) + name;
}

std::string TVnStagedFiles::NextName(const std::string& folder, const char* extension) {
    for (;;) {
        std::string name = "~vn" + std::to_string(++FCounter) + extension;
        if (FReserved.insert(AsciiLowerCase(Normal(PathIn(folder, name)))).second)
            return name;
    }
}

std::unique_ptr<TVnFileStream> TVnStagedFiles::Create(const std::string& target) {
    if (VnPlatform::DirectoryExists(target))
        throw EFCreateError(target, VnPlatform::ERROR_ACCESS_DENIED_CODE);
    const std::string relative = Relative(target);
    TFile file;
    file.Target = target;
    file.Folder = TVnHeldFolders::ParentOf(relative);
    file.Name = TVnHeldFolders::NameOf(relative);
    const VnPlatform::FolderHandle folder = Folder(file.Folder, target);
    const std::string rules = InstallAccess().FileRules(target);
    for (unsigned attempt = 0;; ++attempt) {
        file.Staged = NextName(file.Folder, ".tmp");
        const VnPlatform::FileHandle handle =
            VnPlatform::CreateNewFileIn(folder, file.Staged, rules);
        if (handle != VnPlatform::InvalidFile) {
            FFiles.push_back(file);
            return std::make_unique<TVnFileStream>(handle, PathIn(file.Folder, file.Staged));
        }
        const uint32_t code = VnPlatform::LastError();
        if (!NameTaken(code) || attempt == MaxNameAttempts)
            throw EFCreateError(target, code);
    }
}

void TVnStagedFiles::MoveAside(TFile& file) {
    const VnPlatform::FolderHandle folder = Folder(file.Folder, file.Target);
    for (unsigned attempt = 0;; ++attempt) {
        const std::string aside = NextName(file.Folder, ".old");
        if (VnPlatform::MoveInFolder(folder, file.Name, aside, false)) {
            file.Aside = aside;
            return;
        }
        const uint32_t code = VnPlatform::LastError();
        if (NotFound(code))
            return; // a new file: nothing to move aside
        if (!NameTaken(code) || attempt == MaxNameAttempts)
            throw EFCreateError(file.Target, code);
    }
}

void TVnStagedFiles::Commit() {
    try {
        for (TFile& file : FFiles) {
            MoveAside(file);
            if (!VnPlatform::MoveInFolder(Folder(file.Folder, file.Target), file.Staged, file.Name,
                                          false))
                throw EFCreateError(file.Target, VnPlatform::LastError());
            file.Placed = true;
        }
    } catch (...) {
        Rollback();
        throw;
    }
    FCommitted = true;
    // The installation is complete; an old file that cannot be removed only takes space.
    for (const TFile& file : FFiles)
        if (!file.Aside.empty())
            DeleteFileIn(FHeld.Open(file.Folder), file.Aside);
}

void TVnStagedFiles::Rollback() noexcept {
    for (auto file = FFiles.rbegin(); file != FFiles.rend(); ++file) {
        const VnPlatform::FolderHandle folder = FHeld.Open(file->Folder);
        if (folder == VnPlatform::InvalidFolder)
            continue;
        if (!file->Placed)
            DeleteFileIn(folder, file->Staged);
        if (file->Placed && !file->Aside.empty())
            VnPlatform::MoveInFolder(folder, file->Aside, file->Name, true);
        else if (file->Placed)
            DeleteFileIn(folder, file->Name);
        else if (!file->Aside.empty())
            VnPlatform::MoveInFolder(folder, file->Aside, file->Name, false);
    }
    FFiles.clear();
    for (auto relative = FCreatedBelow.rbegin(); relative != FCreatedBelow.rend(); ++relative) {
        FHeld.Release(*relative);
        const VnPlatform::FolderHandle parent = FHeld.Open(TVnHeldFolders::ParentOf(*relative));
        if (parent != VnPlatform::InvalidFolder)
            VnPlatform::RemoveSubfolder(parent, TVnHeldFolders::NameOf(*relative));
    }
    FCreatedBelow.clear();
    FHeld.Release("");
    for (auto folder = FCreatedByPath.rbegin(); folder != FCreatedByPath.rend(); ++folder)
        VnPlatform::RemoveDirectory(*folder);
    FCreatedByPath.clear();
}
