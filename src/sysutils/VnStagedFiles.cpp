#include "VnStagedFiles.h"

#include <algorithm>

namespace {

// Names tried before a create or move gives up on finding a free one.
constexpr unsigned MaxNameAttempts = 10000;

bool NameTaken(uint32_t code) {
    return code == VnPlatform::ERROR_ALREADY_EXISTS_CODE ||
           code == VnPlatform::ERROR_FILE_EXISTS_CODE;
}

} // namespace

TVnStagedFiles::TVnStagedFiles(const std::vector<std::string>& targets) {
    for (const std::string& target : targets)
        FReserved.insert(AsciiLowerCase(target));
}

TVnStagedFiles::~TVnStagedFiles() {
    if (!FCommitted)
        Rollback();
}

void TVnStagedFiles::CreateFolders(const std::string& folder) {
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
        OSCheck(VnPlatform::CreateDirectory(*path));
        FCreatedFolders.push_back(*path);
    }
}

std::string TVnStagedFiles::NextName(const std::string& folder, const char* extension) {
    for (;;) {
        std::string name = folder + "~vn" + std::to_string(++FCounter) + extension;
        if (FReserved.insert(AsciiLowerCase(name)).second)
            return name;
    }
}

std::unique_ptr<TVnFileStream> TVnStagedFiles::Create(const std::string& target) {
    if (VnPlatform::DirectoryExists(target))
        throw EFCreateError(target, VnPlatform::ERROR_ACCESS_DENIED_CODE);
    const std::string folder = ExtractFilePath(target);
    for (unsigned attempt = 0;; ++attempt) {
        const std::string staged = NextName(folder, ".tmp");
        try {
            auto stream = std::make_unique<TVnFileStream>(staged, TVnFileStream::Mode::CreateNew);
            FFiles.push_back(TFile{target, staged, "", false});
            return stream;
        } catch (const EFCreateError& e) {
            if (!NameTaken(e.ErrorCode()) || attempt == MaxNameAttempts)
                throw EFCreateError(target, e.ErrorCode());
        }
    }
}

void TVnStagedFiles::MoveAside(TFile& file) {
    const std::string folder = ExtractFilePath(file.Target);
    for (unsigned attempt = 0;; ++attempt) {
        const std::string aside = NextName(folder, ".old");
        if (VnPlatform::MoveFile(file.Target, aside)) {
            file.Aside = aside;
            return;
        }
        const uint32_t code = VnPlatform::LastError();
        if (!NameTaken(code) || attempt == MaxNameAttempts)
            throw EFCreateError(file.Target, code);
    }
}

void TVnStagedFiles::Commit() {
    try {
        for (TFile& file : FFiles) {
            if (VnPlatform::FileExists(file.Target))
                MoveAside(file);
            if (!VnPlatform::MoveFile(file.Staged, file.Target))
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
            VnPlatform::DeleteFile(file.Aside);
}

void TVnStagedFiles::Rollback() noexcept {
    for (auto file = FFiles.rbegin(); file != FFiles.rend(); ++file) {
        if (!file->Placed)
            VnPlatform::DeleteFile(file->Staged);
        if (file->Placed && !file->Aside.empty())
            VnPlatform::ReplaceFile(file->Aside, file->Target);
        else if (file->Placed)
            VnPlatform::DeleteFile(file->Target);
        else if (!file->Aside.empty())
            VnPlatform::MoveFile(file->Aside, file->Target);
    }
    FFiles.clear();
    for (auto folder = FCreatedFolders.rbegin(); folder != FCreatedFolders.rend(); ++folder)
        VnPlatform::RemoveDirectory(*folder);
    FCreatedFolders.clear();
}
