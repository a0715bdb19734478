// The notification templates: their stored texts and the upgrade steps that create and convert
// them.
#include <algorithm>

#include <gtest/gtest.h>

#include "ConvertTestSupport.h"
#include "VnCp1251.h"
#include "VnDB.h"
#include "VnTemplates.h"

using namespace VnFixture;

namespace {

using TStrings = std::vector<std::string>;

const TVnTemplateText AllTexts[] = {
    TVnTemplateText::NotDeliveredEn, TVnTemplateText::NotDeliveredRu, TVnTemplateText::VirusEn,
    TVnTemplateText::VirusRu,        TVnTemplateText::DelayEn,        TVnTemplateText::DelayRu};

std::vector<std::string> Column(const TVnXMLElement& root, const std::string& table,
                                const std::string& column) {
    std::vector<std::string> values;
    for (const TVnXMLElement* row : TableOf(root, table)->Children())
        values.push_back(ColumnOf(row, column));
    return values;
}

TEST(TemplateTexts, AreStoredInWindows1251WithCrLf) {
    const size_t lengths[] = {649, 640, 526, 493, 594, 550};
    for (int i = 0; i < 6; ++i) {
        const std::string text = TemplateText(AllTexts[i]);
        EXPECT_EQ(text.size(), lengths[i]) << "T" << i + 1;
        EXPECT_EQ(std::count(text.begin(), text.end(), '%') % 2, 0) << "T" << i + 1;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                  std::count(text.begin(), text.end(), '\r'));
    }
    // "Почтовый" and the "ё" of "отведённое" in Windows-1251.
    const std::string russian = TemplateText(TVnTemplateText::NotDeliveredRu);
    EXPECT_EQ(russian.substr(0, 8), "\xCF\xEE\xF7\xF2\xEE\xE2\xFB\xE9");
    EXPECT_NE(russian.find("\xEE\xF2\xE2\xE5\xE4\xB8\xED\xED\xEE\xE5"), std::string::npos);
}

TEST(TemplateTexts, AreThoseOfTheDefaultDatabase) {
    const auto root = ParseDatabase(DefaultDatabaseText());
    const TVnXMLElement* templates = TableOf(*root, "Templates");
    ASSERT_EQ(templates->ChildCount(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ColumnOf(templates->Child(i), "Text"), TemplateText(AllTexts[i])) << i;
}

TEST(FirstTemplates, TakeOverTheAntivirusNotificationDefaults) {
    const auto root = UpgradeServer(ServerTables(), 2060);
    EXPECT_EQ(Column(*root, "Templates", "ID"), TStrings({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(*root, "Templates", "Name")[3], VN_CP1251("02 Предупреждение о вирусе"));
    EXPECT_EQ(Column(*root, "Templates", "Name")[5], VN_CP1251("03 Доставка письма задерживается"));
    EXPECT_EQ(Column(*root, "Templates", "ToSender"), TStrings({"1", "1", "0", "0", "1", "1"}));
    EXPECT_EQ(Column(*root, "Templates", "ToRecipients"), TStrings({"0", "0", "1", "1", "0", "0"}));
    EXPECT_EQ(Column(*root, "Templates", "Address")[2], "postmaster");
    EXPECT_EQ(Column(*root, "Templates", "Address")[0], "postmaster@%Domain%");
    // Once per virus-warning template for each group whose switches ask for a notification.
    const TVnXMLElement* antivirus = TableOf(*root, "Antivirus")->Child(0);
    const TStrings names = ColumnNames(antivirus);
    EXPECT_EQ(std::count(names.begin(), names.end(), "SusTemplate"), 2);
    EXPECT_EQ(std::count(names.begin(), names.end(), "InfTemplate"), 2);
    EXPECT_EQ(ColumnOf(antivirus, "InfTemplate"), "3");
    for (const char* column :
         {"NoUserTemplate", "MsgNotFitTemplate", "SendTimeoutTemplate", "SrvRefuseTemplate"})
        EXPECT_EQ(GetTableField("Main", column), "1");
    EXPECT_EQ(GetTableField("Main", "SendDelayTemplate"), "5");
}

TEST(FirstTemplates, TheInfectedGroupWinsOverTheSuspiciousOne) {
    struct TCase {
        const char* SusSender;
        const char* InfAddress; // InfUseNotifyAddress "1" with this address when not empty
        TStrings Sender, Recipients, UseAddress;
        std::string Address;
        long SusColumns, InfColumns;
    };
    const TCase cases[] = {
        {"1", "virus@example.test", {"0", "0"}, {"0", "0"}, {"1", "1"}, "virus@example.test", 2, 2},
        {"1", "", {"1", "1"}, {"0", "0"}, {"0", "0"}, "sus@example.test", 2, 0},
        {"0", "", {"0", "0"}, {"1", "1"}, {"0", "0"}, "postmaster@%Domain%", 0, 0},
    };
    for (const TCase& test : cases) {
        std::vector<TTable> tables = ServerTables();
        TRow& antivirus = FixtureTable(tables, "Antivirus").Rows[0];
        SetValue(antivirus, "InfNotifyRecipients", "0");
        SetValue(antivirus, "SusNotifyRecipients", "0");
        SetValue(antivirus, "SusNotifySender", test.SusSender);
        SetValue(antivirus, "SusNotifyAddress", "sus@example.test");
        if (*test.InfAddress) {
            SetValue(antivirus, "InfUseNotifyAddress", "1");
            SetValue(antivirus, "InfNotifyAddress", test.InfAddress);
        }
        const auto root = UpgradeServer(tables, 2060);
        const TStrings templates[] = {Column(*root, "Templates", "ToSender"),
                                      Column(*root, "Templates", "ToRecipients"),
                                      Column(*root, "Templates", "ToAddress")};
        EXPECT_EQ(TStrings(templates[0].begin() + 2, templates[0].begin() + 4), test.Sender);
        EXPECT_EQ(TStrings(templates[1].begin() + 2, templates[1].begin() + 4), test.Recipients);
        EXPECT_EQ(TStrings(templates[2].begin() + 2, templates[2].begin() + 4), test.UseAddress);
        EXPECT_EQ(Column(*root, "Templates", "Address")[3], test.Address);
        const TStrings names = ColumnNames(TableOf(*root, "Antivirus")->Child(0));
        EXPECT_EQ(std::count(names.begin(), names.end(), "SusTemplate"), test.SusColumns);
        EXPECT_EQ(std::count(names.begin(), names.end(), "InfTemplate"), test.InfColumns);
    }
}

TEST(DelayTemplates, TakeTheNextIDsAndUniqueNames) {
    std::vector<TTable> tables = ServerTables();
    SetValue(FixtureTable(tables, "Templates").Rows[1], "Name", "03 Message delivery is delayed");
    SetValue(FixtureTable(tables, "Templates").Rows[2], "ID", "7");
    const auto root = UpgradeServer(tables, 3030);
    EXPECT_EQ(Column(*root, "Templates", "ID"), TStrings({"1", "2", "7", "4", "8", "9"}));
    EXPECT_EQ(Column(*root, "Templates", "Name")[4], "03 Message delivery is delayed 1");
    EXPECT_EQ(Column(*root, "Templates", "Text")[4], TemplateText(TVnTemplateText::DelayEn));
    EXPECT_EQ(Column(*root, "Templates", "Text")[5], TemplateText(TVnTemplateText::DelayRu));
    EXPECT_EQ(GetTableField("Main", "SendDelayTemplate"), "8");
    TStrings senders(5, "\"Mail Server\"");
    senders.push_back(VN_CP1251("\"Почтовый сервер\""));
    EXPECT_EQ(Column(*root, "Templates", "FromName"), senders);
    EXPECT_EQ(Column(*root, "Templates", "FromEmail"), TStrings(6, "postmaster@%Domain%"));
}

TEST(SplitTemplateSender, SeparatesNameAndAddress) {
    struct TCase {
        const char* From;
        const char* Name;
        const char* Email;
    };
    const TCase cases[] = {
        {"\"Mail Server\" <postmaster@%Domain%>", "\"Mail Server\"", "postmaster@%Domain%"},
        {"postmaster", "", "postmaster"},
        {"  <a@b.test>  ", "", "a@b.test"},
        {" Admin  <<a@b.test>> (night) ", "Admin (night)", "a@b.test"},
        {"Admin <a@b.test", "Admin", "a@b.test"},
        {"", "", ""},
    };
    for (const TCase& test : cases) {
        TVnXMLElement root;
        root.Parse("<vnt-db><table name=\"Templates\"><row><col name=\"ID\">1</col><col "
                   "name=\"From\"></col><col name=\"Subject\">s</col></row></table></vnt-db>");
        CurrentDB = &root;
        CurrentRow = TableOf(root, "Templates")->Child(0);
        SetField("From", test.From);
        SplitTemplateSender();
        EXPECT_EQ(ColumnNames(CurrentRow),
                  TStrings({"ID", "FromName", "Subject", "FromEmail", "ServiceNotify"}));
        EXPECT_EQ(GetField("FromName"), test.Name) << test.From;
        EXPECT_EQ(GetField("FromEmail"), test.Email) << test.From;
        EXPECT_EQ(GetField("ServiceNotify"), "1");
        CurrentDB = CurrentRow = nullptr;
    }
}

} // namespace
