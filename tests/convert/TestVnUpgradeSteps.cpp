// The upgrade steps where a value is converted, split, numbered or searched for.
#include <gtest/gtest.h>

#include "ConvertTestSupport.h"
#include "VnDB.h"
#include "VnSysUtils.h"
#include "VnUpgradeSteps.h"

using namespace VnFixture;

namespace {

std::vector<std::string> Column(const TVnXMLElement& root, const std::string& table,
                                const std::string& column) {
    std::vector<std::string> values;
    for (const TVnXMLElement* row : TableOf(root, table)->Children())
        values.push_back(ColumnOf(row, column));
    return values;
}

using TStrings = std::vector<std::string>;

TEST(UpgradeStep1, TimeSubRangeDaysComeFromTheDigitsOfDaysOfWeek) {
    std::vector<TTable> tables = ServerTables();
    TTable& ranges = FixtureTable(tables, "TimeSubRanges");
    ranges.Rows.clear();
    for (const char* days : {"135", "7", "", "7654321"})
        ranges.Rows.push_back({{{"ID", "1"}, {"TimeRange", "1"}, {"DaysOfWeek", days}}});
    const auto root = UpgradeServer(tables, 2039);
    const TStrings expected[] = {{"1", "0", "1", "0", "1", "0", "0"},
                                 {"0", "0", "0", "0", "0", "0", "1"},
                                 {"0", "0", "0", "0", "0", "0", "0"},
                                 {"1", "1", "1", "1", "1", "1", "1"}};
    for (int i = 0; i < 4; ++i) {
        const TVnXMLElement* row = TableOf(*root, "TimeSubRanges")->Child(i);
        TStrings days;
        for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"})
            days.push_back(ColumnOf(row, day));
        EXPECT_EQ(days, expected[i]) << i;
        EXPECT_EQ(ColumnNames(row).back(), "Sun");
    }
}

TEST(UpgradeStep1, IPAddressesSplitAtTheFirstSlashOrDash) {
    std::vector<TTable> tables = ServerTables();
    TTable& addresses = FixtureTable(tables, "IPAddresses");
    addresses.Rows.clear();
    const char* const values[] = {"192.168.0.0/255.255.0.0", "10.0.0.1-10.0.0.9", "127.0.0.1",
                                  "10.0.0.0/-/255.0.0.0",    "10.0.0.1-",         "-10.0.0.2"};
    for (int i = 0; i < 6; ++i)
        addresses.Rows.push_back({{{"ID", std::to_string(i + 1)},
                                   {"Enabled", "1"},
                                   {"Type", "0"},
                                   {"Address", values[i]}}});
    const auto root = UpgradeServer(tables, 2040);
    EXPECT_EQ(Column(*root, "IPAddresses", "Address1"),
              TStrings({"192.168.0.0", "10.0.0.1", "127.0.0.1", "10.0.0.0", "10.0.0.1", ""}));
    EXPECT_EQ(Column(*root, "IPAddresses", "Address2"),
              TStrings({"255.255.0.0", "10.0.0.9", "", "255.0.0.0", "", "10.0.0.2"}));
    EXPECT_EQ(Column(*root, "IPAddresses", "Address")[0], values[0]); // kept
}

TEST(UpgradeStep1, DomainsServicesLogAndDialUp) {
    std::vector<TTable> tables = ServerTables();
    SetValue(FixtureTable(tables, "Domains").Rows[1], "ReceiveForNonexistent", "0");
    FixtureTable(tables, "RASConnections")
        .Rows.push_back({{{"ID", "2"}, {"Name", "Pulse"}, {"UseDialingType", "1"}, {"Tone", "1"}}});
    const auto root = UpgradeServer(tables, 2040);
    EXPECT_EQ(Column(*root, "Domains", "NonExistUserAction"), TStrings({"2", "1"}));
    EXPECT_EQ(Column(*root, "RASConnections", "DialType"), TStrings({"2", "1"}));
    // The SOCKS service copies the access settings of service 2.
    const TVnXMLElement* socks = TableOf(*root, "Services")->Child(3);
    EXPECT_EQ(ColumnOf(socks, "Name"), "SOCKS");
    EXPECT_EQ(ColumnOf(socks, "AllowGroup"), "1");
    EXPECT_EQ(ColumnOf(socks, "RequireSecretAuth"), "1"); // AllowUnsecureAuth "0", inverted
}

TEST(UpgradeStep3, ConditionsTakeTheExpressionForm) {
    EXPECT_EQ(ConvertRuleCondition(""), "");
    EXPECT_EQ(ConvertRuleCondition("Subject:a;;b;From:x"), "Subject:\"a;b\" & From:\"x\"");
    EXPECT_EQ(ConvertRuleCondition("Subject:say \"hi\""), "Subject:\"say \"\"hi\"\"\"");
    EXPECT_EQ(ConvertRuleCondition("_ATTACH.filename:*.exe;"), "X-Attach-FileName:\"*.exe\"");
    EXPECT_EQ(ConvertRuleCondition("To::a@b;Size"), "To:\"a@b\" & Size:\"\"");
    EXPECT_EQ(ConvertRuleCondition("A:;;;B:;;"), "A:\";\" & B:\";\"");
    EXPECT_EQ(ConvertRuleCondition("A:x:y;B:1"), "A:\"x:y\" & B:\"1\"");
}

TEST(UpgradeStep3, RunsOnSortingAndAntispamRulesBelow2059Only) {
    for (int version : {2058, 2059}) {
        const auto root = UpgradeServer(ServerTables(), version);
        EXPECT_EQ(Column(*root, "AntispamRules", "Condition")[0], "From:\"spam1\"") << version;
    }
}

TEST(UpgradeStep5, RemoteMailboxAddressTakesTheServersDomain) {
    std::vector<TTable> tables = ServerTables();
    TTable& servers = FixtureTable(tables, "RemoteMailboxServers");
    TTable& mailboxes = FixtureTable(tables, "RemoteMailboxes");
    servers.Rows.clear();
    mailboxes.Rows.clear();
    const char* const hosts[] = {"pop.mail.example.test", "10.1.2.3", "example.test", "256.1.2.3",
                                 "pop.example.",          "localhost"};
    for (int i = 1; i <= 7; ++i) {
        const std::string id = std::to_string(i);
        if (i <= 6)
            servers.Rows.push_back(
                {{{"ID", id}, {"Address", hosts[i - 1]}, {"AllowUnsecureAuth", "0"}}});
        mailboxes.Rows.push_back(MailboxRow(i));
        SetValue(mailboxes.Rows.back(), "POP3Server", i <= 6 ? id : "1");
        SetValue(mailboxes.Rows.back(), "User", i <= 6 ? "u" + id : "own@own.test");
    }
    const auto root = UpgradeServer(tables, 2070);
    EXPECT_EQ(Column(*root, "RemoteMailboxes", "Email"),
              TStrings({"u1@mail.example.test", "u2@[10.1.2.3]", "u3@example.test", "u4@1.2.3",
                        "u5@pop.example.", "u6@localhost", "own@own.test"}));
    EXPECT_EQ(Column(*root, "RemoteMailboxes", "User")[0], "u1"); // kept
}

TRow& MainOf(std::vector<TTable>& tables) {
    return FixtureTable(tables, "Main").Rows[0];
}

TEST(UpgradeStep7, RulesInTheMainSorterMoveBehindANewOne) {
    std::vector<TTable> tables = ServerTables();
    FixtureTable(tables, "SortingRules").Rows.push_back(SortingRule("3", Always, "2", "", "0"));
    const auto root = UpgradeServer(tables, 2088);

    EXPECT_EQ(Column(*root, "Sorters", "Name"),
              TStrings({"Filters", "Main sorter", "Main sorter 1"}));
    EXPECT_EQ(Column(*root, "Sorters", "ID").back(), "3");
    const TVnXMLElement* main = TableOf(*root, "Main")->Child(0);
    EXPECT_EQ(ColumnOf(main, "MainSorter"), "3");
    for (const char* moved :
         {"RunApplication", "AppPath", "AppHidden", "AppWait", "AppTerminate", "AppTerminateSec"})
        EXPECT_EQ(ColumnOf(main, moved), std::string("<missing ") + moved + ">");

    const TVnXMLElement* task = TableOf(*root, "Tasks")->Child(1);
    EXPECT_EQ(ColumnNames(task),
              TStrings({"ID",           "Name",           "MultiThread",   "UseFileFlag",
                        "FileFlag",     "DeleteFileFlag", "OwnConnection", "RASConnection",
                        "SMTPServer",   "SendCommand",    "MailboxGroup",  "WaitReceive",
                        "SendQueue",    "NotifyTemplate", "ShowInMenu",    "RunApplication",
                        "AppPath",      "Description",    "AppHidden",     "AppWait",
                        "AppTerminate", "AppTerminateSec"}));
    const std::string appPath = "C:\\Filter\\check.exe \"%FileName%\" & more <x>";
    EXPECT_EQ(ColumnOf(task, "ID"), "2");
    EXPECT_EQ(ColumnOf(task, "Name"), "Application");
    EXPECT_EQ(ColumnOf(task, "RunApplication"), "1");
    EXPECT_EQ(ColumnOf(task, "AppPath"), appPath);
    EXPECT_EQ(ColumnOf(task, "Description"), appPath);

    // The application rule, the copy rule and the hand-over to the old main sorter, in order.
    EXPECT_EQ(Column(*root, "SortingRules", "ID"), TStrings({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(*root, "SortingRules", "Index"), TStrings({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(*root, "SortingRules", "RulesGroup"),
              TStrings({"1", "1", "2", "3", "3", "3"}));
    EXPECT_EQ(Column(*root, "SortingRules", "Task"), TStrings({"0", "0", "0", "2", "0", "0"}));
    EXPECT_EQ(Column(*root, "SortingRules", "Recipient")[4], "archive@example.test");
    EXPECT_EQ(Column(*root, "SortingRules", "UseRecipient"),
              TStrings({"0", "1", "0", "0", "1", "0"}));
    EXPECT_EQ(Column(*root, "SortingRules", "Sorter"), TStrings({"0", "0", "0", "0", "0", "2"}));
    EXPECT_EQ(Column(*root, "SortingRules", "Description")[3], appPath);
    EXPECT_EQ(Column(*root, "SortingRules", "TaskWait"), TStrings({"0", "0", "0", "1", "1", "1"}));
}

TEST(UpgradeStep7, AnApplicationThatWasOffGivesADisabledRule) {
    for (const std::string appPath : {"", "run.exe"}) {
        std::vector<TTable> tables = ServerTables();
        SetValue(MainOf(tables), "RunApplication", "0");
        SetValue(MainOf(tables), "AppPath", appPath);
        SetValue(MainOf(tables), "CopyAddress", "");
        const auto root = UpgradeServer(tables, 2088);
        EXPECT_EQ(GetTableField("Main", "MainSorter"), "2");
        EXPECT_EQ(ColumnOf(TableOf(*root, "Tasks")->Child(1), "RunApplication"),
                  appPath.empty() ? "0" : "1");
        // Only the application rule, disabled.
        EXPECT_EQ(Column(*root, "SortingRules", "Enabled"), TStrings({"1", "1", "0"}));
    }
}

TEST(UpgradeStep7, RemoteMailboxesUseTheTopCheckWhenBothAskForIt) {
    for (const char* top : {"1", "0"}) {
        std::vector<TTable> tables = ServerTables();
        SetValue(FixtureTable(tables, "Antispam").Rows[0], "UseTOP", top);
        SetValue(FixtureTable(tables, "Antispam").Rows[0], "DeleSpam", "7");
        const auto root = UpgradeServer(tables, 2088);
        const TVnXMLElement* mailbox = TableOf(*root, "RemoteMailboxes")->Child(0);
        EXPECT_EQ(ColumnOf(mailbox, "AntispamTOP"), top);
        EXPECT_EQ(ColumnOf(mailbox, "Antispam"), *top == '1' ? "0" : "1");
        EXPECT_EQ(ColumnOf(mailbox, "SpamDelete"), "7");
    }
}

TEST(UpgradeStep8, TheAdministrationServiceGetsTheLoopbackAddress) {
    const auto root = UpgradeServer(ServerTables(), 3000);
    EXPECT_EQ(Column(*root, "IPGroups", "Name"), TStrings({"Local", "WinAdmin"}));
    EXPECT_EQ(Column(*root, "IPAddresses", "ID").size(), 3u); // the enabled single one is reused
    EXPECT_EQ(Column(*root, "IPAddressGroup", "IPAddress").back(), "2");
    EXPECT_EQ(Column(*root, "IPAddressGroup", "IPGroup").back(), "2");
    const TVnXMLElement* service = TableOf(*root, "Services")->Child(4);
    EXPECT_EQ(ColumnOf(service, "Name"), "WinAdmin");
    EXPECT_EQ(ColumnOf(service, "AllowGroup"), "2");
    EXPECT_EQ(ColumnOf(service, "RequireSecretAuth"), "0");
    EXPECT_EQ(GetTableField("Main", "Admin"), "0");
}

TEST(UpgradeStep8, ALoopbackAddressThatIsOffOrARangeIsNotReused) {
    for (const auto& change : {std::make_pair("Enabled", "0"), std::make_pair("Type", "1")}) {
        std::vector<TTable> tables = ServerTables();
        SetValue(FixtureTable(tables, "IPAddresses").Rows[1], change.first, change.second);
        SetValue(FixtureTable(tables, "IPGroups").Rows[0], "Name", "WinAdmin");
        const auto root = UpgradeServer(tables, 3000);
        EXPECT_EQ(Column(*root, "IPGroups", "Name"), TStrings({"WinAdmin", "WinAdmin 1"}));
        const TVnXMLElement* added = TableOf(*root, "IPAddresses")->Child(3);
        EXPECT_EQ(ColumnNames(added),
                  TStrings({"ID", "Enabled", "Type", "Address1", "Address2", "Description"}));
        EXPECT_EQ(ColumnOf(added, "ID"), "4");
        EXPECT_EQ(ColumnOf(added, "Address1"), "127.0.0.1");
        EXPECT_EQ(Column(*root, "IPAddressGroup", "IPAddress").back(), "4");
        EXPECT_EQ(Column(*root, "IPAddressGroup", "IPGroup").back(), "2");
    }
}

TEST(UpgradeStep9And14, ServiceAccessAndAuthentication) {
    const auto root = UpgradeServer(ServerTables(), 3018);
    EXPECT_EQ(std::string(HostNamePattern).size(), 257u);
    EXPECT_EQ(Column(*root, "Services", "DisallowHosts"),
              TStrings({HostNamePattern, "", "", "", ""}));
    EXPECT_EQ(Column(*root, "Services", "RequireSecretAuth"), TStrings({"0", "0", "0", "1", "0"}));
    EXPECT_EQ(ColumnOf(TableOf(*root, "Services")->Child(2), "DisallowGroup"), "1");
    EXPECT_EQ(Column(*root, "Services", "AccessAll"), TStrings({"0", "0", "1", "0", "0"}));
    EXPECT_EQ(Column(*root, "Services", "HostNameChecks"), TStrings({"0", "0", "1", "0", "0"}));
    EXPECT_EQ(Column(*root, "Services", "MaxConnOneAllowIP"),
              Column(*root, "Services", "MaxConnOneIP"));
    EXPECT_EQ(Column(*root, "RemoteSMTPServers", "RequireSecretAuth"), TStrings({"0"}));
    EXPECT_EQ(Column(*root, "RemoteMailboxServers", "RequireSecretAuth"),
              TStrings({"1", "1", "1"}));
}

TEST(UpgradeStep11, EveryAntispamGroupGetsARuleBeforeItsType1Rules) {
    std::vector<TTable> tables = ServerTables();
    FixtureTable(tables, "Antispams")
        .Rows.push_back({{{"ID", "2"}, {"Name", "Second"}, {"Description", ""}}});
    TTable& rules = FixtureTable(tables, "AntispamRules");
    rules.Rows.resize(2); // the fixture's rule 3 is the one step 11 adds
    for (int id = 3; id <= 4; ++id)
        rules.Rows.push_back({{{"ID", std::to_string(id)},
                               {"Enabled", "1"},
                               {"Type", "1"},
                               {"Condition", ""},
                               {"Description", ""},
                               {"RulesGroup", "2"},
                               {"Index", std::to_string(id)}}});
    const auto root = UpgradeServer(tables, 3030);
    EXPECT_EQ(Column(*root, "AntispamRules", "ID"), TStrings({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(*root, "AntispamRules", "RulesGroup"),
              TStrings({"1", "1", "2", "2", "1", "2"}));
    EXPECT_EQ(Column(*root, "AntispamRules", "Type"), TStrings({"1", "0", "1", "1", "2", "2"}));
    EXPECT_EQ(Column(*root, "AntispamRules", "Index"), TStrings({"6", "2", "10", "11", "5", "7"}));
}

TEST(UpgradeStep12, TheMainWebSiteComesLastAndEverySiteIsNumbered) {
    std::vector<TTable> tables = ServerTables();
    FixtureTable(tables, "WebSites")
        .Rows.push_back({{{"Name", "Example.test"}, {"RootFolder", "Intranet\\"}}});
    const auto root = UpgradeServer(tables, 3050);
    EXPECT_EQ(Column(*root, "WebSites", "Name"), TStrings({"Example.test", "example.test 1"}));
    EXPECT_EQ(Column(*root, "WebSites", "RootFolder"), TStrings({"Intranet\\", "WWW\\"}));
    EXPECT_EQ(Column(*root, "WebSites", "ID"), TStrings({"1", "2"}));
    EXPECT_EQ(Column(*root, "WebSites", "RequireAuth"), TStrings({"0", "0"}));
    EXPECT_EQ(GetTableField("Main", "MainWebSite"), "2");
}

TEST(UpgradeStateSteps, MessagesOfMissingMailboxesGoBelow2061Only) {
    for (int version : {2060, 2061}) {
        std::vector<TTable> tables = StateTables();
        // Orphans in runs of two, a run of three at the end, and IDs that only look alike.
        for (TRow& row : FixtureTable(tables, "RemoteMessages").Rows)
            row.Until = Never;
        std::vector<TTable> server = ServerTables();
        TTable mailboxes = FixtureTable(server, "RemoteMailboxes");
        mailboxes.Rows.push_back(MailboxRow(20));
        SetValue(mailboxes.Rows.back(), "ID", "Box");
        tables.push_back(mailboxes);
        TTable& messages = FixtureTable(tables, "RemoteMessages");
        messages.Rows.push_back(MessageRow(90, 1, Never));
        SetValue(messages.Rows.back(), "Mailbox", "BOX");
        messages.Rows.push_back(MessageRow(91, 1, Never));
        SetValue(messages.Rows.back(), "Mailbox", "01");

        const auto root = UpgradeState(tables, version);
        const TStrings kept = Column(*root, "RemoteMessages", "Mb");
        if (version == 2060) {
            EXPECT_EQ(kept.size(), 13u);
            EXPECT_EQ(kept.back(), "BOX");
            for (size_t i = 0; i + 1 < kept.size(); ++i)
                EXPECT_EQ(kept[i], std::to_string(i % 4 + 1)) << i;
        } else {
            EXPECT_EQ(kept.size(), 21u);
        }
    }
}

// A mailbox row without ID stops S1 only when the search for a message's mailbox reaches it.
TEST(UpgradeStateSteps, AMailboxWithoutIDFailsOnlyWhereTheSearchReachesIt) {
    const auto upgrade = [](std::vector<std::string> boxes) {
        std::string text = "<vnt-db><table name=\"RemoteMessages\">";
        for (const std::string& box : boxes)
            text += "<row><col name=\"Mailbox\">" + box +
                    "</col><col name=\"UIDL\">u</col>"
                    "<col name=\"RDate\">d</col><col name=\"Dele\">0</col></row>";
        text += "</table><table name=\"RemoteMailboxes\"><row><col name=\"ID\">1</col></row>"
                "<row><col name=\"ID\">2</col></row><row><col name=\"Name\">x</col></row>"
                "<row><col name=\"ID\">4</col></row></table></vnt-db>";
        auto root = ParseDatabase(text);
        CurrentDB = root.get();
        try {
            UpgradeStateDatabase(2060);
        } catch (const EVnException& e) {
            CurrentDB = nullptr;
            return std::string(e.what());
        }
        const std::string kept = std::to_string(TableOf(*root, "RemoteMessages")->ChildCount());
        CurrentDB = nullptr;
        return kept;
    };
    EXPECT_EQ(upgrade({"1", "2", "2", "1"}), "4");
    EXPECT_EQ(upgrade({}), "0");
    const std::string failure = "Field \"RemoteMailboxes.ID\" not found";
    EXPECT_EQ(upgrade({"1", "4"}), failure); // behind the row without ID
    EXPECT_EQ(upgrade({"2", "3"}), failure); // missing: the search walks on to that row
    EXPECT_EQ(upgrade({"x"}), failure);
}

TEST(UpgradeStateSteps, MessageColumnsAreRenamedAndCompleted) {
    std::vector<TTable> tables = StateTables();
    std::vector<TTable> server = ServerTables();
    tables.push_back(FixtureTable(server, "RemoteMailboxes"));
    const auto root = UpgradeState(tables, 2061);
    const TVnXMLElement* first = TableOf(*root, "RemoteMessages")->Child(0);
    EXPECT_EQ(ColumnNames(first),
              TStrings({"Mb", "UID", "RD", "Ac", "Fr", "Sj", "Sz", "Rc", "DC", "DD", "MID", "Dt"}));
    EXPECT_EQ(Column(*root, "RemoteMessages", "Ac")[0], "2"); // Dele "1"
    EXPECT_EQ(Column(*root, "RemoteMessages", "Ac")[1], "0");
    EXPECT_EQ(Column(*root, "RemoteMessages", "Dt"), Column(*root, "RemoteMessages", "RD"));
}

} // namespace
