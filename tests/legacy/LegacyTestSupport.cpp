#include "LegacyTestSupport.h"

#include "VnCp1251.h"
#include "VnPlatform.h"
#include "VnSysUtils.h"

void TLegacyFolderTest::SetUp() {
    FOldDirectory = VnPlatform::CurrentDirectory();
    ASSERT_TRUE(VnPlatform::SetCurrentDirectory(Folder.Path()));
}

void TLegacyFolderTest::TearDown() {
    VnPlatform::SetCurrentDirectory(FOldDirectory);
}

std::filesystem::path TLegacyFolderTest::FsPath(const std::string& relative) const {
    std::string path = Path(relative);
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\')
            c = '/';
#endif
    return std::filesystem::path(path);
}

// ---- The older database form --------------------------------------------------------------

std::vector<std::string> TOldRow::Names() const {
    std::vector<std::string> names;
    for (const auto& col : Cols)
        names.push_back(col.first);
    return names;
}

std::string TOldRow::operator[](const std::string& name) const {
    for (const auto& col : Cols)
        if (col.first == name)
            return col.second;
    ADD_FAILURE() << "no column " << name;
    return std::string();
}

std::vector<std::string> TOldDatabase::TableNames() const {
    std::vector<std::string> names;
    for (const TOldTable& table : Tables)
        names.push_back(table.Name);
    return names;
}

const TOldTable& TOldDatabase::operator[](const std::string& name) const {
    for (const TOldTable& table : Tables)
        if (table.Name == name)
            return table;
    ADD_FAILURE() << "no table " << name;
    static const TOldTable none;
    return none;
}

namespace {

// "&amp" and "&lt" back to "&" and "<".
std::string Unescape(const std::string& value) {
    std::string result;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value.compare(i, 4, "&amp") == 0) {
            result += '&';
            i += 3;
        } else if (value.compare(i, 3, "&lt") == 0) {
            result += '<';
            i += 2;
        } else {
            EXPECT_NE('&', value[i]) << "bare & in " << value;
            result += value[i];
        }
    }
    return result;
}

// The text between `prefix` and `suffix` when the line is exactly prefix + X + suffix.
bool Between(const std::string& line, const std::string& prefix, const std::string& suffix,
             std::string& inner) {
    if (line.size() < prefix.size() + suffix.size() || !StartsWith(line, prefix) ||
        !EndsWith(line, suffix))
        return false;
    inner = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
    return true;
}

} // namespace

TOldDatabase ParseOldForm(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(text.size(), start) << "text after the last line break";

    TOldDatabase db;
    enum { Root, InTable, AfterTable, InRow, Done } state = Root;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::string inner;
        const size_t nameEnd = line.find("\">");
        if (state == Root && db.Tables.empty() && i == 0 && line == "<vnt-db>") {
            continue;
        } else if ((state == Root || state == AfterTable) && line == "</vnt-db>") {
            state = Done;
        } else if (state == AfterTable && line.empty()) {
            state = Root;
        } else if (state == Root && Between(line, "<table name=\"", "\">", inner)) {
            db.Tables.push_back({inner, {}});
            state = InTable;
        } else if (state == InTable && line == "</table>") {
            state = AfterTable;
        } else if (state == InTable && line == "  <row>") {
            db.Tables.back().Rows.emplace_back();
            state = InRow;
        } else if (state == InRow && line == "  </row>") {
            state = InTable;
        } else if (state == InRow && nameEnd != std::string::npos &&
                   Between(line, "    <col name=\"", "</col>", inner)) {
            const size_t split = inner.find("\">");
            db.Tables.back().Rows.back().Cols.emplace_back(inner.substr(0, split),
                                                           Unescape(inner.substr(split + 2)));
        } else {
            ADD_FAILURE() << "unexpected line " << i + 1 << ": " << line;
            return db;
        }
    }
    EXPECT_EQ(Done, state) << "the database is not closed";
    return db;
}

// ---- Fixtures -----------------------------------------------------------------------------

namespace {

constexpr int32_t Hour = 3600000, Minute = 60000;

TLegacyObject Mailbox(const std::string& host, int32_t port, const std::string& user,
                      const std::string& password, const std::string& recipient, uint8_t enabled,
                      uint8_t secureOnly) {
    return TLegacyObject()
        .Str(MailboxTag::Address, host)
        .Int(MailboxTag::Port, port)
        .Int(MailboxTag::Timeout, 30500)
        .Bool(MailboxTag::Enabled, enabled)
        .Str(MailboxTag::User, user)
        .Password(MailboxTag::Password, password)
        .Str(MailboxTag::Recipient, recipient)
        .Bool(MailboxTag::SecureAuthOnly, secureOnly);
}

TLegacyObject IPRule(uint32_t from, uint32_t to, uint8_t allow, uint8_t smtp, uint8_t pop3) {
    return TLegacyObject()
        .Int(IPRuleTag::FromIP, static_cast<int32_t>(from))
        .Int(IPRuleTag::ToIP, static_cast<int32_t>(to))
        .Bool(IPRuleTag::Allow, allow)
        .Bool(IPRuleTag::ForSMTP, smtp)
        .Bool(IPRuleTag::ForPOP3, pop3);
}

TLegacyObject Days(TLegacyObject schedule, const std::string& days) {
    for (const char day : days)
        schedule.Bool(static_cast<uint8_t>(ScheduleTag::Day1 + (day - '1')), 1);
    return schedule;
}

} // namespace

TLegacyConfig EmptyLegacyConfig() {
    return TLegacyConfig();
}

TLegacyConfig CompleteLegacyConfig() {
    TLegacyConfig c;
    c.LaunchCount = "42";
    c.Settings.Str(SettingsTag::DomainName, "example.ru")
        .Str(SettingsTag::PostmasterAddress, "anna")
        .Raw(3, "skipped")
        .Str(SettingsTag::LogFolder, "Logs\\")
        .Bool(SettingsTag::UseDialUp, 1)
        .Bool(SettingsTag::UseNamedConnection, 1)
        .Str(SettingsTag::ConnectionName, "Office")
        .Bool(SettingsTag::UseAnyConnection, 0);
    c.Log.Int(LogTag::Mode, 2)
        .Str(LogTag::FileName, "vantro.log")
        .Bool(LogTag::LimitSize, 1)
        .Int(LogTag::MaxSize, 1024)
        .Int(LogTag::Level, 3);
    c.SMTPService.Int(SMTPServiceTag::Port, 25)
        .Int(SMTPServiceTag::Timeout, 120500)
        .Bool(SMTPServiceTag::NoRelayIPGroup, 0)
        .Bool(SMTPServiceTag::AllowUnsecureAuth, 1);
    c.POP3Service.Int(POP3ServiceTag::Port, 110)
        .Int(POP3ServiceTag::Timeout, 999)
        .Bool(POP3ServiceTag::AllowUnsecureAuth, 0);
    c.SMTPClient.Str(SMTPClientTag::Address, "relay.provider.net")
        .Int(SMTPClientTag::Port, 2525)
        .Int(SMTPClientTag::Timeout, 60000)
        .Bool(SMTPClientTag::UseHostName, 1)
        .Str(SMTPClientTag::HostName, "mail.example.ru")
        .Bool(SMTPClientTag::UseAuthentication, 1)
        .Str(SMTPClientTag::User, "relayuser")
        .Password(SMTPClientTag::Password, "relay&pass<1>");
    c.POP3Collector.Collection(
        ListTag, {Mailbox("pop.mail.net", 110, "shop", "pw1", "anna, boris", 1, 0),
                  Mailbox("POP.Mail.NET", 110, "info", "pw2", VN_CP1251("<Домен>"), 0, 1),
                  Mailbox("pop.mail.net", 995, "backup", "", VN_CP1251("<Сортировщик>"), 1, 1),
                  Mailbox("pop.other.org", 110, "carl", VN_CP1251("пароль"), "carl smith", 1, 0)});
    c.IPFilter.Collection(ListTag, {IPRule(0x0A000001, 0x0A0000FF, 1, 1, 1),
                                    IPRule(0xC0A80001, 0xC0A80001, 0, 1, 1),
                                    IPRule(0xAC100504, 0xAC100504, 1, 0, 1)});
    c.UserMgr.Collection(ListTag,
                         {TLegacyObject()
                              .Str(UserTag::FullName, VN_CP1251("Анна Петрова"))
                              .Str(UserTag::Name, "anna")
                              .Password(UserTag::Password, "secret")
                              .Str(UserTag::Description, VN_CP1251("Бухгалтерия & <касса>"))
                              .Bool(UserTag::Enabled, 1)
                              .Raw(6, "six")
                              .Raw(7, "seven")
                              .Raw(8, "eight")
                              .Raw(9, "nine"),
                          TLegacyObject()
                              .Str(UserTag::Name, "boris")
                              .Str(UserTag::FullName, "Boris")
                              .Password(UserTag::Password, "")
                              .Bool(UserTag::Enabled, 0)
                              .Str(UserTag::ExternalEmail, "boris@outside.org"),
                          TLegacyObject()
                              .Str(UserTag::FullName, "Carl")
                              .Str(UserTag::Name, "carl")
                              .Password(UserTag::Password, VN_CP1251("длинный пароль 12"))
                              .Bool(UserTag::Enabled, 1)});
    c.Scheduler.Collection(ListTag, {Days(TLegacyObject()
                                              .Bool(ScheduleTag::Enabled, 1)
                                              .Str(ScheduleTag::Name, VN_CP1251("Утро"))
                                              .Bool(ScheduleTag::SendMail, 1)
                                              .Bool(ScheduleTag::ReceiveMail, 1)
                                              .Int(ScheduleTag::FromTime, 8 * Hour + 30 * Minute)
                                              .Int(ScheduleTag::ToTime, 8 * Hour + 30 * Minute)
                                              .Int(ScheduleTag::Interval, Hour)
                                              .Raw(8, "skipped"),
                                          "12345"),
                                     Days(TLegacyObject()
                                              .Bool(ScheduleTag::Enabled, 1)
                                              .Str(ScheduleTag::Name, VN_CP1251("Рабочий день"))
                                              .Bool(ScheduleTag::ReceiveMail, 1)
                                              .Int(ScheduleTag::FromTime, 9 * Hour)
                                              .Int(ScheduleTag::ToTime, 18 * Hour)
                                              .Int(ScheduleTag::Interval, 15 * Minute)
                                              .Str(ScheduleTag::FileFlag, "C:\\flag.txt")
                                              .Bool(ScheduleTag::DeleteFileFlag, 1)
                                              .Bool(ScheduleTag::OwnDialUp, 1)
                                              .Bool(ScheduleTag::UseDialUp, 1)
                                              .Bool(ScheduleTag::UseNamedConnection, 1)
                                              .Str(ScheduleTag::ConnectionName, "Home")
                                              .Bool(ScheduleTag::UseAnyConnection, 1),
                                          "753"),
                                     TLegacyObject()
                                         .Bool(ScheduleTag::Enabled, 0)
                                         .Str(ScheduleTag::Name, VN_CP1251("Отключено"))
                                         .Bool(ScheduleTag::SendMail, 1)
                                         .Int(ScheduleTag::FromTime, 0)
                                         .Int(ScheduleTag::ToTime, 23 * Hour)
                                         .Int(ScheduleTag::Interval, 36 * Hour)
                                         .Bool(ScheduleTag::OwnDialUp, 1)
                                         .Bool(ScheduleTag::UseDialUp, 1)
                                         .Bool(ScheduleTag::UseNamedConnection, 1)
                                         .Str(ScheduleTag::ConnectionName, "office")});
    c.DialUp.Collection(ListTag,
                        {TLegacyObject()
                             .Str(DialUpEntryTag::Name, "Office")
                             .Strings(DialUpEntryTag::Phones, {"123-45-67"})
                             .Bool(DialUpEntryTag::Tone, 1)
                             .Int(DialUpEntryTag::TryCount, 3)
                             .Int(DialUpEntryTag::Pause, 5)
                             .Bool(DialUpEntryTag::OwnAuthParams, 1)
                             .Str(DialUpEntryTag::UserName, "dial")
                             .Password(DialUpEntryTag::Password, "dpw")
                             .Raw(9, "skipped")
                             .Str(DialUpEntryTag::Prefix, "9,"),
                         TLegacyObject()
                             .Str(DialUpEntryTag::Name, "Home")
                             .Strings(DialUpEntryTag::Phones, {"111", "222 33", "4\"4;5", ""})
                             .Int(DialUpEntryTag::TryCount, 1),
                         TLegacyObject().Str(DialUpEntryTag::Name, "No phones")});
    c.QueueMgr
        .Collection(
            QueueMgrTag::Rules,
            {TLegacyObject()
                 .Str(SortingRuleTag::Header, "Subject")
                 .Str(SortingRuleTag::Value, "report")
                 .Strings(SortingRuleTag::Recipients, {"anna", "boris"})
                 .Bool(SortingRuleTag::Stop, 1),
             TLegacyObject()
                 .Str(SortingRuleTag::Header, "To")
                 .Str(SortingRuleTag::Value, "sales@example.ru")
                 .Strings(SortingRuleTag::Recipients, {"carl"}),
             TLegacyObject().Str(SortingRuleTag::Header, "From").Str(SortingRuleTag::Value, "x")})
        .Str(QueueMgrTag::UnsortedRecipient, "anna,,carl")
        .Bool(QueueMgrTag::UseCopyAddress, 1)
        .Str(QueueMgrTag::CopyAddress, "boss@example.ru, deputy@example.ru");
    return c;
}
