// The folders an installation must not take, and the access rules of what it creates.
#include <gtest/gtest.h>

#include "VnAccessRules.h"

namespace {

TEST(AccessRules, SystemFoldersAreRefusedAndTheirSubfoldersMostlyNot) {
    const VnPlatform::SystemFolders system{
        "C:\\Windows", {"C:\\Program Files", "C:\\Program Files (x86)"}, "C:\\Users"};
    const struct {
        const char* Folder;
        bool Refused;
    } cases[] = {
        {"C:\\", true},
        {"d:", true},
        {"\\\\server\\share\\", true},
        {"/", true},
        {"C:\\windows", true},
        {"C:\\WINDOWS\\System32\\Vantro\\", true},
        {"C:\\Program Files\\", true},
        {"c:\\program files (x86)", true},
        {"C:\\Users", true},
        {"C:\\Users\\alice\\", true},
        {"C:\\Program Files\\VantroMS\\", false},
        {"C:\\Program Files (x86)\\VantroMS", false},
        {"C:\\Users\\alice\\Vantro", false},
        {"C:\\WindowsApps\\Vantro", false},
        {"D:\\Vantro\\", false},
        {"\\\\server\\share\\Vantro", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Refused, IsSystemFolder(c.Folder, system)) << c.Folder;
}

TEST(AccessRules, OnlyAnAdministratorsRunProtectsWhatItCreates) {
    const std::string user = "S-1-5-21-1-2-3-1001";
    EXPECT_EQ("D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")",
              PrivateRules(user));
    EXPECT_EQ("D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", PrivateRules("S-1-5-18"));
    TVnInstallAccess access;
    for (const bool administrator : {true, false}) {
        access.Begin("C:\\Vantro\\", administrator, user);
        const std::string protectedRules = administrator ? ProgramFolderRules : "";
        const std::string privateRules = administrator ? PrivateRules(user) : "";
        EXPECT_EQ(protectedRules, access.FolderRules("c:\\vantro"));
        EXPECT_EQ(privateRules, access.FolderRules("C:\\Vantro\\Config\\"));
        EXPECT_EQ(privateRules, access.FileRules("C:\\Vantro\\VNT_Admin\\VNT_Admin.cfg"));
        for (const char* inherited : {"C:\\", "C:\\Vantro\\WWW", "C:\\Vantro\\Config\\Sub"})
            EXPECT_EQ("", access.FolderRules(inherited)) << inherited;
        EXPECT_EQ("", access.FileRules("C:\\Vantro\\Config\\server.cfg"));
    }
    EXPECT_EQ("icacls \"C:\\Vantro\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F "
              "*S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX",
              ProtectFolderCommand("C:\\Vantro\\"));
}

} // namespace
