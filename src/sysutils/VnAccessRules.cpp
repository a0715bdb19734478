#include "VnAccessRules.h"

#include <algorithm>

#include "VnSysUtils.h"

const char* const ProgramFolderRules =
    "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

const char* const LocalSystemSid = "S-1-5-18";

// A path with "\" separators and no trailing separator, for comparisons.
std::string Normal(std::string path) {
    std::replace(path.begin(), path.end(), '/', PathDelim);
    while (!path.empty() && path.back() == PathDelim)
        path.pop_back();
    return path;
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    return !folder.empty() && (SameTextAscii(path, folder) ||
                               (path.size() > folder.size() && path[folder.size()] == PathDelim &&
                                SameTextAscii(path.substr(0, folder.size()), folder)));
}

// "", "C:", "\\server\share" (after Normal): the root of a drive or share.
bool IsRoot(const std::string& path) {
    if (path.empty() || (path.size() == 2 && path[1] == ':'))
        return true;
    if (path.compare(0, 2, "\\\\") != 0)
        return false;
    const size_t share = path.find(PathDelim, 2);
    return share != std::string::npos && path.find(PathDelim, share + 1) == std::string::npos;
}

} // namespace

std::string PrivateRules(const std::string& userSid) {
    std::string rules = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (!userSid.empty() && userSid != LocalSystemSid)
        rules += "(A;OICI;FA;;;" + userSid + ")";
    return rules;
}

std::string ProtectFolderCommand(const std::string& folder) {
    return "icacls \"" + Normal(folder) +
           "\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F "
           "*S-1-5-32-545:(OI)(CI)RX";
}

bool IsSystemFolder(const std::string& folder, const VnPlatform::SystemFolders& system) {
    const std::string path = Normal(folder);
    const std::string profiles = Normal(system.Profiles);
    const auto same = [&path](const std::string& other) {
        return !other.empty() && SameTextAscii(path, Normal(other));
    };
    const size_t last = path.rfind(PathDelim);
    const std::string parent = last == std::string::npos ? "" : path.substr(0, last);
    return IsRoot(path) || IsAtOrBelow(path, Normal(system.Windows)) ||
           std::any_of(system.ProgramFiles.begin(), system.ProgramFiles.end(), same) ||
           same(profiles) || (!profiles.empty() && SameTextAscii(parent, profiles));
}

void TVnInstallAccess::Begin(const std::string& folder, bool protect, const std::string& userSid) {
    FFolder = Normal(folder);
    FProtect = protect;
    FUserSid = userSid;
}

std::string TVnInstallAccess::FolderRules(const std::string& folder) const {
    if (!FProtect)
        return std::string();
    const std::string path = Normal(folder);
    if (SameTextAscii(path, FFolder))
        return ProgramFolderRules;
    if (SameTextAscii(path, FFolder + PathDelim + "Config"))
        return PrivateRules(FUserSid);
    return std::string();
}

std::string TVnInstallAccess::FileRules(const std::string& target) const {
    const bool console = SameTextAscii(Normal(target), FFolder + PathDelim + "VNT_Admin" +
                                                           PathDelim + "VNT_Admin.cfg");
    return FProtect && console ? PrivateRules(FUserSid) : std::string();
}

TVnInstallAccess& InstallAccess() {
    static TVnInstallAccess access;
    return access;
}
