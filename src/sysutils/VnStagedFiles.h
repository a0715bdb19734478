// Files put in place together. Each new file is written under a temporary name beside its target;
// Commit then replaces the targets, every old file first moved aside and removed only after the
// last replacement. Until Commit has succeeded, a failure or the destructor leaves the folders as
// they were: the temporary files are removed, the replaced targets are put back from their
// moved-aside versions, and the folders created here are removed again when empty.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VnSysUtils.h"

class TVnStagedFiles {
public:
    // targets: every target path of the run, so that no temporary or moved-aside name takes the
    // name of a file still to come.
    explicit TVnStagedFiles(const std::vector<std::string>& targets);
    ~TVnStagedFiles();
    TVnStagedFiles(const TVnStagedFiles&) = delete;
    TVnStagedFiles& operator=(const TVnStagedFiles&) = delete;

    // The folder and every missing folder above it; raises EOSError when one cannot be made.
    void CreateFolders(const std::string& folder);
    // A new, empty file that takes target's place at Commit; EFCreateError names the target. The
    // caller closes it before Commit.
    std::unique_ptr<TVnFileStream> Create(const std::string& target);
    // Every target replaced, or none: a failure restores what was replaced and raises
    // EFCreateError for the target that could not be replaced.
    void Commit();

private:
    struct TFile {
        std::string Target, Staged, Aside;
        bool Placed = false;
    };
    // A name of the pattern "~vn<n><extension>" in folder (ending with a separator) that is not
    // reserved; the caller's create or move tells whether it is free on the disk.
    std::string NextName(const std::string& folder, const char* extension);
    void MoveAside(TFile& file);
    void Rollback() noexcept;

    std::set<std::string> FReserved;
    std::vector<TFile> FFiles;
    std::vector<std::string> FCreatedFolders;
    unsigned FCounter = 0;
    bool FCommitted = false;
};
