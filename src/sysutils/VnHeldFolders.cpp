#include "VnHeldFolders.h"

#include "VnSysUtils.h"

TVnHeldFolders::~TVnHeldFolders() {
    // Deepest first: a held folder keeps the ones above it from being renamed, not the reverse.
    for (auto held = FHeld.rbegin(); held != FHeld.rend(); ++held)
        VnPlatform::CloseFolder(held->second);
}

std::string TVnHeldFolders::ParentOf(const std::string& relative) {
    const size_t delim = relative.rfind(PathDelim);
    return delim == std::string::npos ? std::string() : relative.substr(0, delim);
}

std::string TVnHeldFolders::NameOf(const std::string& relative) {
    return relative.substr(relative.rfind(PathDelim) + 1);
}

std::string TVnHeldFolders::FullPath(const std::string& relative) const {
    const std::string root = IncludeTrailingPathDelimiter(FRoot);
    return relative.empty() ? root : root + relative;
}

VnPlatform::FolderHandle TVnHeldFolders::Open(const std::string& relative) {
    const auto held = FHeld.find(relative);
    if (held != FHeld.end())
        return held->second;
    VnPlatform::FolderHandle folder = VnPlatform::InvalidFolder;
    if (relative.empty()) {
        // A drive's root keeps its separator: "C:" alone names the drive's current folder.
        const std::string root = ExcludeTrailingPathDelimiter(FRoot);
        const bool driveRoot = root.empty() || root.back() == ':';
        folder = VnPlatform::OpenFolder(driveRoot ? FRoot : root);
    } else {
        const VnPlatform::FolderHandle parent = Open(ParentOf(relative));
        if (parent == VnPlatform::InvalidFolder)
            return parent;
        folder = VnPlatform::OpenSubfolder(parent, NameOf(relative));
    }
    if (folder != VnPlatform::InvalidFolder)
        FHeld.emplace(relative, folder);
    return folder;
}

VnPlatform::FolderHandle TVnHeldFolders::Create(const std::string& relative,
                                                const std::string& rules, bool& created) {
    const VnPlatform::FolderHandle parent = Open(ParentOf(relative));
    if (parent == VnPlatform::InvalidFolder)
        return parent;
    const VnPlatform::FolderHandle folder =
        VnPlatform::CreateSubfolder(parent, NameOf(relative), rules);
    if (folder == VnPlatform::InvalidFolder)
        return folder;
    created = true;
    FHeld.emplace(relative, folder);
    return folder;
}

void TVnHeldFolders::Release(const std::string& relative) {
    // The folders below relative sort together, from relative + "\" on.
    const std::string below = relative.empty() ? "" : relative + PathDelim;
    for (auto held = FHeld.lower_bound(below);
         held != FHeld.end() && held->first.compare(0, below.size(), below) == 0;) {
        VnPlatform::CloseFolder(held->second);
        held = FHeld.erase(held);
    }
    const auto self = FHeld.find(relative);
    if (self != FHeld.end()) {
        VnPlatform::CloseFolder(self->second);
        FHeld.erase(self);
    }
}
