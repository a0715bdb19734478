// The tables written from a legacy configuration, read back line by line.
#include "LegacyTestSupport.h"
#include "VnCfgConvertor1.h"
#include "VnCp1251.h"
#include "VnCrypt.h"

namespace {

using TCols = std::vector<std::pair<std::string, std::string>>;

class LegacyTables : public TLegacyFolderTest {
protected:
    TOldDatabase Convert(const TLegacyConfig& config) {
        WriteBytes(Path("VantroMS.cfg"), LegacyFile(config.Root()));
        EXPECT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);
        return ParseOldForm(ReadBytes(Path("Config\\server.cfg")));
    }
};

TCols Service(const char* id, const char* name, const char* port, const char* timeout,
              const char* group, const char* unsecure) {
    return {{"ID", id},
            {"Name", name},
            {"Port", port},
            {"ReusePort", "0"},
            {"Timeout", timeout},
            {"UseBind", "0"},
            {"BindIP", ""},
            {"AutoStart", "1"},
            {"AccessAll", "0"},
            {"AccessGroup", group},
            {"UseMaxConnTotal", "0"},
            {"MaxConnTotal", "20"},
            {"UseMaxConnOneIP", "0"},
            {"MaxConnOneIP", "5"},
            {"AllowUnsecureAuth", unsecure}};
}

TCols RAS(const char* id, const char* name, const char* ownPhones, const std::string& phones,
          const char* prefix, const char* tone, const char* tries, const char* pause,
          const char* ownAuth, const char* user, const std::string& password) {
    return {{"ID", id},
            {"Name", name},
            {"EntryName", name},
            {"OwnPhones", ownPhones},
            {"Phones", phones},
            {"Prefix", prefix},
            {"UseDialingType", "1"},
            {"Tone", tone},
            {"TryCount", tries},
            {"Pause", pause},
            {"OwnAuthParams", ownAuth},
            {"UserName", user},
            {"Password", EncodePassword(password)},
            {"Description", ""}};
}

TCols User(const char* id, const char* name, const std::string& password,
           const std::string& fullName, const std::string& description, const std::string& external,
           const char* enabled) {
    return {{"ID", id},
            {"Domain", "1"},
            {"Name", name},
            {"Password", EncodePassword(password)},
            {"FullName", fullName},
            {"Description", description},
            {"UseExternalEmail", external.empty() ? "0" : "1"},
            {"ExternalEmail", external},
            {"AddLocalEmail", "0"},
            {"Enabled", enabled},
            {"AllowRelay", "1"},
            {"UseOwnParams", "0"},
            {"UseMaxRecipients", "0"},
            {"MaxRecipients", "100"},
            {"UseMaxMsgSize", "0"},
            {"MaxMsgSize", "2048"}};
}

TCols Task(const char* id, const std::string& name, const char* useFlag, const char* flag,
           const char* deleteFlag, const char* ras, const char* anyRas, const char* receive,
           const char* send, const char* menu) {
    return {{"ID", id},
            {"Name", name},
            {"Description", ""},
            {"RunApplication", "0"},
            {"AppPath", ""},
            {"AppHidden", "0"},
            {"AppWait", "0"},
            {"AppTerminate", "0"},
            {"AppTerminateSec", "5"},
            {"UseFileFlag", useFlag},
            {"FileFlag", flag},
            {"DeleteFileFlag", deleteFlag},
            {"RASConnection", ras},
            {"UseAnyRASConnection", anyRas},
            {"SMTPService", "0"},
            {"SendCommand", "ETRN local.domain"},
            {"MailboxGroup", receive},
            {"WaitReceive", "0"},
            {"DeliveryQueue", send},
            {"ShowInMenu", menu}};
}

TCols RemoteMailbox(const char* id, const char* enabled, const char* server, const char* user,
                    const std::string& password, const char* useHeaders, const char* sorter,
                    const char* recipient, const char* ifNo) {
    return {{"ID", id},
            {"Enabled", enabled},
            {"POP3Server", server},
            {"MailGroup", "1"},
            {"User", user},
            {"Password", EncodePassword(password)},
            {"UseMaxMsgSize", "0"},
            {"MaxMsgSize", "1024"},
            {"DeleMails", "1"},
            {"UseDeleDays", "0"},
            {"DeleDays", "7"},
            {"UseAntispam", "0"},
            {"UseEmailAccounts", "0"},
            {"EmailAccounts", user},
            {"UseHeaders", useHeaders},
            {"Headers", "To;Cc;Received;X-Deliver-To"},
            {"Sorter", sorter},
            {"SorterIfNo", "0"},
            {"UseRecipient", "1"},
            {"Recipient", recipient},
            {"RecipientIfNo", ifNo}};
}

TCols POP3Server(const char* id, const char* address, const char* port, const char* unsecure) {
    return {{"ID", id},
            {"Address", address},
            {"Description", ""},
            {"Port", port},
            {"Timeout", "30"},
            {"UseMaxConnectionsIP", "0"},
            {"MaxConnectionsIP", "5"},
            {"AllowUnsecureAuth", unsecure}};
}

std::vector<TCols> Rows(const TOldTable& table) {
    std::vector<TCols> rows;
    for (const TOldRow& row : table.Rows)
        rows.push_back(row.Cols);
    return rows;
}

} // namespace

TEST_F(LegacyTables, CompleteConfiguration) {
    const TOldDatabase db = Convert(CompleteLegacyConfig());
    EXPECT_EQ((std::vector<std::string>{"Main",
                                        "Log",
                                        "Services",
                                        "RASConnections",
                                        "Users",
                                        "Domains",
                                        "DomainAliases",
                                        "Schedules",
                                        "TimeRanges",
                                        "TimeSubRanges",
                                        "Tasks",
                                        "RemoteSMTPServers",
                                        "RemotePOP3Servers",
                                        "RemoteMailGroups",
                                        "RemoteMailboxes",
                                        "SortingRulesGroups",
                                        "SortingRules",
                                        "Antispam",
                                        "AntispamRules",
                                        "IPGroups",
                                        "IPAddresses",
                                        "IPAddressGroup",
                                        "DeliveryQueues",
                                        "DeliveryQueuesSMTPServers",
                                        "AddressAliases"}),
              db.TableNames());

    EXPECT_EQ((std::vector<TCols>{{{"Language", "ru"},
                                   {"UseHostName", "0"},
                                   {"HostName", "mail.example.ru"},
                                   {"AnnounceSelf", "1"},
                                   {"QueueFolder", "Queue\\"},
                                   {"MailboxFolder", "Mailbox\\"},
                                   {"MaxReceiveThreads", "5"},
                                   {"PrimaryDomain", "1"},
                                   {"RelayIPGroup", "1"},
                                   {"UseMaxRecipients", "0"},
                                   {"MaxRecipients", "100"},
                                   {"UseMaxMsgSize", "0"},
                                   {"MaxMsgSize", "2048"},
                                   {"UseAntispam", "0"},
                                   {"Sorter", "0"},
                                   {"MaxQueueThreads", "1"},
                                   {"RunApplication", "0"},
                                   {"AppPath", "rar a msg_ -agyymm -ep Queue\\%Message%.*"},
                                   {"AppHidden", "1"},
                                   {"AppWait", "1"},
                                   {"AppTerminate", "0"},
                                   {"AppTerminateSec", "5"},
                                   {"UseCopyToAddress", "1"},
                                   {"CopyAddress", "_bosscopy"},
                                   {"UseWindowsDNSServers", "1"},
                                   {"UsePrimaryDNSServer", "0"},
                                   {"PrimaryDNSServer", ""},
                                   {"UseBackupDNSServer", "0"},
                                   {"BackupDNSServer", ""},
                                   {"DNSTryCount", "2"},
                                   {"DNSTimeout", "10"},
                                   {"MainDeliveryQueue", "1"},
                                   {"MaxDeliveryThreads", "5"},
                                   {"UndeliveredHours", "96"},
                                   {"DeliveryHostTimeout", "1"},
                                   {"DeliveryMsgTimeout", "10"},
                                   {"SMTPPort", "25"},
                                   {"SMTPTimeout", "300"},
                                   {"HTTPRootFolder", "WWW\\"},
                                   {"PHPPath", "C:\\PHP\\php-cgi.exe"}}}),
              Rows(db["Main"]));
    EXPECT_EQ((std::vector<TCols>{{{"Folder", "Logs\\"},
                                   {"Mode", "2"},
                                   {"FileName", "vantro.log"},
                                   {"LimitSize", "1"},
                                   {"MaxSize", "1024"},
                                   {"Level", "3"}}}),
              Rows(db["Log"]));
    // Time-outs in whole seconds: 120500 ms and 999 ms.
    EXPECT_EQ((std::vector<TCols>{Service("1", "SMTP", "25", "120", "1", "1"),
                                  Service("2", "POP3", "110", "0", "2", "0"),
                                  Service("3", "HTTP", "80", "600", "2", "1")}),
              Rows(db["Services"]));
    EXPECT_EQ(
        (std::vector<TCols>{
            RAS("1", "Office", "0", "123-45-67", "9,", "1", "3", "5", "1", "dial", "dpw"),
            RAS("2", "Home", "1", "111;\"222 33\";\"4\"\"4;5\";", "", "0", "1", "0", "0", "", ""),
            RAS("3", "No phones", "0", "", "", "0", "0", "0", "0", "", "")}),
        Rows(db["RASConnections"]));
    // The first user's tags 6 to 9 are not read.
    EXPECT_EQ((std::vector<TCols>{
                  User("1", "anna", "secret", VN_CP1251("Анна Петрова"),
                       VN_CP1251("Бухгалтерия & <касса>"), "", "1"),
                  User("2", "boris", "", "Boris", "", "boris@outside.org", "0"),
                  User("3", "carl", VN_CP1251("длинный пароль 12"), "Carl", "", "", "1")}),
              Rows(db["Users"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Name", "example.ru"},
                                   {"Description", ""},
                                   {"UseCopyToAddress", "0"},
                                   {"CopyAddress", ""},
                                   {"ReceiveForNonexistent", "0"},
                                   {"NonExistUserAction", "0"},
                                   {"ForwardAddress", ""},
                                   {"DeliveryQueue", "0"}}}),
              Rows(db["Domains"]));
    EXPECT_TRUE(db["DomainAliases"].Rows.empty());
}

TEST_F(LegacyTables, CompleteConfigurationSchedulesAndTasks) {
    const TOldDatabase db = Convert(CompleteLegacyConfig());
    const std::string morning = VN_CP1251("Утро"), workday = VN_CP1251("Рабочий день"),
                      off = VN_CP1251("Отключено");
    // A fixed time at 08:30; every 15 minutes from 09:00 to 18:00; a disabled entry whose
    // interval of 36 hours still shows in full.
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Enabled", "1"},
                                   {"Description", morning},
                                   {"TimeType", "1"},
                                   {"Time", "08:30"},
                                   {"TimeRange", "1"},
                                   {"Task", "1"}},
                                  {{"ID", "2"},
                                   {"Enabled", "1"},
                                   {"Description", workday},
                                   {"TimeType", "0"},
                                   {"Time", "00:15"},
                                   {"TimeRange", "2"},
                                   {"Task", "2"}},
                                  {{"ID", "3"},
                                   {"Enabled", "0"},
                                   {"Description", off},
                                   {"TimeType", "0"},
                                   {"Time", "36:00"},
                                   {"TimeRange", "3"},
                                   {"Task", "0"}}}),
              Rows(db["Schedules"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"}, {"Name", morning}, {"Description", ""}},
                                  {{"ID", "2"}, {"Name", workday}, {"Description", ""}},
                                  {{"ID", "3"}, {"Name", off}, {"Description", ""}}}),
              Rows(db["TimeRanges"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"TimeRange", "1"},
                                   {"FromTime", "00:00"},
                                   {"ToTime", "23:59"},
                                   {"DaysOfWeek", "12345"}},
                                  {{"ID", "2"},
                                   {"TimeRange", "2"},
                                   {"FromTime", "09:00"},
                                   {"ToTime", "18:00"},
                                   {"DaysOfWeek", "357"}},
                                  {{"ID", "3"},
                                   {"TimeRange", "3"},
                                   {"FromTime", "00:00"},
                                   {"ToTime", "23:00"},
                                   {"DaysOfWeek", ""}}}),
              Rows(db["TimeSubRanges"]));
    // Entry 1 dials through the general settings ("Office", entry 1), entry 2 through its own
    // ("Home", entry 2, any connection allowed); entry 3 names "office", which matches no entry
    // in that letter case. The standard tasks follow, dialling as the general settings say.
    EXPECT_EQ((std::vector<TCols>{
                  Task("1", morning, "0", "", "0", "1", "0", "1", "1", "0"),
                  Task("2", workday, "1", "C:\\flag.txt", "1", "2", "1", "1", "0", "0"),
                  Task("3", off, "0", "", "0", "0", "0", "0", "1", "0"),
                  Task("4", VN_CP1251("Отправить почту"), "0", "", "0", "1", "0", "0", "1", "1"),
                  Task("5", VN_CP1251("Принять почту"), "0", "", "0", "1", "0", "1", "0", "1"),
                  Task("6", VN_CP1251("Отправить/принять почту"), "0", "", "0", "1", "0", "1", "1",
                       "1")}),
              Rows(db["Tasks"]));
}

TEST_F(LegacyTables, CompleteConfigurationRoutingFiltersAndAliases) {
    const TOldDatabase db = Convert(CompleteLegacyConfig());
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Address", "relay.provider.net"},
                                   {"Description", ""},
                                   {"Port", "2525"},
                                   {"Timeout", "60"},
                                   {"UseMaxConnectionsIP", "0"},
                                   {"MaxConnectionsIP", "5"},
                                   {"UseAuthentication", "1"},
                                   {"User", "relayuser"},
                                   {"Password", EncodePassword("relay&pass<1>")},
                                   {"AllowUnsecureAuth", "1"}}}),
              Rows(db["RemoteSMTPServers"]));
    // pop.mail.net:110 and POP.Mail.NET:110 are one server, spelled as first met; port 995 is
    // another.
    EXPECT_EQ((std::vector<TCols>{POP3Server("1", "pop.mail.net", "110", "1"),
                                  POP3Server("2", "pop.mail.net", "995", "0"),
                                  POP3Server("3", "pop.other.org", "110", "1")}),
              Rows(db["RemotePOP3Servers"]));
    EXPECT_EQ(
        (std::vector<TCols>{{{"ID", "1"}, {"Name", VN_CP1251("Основная")}, {"Description", ""}}}),
        Rows(db["RemoteMailGroups"]));
    EXPECT_EQ((std::vector<TCols>{
                  RemoteMailbox("1", "1", "1", "shop", "pw1", "0", "0", "_pop3_1", "0"),
                  RemoteMailbox("2", "0", "1", "info", "pw2", "1", "0", "postmaster", "1"),
                  RemoteMailbox("3", "1", "2", "backup", "", "0", "1", "postmaster", "1"),
                  RemoteMailbox("4", "1", "3", "carl", VN_CP1251("пароль"), "0", "0", "carl smith",
                                "0")}),
              Rows(db["RemoteMailboxes"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Name", VN_CP1251("Основной")},
                                   {"Description", ""},
                                   {"UseXRecipient", "1"},
                                   {"XRecipient", "_unsorted"}}}),
              Rows(db["SortingRulesGroups"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"RulesGroup", "1"},
                                   {"Expression", "Subject:report"},
                                   {"Recipient", "_sorter_1"},
                                   {"Stop", "1"}},
                                  {{"ID", "2"},
                                   {"RulesGroup", "1"},
                                   {"Expression", "To:sales@example.ru"},
                                   {"Recipient", "carl"},
                                   {"Stop", "0"}},
                                  {{"ID", "3"},
                                   {"RulesGroup", "1"},
                                   {"Expression", "From:x"},
                                   {"Recipient", ""},
                                   {"Stop", "0"}}}),
              Rows(db["SortingRules"]));
    EXPECT_EQ(
        (std::vector<TCols>{{{"DeleSpam", "1"}, {"UseSpamAddress", "0"}, {"SpamAddress", ""}}}),
        Rows(db["Antispam"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"}, {"Type", "0"}, {"Expression", "From:vantroms"}}}),
              Rows(db["AntispamRules"]));
    EXPECT_EQ((std::vector<TCols>{
                  {{"ID", "1"}, {"Name", VN_CP1251("SMTP-сервис")}, {"Description", ""}},
                  {{"ID", "2"}, {"Name", VN_CP1251("POP3-сервис")}, {"Description", ""}}}),
              Rows(db["IPGroups"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Enabled", "1"},
                                   {"Type", "2"},
                                   {"Address", "10.0.0.1-10.0.0.255"},
                                   {"Description", ""}},
                                  {{"ID", "2"},
                                   {"Enabled", "0"},
                                   {"Type", "0"},
                                   {"Address", "192.168.0.1"},
                                   {"Description", VN_CP1251("\"Запретить подключение\"")}},
                                  {{"ID", "3"},
                                   {"Enabled", "1"},
                                   {"Type", "0"},
                                   {"Address", "172.16.5.4"},
                                   {"Description", ""}}}),
              Rows(db["IPAddresses"]));
    // The denied rule 2 belongs to no group; rule 3 is for POP3 only.
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"}, {"IPAddress", "1"}, {"IPGroup", "1"}},
                                  {{"ID", "2"}, {"IPAddress", "1"}, {"IPGroup", "2"}},
                                  {{"ID", "3"}, {"IPAddress", "3"}, {"IPGroup", "2"}}}),
              Rows(db["IPAddressGroup"]));
    EXPECT_EQ((std::vector<TCols>{{{"ID", "1"},
                                   {"Name", VN_CP1251("Основная")},
                                   {"Description", ""},
                                   {"MXDelivery", "0"},
                                   {"MsgThreshold", "1"},
                                   {"Task", "0"}}}),
              Rows(db["DeliveryQueues"]));
    EXPECT_EQ((std::vector<TCols>{
                  {{"ID", "1"}, {"Index", "1"}, {"DeliveryQueue", "1"}, {"SMTPServer", "1"}}}),
              Rows(db["DeliveryQueuesSMTPServers"]));

    // Postmaster, copy address, remote mailboxes, unsorted mail, sorting rules: in that order.
    const std::vector<std::pair<std::string, std::string>> aliases = {
        {"postmaster", "anna"},
        {"_bosscopy", "boss@example.ru"},
        {"_bosscopy", "deputy@example.ru"},
        {"_pop3_1", "anna"},
        {"_pop3_1", "boris"},
        {"_unsorted", "anna"},
        {"_unsorted", "carl"},
        {"_sorter_1", "anna"},
        {"_sorter_1", "boris"}};
    std::vector<TCols> expected;
    for (size_t i = 0; i < aliases.size(); ++i)
        expected.push_back({{"ID", std::to_string(i + 1)},
                            {"Domain", "1"},
                            {"Alias", aliases[i].first},
                            {"Address", aliases[i].second}});
    EXPECT_EQ(expected, Rows(db["AddressAliases"]));

    EXPECT_EQ("<vnt-db>\r\n"
              "<table name=\"Server\">\r\n"
              "  <row>\r\n"
              "    <col name=\"LaunchCount\">42</col>\r\n"
              "  </row>\r\n"
              "</table>\r\n"
              "\r\n"
              "<table name=\"RemoteMessages\">\r\n"
              "</table>\r\n"
              "\r\n"
              "</vnt-db>\r\n",
              ReadBytes(Path("Config\\state.cfg")));
}

TEST_F(LegacyTables, LongLengthPrefixesGiveTheSameDatabase) {
    const TLegacyConfig shortForm = CompleteLegacyConfig();
    TLegacyObject::LongByDefault = true;
    const TLegacyConfig longForm = CompleteLegacyConfig();
    const TLegacyObject longRoot = longForm.Root();
    TLegacyObject::LongByDefault = false;
    ASSERT_NE(LegacyFile(shortForm.Root()), LegacyFile(longRoot));

    WriteBytes(Path("VantroMS.cfg"), LegacyFile(longRoot));
    ConvertLegacyConfig();
    const std::string fromLong = ReadBytes(Path("Config\\server.cfg"));
    ASSERT_FALSE(fromLong.empty());
    VnPlatform::DeleteFile(Path("Config\\server.cfg"));
    VnPlatform::DeleteFile(Path("Config\\state.cfg"));
    Convert(shortForm);
    EXPECT_EQ(fromLong, ReadBytes(Path("Config\\server.cfg")));
}

TEST_F(LegacyTables, EmptyConfiguration) {
    TLegacyConfig config = EmptyLegacyConfig();
    config.Settings.Str(SettingsTag::DomainName, "example.ru");
    config.SMTPClient.Str(SMTPClientTag::HostName, "unused.example.ru");
    const TOldDatabase db = Convert(config);

    EXPECT_EQ("example.ru", db["Main"].Rows.at(0)["HostName"]); // the host name is not in use
    EXPECT_EQ("", db["Main"].Rows.at(0)["CopyAddress"]);
    EXPECT_EQ("0", db["Main"].Rows.at(0)["UseCopyToAddress"]);
    EXPECT_EQ("", db["SortingRulesGroups"].Rows.at(0)["XRecipient"]);
    EXPECT_EQ("0", db["SortingRulesGroups"].Rows.at(0)["UseXRecipient"]);
    for (const char* table :
         {"RASConnections", "Users", "Schedules", "TimeRanges", "TimeSubRanges",
          "RemotePOP3Servers", "RemoteMailboxes", "SortingRules", "IPAddresses", "IPAddressGroup"})
        EXPECT_TRUE(db[table].Rows.empty()) << table;
    EXPECT_EQ(1u, db["RemoteMailGroups"].Rows.size());
    // The standard tasks take the IDs 1 to 3; no dial-up is configured.
    ASSERT_EQ(3u, db["Tasks"].Rows.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::to_string(i + 1), db["Tasks"].Rows[i]["ID"]);
        EXPECT_EQ("0", db["Tasks"].Rows[i]["RASConnection"]);
    }
    // An empty postmaster address still gives the first alias.
    ASSERT_EQ(1u, db["AddressAliases"].Rows.size());
    EXPECT_EQ((TCols{{"ID", "1"}, {"Domain", "1"}, {"Alias", "postmaster"}, {"Address", ""}}),
              db["AddressAliases"].Rows[0].Cols);
    // An absent launch count is written empty.
    const TOldDatabase state = ParseOldForm(ReadBytes(Path("Config\\state.cfg")));
    EXPECT_EQ((TCols{{"LaunchCount", ""}}), state["Server"].Rows.at(0).Cols);
}

TEST(LegacySplitAddressList, AddressesBecomeAliasEntries) {
    std::vector<std::string> aliases;
    EXPECT_EQ(" anna smith ", SplitAddressList(" anna smith ", "_a", aliases));
    EXPECT_EQ("", SplitAddressList("", "_a", aliases));
    EXPECT_TRUE(aliases.empty());

    EXPECT_EQ("_b", SplitAddressList("anna, boris", "_b", aliases));
    EXPECT_EQ("_c", SplitAddressList("anna,,boris,", "_c", aliases));
    EXPECT_EQ("_d", SplitAddressList(",anna", "_d", aliases));
    EXPECT_EQ("_e", SplitAddressList(" , ", "_e", aliases));
    EXPECT_EQ((std::vector<std::string>{"_b=anna", "_b=boris", "_c=anna", "_c=boris",
                                        "_d=", "_d=anna", "_e="}),
              aliases);
}
