// The access rules of what an installation creates, as SDDL text that the platform applies when it
// creates a folder or file, and the folders of the system that an installation must not take.
#pragma once

#include <string>

#include "VnPlatform.h"

// The installation folder's rules, like the program-files folder's: SYSTEM and Administrators
// full control, Users read and execute, inherited by everything below, nothing inherited from
// above, and no entry for anyone else.
extern const char* const ProgramFolderRules;
// The rules of what holds the administrator's password: SYSTEM, Administrators and the user
// (a SID string) full control, nobody else; inherited below, nothing from above.
std::string PrivateRules(const std::string& userSid);
// The command that gives an existing folder the installation folder's rules.
std::string ProtectFolderCommand(const std::string& folder);

// Whether a full path may not be an installation folder: a drive or share root, the Windows
// folder or a folder below it, a program-files folder itself (a folder below one is fine), the
// profiles folder or a profile's root.
bool IsSystemFolder(const std::string& folder, const VnPlatform::SystemFolders& system);

// The rules of one installation run: an administrator's installation folder, when the run
// creates it, gets ProgramFolderRules; its Config folder and the console's configuration, which
// hold the administrator's password, get PrivateRules for the user who runs the setup. Anything
// else, and everything a standard user's run creates, inherits its folder's rules.
class TVnInstallAccess {
public:
    // folder: the installation folder, a full path. protect: the run has administrator rights.
    void Begin(const std::string& folder, bool protect, const std::string& userSid);
    void End() { FProtect = false; }
    // The rules of a new folder, and of a new file that takes target's place ("" : inherited).
    std::string FolderRules(const std::string& folder) const;
    std::string FileRules(const std::string& target) const;

private:
    std::string FFolder; // "\"-separated, without a trailing separator
    std::string FUserSid;
    bool FProtect = false;
};

// The rules of the process's current run.
TVnInstallAccess& InstallAccess();
