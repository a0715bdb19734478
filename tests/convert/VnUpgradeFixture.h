// Server and state databases as they stood at any version number from 2039 to 3.08: one
// description of every table, row and column the upgrade touches, each with the versions at which
// it appears and disappears, written out in the file form of the version asked for (no ver
// attribute at 2039, the old entity form below 2043). Shared by the tests and the benchmark.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace VnFixture {

constexpr int Always = 0;
constexpr int Never = 99999;

// The limits of the upgrade steps: a database at version V has been through every step whose
// limit is V or below.
enum : int {
    L1 = 2041,
    L2 = 2042,
    L3 = 2059,
    L4 = 2061,
    L5 = 2071,
    L6 = 2072,
    L7 = 2089,
    L8 = 3001,
    L9 = 3019,
    L10 = 3029,
    L11 = 3031,
    L12 = 3051,
    L13 = 3061,
    L14 = 3070,
};
constexpr int StepLimits[] = {L1, L2, L3, L4, L5, L6, L7, L8, L9, L10, L11, L12, L13, L14};
constexpr int StateLimits[] = {L4, L6, L14};

// Present at the versions From <= V < Until.
struct TColumn {
    std::string Name, Value;
    int From = Always, Until = Never;
};
struct TRow {
    std::vector<TColumn> Columns;
    int From = Always, Until = Never;
};
struct TTable {
    std::string Name;
    std::vector<TRow> Rows;
    int From = Always;
    std::string OldName; // the name below RenamedAt
    int RenamedAt = Always;

    TTable(std::string name, std::vector<TRow> rows = {}, int from = Always,
           std::string oldName = "", int renamedAt = Always)
        : Name(std::move(name)), Rows(std::move(rows)), From(from), OldName(std::move(oldName)),
          RenamedAt(renamedAt) {}
    std::string NameAt(int version) const { return version < RenamedAt ? OldName : Name; }
};

struct TScale {
    int Users = 3;
    int Mailboxes = 4;
    int Messages = 12;      // of existing mailboxes, spread over them in turn
    int OrphanMessages = 7; // of mailboxes that no longer exist
};

inline bool At(int version, int from, int until) {
    return from <= version && version < until;
}

// The ver text of a version number: "3.070" for 3070; a final 9 is implied ("3.08" for 3089).
inline std::string VersionText(int version) {
    std::string text = std::to_string(version / 1000) + "." + std::to_string(version % 1000 / 100) +
                       std::to_string(version % 100 / 10);
    return version % 10 == 9 ? text : text + std::to_string(version % 10);
}

inline std::string Escape(const std::string& text, int version) {
    std::string out;
    for (char c : text) {
        if (version < 2043) { // the old form: "&amp" and "&lt", nothing else
            out += c == '&' ? "&amp" : c == '<' ? "&lt" : std::string(1, c);
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The database file as the program of that version wrote it.
inline std::string WriteDatabase(const std::vector<TTable>& tables, int version) {
    std::string out =
        version <= 2039 ? "<vnt-db>\r\n" : "<vnt-db ver=\"" + VersionText(version) + "\">\r\n";
    for (const TTable& table : tables) {
        if (version < table.From)
            continue;
        out += "<table name=\"" + table.NameAt(version) + "\">\r\n";
        for (const TRow& row : table.Rows) {
            if (!At(version, row.From, row.Until))
                continue;
            out += "  <row>\r\n";
            for (const TColumn& column : row.Columns)
                if (At(version, column.From, column.Until))
                    out += "    <col name=\"" + column.Name + "\">" +
                           Escape(column.Value, version) + "</col>\r\n";
            out += "  </row>\r\n";
        }
        out += "</table>\r\n\r\n";
    }
    return out + "</vnt-db>\r\n";
}

// A column renamed at a step: the old name below it, the new one from it on.
inline void Renamed(std::vector<TColumn>& columns, const std::string& oldName,
                    const std::string& newName, const std::string& value, int at) {
    columns.push_back({oldName, value, Always, at});
    columns.push_back({newName, value, at, Never});
}

// Gives the column, under each name range it has, a new value.
inline void SetValue(TRow& row, const std::string& column, const std::string& value) {
    for (TColumn& entry : row.Columns)
        if (entry.Name == column)
            entry.Value = value;
}

// ---- The server database ------------------------------------------------------------------

inline TRow MainRow() {
    TRow row;
    auto& c = row.Columns;
    c = {{"QueueFolder", "Queue\\"}, {"MailboxFolder", "Mailbox\\"}};
    Renamed(c, "MainDeliveryQueue", "MainSendQueue", "1", L1);
    Renamed(c, "MaxDeliveryThreads", "MaxSendThreads", "5", L1);
    c.push_back({"DeliveryHostTimeout", "0;30", Always, L1});
    c.push_back({"SendHostTimeout", "0;30", L1, L5});
    c.push_back({"SendHostTimeout", "1", L5});
    Renamed(c, "DeliveryMsgTimeout", "SendMsgTimeout", "10", L1);
    Renamed(c, "MaxQueueThreads", "MaxProcessThreads", "1", L1);
    c.push_back({"UndeliveredHours", "24", Always, L6});
    c.push_back({"UndeliverTimeout", "1440", L6});
    for (const char* name : {"RunApplication", "AppHidden", "AppWait"})
        c.push_back({name, "1", Always, L7});
    c.push_back({"AppPath", "C:\\Filter\\check.exe \"%Message%\" & more <x>", Always, L7});
    c.push_back({"AppTerminate", "0", Always, L7});
    c.push_back({"AppTerminateSec", "30", Always, L7});
    // Left behind by the step that reads them.
    c.push_back({"CopyAddress", "archive@example.test", Always, L7});
    c.push_back({"UseCopyToAddress", "1", Always, L7});
    c.push_back({"HTTPRootFolder", "WWW\\", Always, L12});
    Renamed(c, "UseAntispam", "Antispam", "1", L10);
    c.push_back({"PrimaryDomain", "1"});
    c.push_back({"Language", "ru"});
    c.push_back({"MainSorter", "2", L5});
    for (const char* name :
         {"NoUserTemplate", "MsgNotFitTemplate", "SendTimeoutTemplate", "SrvRefuseTemplate"})
        c.push_back({name, "1", L4});
    c.push_back({"Admin", "1", L8});
    c.push_back({"UseDelayTimeout", "0", L11});
    c.push_back({"DelayTimeout", "60", L11});
    c.push_back({"SendDelayTemplate", "5", L11});
    c.push_back({"MainWebSite", "1", L12});
    c.push_back({"CheckEHLOMatchHostName", "0", L14});
    return row;
}

inline TRow TaskRow() {
    TRow row;
    auto& c = row.Columns;
    c = {{"ID", "1"},
         {"Name", "Send"},
         {"Description", ""},
         {"MultiThread", "0"},
         {"UseFileFlag", "0"},
         {"FileFlag", ""},
         {"DeleteFileFlag", "0"},
         {"RASConnection", "0"},
         {"SendCommand", "ETRN example.test"},
         {"MailboxGroup", "0"},
         {"WaitReceive", "0"},
         {"NotifyTemplate", "0"},
         {"ShowInMenu", "1"},
         {"OwnConnection", "1", L1}};
    Renamed(c, "SMTPService", "SMTPServer", "1", L2);
    Renamed(c, "DeliveryQueue", "SendQueue", "1", L1);
    return row;
}

inline TRow ApplicationTaskRow() {
    TRow row;
    row.From = L7;
    row.Columns = {{"ID", "2"},
                   {"Name", "Application"},
                   {"MultiThread", "1"},
                   {"UseFileFlag", "0"},
                   {"FileFlag", ""},
                   {"DeleteFileFlag", "0"},
                   {"OwnConnection", "1"},
                   {"RASConnection", "0"},
                   {"SMTPServer", "0"},
                   {"SendCommand", "ETRN domain.local"},
                   {"MailboxGroup", "0"},
                   {"WaitReceive", "0"},
                   {"SendQueue", "0"},
                   {"NotifyTemplate", "0"},
                   {"ShowInMenu", "0"},
                   {"RunApplication", "1"},
                   {"AppPath", "C:\\Filter\\check.exe"},
                   {"Description", ""},
                   {"AppHidden", "1"},
                   {"AppWait", "1"},
                   {"AppTerminate", "0"},
                   {"AppTerminateSec", "30"}};
    return row;
}

// A sorting rule in the form AddSortingRule and the sorter step create.
inline TRow SortingRule(const std::string& id, int from, const std::string& group,
                        const std::string& recipient, const std::string& task) {
    TRow row;
    row.From = from;
    row.Columns = {{"ID", id},
                   {"Index", id},
                   {"Enabled", "1"},
                   {"RulesGroup", group},
                   {"UseCondition", "0"},
                   {"Condition", ""},
                   {"UseRFilter", "0"},
                   {"UseRFNo", "0"},
                   {"RFilter", "0"},
                   {"RFDomain", ""},
                   {"RFRecipient", ""},
                   {"UseRFOnly", "0"},
                   {"DelRecipients", "0"},
                   {"UseRecipient", recipient.empty() ? "0" : "1"},
                   {"Recipient", recipient},
                   {"Domain", "0"},
                   {"Task", task},
                   {"TaskWait", "1", L7},
                   {"SendQueue", "0"},
                   {"Sorter", "0"},
                   {"Stop", "0"},
                   {"Description", ""}};
    return row;
}

inline TRow OldSortingRule() {
    TRow row;
    auto& c = row.Columns;
    c = {{"ID", "1"},          {"Enabled", "1"},   {"RulesGroup", "1"},    {"UseCondition", "1"},
         {"UseRFilter", "0"},  {"UseRFNo", "0"},   {"RFilter", "0"},       {"RFDomain", ""},
         {"RFRecipient", ""},  {"UseRFOnly", "0"}, {"DelRecipients", "0"}, {"UseRecipient", "0"},
         {"Recipient", ""},    {"Domain", "0"},    {"Task", "0"},          {"SendQueue", "0"},
         {"Sorter", "0"},      {"Stop", "0"},      {"Description", ""},    {"Index", "1", L5},
         {"TaskWait", "0", L7}};
    c.push_back({"Expression", "Subject:a;;b;From:x\"y&z", Always, L1});
    c.push_back({"Condition", "Subject:a;;b;From:x\"y&z", L1, L3});
    c.push_back({"Condition", "Subject:\"a;b\" & From:\"x\"\"y&z\"", L3});
    return row;
}

inline TTable ServicesTable() {
    TTable table{"Services"};
    const char* const names[] = {"SMTP", "POP3", "HTTP", "SOCKS", "WinAdmin"};
    const char* const ports[] = {"25", "110", "80", "1080", "49201"};
    for (int i = 0; i < 5; ++i) {
        TRow row;
        row.From = i == 3 ? L1 : i == 4 ? L8 : Always;
        auto& c = row.Columns;
        const std::string id = std::to_string(i + 1);
        c = {{"ID", id},
             {"Name", names[i]},
             {"Port", ports[i]},
             {"Timeout", "600"},
             {"UseBind", "0"},
             {"BindIP", ""},
             {"AutoStart", "1"},
             {"UseMaxConnTotal", "0"},
             {"MaxConnTotal", "20"},
             {"UseMaxConnOneIP", "0"},
             {"MaxConnOneIP", "5"},
             {"DisallowHosts", i == 0 ? "dialup" : "", L9},
             {"UseMaxConnOneAllowIP", "0", L14},
             {"MaxConnOneAllowIP", "5", L14},
             {"HostNameChecks", "0", L14},
             {"HostNameChecksAtConn", "1", L14},
             {"CheckHostNameToIP", "1", L14}};
        if (i == 2) { // the HTTP service: everyone but a group, with host name checks
            c.push_back({"AccessAll", "2", Always, L14});
            c.push_back({"AccessAll", "1", L14});
            Renamed(c, "AccessGroup", "DisallowGroup", "1", L9);
        } else {
            c.push_back({"AccessAll", "0"});
            Renamed(c, "AccessGroup", "AllowGroup", i == 4 ? "2" : "1", L9);
        }
        // SOCKS is the one service that asks for secure authentication.
        c.push_back({"AllowUnsecureAuth", i == 3 ? "0" : "1", Always, L9});
        c.push_back({"RequireSecretAuth", i == 3 ? "1" : "0", L9});
        if (i == 3)
            c.push_back({"ReusePort", "0"});
        table.Rows.push_back(row);
    }
    return table;
}

inline TTable TemplatesTable() {
    TTable table{"Templates", {}, L4};
    for (int id = 1; id <= 6; ++id) {
        TRow row;
        row.From = id <= 4 ? L4 : L11;
        const bool english = id % 2 == 1;
        row.Columns = {{"ID", std::to_string(id)},
                       {"Name", "0" + std::to_string((id + 1) / 2) + " Template"},
                       {"Description", ""},
                       {"From", "\"Mail Server\" <postmaster@%Domain%>", Always, L11},
                       {"FromName", "\"Mail Server\"", L11},
                       {"FromEmail", "postmaster@%Domain%", L11},
                       {"ServiceNotify", "1", L11},
                       {"ToSender", english ? "1" : "0"},
                       {"ToRecipients", "0"},
                       {"ToAddress", "0"},
                       {"Address", "postmaster@%Domain%"},
                       {"Subject", "Notification"},
                       {"Text", "%Domain%: 100% <sure> & done"},
                       {"AttachMsg", "0"}};
        table.Rows.push_back(row);
    }
    return table;
}

inline TTable AntivirusTable() {
    TTable table{"Antivirus", {}, L1};
    TRow row;
    auto& c = row.Columns;
    c = {{"Antivirus", "0"},
         {"InfectedAction", "2", Always, L11},
         {"InfectedAction", "1", L11},
         {"InfNotifySender", "0"},
         {"InfNotifyRecipients", "1"},
         {"InfUseNotifyAddress", "0"},
         {"InfNotifyAddress", "postmaster"},
         {"InfUseCopyToAddress", "0"},
         {"InfCopyAddress", ""},
         {"SuspiciousAction", "0"},
         {"SusNotifySender", "0"},
         {"SusNotifyRecipients", "1"},
         {"SusUseNotifyAddress", "0"},
         {"SusNotifyAddress", "postmaster"},
         {"SusUseCopyToAddress", "0"},
         {"SusCopyAddress", ""},
         {"CommandLine", "C:\\Program Files\\DrWeb\\drwebwcl.exe %FileName%"},
         {"CodePower2", "1"},
         {"CodeOK", "0"},
         {"CodeInfected", "1;2;8;16"},
         {"CodeSuspicious", "4;32"},
         {"CodeDisinfected", "64"},
         {"SusTemplate", "3", L4},
         {"InfTemplate", "3", L4}};
    table.Rows.push_back(row);
    return table;
}

inline TRow UserRow(int id, int domain) {
    TRow row;
    row.Columns = {{"ID", std::to_string(id)},
                   {"Domain", std::to_string(domain)},
                   {"Name", id == 1 ? "admin" : "user" + std::to_string(id)},
                   {"Password", "C00:AAAAAAAAAAAA"},
                   {"FullName", "User " + std::to_string(id)},
                   {"Enabled", "1"}};
    return row;
}

inline TRow MailboxRow(int id) {
    TRow row;
    auto& c = row.Columns;
    const std::string server = std::to_string(id % 3 + 1);
    c = {{"ID", std::to_string(id)},
         {"User",
          id % 4 == 0 ? "box" + std::to_string(id) + "@example.test" : "box" + std::to_string(id)},
         {"Password", "C00:AAAAAAAAAAAA"},
         {"Email", "box" + std::to_string(id) + "@example.test", L5},
         {"UseAntispamTOP", "1", L7, L10},
         {"AntispamTOP", "1", L10},
         {"SpamDelete", "1", L7},
         {"RejectDup", "0", L14}};
    Renamed(c, "POP3Server", "Server", server, L13);
    c.push_back({"UseAntispam", "1", Always, L7});
    c.push_back({"UseAntispam", "0", L7, L10});
    c.push_back({"Antispam", "0", L10});
    Renamed(c, "UseEmailAccounts", "UseAllowedToCc", "0", L14);
    Renamed(c, "EmailAccounts", "AllowedToCc", "", L14);
    Renamed(c, "UseHeaders", "UseRecipientsFields", "1", L14);
    Renamed(c, "Headers", "RecipientsFields", "To;Cc", L14);
    Renamed(c, "UseRecipient", "UseRecipients", "0", L14);
    Renamed(c, "Recipient", "Recipients", "", L14);
    Renamed(c, "RecipientIfNo", "RecipientsIfNo", "0", L14);
    return row;
}

// Every table the upgrade reads or writes, in the order of an old server.cfg; tables added by
// the steps come last, where the steps append them.
inline std::vector<TTable> ServerTables(const TScale& scale = TScale()) {
    std::vector<TTable> tables;
    tables.push_back({"Main", {MainRow()}});
    tables.push_back({"Log",
                      {{{{"Folder", "Log\\"},
                         {"Mode", "1", Always, L1},
                         {"Mode", "0", L1},
                         {"FileName", "VantroMS.log"},
                         {"Level", "2"}}}}});
    tables.push_back(
        {"Antispam", {{{{"DeleSpam", "1"}, {"UseSpamAddress", "0"}, {"UseTOP", "1", L1}}}}});

    TTable domains{"Domains"};
    for (int id = 1; id <= 2; ++id) {
        TRow row;
        row.Columns = {{"ID", std::to_string(id)},
                       {"Name", id == 1 ? "example.test" : "mail.example.test"},
                       {"Description", ""},
                       {"ReceiveForNonexistent", "1", Always, L1},
                       {"NonExistUserAction", "1", Always, L1},
                       {"NonExistUserAction", "2", L1}};
        Renamed(row.Columns, "DeliveryQueue", "SendQueue", "0", L1);
        domains.Rows.push_back(row);
    }
    tables.push_back(domains);

    TTable users{"Users"};
    for (int id = 1; id <= scale.Users; ++id)
        users.Rows.push_back(UserRow(id, id % 2 + 1));
    tables.push_back(users);

    tables.push_back({"SendQueues",
                      {{{{"ID", "1"}, {"Name", "Main queue"}, {"Task", "1"}}}},
                      Always,
                      "DeliveryQueues",
                      L1});
    TRow link;
    link.Columns = {{"ID", "1"}, {"Index", "1"}, {"SMTPServer", "1"}};
    Renamed(link.Columns, "DeliveryQueue", "SendQueue", "1", L1);
    tables.push_back({"SendQueuesSMTPServers", {link}, Always, "DeliveryQueuesSMTPServers", L1});
    tables.push_back({"Tasks", {TaskRow(), ApplicationTaskRow()}});

    TTable sorters{"Sorters", {}, Always, "SortingRulesGroups", L1};
    sorters.Rows.push_back({{{"ID", "1"},
                             {"Name", "Filters"},
                             {"Description", ""},
                             {"UseXRecipient", "1", Always, L5},
                             {"XRecipient", "copy@example.test", Always, L5}}});
    sorters.Rows.push_back({{{"ID", "2"}, {"Name", "Main sorter"}, {"Description", ""}}, L5});
    tables.push_back(sorters);
    TTable rules{"SortingRules", {OldSortingRule()}};
    rules.Rows.push_back(SortingRule("2", L5, "1", "copy@example.test", "0"));
    rules.Rows.push_back(SortingRule("3", L7, "2", "", "2"));
    rules.Rows.push_back(SortingRule("4", L7, "2", "archive@example.test", "0"));
    tables.push_back(rules);

    TTable antispamRules{"AntispamRules"};
    for (int id = 1; id <= 3; ++id) {
        TRow row;
        row.From = id == 3 ? L11 : Always;
        auto& c = row.Columns;
        c = {{"ID", std::to_string(id)},
             {"Enabled", "1"},
             {"Type", id == 3   ? "2"
                      : id == 1 ? "1"
                                : "0"},
             {"Description", ""},
             {"RulesGroup", "1", id == 3 ? Always : L10},
             {"Index", std::to_string(id), id == 3 ? Always : L10}};
        const std::string condition = id == 3 ? "" : "From:spam" + std::to_string(id);
        c.push_back({"Expression", condition, Always, L1});
        c.push_back({"Condition", condition, L1, L3});
        c.push_back({"Condition", id == 3 ? "" : "From:\"spam" + std::to_string(id) + "\"", L3});
        antispamRules.Rows.push_back(row);
    }
    tables.push_back(antispamRules);

    tables.push_back({"TimeRanges", {{{{"ID", "1"}, {"Name", "Night"}}}}});
    TRow subRange;
    subRange.Columns = {{"ID", "1"}, {"TimeRange", "1"}, {"DaysOfWeek", "135", Always, L1}};
    const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int day = 0; day < 7; ++day)
        subRange.Columns.push_back({days[day], day % 2 == 0 && day < 6 ? "1" : "0", L1});
    tables.push_back({"TimeSubRanges", {subRange}});

    TTable addresses{"IPAddresses"};
    const char* const oldAddresses[] = {"192.168.0.0/255.255.0.0", "127.0.0.1",
                                        "10.0.0.1-10.0.0.9"};
    const char* const address1[] = {"192.168.0.0", "127.0.0.1", "10.0.0.1"};
    const char* const address2[] = {"255.255.0.0", "", "10.0.0.9"};
    for (int i = 0; i < 3; ++i) {
        addresses.Rows.push_back({{{"ID", std::to_string(i + 1)},
                                   {"Enabled", "1"},
                                   {"Type", std::to_string(i == 1   ? 0
                                                           : i == 0 ? 1
                                                                    : 2)},
                                   {"Address", oldAddresses[i], Always, L1},
                                   {"Address1", address1[i], L1},
                                   {"Address2", address2[i], L1},
                                   {"Description", ""}}});
    }
    tables.push_back(addresses);
    tables.push_back({"IPGroups",
                      {{{{"ID", "1"}, {"Name", "Local"}, {"Description", ""}}},
                       {{{"ID", "2"}, {"Name", "WinAdmin"}, {"Description", ""}}, L8}}});
    tables.push_back({"IPAddressGroup",
                      {{{{"ID", "1"}, {"IPAddress", "1"}, {"IPGroup", "1"}}},
                       {{{"ID", "2"}, {"IPAddress", "2"}, {"IPGroup", "1"}}},
                       {{{"ID", "3"}, {"IPAddress", "2"}, {"IPGroup", "2"}}, L8}}});
    tables.push_back({"RASConnections",
                      {{{{"ID", "1"},
                         {"Name", "Provider"},
                         {"UseDialingType", "1"},
                         {"Tone", "0"},
                         {"UseConnection", "1", L1},
                         {"DialType", "2", L1}}}}});
    tables.push_back(ServicesTable());

    TRow smtp;
    smtp.Columns = {{"ID", "1"},
                    {"Address", "smtp.example.test"},
                    {"Port", "25"},
                    {"AllowUnsecureAuth", "1", Always, L9},
                    {"RequireSecretAuth", "0", L9}};
    tables.push_back({"RemoteSMTPServers", {smtp}});
    TTable pop3{"RemoteMailboxServers", {}, Always, "RemotePOP3Servers", L13};
    const char* const hosts[] = {"pop.mail.example.test", "10.1.2.3", "example.test"};
    for (int i = 0; i < 3; ++i)
        pop3.Rows.push_back({{{"ID", std::to_string(i + 1)},
                              {"Address", hosts[i]},
                              {"AllowUnsecureAuth", "0", Always, L9},
                              {"RequireSecretAuth", "1", L9},
                              {"Type", "0", L13}}});
    tables.push_back(pop3);
    TTable mailboxes{"RemoteMailboxes"};
    for (int id = 1; id <= scale.Mailboxes; ++id)
        mailboxes.Rows.push_back(MailboxRow(id));
    tables.push_back(mailboxes);
    tables.push_back({"RemoteMailGroups"});
    tables.push_back(
        {"AddressAliases",
         {{{{"ID", "1"}, {"Domain", "1"}, {"Alias", "postmaster"}, {"Address", "admin"}}}}});

    // Tables of the steps, in the order the steps add them.
    tables.push_back(AntivirusTable());
    tables.push_back(TemplatesTable());
    TTable sites{"WebSites", {}, L5};
    sites.Rows.push_back(
        {{{"Name", "example.test"}, {"RootFolder", "WWW\\"}, {"ID", "1"}, {"RequireAuth", "0"}},
         L12});
    tables.push_back(sites);
    tables.push_back(
        {"Antispams", {{{{"ID", "1"}, {"Name", "Main antispam"}, {"Description", ""}}}}, L10});
    return tables;
}

// ---- The state database -------------------------------------------------------------------

inline TRow MessageRow(int id, int mailbox, int until) {
    TRow row;
    row.Until = until;
    auto& c = row.Columns;
    const std::string date = "2004-05-0" + std::to_string(id % 9 + 1) + " 10:00:00";
    Renamed(c, "Mailbox", "Mb", std::to_string(mailbox), L6);
    Renamed(c, "UIDL", "UID", "uid" + std::to_string(id), L6);
    Renamed(c, "RDate", "RD", date, L6);
    c.push_back({"Dele", id % 2 ? "1" : "0", Always, L6});
    c.push_back({"Ac", id % 2 ? "2" : "0", L6});
    for (const char* name : {"Fr", "Sj", "DD"})
        c.push_back({name, "", L6});
    for (const char* name : {"Sz", "Rc", "DC"})
        c.push_back({name, "0", L6});
    c.push_back({"MID", "", L14});
    c.push_back({"Dt", date, L14});
    return row;
}

// The state database: Server and RemoteMessages. Messages of mailboxes that no longer exist come
// two in a row in the first half and as a run at the end.
inline std::vector<TTable> StateTables(const TScale& scale = TScale()) {
    TTable messages{"RemoteMessages"};
    int id = 0;
    int orphans = scale.OrphanMessages;
    auto addOrphan = [&] {
        messages.Rows.push_back(MessageRow(++id, scale.Mailboxes + orphans--, L4));
    };
    for (int i = 0; i < scale.Messages; ++i) {
        if (i % 4 == 1 && i < scale.Messages / 2)
            for (int run = 0; run < 2 && orphans > 0; ++run)
                addOrphan();
        messages.Rows.push_back(MessageRow(++id, i % scale.Mailboxes + 1, Never));
    }
    while (orphans > 0)
        addOrphan();
    return {{"Server", {{{{"LaunchCount", "7"}}}}}, messages};
}

} // namespace VnFixture
