// Files put in place together. Each new file is written under a temporary name beside its target;
// Commit then replaces the targets, every old file first moved aside and removed only after the
// last replacement. Until Commit has succeeded, a failure or the destructor leaves the folders as
// they were: the temporary files are removed, the replaced targets are put back from their
// moved-aside versions, and the folders created here are removed again when empty.
//
// Every target lies below one root folder, and below it nothing is reached through a link: the
// folders are held open step by step (TVnHeldFolders), so a folder that a link has replaced is
// refused, not followed. What is created takes the access rules of InstallAccess().
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VnHeldFolders.h"
#include "VnSysUtils.h"

class TVnStagedFiles {
public:
    // root: the folder that holds every target, a full path. targets: every target path of the
    // run, so that no temporary or moved-aside name takes the name of a file still to come.
    TVnStagedFiles(const std::string& root, const std::vector<std::string>& targets);
    ~TVnStagedFiles();
    TVnStagedFiles(const TVnStagedFiles&) = delete;
    TVnStagedFiles& operator=(const TVnStagedFiles&) = delete;

    // The folder and every missing folder above it; raises EFCreateError for the one that cannot
    // be made or is a link. Folders above the root are made by their paths.
    void CreateFolders(const std::string& folder);
    // A new, empty file that takes target's place at Commit; EFCreateError names the target. The
    // caller closes it before Commit.
    std::unique_ptr<TVnFileStream> Create(const std::string& target);
    // Every target replaced, or none: a failure restores what was replaced and raises
    // EFCreateError for the target that could not be replaced.
    void Commit();

private:
    struct TFile {
        std::string Target, Folder, Name; // full path; its folder relative to the root; its name
        std::string Staged, Aside;        // names in the same folder
        bool Placed = false;
    };
    // The path relative to the root; raises EFCreateError when it is not below it.
    std::string Relative(const std::string& path) const;
    // The held folder of a relative path; raises EFCreateError naming `named` when it cannot be
    // reached.
    VnPlatform::FolderHandle Folder(const std::string& relative, const std::string& named);
    void CreateByPath(const std::string& folder);
    // The full path of a name in the folder of a relative path.
    std::string PathIn(const std::string& folder, const std::string& name) const;
    // A name of the pattern "~vn<n><extension>" in the folder of `relative` that is not reserved;
    // the caller's create or move tells whether it is free on the disk.
    std::string NextName(const std::string& folder, const char* extension);
    void MoveAside(TFile& file);
    void Rollback() noexcept;

    std::string FRoot; // with a trailing separator
    TVnHeldFolders FHeld;
    std::set<std::string> FReserved;
    std::vector<TFile> FFiles;
    std::vector<std::string> FCreatedByPath; // the root and folders above it, full paths
    std::vector<std::string> FCreatedBelow;  // relative to the root
    unsigned FCounter = 0;
    bool FCommitted = false;
};

// Deletes the plain file `name` of a held folder; false when it cannot (the platform's error).
bool DeleteFileIn(VnPlatform::FolderHandle folder, const std::string& name);
