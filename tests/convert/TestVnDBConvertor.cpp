// The convertor: the default database, choosing and storing the administrator, writing both
// databases together with copies of what they replace, and the console configuration.
#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "ConvertTestSupport.h"
#include "VnCrypt.h"
#include "VnDB.h"
#include "VnDBConvertor.h"
#include "VnUpgradeSteps.h"

using namespace VnFixture;

namespace {

using TStrings = std::vector<std::string>;

// The text with the first occurrence of `from` replaced.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TStrings UserColumn(const TVnXMLElement& root, const std::string& column) {
    TStrings values;
    for (const TVnXMLElement* row : TableOf(root, "Users")->Children())
        values.push_back(ColumnOf(row, column));
    return values;
}

// ---- The default database ---------------------------------------------------------------

TEST(DefaultDatabase, IsWrittenBackByteForByte) {
    const std::string text = DefaultDatabaseText();
    EXPECT_EQ(text.size(), 22405u);
    auto root = ParseDatabase(text);
    EXPECT_EQ(DatabaseText(*root), text);
    EXPECT_EQ(TableNames(*root).size(), 29u);
}

TEST(DefaultDatabase, SharesTheEncodedEmptyPasswordWithTheConsoleTemplate) {
    const auto root = ParseDatabase(DefaultDatabaseText());
    const std::string empty = EncodePassword("");
    EXPECT_EQ(ColumnOf(TableOf(*root, "Main")->Child(0), "SOCKSPassword"), empty);
    EXPECT_EQ(ColumnOf(TableOf(*root, "RemoteSMTPServers")->Child(0), "Password"), empty);
    EXPECT_EQ(ColumnOf(TableOf(*root, "Users")->Child(0), "Password"), EncodePassword("admin"));
    EXPECT_NE(std::string(TVnDBConvertor::ConsoleTemplate).find(">" + empty + "<"),
              std::string::npos);
    EXPECT_EQ(ColumnOf(TableOf(*root, "Services")->Child(0), "DisallowHosts"), HostNamePattern);
}

TEST(DefaultDatabase, ReplacesAMissingServerCfgAndOnlyLanguageAndPasswordChange) {
    TInstallFolder install;
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    EXPECT_TRUE(convertor.NewDatabase());
    EXPECT_EQ(convertor.Version(), 3089);
    EXPECT_TRUE(convertor.StateFileName().empty());

    std::vector<TVnAdminEntry> list;
    EXPECT_EQ(convertor.GetAdminList(list), 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Text, "admin@domain.local");
    EXPECT_EQ(list[0].ID, 1);

    EXPECT_EQ(convertor.SetAdministrator(1, "secret"), TStrings({install.Config() + "server.cfg"}));
    std::string expected = Replaced(DefaultDatabaseText(), ">ru<", ">en<");
    expected = Replaced(expected, EncodePassword("admin"), EncodePassword("secret"));
    EXPECT_EQ(install.Server(), expected);
    EXPECT_FALSE(PathExists(install.Config() + "state.cfg"));
}

TEST(DefaultDatabase, APackageWithoutItFailsOnTheEmptyText) {
    TInstallFolder install;
    WritePackage(install.Package(), "");
    TVnDBConvertor convertor(install.Package());
    try {
        convertor.ConvertDatabases(install.Config(), "en");
        FAIL() << "no error";
    } catch (const EVnException& e) {
        EXPECT_STREQ(e.what(), "Incorrect XML data");
    }
}

// ---- Which server.cfg is kept -------------------------------------------------------------

TEST(ConvertDatabases, DiscardsOldFilesWithoutTheMarkerTables) {
    struct TCase {
        int Version;
        TStrings Dropped;
        bool New;
    };
    const TCase cases[] = {
        {3030, {"RASConnections", "TimeRanges"}, true},
        {3030, {"RASConnections"}, false},
        {3030, {"TimeRanges"}, false},
        {3031, {"RASConnections", "TimeRanges"}, false},
    };
    for (const TCase& test : cases) {
        std::vector<TTable> tables = ServerTables();
        for (const std::string& name : test.Dropped)
            tables.erase(std::find_if(tables.begin(), tables.end(),
                                      [&](const TTable& t) { return t.Name == name; }));
        TInstallFolder install;
        install.WriteServer(WriteDatabase(tables, test.Version));
        TVnDBConvertor convertor(install.Package());
        convertor.ConvertDatabases(install.Config(), "en");
        EXPECT_EQ(convertor.NewDatabase(), test.New) << test.Version << " " << test.Dropped.size();
        EXPECT_EQ(convertor.ServerFileVersion(), test.Version);
    }
}

TEST(ConvertDatabases, AnEmptyServerCfgCountsAsMissing) {
    TInstallFolder install;
    install.WriteServer("");
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    EXPECT_TRUE(convertor.NewDatabase());
    EXPECT_EQ(convertor.ServerFileVersion(), 0);
}

TEST(ConvertDatabases, RemoteMailboxesEndsAsTheLastTableOfServerCfg) {
    TInstallFolder install;
    install.WriteServer(WriteDatabase(ServerTables(), 2039));
    install.WriteState(WriteDatabase(StateTables(), 2039));
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    convertor.SetAdministrator(1, "");
    const auto server = ParseDatabase(install.Server());
    const auto state = ParseDatabase(install.State());
    EXPECT_EQ(TableNames(*server).back(), "RemoteMailboxes");
    EXPECT_EQ(TableOf(*server, "RemoteMailboxes")->ChildCount(), TScale().Mailboxes);
    EXPECT_EQ(TableNames(*state), TStrings({"Server", "RemoteMessages"}));
    EXPECT_EQ(install.State().substr(0, 21), "<vnt-db ver=\"3.08\">\r\n");
}

// ---- The administrator --------------------------------------------------------------------

TEST(Administrator, ListShowsEveryUserWithTheNameOfItsDomain) {
    std::vector<TTable> tables = ServerTables();
    FixtureTable(tables, "Users").Rows.push_back(UserRow(4, 9)); // no such domain
    TInstallFolder install;
    install.WriteServer(WriteDatabase(tables, 3089));
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    std::vector<TVnAdminEntry> list = {{"stale", 7}};
    EXPECT_EQ(convertor.GetAdminList(list), 1);
    TStrings texts;
    std::vector<int> ids;
    for (const TVnAdminEntry& entry : list) {
        texts.push_back(entry.Text);
        ids.push_back(entry.ID);
    }
    // A user whose domain does not exist shows the last domain's name.
    EXPECT_EQ(texts, TStrings({"admin@mail.example.test", "user2@example.test",
                               "user3@mail.example.test", "user4@mail.example.test"}));
    EXPECT_EQ(ids, std::vector<int>({1, 2, 3, 4}));
}

TEST(Administrator, ComesFirstWithItsNewPassword) {
    TInstallFolder install;
    install.WriteServer(WriteDatabase(ServerTables(), 3089));
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    convertor.SetAdministrator(3, "new password");
    const auto server = ParseDatabase(install.Server());
    EXPECT_EQ(UserColumn(*server, "ID"), TStrings({"3", "2", "1"}));
    EXPECT_EQ(UserColumn(*server, "Name"), TStrings({"user3", "user2", "admin"}));
    EXPECT_EQ(UserColumn(*server, "Password"),
              TStrings({EncodePassword("new password"), "C00:AAAAAAAAAAAA", "C00:AAAAAAAAAAAA"}));
    EXPECT_EQ(ColumnOf(TableOf(*server, "Main")->Child(0), "Admin"), "3");
    // The rows keep their own columns, in their order.
    EXPECT_EQ(ColumnNames(TableOf(*server, "Users")->Child(0)),
              ColumnNames(TableOf(*server, "Users")->Child(2)));
}

TEST(Administrator, TheFirstUserOrNoAdministratorLeavesTheOrder) {
    for (int admin : {1, 0}) {
        TInstallFolder install;
        std::vector<TTable> tables = ServerTables();
        SetValue(FixtureTable(tables, "Main").Rows[0], "Admin", std::to_string(admin));
        install.WriteServer(WriteDatabase(tables, 3089));
        TVnDBConvertor convertor(install.Package());
        convertor.ConvertDatabases(install.Config(), "ru");
        convertor.MoveAdminFirst();
        EXPECT_EQ(UserColumn(convertor.ServerDB(), "ID"), TStrings({"1", "2", "3"}));
        convertor.SetAdministrator(0, "ignored without a user");
        EXPECT_EQ(install.Server(), WriteDatabase(tables, 3089)) << admin;
    }
}

TEST(Administrator, AnUnknownUserIsRefusedBeforeAnythingIsWritten) {
    TInstallFolder install;
    const std::string text = WriteDatabase(ServerTables(), 2039);
    install.WriteServer(text);
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    EXPECT_THROW(convertor.SetAdministrator(9, "x"), EVnException);
    EXPECT_EQ(install.Server(), text);
}

// ---- Backups and the paired write ---------------------------------------------------------

TEST(WriteDatabases, KeepsCopiesOfOlderFilesOnce) {
    TInstallFolder install;
    const std::string server = WriteDatabase(ServerTables(), 3069);
    const std::string state = WriteDatabase(StateTables(), 2039);
    install.WriteServer(server);
    install.WriteState(state);
    WriteBytes(install.Config() + "state.cfg.bak", "an older copy");
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    const std::string config = install.Config();
    EXPECT_EQ(convertor.SetAdministrator(1, "pw"),
              TStrings({config + "server.cfg.bak", config + "state.cfg.bak", config + "server.cfg",
                        config + "state.cfg"}));
    EXPECT_EQ(ReadBytes(config + "server.cfg.bak"), server);
    EXPECT_EQ(ReadBytes(config + "state.cfg.bak"), state);
    // Written again, the files on disk are 3.08: the copies stay those of the old files.
    EXPECT_EQ(convertor.SetAdministrator(1, "other"),
              TStrings({config + "server.cfg", config + "state.cfg"}));
    EXPECT_EQ(ReadBytes(config + "server.cfg.bak"), server);
    EXPECT_EQ(ReadBytes(config + "state.cfg.bak"), state);
}

TEST(WriteDatabases, LargeFilesAreCopiedAndWrittenWhole) {
    TScale scale;
    scale.Messages = 3001;
    const std::string server = WriteDatabase(ServerTables(scale), 2039);
    const std::string state = WriteDatabase(StateTables(scale), 2039);
    ASSERT_GT(state.size(), 4 * 64 * 1024); // several pieces of the copy and of the writer
    TInstallFolder install;
    install.WriteServer(server);
    install.WriteState(state);
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    convertor.SetAdministrator(0, "");
    EXPECT_EQ(ReadBytes(install.Config() + "state.cfg.bak"), state);
    EXPECT_EQ(ReadBytes(install.Config() + "server.cfg.bak"), server);
    // Compared whole without a diff of megabytes on failure.
    EXPECT_TRUE(install.State() == DatabaseText(convertor.StateDB()));
    EXPECT_TRUE(install.Server() == convertor.ServerText());
}

TEST(WriteDatabases, KeepsACopyOfADiscardedFileButNoneOfA308One) {
    std::vector<TTable> tables = ServerTables();
    tables.erase(tables.begin() + 1, tables.end()); // Main only: no marker tables
    const std::string discarded = WriteDatabase(tables, 3030);
    for (const std::string& text : {discarded, WriteDatabase(ServerTables(), 3089)}) {
        TInstallFolder install;
        install.WriteServer(text);
        install.WriteState(WriteDatabase(StateTables(), 3089));
        TVnDBConvertor convertor(install.Package());
        convertor.ConvertDatabases(install.Config(), "en");
        convertor.SetAdministrator(1, "pw");
        EXPECT_EQ(ReadBytes(install.Config() + "server.cfg.bak"), text == discarded ? text : "");
        EXPECT_FALSE(PathExists(install.Config() + "state.cfg.bak"));
    }
}

// ---- The console configuration ------------------------------------------------------------

std::string ConsoleFile(const std::string& version, bool withTop, const std::string& password) {
    return "<vnt-db" + (version.empty() ? std::string() : " ver=\"" + version + "\"") +
           ">\r\n<table name=\"Admin\">\r\n  <row>\r\n    <col name=\"Language\">ru</col>\r\n" +
           (withTop ? "    <col name=\"Top\">40</col>\r\n" : "") +
           "    <col name=\"Server\">10.0.0.5</col>\r\n    <col "
           "name=\"User\">admin@x.test</col>\r\n"
           "    <col name=\"Password\">" +
           password + "</col>\r\n  </row>\r\n</table>\r\n\r\n</vnt-db>\r\n";
}

struct TConsole {
    std::unique_ptr<TVnXMLElement> Root;
    std::string Get(const std::string& column) const {
        return ColumnOf(TableOf(*Root, "Admin")->Child(0), column);
    }
};

TConsole WriteConsole(const TInstallFolder& install, const std::string& existing,
                      const std::string& user, const std::string& password) {
    if (!existing.empty())
        WriteBytes(install.Console() + "VNT_Admin.cfg", existing);
    TVnDBConvertor::WriteConsoleConfig(install.Console(), user, "en", password);
    return {ParseDatabase(ReadBytes(install.Console() + "VNT_Admin.cfg"))};
}

TEST(ConsoleConfig, TheTemplateKeepsNoPassword) {
    TInstallFolder install;
    const TConsole console = WriteConsole(install, "", "Boss@example.test", "secret");
    EXPECT_EQ(ColumnNames(TableOf(*console.Root, "Admin")->Child(0)),
              TStrings({"Language", "SaveState", "Left", "Top", "Width", "Height", "Splitter",
                        "Maximized", "Server", "User", "Password", "Port", "Log"}));
    EXPECT_EQ(console.Get("Language"), "en");
    EXPECT_EQ(console.Get("User"), "Boss@example.test");
    EXPECT_EQ(console.Get("Password"), EncodePassword(""));
    EXPECT_EQ(console.Get("Server"), "127.0.0.1");
    EXPECT_EQ(console.Root->AttrValue("ver"), "3.08");
    EXPECT_EQ(CurrentDB, nullptr);
}

TEST(ConsoleConfig, OldFilesWithoutTopAreReplacedBelow3031Only) {
    struct TCase {
        std::string Version;
        bool WithTop;
        const char* Server;
    };
    const TCase cases[] = {{"3.03", false, "10.0.0.5"},
                           {"3.02", false, "127.0.0.1"},
                           {"", false, "127.0.0.1"},
                           {"3.02", true, "10.0.0.5"}};
    for (const TCase& test : cases) {
        TInstallFolder install;
        const TConsole console =
            WriteConsole(install, ConsoleFile(test.Version, test.WithTop, "C00:stored"), "", "");
        EXPECT_EQ(console.Get("Server"), test.Server) << test.Version << test.WithTop;
        EXPECT_EQ(console.Get("Language"), "en");
    }
}

TEST(ConsoleConfig, AStoredPasswordIsReplacedOrClearedWithTheUser) {
    struct TCase {
        const char* User;
        const char* Password;
        std::string Stored;
    };
    const TCase cases[] = {{"admin@x.test", "new", EncodePassword("new")},
                           {"other@x.test", "", EncodePassword("")},
                           {"ADMIN@X.TEST", "", "C00:stored"}};
    for (const TCase& test : cases) {
        TInstallFolder install;
        const TConsole console = WriteConsole(install, ConsoleFile("3.08", true, "C00:stored"),
                                              test.User, test.Password);
        EXPECT_EQ(console.Get("Password"), test.Stored) << test.User;
        EXPECT_EQ(console.Get("User"), test.User);
    }
}

TEST(ConsoleConfig, AConsoleOnlyInstallationChangesOnlyTheLanguage) {
    TInstallFolder install;
    const std::string before = ConsoleFile("3.06", false, EncodePassword("kept"));
    WriteConsole(install, before, "", "new");
    EXPECT_EQ(ReadBytes(install.Console() + "VNT_Admin.cfg"),
              Replaced(Replaced(before, "3.06", "3.08"), ">ru<", ">en<"));
}

// ---- vntsetup upgrade -----------------------------------------------------------------------

// The vntsetup program beside the tests; a Windows build run by Wine gets the build host's path,
// which Wine shows on drive Z:.
std::string VntsetupPath() {
    std::string path = VNT_VNTSETUP;
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        std::replace(path.begin(), path.end(), '/', '\\');
    }
#endif
    return path;
}

// Runs vntsetup upgrade with the arguments; answers whether it succeeded, standard output in out.
bool RunVntsetup(const TInstallFolder& install, const std::string& arguments, std::string& out) {
    const std::string outFile = install.Folder() + "out.txt";
    std::string command = VntsetupPath() + " upgrade " + arguments + " >" + outFile + " 2>" +
                          install.Folder() + "err.txt";
#ifndef _WIN32
    std::replace(command.begin(), command.end(), '\\', '/'); // for the shell
#endif
    const int status = std::system(command.c_str());
    out = ReadBytes(outFile);
    return status == 0;
}

TEST(VntsetupUpgrade, UpgradesAndWritesTheConsoleConfiguration) {
    TInstallFolder install;
    install.WriteServer(WriteDatabase(ServerTables(), 2039));
    install.WriteState(WriteDatabase(StateTables(), 2039));
    std::string out;
    ASSERT_TRUE(RunVntsetup(install,
                            install.Folder() + " --package " + install.Package() +
                                " --lang en --admin USER2@example.test --password pw",
                            out))
        << ReadBytes(install.Folder() + "err.txt");
    EXPECT_NE(out.find("server.cfg: version 2039"), std::string::npos) << out;
    EXPECT_NE(out.find("administrator: user2@example.test"), std::string::npos) << out;
    EXPECT_NE(out.find("server.cfg.bak"), std::string::npos) << out;
    const auto server = ParseDatabase(install.Server());
    EXPECT_EQ(server->AttrValue("ver"), "3.08");
    EXPECT_EQ(UserColumn(*server, "Name")[0], "user2");
    EXPECT_EQ(UserColumn(*server, "Password")[0], EncodePassword("pw"));
    const auto console = ParseDatabase(ReadBytes(install.Console() + "VNT_Admin.cfg"));
    EXPECT_EQ(ColumnOf(TableOf(*console, "Admin")->Child(0), "User"), "user2@example.test");
}

TEST(VntsetupUpgrade, ADryRunPrintsWhatWouldBeWritten) {
    TInstallFolder install;
    const std::string old = WriteDatabase(ServerTables(), 3069);
    install.WriteServer(old);
    const std::string arguments =
        install.Folder() + " --package " + install.Package() + " --lang ru --password pw";
    std::string printed, out;
    ASSERT_TRUE(RunVntsetup(install, arguments + " --dry-run", printed));
    EXPECT_EQ(install.Server(), old);
    EXPECT_FALSE(PathExists(install.Console() + "VNT_Admin.cfg"));
    EXPECT_FALSE(PathExists(install.Folder() + "VNT_Setup.log"));
    ASSERT_TRUE(RunVntsetup(install, arguments, out));
    EXPECT_EQ(printed, install.Server());
}

TEST(VntsetupUpgrade, LogsTheUpgradeAndItsFailuresButNoPassword) {
    TInstallFolder install;
    install.WriteServer(WriteDatabase(ServerTables(), 2039));
    install.WriteState(WriteDatabase(StateTables(), 2039));
    WriteBytes(install.Console() + "VNT_Admin.cfg",
               "<vnt-db ver=\"3.08\"><table name=\"Other\"></table></vnt-db>");
    const std::string arguments =
        install.Folder() + " --package " + install.Package() + " --lang en";
    std::string out;
    EXPECT_FALSE(RunVntsetup(install, arguments + " --admin nobody@x.test", out));
    ASSERT_TRUE(RunVntsetup(
        install, arguments + " --admin USER2@example.test --password Upgrade-S3cret", out));
    const std::string log = ReadBytes(install.Folder() + "VNT_Setup.log");
    for (const char* part :
         {"Message: No user \"nobody@x.test\"",
          "\": signature correct; no Authenticode certificate table", "Configuration upgrade in",
          "server.cfg\": upgrade steps 1, 2, 3,", "state.cfg\": upgrade steps S1, S2, S3 applied",
          "server.cfg.bak\"", "state.cfg.bak\"",
          "Administrator: user2@example.test, new password set",
          "is damaged (Table \"Admin\" not found): kept as \"",
          "VNT_Admin.cfg.bak\" and replaced by the template", "VNT_Admin.cfg\"\r\n"})
        EXPECT_NE(std::string::npos, log.find(part)) << part << "\n" << log;
    EXPECT_EQ(std::string::npos, log.find("S3cret"));
    EXPECT_EQ(std::string::npos, log.find(EncodePassword("Upgrade-S3cret").substr(4)));
    EXPECT_TRUE(PathExists(install.Console() + "VNT_Admin.cfg.bak"));
}

TEST(VntsetupUpgrade, RefusesANewDatabaseWithoutPasswordAndUnknownUsers) {
    TInstallFolder install;
    std::string out;
    const std::string arguments =
        install.Folder() + " --package " + install.Package() + " --lang en";
    EXPECT_FALSE(RunVntsetup(install, arguments, out));
    EXPECT_NE(ReadBytes(install.Folder() + "err.txt").find("--password"), std::string::npos);
    EXPECT_FALSE(
        RunVntsetup(install, arguments + " --password pw --admin nobody@domain.local", out));
    EXPECT_NE(ReadBytes(install.Folder() + "err.txt").find("admin@domain.local"),
              std::string::npos);
    EXPECT_FALSE(PathExists(install.Config() + "server.cfg"));
    EXPECT_FALSE(PathExists(install.Console() + "VNT_Admin.cfg"));
}

TEST(VntsetupUpgrade, RefusesAnUnsignedOrDamagedPackage) {
    TInstallFolder install;
    std::string package = ReadBytes(install.Package());
    for (const std::string& bytes :
         {package.substr(0, package.size() - 128) + std::string(128, '\0'),
          package.substr(0, 20) + char(package[20] ^ 1) + package.substr(21)}) {
        WriteBytes(install.Package(), bytes);
        std::string out;
        EXPECT_FALSE(RunVntsetup(install,
                                 install.Folder() + " --package " + install.Package() +
                                     " --lang en --password pw",
                                 out));
        EXPECT_NE(ReadBytes(install.Folder() + "err.txt").find("corrupted"), std::string::npos);
        EXPECT_FALSE(PathExists(install.Config() + "server.cfg"));
    }
}

TEST(VntsetupUpgrade, AnUnknownUserNamesOnlyTheFirstTenUsers) {
    TInstallFolder install;
    TScale scale;
    scale.Users = 25;
    install.WriteServer(WriteDatabase(ServerTables(scale), 2039));
    std::string out;
    EXPECT_FALSE(RunVntsetup(install,
                             install.Folder() + " --package " + install.Package() +
                                 " --lang en --admin nobody@x.test",
                             out));
    const std::string error = ReadBytes(install.Folder() + "err.txt");
    EXPECT_NE(std::string::npos, error.find("user10@example.test and 15 more")) << error;
    EXPECT_EQ(std::string::npos, error.find("user11@")) << error;
}

} // namespace
