// The whole road of a first-generation installation: the import, then the configuration upgrade,
// which reads the converted files as the oldest database version and brings them to 3.08.
#include "LegacyTestSupport.h"
#include "VnCfgConvertor1.h"
#include "VnCp1251.h"
#include "VnCrypt.h"
#include "VnDB.h"
#include "VnDBConvertor.h"

namespace {

class LegacyChain : public TLegacyFolderTest {};

// The values of some columns of every row of a table of CurrentDB.
std::vector<std::vector<std::string>> Columns(const std::string& table,
                                              const std::vector<std::string>& columns) {
    std::vector<std::vector<std::string>> rows;
    ForEachRow(table, [&] {
        rows.emplace_back();
        for (const std::string& column : columns)
            rows.back().push_back(GetField(column));
    });
    return rows;
}

} // namespace

TEST_F(LegacyChain, TheUpgradeTakesTheImportTo308) {
    WriteBytes(Path("VantroMS.cfg"), LegacyFile(CompleteLegacyConfig().Root()));
    ASSERT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);

    // The package is only opened for a new database, which this is not.
    TVnDBConvertor convertor(Path("no-package.exe"));
    convertor.ConvertDatabases(Path("Config\\"), "ru");
    EXPECT_FALSE(convertor.NewDatabase());
    EXPECT_EQ(2039, convertor.ServerFileVersion());
    EXPECT_EQ(2039, convertor.StateFileVersion());

    std::vector<TVnAdminEntry> admins;
    convertor.GetAdminList(admins);
    std::vector<std::string> names;
    for (const TVnAdminEntry& entry : admins)
        names.push_back(entry.Text);
    EXPECT_EQ((std::vector<std::string>{"anna@example.ru", "boris@example.ru", "carl@example.ru"}),
              names);

    convertor.WriteDatabases();
    for (const char* file : {"Config\\server.cfg", "Config\\state.cfg"}) {
        int version = 0;
        std::string text;
        ASSERT_TRUE(ReadDatabaseFile(Path(file), version, text)) << file;
        EXPECT_EQ(3089, version) << file;
    }

    int version = 0;
    std::string text;
    ReadDatabaseFile(Path("Config\\server.cfg"), version, text);
    TVnXMLElement server;
    server.Parse(text);
    CurrentDB = &server;
    EXPECT_EQ((std::vector<std::vector<std::string>>{
                  {"anna", EncodePassword("secret"), VN_CP1251("Анна Петрова"), "1"},
                  {"boris", EncodePassword(""), "Boris", "1"},
                  {"carl", EncodePassword(VN_CP1251("длинный пароль 12")), "Carl", "1"}}),
              Columns("Users", {"Name", "Password", "FullName", "Domain"}));
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"1", "example.ru"}}),
              Columns("Domains", {"ID", "Name"}));
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"postmaster", "anna"},
                                                     {"_bosscopy", "boss@example.ru"},
                                                     {"_bosscopy", "deputy@example.ru"},
                                                     {"_pop3_1", "anna"},
                                                     {"_pop3_1", "boris"},
                                                     {"_unsorted", "anna"},
                                                     {"_unsorted", "carl"},
                                                     {"_sorter_1", "anna"},
                                                     {"_sorter_1", "boris"}}),
              Columns("AddressAliases", {"Alias", "Address"}));
    EXPECT_EQ(
        (std::vector<std::vector<std::string>>{{"shop", EncodePassword("pw1")},
                                               {"info", EncodePassword("pw2")},
                                               {"backup", EncodePassword("")},
                                               {"carl", EncodePassword(VN_CP1251("пароль"))}}),
        Columns("RemoteMailboxes", {"User", "Password"}));
    CurrentDB = nullptr;
    CurrentRow = nullptr;
}
