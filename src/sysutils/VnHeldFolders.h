// The folders below a root, reached step by step and held open while they are used, none through
// a link: a path below the root that has been checked cannot be turned into another place before
// it is used (VnPlatform's folder handles). Relative paths are "\"-joined, without a leading or
// trailing separator; "" is the root.
#pragma once

#include <map>
#include <string>

#include "VnPlatform.h"

class TVnHeldFolders {
public:
    // root: the full path of a folder (with or without a trailing separator); opened when first
    // needed, when its last step must be no link either.
    explicit TVnHeldFolders(std::string root) : FRoot(std::move(root)) {}
    ~TVnHeldFolders();
    TVnHeldFolders(const TVnHeldFolders&) = delete;
    TVnHeldFolders& operator=(const TVnHeldFolders&) = delete;

    // The held folder of a relative path; InvalidFolder with the platform's error code when a
    // step is missing, a file or a link.
    VnPlatform::FolderHandle Open(const std::string& relative);
    // The held folder of a relative path whose parent exists: opened, or made with the access
    // rules that rulesOf gives for its full path. `created` tells which.
    template <class TRules>
    VnPlatform::FolderHandle OpenOrCreate(const std::string& relative, const TRules& rulesOf,
                                          bool& created) {
        created = false;
        if (const VnPlatform::FolderHandle folder = Open(relative))
            return folder;
        if (!IsAbsent(VnPlatform::LastError()) || relative.empty())
            return VnPlatform::InvalidFolder;
        return Create(relative, rulesOf(FullPath(relative)), created);
    }
    // Closes the held folder of relative and those below it, so that it can be removed.
    void Release(const std::string& relative);
    // The full path of a relative path.
    std::string FullPath(const std::string& relative) const;

    // The folder part and the name of a relative path ("a\b\c" gives "a\b" and "c").
    static std::string ParentOf(const std::string& relative);
    static std::string NameOf(const std::string& relative);

private:
    static bool IsAbsent(uint32_t code) { return code == 2 || code == 3; }
    VnPlatform::FolderHandle Create(const std::string& relative, const std::string& rules,
                                    bool& created);

    std::string FRoot;
    std::map<std::string, VnPlatform::FolderHandle> FHeld; // by relative path, as given
};
