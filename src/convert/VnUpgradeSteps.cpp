#include "VnUpgradeSteps.h"

#include <initializer_list>
#include <unordered_set>
#include <utility>

#include "VnDB.h"
#include "VnTemplates.h"

const char* const HostNamePattern =
    "((\\d{1,3}[-.]){3}\\d{1,3}([-\\w]*\\.){2})|(\\.([a-z]?dsl|dial(up|-up)?|dyn(amic|amicIP)?|"
    "ip|ppp(oe)?|user|pool|cable|broadband|dhcp|client|customer)\\.[-\\w]*\\.)|((pool|dsl|dyn|"
    "ppp|dial|user|cable|dhcp|broadband|client|customer)([-\\w]*\\.){3})|(\\d{5}([-\\w]*\\.){2})";

namespace {

using TFields = std::initializer_list<std::pair<const char*, std::string>>;

// Appends the columns to CurrentRow in the order given.
void AddFields(TFields fields) {
    for (const auto& field : fields)
        AddField(field.first, field.second);
}

void AddRowWith(const std::string& table, TFields fields) {
    AddRow(table);
    AddFields(fields);
}

void RenameFields(std::initializer_list<std::pair<const char*, const char*>> names) {
    for (const auto& name : names)
        RenameField(name.first, name.second);
}

void AddToIntField(const std::string& field, long delta) {
    SetField(field, IntToStr(StrToInt(GetField(field)) + delta));
}

bool IsDecimal(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Four decimal numbers from 0 to 255 separated by dots.
bool IsDottedQuad(const std::string& s) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t end = part < 3 ? s.find('.', start) : s.size();
        if (end == std::string::npos)
            return false;
        const std::string number = s.substr(start, end - start);
        if (!IsDecimal(number) || number.size() > 3 || std::stoi(number) > 255)
            return false;
        start = end + 1;
    }
    return true;
}

// The mail domain a remote mailbox server stands for: a numeric address in brackets, otherwise
// the host name without its first label when it has at least three.
std::string MailDomainOfServer(const std::string& address) {
    if (IsDottedQuad(address))
        return "[" + address + "]";
    const size_t first = address.find('.');
    const size_t second = first == std::string::npos ? first : address.find('.', first + 1);
    if (second != std::string::npos && second + 1 < address.size())
        return address.substr(first + 1);
    return address;
}

// Answers LocateID(table, id) for many ids without a scan for each: equal texts are found in a
// set; a scan is left only for texts that the locale's comparison could match otherwise (the IDs
// are normally decimal numbers, which it matches only when identical). The set holds the rows up
// to the first one without an ID: a search that gets past them reaches that row, and the scan
// then fails there exactly as LocateID does. CurrentRow is kept.
class TVnIDLookup {
public:
    explicit TVnIDLookup(const std::string& table) : FTable(table) {
        for (const TVnXMLElement* row : FindTable(table)->Children()) {
            TVnXMLElement* id = nullptr;
            if (!row->FindChildByAttr("name", "ID", id)) {
                FComplete = false;
                break;
            }
            FAllDecimal = FAllDecimal && IsDecimal(id->Text);
            FIDs.insert(AsciiLowerCase(id->Text));
        }
    }

    bool Contains(const std::string& id) const {
        if (FIDs.count(AsciiLowerCase(id)) != 0)
            return true;
        if (FComplete && FAllDecimal && IsDecimal(id))
            return false;
        TVnXMLElement* const saved = CurrentRow;
        const bool found = LocateID(FTable, id);
        CurrentRow = saved;
        return found;
    }

private:
    std::string FTable;
    std::unordered_set<std::string> FIDs;
    bool FAllDecimal = true;
    bool FComplete = true; // every row has an ID
};

// ---- Server steps -------------------------------------------------------------------------

void Step1() {
    ForEachRow("Main", [] {
        RenameFields({{"MainDeliveryQueue", "MainSendQueue"},
                      {"MaxDeliveryThreads", "MaxSendThreads"},
                      {"DeliveryHostTimeout", "SendHostTimeout"},
                      {"DeliveryMsgTimeout", "SendMsgTimeout"},
                      {"MaxQueueThreads", "MaxProcessThreads"}});
    });
    ForEachRow("DeliveryQueuesSMTPServers", [] { RenameField("DeliveryQueue", "SendQueue"); });
    ForEachRow("Tasks", [] {
        RenameField("DeliveryQueue", "SendQueue");
        AddField("OwnConnection", "1");
    });
    ForEachRow("Domains", [] {
        RenameField("DeliveryQueue", "SendQueue");
        if (GetField("ReceiveForNonexistent") == "1")
            AddToIntField("NonExistUserAction", 1);
    });
    for (const char* table : {"SortingRules", "AntispamRules"})
        ForEachRow(table, [] { RenameField("Expression", "Condition"); });
    ForEachRow("Log", [] { AddToIntField("Mode", -1); });
    ForEachRow("TimeSubRanges", [] {
        const std::string days = GetField("DaysOfWeek");
        const char* const names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
        for (int day = 1; day <= 7; ++day)
            AddField(names[day - 1], days.find(char('0' + day)) != std::string::npos ? "1" : "0");
    });
    ForEachRow("IPAddresses", [] {
        const std::string address = GetField("Address");
        const size_t separator = address.find_first_of("/-");
        if (separator == std::string::npos) {
            AddFields({{"Address1", address}, {"Address2", ""}});
        } else {
            const size_t second = address.find_first_not_of("/-", separator);
            AddFields({{"Address1", address.substr(0, separator)},
                       {"Address2", second == std::string::npos ? "" : address.substr(second)}});
        }
    });
    ForEachRow("RASConnections", [] {
        AddField("UseConnection", "1");
        std::string dialType = GetField("UseDialingType");
        if (dialType == "1" && GetField("Tone") == "0")
            dialType = "2";
        AddField("DialType", dialType);
    });
    RenameTable("DeliveryQueues", "SendQueues");
    RenameTable("DeliveryQueuesSMTPServers", "SendQueuesSMTPServers");
    RenameTable("SortingRulesGroups", "Sorters");

    // The SOCKS service takes the access settings of the POP3 service.
    LocateID("Services", "2");
    const std::string accessAll = GetField("AccessAll");
    const std::string accessGroup = GetField("AccessGroup");
    AddRowWith("Services", {{"ID", "4"},
                            {"Name", "SOCKS"},
                            {"Port", "1080"},
                            {"ReusePort", "0"},
                            {"Timeout", "600"},
                            {"UseBind", "0"},
                            {"BindIP", ""},
                            {"AutoStart", "0"},
                            {"AccessAll", accessAll},
                            {"AccessGroup", accessGroup},
                            {"UseMaxConnTotal", "0"},
                            {"MaxConnTotal", "20"},
                            {"UseMaxConnOneIP", "0"},
                            {"MaxConnOneIP", "5"},
                            {"AllowUnsecureAuth", "0"}});
    AddTableField("Antispam", "UseTOP", "1");

    AddTable("Antivirus");
    AddRowWith(
        "Antivirus",
        {{"Antivirus", "0"},
         {"InfectedAction", "2"},
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
         {"CommandLine",
          "C:\\Program Files\\DrWeb\\drwebwcl.exe %FileName% /NI /TB- /TM- /TS- /ML /GO /NR"},
         {"CodePower2", "1"},
         {"CodeOK", "0"},
         {"CodeInfected", "1;2;8;16"},
         {"CodeSuspicious", "4;32"},
         {"CodeDisinfected", "64"}});
}

void Step2() {
    ForEachRow("Tasks", [] { RenameField("SMTPService", "SMTPServer"); });
}

void Step3() {
    for (const char* table : {"SortingRules", "AntispamRules"})
        ForEachRow(table,
                   [] { SetField("Condition", ConvertRuleCondition(GetField("Condition"))); });
}

void Step5() {
    AddTable("WebSites");
    ForEachRow("SortingRules", [] { AddField("Index", GetField("ID")); });
    // The extra recipient of a sorter becomes a rule of that sorter.
    ForEachRow("Sorters", [] {
        const std::string recipient = GetField("XRecipient");
        if (recipient.empty())
            return;
        const std::string enabled = GetField("UseXRecipient");
        const std::string sorter = GetField("ID");
        const std::string id = NextID("SortingRules");
        const std::string index = NextIndex("SortingRules");
        AddRowWith("SortingRules", {{"ID", id},
                                    {"Index", index},
                                    {"Enabled", enabled},
                                    {"RulesGroup", sorter},
                                    {"UseCondition", "0"},
                                    {"Condition", ""},
                                    {"UseRFilter", "1"},
                                    {"UseRFNo", "1"},
                                    {"RFilter", "0"},
                                    {"RFDomain", ""},
                                    {"RFRecipient", ""},
                                    {"UseRFOnly", "0"},
                                    {"DelRecipients", "0"},
                                    {"UseRecipient", "1"},
                                    {"Recipient", recipient},
                                    {"Domain", "0"},
                                    {"Task", "0"},
                                    {"SendQueue", "0"},
                                    {"Sorter", "0"},
                                    {"Stop", "0"},
                                    {"Description", ""}});
    });
    ForEachRow("Main", [] {
        std::string timeout = GetField("SendHostTimeout");
        timeout = timeout.substr(0, timeout.find(';'));
        SetField("SendHostTimeout", timeout == "0" ? "1" : timeout);
        const std::string mainSorter = NextID("Sorters");
        AddField("MainSorter", mainSorter);
        AddRowWith("Sorters", {{"ID", mainSorter}, {"Name", "Main sorter"}, {"Description", ""}});
    });
    // A remote mailbox's address: a user without a domain gets that of its server.
    ForEachRow("RemoteMailboxes", [] {
        std::string user = GetField("User");
        if (user.find('@') == std::string::npos) {
            TVnXMLElement* const mailbox = CurrentRow;
            LocateID("RemotePOP3Servers", GetField("POP3Server"));
            const std::string address = GetField("Address");
            CurrentRow = mailbox;
            user += "@" + MailDomainOfServer(address);
        }
        AddField("Email", user);
    });
}

void Step6() {
    ForEachRow("Main", [] {
        RenameField("UndeliveredHours", "UndeliverTimeout");
        SetField("UndeliverTimeout", IntToStr(StrToInt(GetField("UndeliverTimeout")) * 60));
    });
}

// The application that Main used to run for every message becomes a task, called by a rule of
// the main sorter; the copy address becomes a rule as well.
void MoveApplicationToTask() {
    TVnXMLElement* const main = CurrentRow;
    TVnXMLElement* const appPath = CurField("AppPath");
    TVnXMLElement* const mainSorter = CurField("MainSorter");
    const std::string copyAddress = GetField("CopyAddress");

    // Rules already in the main sorter move behind the new ones: the sorter is replaced by a new
    // one whose last rule hands on to the old.
    std::string group = mainSorter->Text;
    std::string oldSorter;
    if (LocateRow("SortingRules", "RulesGroup", mainSorter->Text)) {
        group = NextID("Sorters");
        const std::string name = UniqueName("Sorters", "Main sorter");
        AddRowWith("Sorters", {{"ID", group}, {"Name", name}, {"Description", ""}});
        oldSorter = mainSorter->Text;
        mainSorter->Text = group;
    }

    const std::string taskID = NextID("Tasks");
    const std::string taskName = UniqueName("Tasks", "Application");
    TVnXMLElement* const task = AddRow("Tasks");
    AddFields({{"ID", taskID},
               {"Name", taskName},
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
               {"ShowInMenu", "0"}});
    TVnXMLElement* const runApplication = FindField(main, "RunApplication");
    runApplication->SetParent(task);
    const bool wasOff = runApplication->Text == "0";
    runApplication->Text = appPath->Text.empty() ? "0" : "1";
    appPath->SetParent(task);
    appPath->Text = ReplaceAllIgnoreCase(appPath->Text, "%Message%", "%FileName%");
    AddRowField(task, "Description", appPath->Text);
    for (const char* field : {"AppHidden", "AppWait", "AppTerminate", "AppTerminateSec"})
        FindField(main, field)->SetParent(task);

    AddSortingRule(wasOff ? "0" : "1", group, "", appPath->Text, "0", taskID);
    if (!copyAddress.empty())
        AddSortingRule(FindField(main, "UseCopyToAddress")->Text, group, copyAddress, "", "0", "0");
    if (!oldSorter.empty())
        AddSortingRule("1", group, "", "", oldSorter, "0");
}

void Step7() {
    ForEachRow("SortingRules", [] { AddField("TaskWait", "0"); });
    ForEachRow("Main", MoveApplicationToTask);
    ForEachRow("RemoteMailboxes", [] {
        if (GetField("UseAntispam") == "1" && GetTableField("Antispam", "UseTOP") == "1") {
            AddField("UseAntispamTOP", "1");
            SetField("UseAntispam", "0");
        } else {
            AddField("UseAntispamTOP", "0");
        }
        AddField("SpamDelete", GetTableField("Antispam", "DeleSpam"));
    });
}

// The administration service, open to the loopback address only.
void Step8() {
    AddTableField("Main", "Admin", "0");
    const std::string group = NextID("IPGroups");
    const std::string groupName = UniqueName("IPGroups", "WinAdmin");
    AddRowWith("IPGroups", {{"ID", group}, {"Name", groupName}, {"Description", ""}});
    std::string loopback;
    if (LocateRow("IPAddresses", "Address1", "127.0.0.1") && GetField("Enabled") == "1" &&
        GetField("Type") == "0") {
        loopback = GetField("ID");
    } else {
        loopback = NextID("IPAddresses");
        AddRowWith("IPAddresses", {{"ID", loopback},
                                   {"Enabled", "1"},
                                   {"Type", "0"},
                                   {"Address1", "127.0.0.1"},
                                   {"Address2", ""},
                                   {"Description", ""}});
    }
    const std::string link = NextID("IPAddressGroup");
    AddRowWith("IPAddressGroup", {{"ID", link}, {"IPAddress", loopback}, {"IPGroup", group}});
    AddRowWith("Services", {{"ID", "5"},
                            {"Name", "WinAdmin"},
                            {"Port", "49201"},
                            {"Timeout", "600"},
                            {"UseBind", "0"},
                            {"BindIP", ""},
                            {"AutoStart", "1"},
                            {"AccessAll", "0"},
                            {"AccessGroup", group},
                            {"UseMaxConnTotal", "0"},
                            {"MaxConnTotal", "20"},
                            {"UseMaxConnOneIP", "0"},
                            {"MaxConnOneIP", "5"},
                            {"AllowUnsecureAuth", "1"}});
}

void Step9() {
    ForEachRow("Services", [] {
        RenameField("AccessGroup", GetField("AccessAll") == "0" ? "AllowGroup" : "DisallowGroup");
        AddField("DisallowHosts", GetField("ID") == "1" ? HostNamePattern : "");
        InvertSecretAuth();
    });
    for (const char* table : {"RemoteSMTPServers", "RemotePOP3Servers"})
        ForEachRow(table, InvertSecretAuth);
}

void Step10() {
    AddTable("Antispams");
    AddRowWith("Antispams", {{"ID", "1"}, {"Name", "Main antispam"}, {"Description", ""}});
    ForEachRow("AntispamRules", [] {
        AddFields({{"RulesGroup", "1"}, {"Index", GetField("ID")}});
    });
    ForEachRow("Main", [] { RenameField("UseAntispam", "Antispam"); });
    ForEachRow("RemoteMailboxes", [] {
        RenameFields({{"UseAntispamTOP", "AntispamTOP"}, {"UseAntispam", "Antispam"}});
    });
}

// Every antispam group gets a rule of type 2 placed before the group's rules of type 1.
void AddAntispamGroupRule() {
    const std::string group = GetField("ID");
    const long index = StrToInt(NextIndex("AntispamRules"));
    const std::string id = NextID("AntispamRules");
    AddRowWith("AntispamRules", {{"ID", id},
                                 {"Index", IntToStr(index)},
                                 {"Enabled", "1"},
                                 {"RulesGroup", group},
                                 {"Type", "2"},
                                 {"Condition", ""},
                                 {"Description", ""}});
    ForEachRow("AntispamRules", [&] {
        if (GetField("RulesGroup") == group && GetField("Type") == "1")
            AddToIntField("Index", index);
    });
}

void Step11() {
    AddTableField("Main", "UseDelayTimeout", "0");
    AddTableField("Main", "DelayTimeout", "60");
    AddDelayTemplates();
    ForEachRow("Antivirus", [] {
        if (GetField("Antivirus") == "2")
            SetField("Antivirus", "0");
        if (GetField("InfectedAction") == "2")
            SetField("InfectedAction", "1");
    });
    ForEachRow("Antispams", AddAntispamGroupRule);
}

// The main web site, named after the primary domain; every site gets its number.
void Step12() {
    LocateID("Domains", GetTableField("Main", "PrimaryDomain"));
    const std::string domain = GetField("Name");
    const std::string name = UniqueName("WebSites", domain);
    AddRowWith("WebSites",
               {{"Name", name}, {"RootFolder", GetTableField("Main", "HTTPRootFolder")}});
    const TVnXMLElement* const sites = FindTable("WebSites");
    for (int i = 0; i < sites->ChildCount(); ++i) {
        AddRowField(sites->Child(i), "ID", IntToStr(i + 1));
        AddRowField(sites->Child(i), "RequireAuth", "0");
    }
    AddTableField("Main", "MainWebSite", IntToStr(sites->ChildCount()));
}

void Step13() {
    ForEachRow("RemotePOP3Servers", [] { AddField("Type", "0"); });
    RenameTable("RemotePOP3Servers", "RemoteMailboxServers");
    ForEachRow("RemoteMailboxes", [] { RenameField("POP3Server", "Server"); });
}

void Step14() {
    ForEachRow("RemoteMailboxes", [] {
        RenameFields({{"UseEmailAccounts", "UseAllowedToCc"},
                      {"EmailAccounts", "AllowedToCc"},
                      {"UseHeaders", "UseRecipientsFields"},
                      {"Headers", "RecipientsFields"},
                      {"UseRecipient", "UseRecipients"},
                      {"Recipient", "Recipients"},
                      {"RecipientIfNo", "RecipientsIfNo"}});
        AddField("RejectDup", "0");
    });
    AddTableField("Main", "CheckEHLOMatchHostName", "0");
    ForEachRow("Services", [] {
        std::string hostNameChecks = "0";
        if (GetField("AccessAll") == "2") {
            SetField("AccessAll", "1");
            hostNameChecks = "1";
        }
        AddFields({{"UseMaxConnOneAllowIP", GetField("UseMaxConnOneIP")},
                   {"MaxConnOneAllowIP", GetField("MaxConnOneIP")},
                   {"HostNameChecks", hostNameChecks},
                   {"HostNameChecksAtConn", "1"},
                   {"CheckHostNameToIP", "1"}});
    });
}

struct TVnStep {
    int Limit; // runs when the version number is below
    void (*Run)();
};

const TVnStep ServerSteps[] = {
    {2041, Step1},  {2042, Step2},  {2059, Step3},  {2061, AddFirstTemplates},
    {2071, Step5},  {2072, Step6},  {2089, Step7},  {3001, Step8},
    {3019, Step9},  {3029, Step10}, {3031, Step11}, {3051, Step12},
    {3061, Step13}, {3070, Step14},
};

// ---- State steps --------------------------------------------------------------------------

// Messages of remote mailboxes that no longer exist are dropped.
void StateStep1() {
    const TVnIDLookup mailboxes("RemoteMailboxes");
    ForEachRow("RemoteMessages", [&] {
        if (!mailboxes.Contains(GetField("Mailbox"))) {
            CurrentRow->Destroy();
            CurrentRow = nullptr;
        }
    });
}

void StateStep2() {
    ForEachRow("RemoteMessages", [] {
        RenameFields({{"Mailbox", "Mb"}, {"UIDL", "UID"}});
        AddFields({{"Fr", ""}, {"Sj", ""}});
        RenameField("RDate", "RD");
        AddFields({{"Sz", "0"}, {"Rc", "0"}});
        RenameField("Dele", "Ac");
        if (GetField("Ac") != "0")
            SetField("Ac", "2");
        AddFields({{"DC", "0"}, {"DD", ""}});
    });
}

void StateStep3() {
    ForEachRow("RemoteMessages", [] { AddFields({{"MID", ""}, {"Dt", GetField("RD")}}); });
}

const TVnStep StateSteps[] = {{2061, StateStep1}, {2072, StateStep2}, {3070, StateStep3}};

template <size_t N>
std::vector<std::string> RunSteps(const TVnStep (&steps)[N], int version, const char* prefix) {
    std::vector<std::string> applied;
    for (size_t i = 0; i < N; ++i)
        if (version < steps[i].Limit) {
            steps[i].Run();
            applied.push_back(prefix + std::to_string(i + 1));
        }
    return applied;
}

} // namespace

std::vector<std::string> UpgradeServerDatabase(int version) {
    return RunSteps(ServerSteps, version, "");
}

std::vector<std::string> UpgradeStateDatabase(int version) {
    return RunSteps(StateSteps, version, "S");
}

void AddSortingRule(const std::string& enabled, const std::string& rulesGroup,
                    const std::string& recipient, const std::string& description,
                    const std::string& sorter, const std::string& task) {
    const std::string id = NextID("SortingRules");
    const std::string index = NextIndex("SortingRules");
    AddRowWith("SortingRules", {{"ID", id},
                                {"Index", index},
                                {"Enabled", enabled},
                                {"RulesGroup", rulesGroup},
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
                                {"TaskWait", "1"},
                                {"SendQueue", "0"},
                                {"Sorter", sorter},
                                {"Stop", "0"},
                                {"Description", description}});
}

void InvertSecretAuth() {
    RenameField("AllowUnsecureAuth", "RequireSecretAuth");
    SetField("RequireSecretAuth", GetField("RequireSecretAuth") == "0" ? "1" : "0");
}

std::string ConvertRuleCondition(const std::string& condition) {
    std::string rest = ReplaceAllIgnoreCase(condition, "_Attach.FileName", "X-Attach-FileName");
    std::string quoted;
    for (char c : rest) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    rest = quoted;

    std::string result;
    size_t pos = 0;
    while (pos < rest.size()) {
        const size_t colon = rest.find(':', pos);
        const std::string name = rest.substr(pos, colon == std::string::npos ? colon : colon - pos);
        pos = colon == std::string::npos ? rest.size() : rest.find_first_not_of(':', colon);
        if (pos == std::string::npos)
            pos = rest.size();
        // The value ends at the first single ";"; ";;" stands for one ";".
        std::string value;
        while (pos < rest.size()) {
            if (rest[pos] == ';') {
                if (pos + 1 < rest.size() && rest[pos + 1] == ';') {
                    value += ';';
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            value += rest[pos++];
        }
        result += name + ":\"" + value + "\"";
        if (pos < rest.size())
            result += " & ";
    }
    return result;
}
