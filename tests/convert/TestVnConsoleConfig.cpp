// The console configuration checked before anything is written: a damaged file gives way to the
// template and is kept as VNT_Admin.cfg.bak.
#include <gtest/gtest.h>

#include "ConvertTestSupport.h"
#include "VnCrypt.h"
#include "VnDB.h"
#include "VnDBConvertor.h"

namespace {

const char* const Good = "<vnt-db ver=\"3.08\">\r\n<table name=\"Admin\">\r\n  <row>\r\n"
                         "    <col name=\"Language\">ru</col>\r\n"
                         "    <col name=\"Top\">40</col>\r\n"
                         "    <col name=\"Server\">10.0.0.5</col>\r\n"
                         "    <col name=\"User\">admin@x.test</col>\r\n"
                         "    <col name=\"Password\">C00:stored</col>\r\n"
                         "  </row>\r\n</table>\r\n\r\n</vnt-db>\r\n";

std::string Without(std::string text, const std::string& part) {
    const size_t at = text.find(part);
    EXPECT_NE(std::string::npos, at) << part;
    return at == std::string::npos ? text : text.erase(at, part.size());
}

struct TDamage {
    const char* What;
    std::string File, Message;
};

std::vector<TDamage> DamagedFiles() {
    return {
        {"malformed", Without(Good, "</table>"), "Incorrect XML data"},
        {"malformed head", "<vnt-db ver=\"3.08\" <<>", "Incorrect XML data"},
        {"no Admin", "<vnt-db ver=\"3.08\">\r\n<table name=\"Other\">\r\n</table>\r\n</vnt-db>",
         "Table \"Admin\" not found"},
        {"no row", "<vnt-db ver=\"3.08\">\r\n<table name=\"Admin\">\r\n</table>\r\n</vnt-db>",
         "List index out of bounds (0)"},
        {"no Password", Without(Good, "    <col name=\"Password\">C00:stored</col>\r\n"),
         "Field \"Admin.Password\" not found"},
        {"no Language", Without(Good, "    <col name=\"Language\">ru</col>\r\n"),
         "Field \"Admin.Language\" not found"},
    };
}

TEST(ConsoleConfigCheck, ADamagedFileIsKeptAsBakAndTheTemplateWritten) {
    for (const TDamage& damage : DamagedFiles()) {
        TInstallFolder install;
        const std::string file = install.Console() + "VNT_Admin.cfg";
        WriteBytes(file, damage.File);
        TVnConsoleConfig console(install.Console(), true);
        EXPECT_TRUE(console.Damaged()) << damage.What;
        EXPECT_EQ(damage.Message, console.Damage()) << damage.What;
        EXPECT_EQ(damage.File, ReadBytes(file)) << damage.What; // the check writes nothing
        EXPECT_FALSE(PathExists(file + ".bak"));

        console.Write("boss@x.test", "en", "new password");
        EXPECT_EQ(damage.File, ReadBytes(file + ".bak")) << damage.What;
        const auto root = ParseDatabase(ReadBytes(file));
        const TVnXMLElement* row = TableOf(*root, "Admin")->Child(0);
        EXPECT_EQ("boss@x.test", ColumnOf(row, "User"));
        EXPECT_EQ("en", ColumnOf(row, "Language"));
        EXPECT_EQ("127.0.0.1", ColumnOf(row, "Server"));          // the template's
        EXPECT_EQ(EncodePassword(""), ColumnOf(row, "Password")); // which keeps no password
        EXPECT_EQ(nullptr, CurrentDB);
    }
}

TEST(ConsoleConfigCheck, OnlyTheColumnsTheUpdateSetsAreDemanded) {
    TInstallFolder install;
    const std::string file = install.Console() + "VNT_Admin.cfg";
    const std::string noPassword = Without(Good, "    <col name=\"Password\">C00:stored</col>\r\n");
    WriteBytes(file, noPassword);
    TVnConsoleConfig consoleOnly(install.Console(), false);
    EXPECT_FALSE(consoleOnly.Damaged());
    consoleOnly.Write("", "en", "");
    EXPECT_NE(std::string::npos, ReadBytes(file).find("10.0.0.5"));
    EXPECT_FALSE(PathExists(file + ".bak"));

    WriteBytes(file, Good);
    TVnConsoleConfig full(install.Console(), true);
    EXPECT_FALSE(full.Damaged());
    full.Write("admin@x.test", "en", "pw");
    const auto root = ParseDatabase(ReadBytes(file));
    EXPECT_EQ(EncodePassword("pw"), ColumnOf(TableOf(*root, "Admin")->Child(0), "Password"));
    EXPECT_FALSE(PathExists(file + ".bak"));
}

// The order of the administrator page: the check, the databases, the console file.
TEST(ConsoleConfigCheck, TheDatabasesAndTheConsoleAreWrittenOverADamagedFile) {
    for (const TDamage& damage : DamagedFiles()) {
        TInstallFolder install;
        WriteBytes(install.Console() + "VNT_Admin.cfg", damage.File);
        TVnDBConvertor convertor(install.Package());
        convertor.ConvertDatabases(install.Config(), "en");
        std::vector<TVnAdminEntry> admins;
        convertor.GetAdminList(admins);
        ASSERT_FALSE(admins.empty());
        TVnConsoleConfig console(install.Console(), true);
        convertor.SetAdministrator(admins[0].ID, "pw");
        console.Write(admins[0].Text, "en", "pw");
        EXPECT_NE(std::string::npos, install.Server().find(EncodePassword("pw"))) << damage.What;
        const auto root = ParseDatabase(ReadBytes(install.Console() + "VNT_Admin.cfg"));
        EXPECT_EQ(admins[0].Text, ColumnOf(TableOf(*root, "Admin")->Child(0), "User"));
        EXPECT_EQ(damage.File, ReadBytes(install.Console() + "VNT_Admin.cfg.bak"));
    }
}

} // namespace
