#include "VnCfgConvertor1.h"

#include <cstring>
#include <unordered_map>

#include "VnCp1251.h"
#include "VnCrypt.h"
#include "VnInstallLog.h"

std::string CfgFolder;
std::string ServerCfgFile;
std::string StateCfgFile;

const char* const LegacyCfgFile = "VantroMS.cfg";

// ---- Loading ------------------------------------------------------------------------------

void TVnSettings::Load() {
    ReadStringField(1, DomainName);
    ReadStringField(2, PostmasterAddress);
    ReadStringField(7, LogFolder);
    ReadValue(8, UseDialUp);
    ReadValue(9, UseNamedConnection);
    ReadStringField(10, ConnectionName);
    ReadValue(11, UseAnyConnection);
}

void TVnLog::Load() {
    ReadValue(1, Mode);
    ReadStringField(2, FileName);
    ReadValue(3, LimitSize);
    ReadValue(4, MaxSize);
    ReadValue(5, Level);
}

void TVnSMTPService::Load() {
    ReadValue(1, Port);
    ReadValue(2, Timeout);
    ReadValue(3, NoRelayIPGroup);
    ReadValue(4, AllowUnsecureAuth);
}

void TVnPOP3Service::Load() {
    ReadValue(1, Port);
    ReadValue(2, Timeout);
    ReadValue(3, AllowUnsecureAuth);
}

void TVnSMTPClient::Load() {
    ReadStringField(1, Address);
    ReadValue(2, Port);
    ReadValue(3, Timeout);
    ReadValue(4, UseHostName);
    ReadStringField(5, HostName);
    ReadValue(6, UseAuthentication);
    ReadStringField(7, User);
    ReadPassword(8, Password);
}

void TVnRemoteMailbox::Load() {
    ReadStringField(1, Address);
    ReadValue(2, Port);
    ReadValue(3, Timeout);
    ReadValue(4, Enabled);
    ReadStringField(5, User);
    ReadPassword(6, Password);
    ReadStringField(7, Recipient);
    ReadValue(8, SecureAuthOnly);
}

void TVnPOP3Collector::Load() {
    ReadCollection(1, Mailboxes);
}

void TVnIPFilterRule::Load() {
    ReadValue(1, FromIP);
    ReadValue(2, ToIP);
    ReadValue(3, Allow);
    ReadValue(4, ForSMTP);
    ReadValue(5, ForPOP3);
}

void TVnIPFilter::Load() {
    ReadCollection(1, Rules);
}

void TVnUser::Load() {
    ReadStringField(1, FullName);
    ReadStringField(2, Name);
    ReadPassword(3, Password);
    ReadStringField(4, Description);
    ReadValue(5, Enabled);
    ReadStringField(10, ExternalEmail);
}

void TVnUserMgr::Load() {
    ReadCollection(1, Users);
}

void TVnSchedule::Load() {
    ReadValue(1, Enabled);
    ReadStringField(2, Name);
    ReadValue(3, SendMail);
    ReadValue(4, ReceiveMail);
    ReadValue(5, FromTime);
    ReadValue(6, ToTime);
    ReadValue(7, Interval);
    ReadStringField(11, FileFlag);
    for (size_t day = 0; day < Days.size(); ++day)
        ReadValue(static_cast<uint8_t>(12 + day), Days[day]);
    ReadValue(19, OwnDialUp);
    ReadValue(20, UseDialUp);
    ReadValue(21, UseNamedConnection);
    ReadStringField(22, ConnectionName);
    ReadValue(23, UseAnyConnection);
    ReadValue(24, DeleteFileFlag);
}

void TVnScheduler::Load() {
    ReadCollection(1, Schedules);
}

void TVnDialUpEntry::Load() {
    ReadStringField(1, Name);
    ReadStrings(2, Phones);
    ReadValue(3, Tone);
    ReadValue(4, TryCount);
    ReadValue(5, Pause);
    ReadValue(6, OwnAuthParams);
    ReadStringField(7, UserName);
    ReadPassword(8, Password);
    ReadStringField(10, Prefix);
}

void TVnDialUp::Load() {
    ReadCollection(1, Entries);
}

void TVnSortingRule::Load() {
    ReadStringField(1, Header);
    ReadStringField(2, Value);
    ReadStrings(3, Recipients);
    ReadValue(4, Stop);
}

void TVnQueueMgr::Load() {
    ReadCollection(1, Rules);
    ReadStringField(2, UnsortedRecipient);
    ReadValue(3, UseCopyAddress);
    ReadStringField(4, CopyAddress);
}

void TVnServer::Load() {
    ReadStringField(1, LaunchCount);
    ReadObject(2, Settings);
    ReadObject(3, Log);
    ReadObject(4, SMTPService);
    ReadObject(5, POP3Service);
    ReadObject(6, SMTPClient);
    ReadObject(7, POP3Collector);
    ReadObject(8, IPFilter);
    ReadObject(9, UserMgr);
    ReadObject(10, Scheduler);
    ReadObject(11, DialUp);
    ReadObject(12, QueueMgr);
}

bool TVnServer::IsComplete() const {
    return Settings && Log && SMTPService && POP3Service && SMTPClient && POP3Collector &&
           IPFilter && UserMgr && Scheduler && DialUp && QueueMgr;
}

// ---- Value forms --------------------------------------------------------------------------

std::string SplitAddressList(const std::string& value, const std::string& aliasName,
                             std::vector<std::string>& aliasList) {
    if (value.find(',') == std::string::npos)
        return value;
    std::string addresses;
    for (const char c : value)
        if (c != ' ')
            addresses += c;
    size_t pos = 1;
    std::string address;
    while (pos <= addresses.size()) {
        TokenAt(addresses, pos, ",", address, true);
        aliasList.push_back(aliasName + "=" + address);
    }
    return aliasName;
}

namespace {

// The standard delimited-text form of a string list: an item holding a blank, a control
// character, a double quote or the delimiter is quoted with inner quotes doubled; a list of one
// empty item gives "".
std::string DelimitedText(const TVnStringList* list, char delimiter) {
    if (!list)
        return std::string();
    const std::vector<std::string>& items = list->Items;
    if (items.size() == 1 && items[0].empty())
        return "\"\"";
    std::string result;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        bool quote = false;
        for (const char c : item)
            quote = quote || static_cast<uint8_t>(c) <= ' ' || c == '"' || c == delimiter;
        if (i > 0)
            result += delimiter;
        if (!quote) {
            result += item;
            continue;
        }
        result += '"';
        for (const char c : item) {
            if (c == '"')
                result += '"';
            result += c;
        }
        result += '"';
    }
    return result;
}

// Hours and minutes of a millisecond count, "%.2d:%.2d".
std::string TimeText(int32_t ms) {
    return Format("%.2d:%.2d", ms / 3600000, ms % 3600000 / 60000);
}

TVnBool Negated(TVnBool value) {
    return static_cast<TVnBool>(value ^ 1);
}

TVnBool AsBool(bool value) {
    return value ? 1 : 0;
}

std::string IPText(int32_t value) {
    return FormatIPv4(static_cast<uint32_t>(value));
}

// ---- The tables ---------------------------------------------------------------------------

// Distinct keys in order of first appearance, compared as the system compares texts without
// regard to letter case (SameTextLocale). Keys are grouped by their Windows-1251 upper-case form,
// so that each is compared only with the few that look alike.
class TVnKeyList {
public:
    // The 1-based position of the first key equal to key; a new key is appended first.
    int32_t Number(const std::string& key) {
        std::string group = key;
        for (char& c : group)
            c = static_cast<char>(VnCp1251::UpperCase(static_cast<unsigned char>(c)));
        std::vector<std::pair<std::string, int32_t>>& keys = FGroups[group];
        for (const auto& known : keys)
            if (VnPlatform::SameTextLocale(known.first, key))
                return known.second;
        keys.emplace_back(key, static_cast<int32_t>(++FCount));
        return keys.back().second;
    }
    size_t Count() const { return FCount; }
    void Clear() {
        FGroups.clear();
        FCount = 0;
    }

private:
    std::unordered_map<std::string, std::vector<std::pair<std::string, int32_t>>> FGroups;
    size_t FCount = 0;
};

// One pass over a loaded legacy tree, writing the tables of server.cfg in order.
class TServerTables {
public:
    TServerTables(const TVnServer& server, TVnWriter& writer);
    void Write();

private:
    void WriteMain();
    void WriteLog();
    void WriteServices();
    void WriteServiceRow(int32_t id, const char* name, int32_t port, int32_t timeoutMs,
                         int32_t accessGroup, TVnBool allowUnsecureAuth);
    void WriteRASConnections();
    void WriteUsers();
    void WriteDomains();
    void WriteSchedules();
    void WriteTasks();
    void WriteTaskRow(int32_t id, const TVnSchedule& s, TVnBool showInMenu);
    int32_t RASConnectionOf(const std::string& name) const;
    void WriteRemoteSMTPServers();
    void WriteRemotePOP3Servers();
    void WriteRemoteMailboxes();
    void WriteSortingRules();
    void WriteFixedTables();
    void WriteIPAddresses();
    void WriteDeliveryQueues();
    void WriteAddressAliases();

    const TVnServer& S;
    TVnWriter& W;
    std::vector<std::string> AliasList;
    // Name of a dial-up entry -> position of the first entry of that name (case-sensitive).
    std::unordered_map<std::string, int32_t> RASConnections;
    TVnKeyList POP3ServerKeys;           // "address:port" of the distinct servers
    std::vector<int32_t> MailboxServers; // server number of each remote mailbox, in order
};

TServerTables::TServerTables(const TVnServer& server, TVnWriter& writer) : S(server), W(writer) {
    int32_t n = 0;
    for (const TVnDialUpEntry& entry : Chain(S.DialUp->Entries))
        RASConnections.emplace(entry.Name, ++n); // a later entry of the same name is never found
}

void TServerTables::Write() {
    AliasList.push_back("postmaster=" + S.Settings->PostmasterAddress);
    WriteMain();
    WriteLog();
    WriteServices();
    WriteRASConnections();
    WriteUsers();
    WriteDomains();
    W.BeginTable("DomainAliases");
    W.EndTable();
    WriteSchedules();
    WriteTasks();
    WriteRemoteSMTPServers();
    WriteRemotePOP3Servers();
    WriteRemoteMailboxes();
    WriteSortingRules();
    WriteFixedTables();
    WriteIPAddresses();
    WriteDeliveryQueues();
    WriteAddressAliases();
}

void TServerTables::WriteMain() {
    const TVnSMTPClient& client = *S.SMTPClient;
    const TVnQueueMgr& queue = *S.QueueMgr;
    W.BeginTable("Main");
    W.BeginRow();
    W.WriteStr("Language", "ru");
    W.WriteBool("UseHostName", 0);
    W.WriteStr("HostName", client.UseHostName ? client.HostName : S.Settings->DomainName);
    W.WriteBool("AnnounceSelf", 1);
    W.WriteStr("QueueFolder", "Queue\\");
    W.WriteStr("MailboxFolder", "Mailbox\\");
    W.WriteInt("MaxReceiveThreads", 5);
    W.WriteInt("PrimaryDomain", 1);
    W.WriteBool("RelayIPGroup", Negated(S.SMTPService->NoRelayIPGroup));
    W.WriteBool("UseMaxRecipients", 0);
    W.WriteInt("MaxRecipients", 100);
    W.WriteBool("UseMaxMsgSize", 0);
    W.WriteInt("MaxMsgSize", 2048);
    W.WriteBool("UseAntispam", 0);
    W.WriteInt("Sorter", 0);
    W.WriteInt("MaxQueueThreads", 1);
    W.WriteBool("RunApplication", 0);
    W.WriteStr("AppPath", "rar a msg_ -agyymm -ep Queue\\%Message%.*");
    W.WriteBool("AppHidden", 1);
    W.WriteBool("AppWait", 1);
    W.WriteBool("AppTerminate", 0);
    W.WriteInt("AppTerminateSec", 5);
    W.WriteBool("UseCopyToAddress", queue.UseCopyAddress);
    W.WriteStr("CopyAddress", SplitAddressList(queue.CopyAddress, "_bosscopy", AliasList));
    W.WriteBool("UseWindowsDNSServers", 1);
    W.WriteBool("UsePrimaryDNSServer", 0);
    W.WriteStr("PrimaryDNSServer", "");
    W.WriteBool("UseBackupDNSServer", 0);
    W.WriteStr("BackupDNSServer", "");
    W.WriteInt("DNSTryCount", 2);
    W.WriteInt("DNSTimeout", 10);
    W.WriteInt("MainDeliveryQueue", 1);
    W.WriteInt("MaxDeliveryThreads", 5);
    W.WriteInt("UndeliveredHours", 96);
    W.WriteInt("DeliveryHostTimeout", 1);
    W.WriteInt("DeliveryMsgTimeout", 10);
    W.WriteInt("SMTPPort", 25);
    W.WriteInt("SMTPTimeout", 300);
    W.WriteStr("HTTPRootFolder", "WWW\\");
    W.WriteStr("PHPPath", "C:\\PHP\\php-cgi.exe");
    W.EndRow();
    W.EndTable();
}

void TServerTables::WriteLog() {
    const TVnLog& log = *S.Log;
    W.BeginTable("Log");
    W.BeginRow();
    W.WriteStr("Folder", S.Settings->LogFolder);
    W.WriteInt("Mode", log.Mode);
    W.WriteStr("FileName", log.FileName);
    W.WriteBool("LimitSize", log.LimitSize);
    W.WriteInt("MaxSize", log.MaxSize);
    W.WriteInt("Level", log.Level);
    W.EndRow();
    W.EndTable();
}

void TServerTables::WriteServices() {
    W.BeginTable("Services");
    WriteServiceRow(1, "SMTP", S.SMTPService->Port, S.SMTPService->Timeout, 1,
                    S.SMTPService->AllowUnsecureAuth);
    WriteServiceRow(2, "POP3", S.POP3Service->Port, S.POP3Service->Timeout, 2,
                    S.POP3Service->AllowUnsecureAuth);
    WriteServiceRow(3, "HTTP", 80, 600000, 2, 1);
    W.EndTable();
}

void TServerTables::WriteServiceRow(int32_t id, const char* name, int32_t port, int32_t timeoutMs,
                                    int32_t accessGroup, TVnBool allowUnsecureAuth) {
    W.BeginRow();
    W.WriteInt("ID", id);
    W.WriteStr("Name", name);
    W.WriteInt("Port", port);
    W.WriteBool("ReusePort", 0);
    W.WriteInt("Timeout", timeoutMs / 1000);
    W.WriteBool("UseBind", 0);
    W.WriteStr("BindIP", "");
    W.WriteBool("AutoStart", 1);
    W.WriteBool("AccessAll", 0);
    W.WriteInt("AccessGroup", accessGroup);
    W.WriteBool("UseMaxConnTotal", 0);
    W.WriteInt("MaxConnTotal", 20);
    W.WriteBool("UseMaxConnOneIP", 0);
    W.WriteInt("MaxConnOneIP", 5);
    W.WriteBool("AllowUnsecureAuth", allowUnsecureAuth);
    W.EndRow();
}

void TServerTables::WriteRASConnections() {
    W.BeginTable("RASConnections");
    int32_t n = 0;
    for (const TVnDialUpEntry& entry : Chain(S.DialUp->Entries)) {
        W.BeginRow();
        W.WriteInt("ID", ++n);
        W.WriteStr("Name", entry.Name);
        W.WriteStr("EntryName", entry.Name);
        W.WriteBool("OwnPhones", AsBool(entry.Phones && entry.Phones->Items.size() > 1));
        W.WriteStr("Phones", DelimitedText(entry.Phones, ';'));
        W.WriteStr("Prefix", entry.Prefix);
        W.WriteBool("UseDialingType", 1);
        W.WriteBool("Tone", entry.Tone);
        W.WriteInt("TryCount", entry.TryCount);
        W.WriteInt("Pause", entry.Pause);
        W.WriteBool("OwnAuthParams", entry.OwnAuthParams);
        W.WriteStr("UserName", entry.UserName);
        W.WriteStr("Password", EncodePassword(entry.Password));
        W.WriteStr("Description", "");
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteUsers() {
    W.BeginTable("Users");
    int32_t n = 0;
    for (const TVnUser& user : Chain(S.UserMgr->Users)) {
        W.BeginRow();
        W.WriteInt("ID", ++n);
        W.WriteInt("Domain", 1);
        W.WriteStr("Name", user.Name);
        W.WriteStr("Password", EncodePassword(user.Password));
        W.WriteStr("FullName", user.FullName);
        W.WriteStr("Description", user.Description);
        W.WriteBool("UseExternalEmail", AsBool(!user.ExternalEmail.empty()));
        W.WriteStr("ExternalEmail", user.ExternalEmail);
        W.WriteBool("AddLocalEmail", 0);
        W.WriteBool("Enabled", user.Enabled);
        W.WriteBool("AllowRelay", 1);
        W.WriteBool("UseOwnParams", 0);
        W.WriteBool("UseMaxRecipients", 0);
        W.WriteInt("MaxRecipients", 100);
        W.WriteBool("UseMaxMsgSize", 0);
        W.WriteInt("MaxMsgSize", 2048);
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteDomains() {
    W.BeginTable("Domains");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteStr("Name", S.Settings->DomainName);
    W.WriteStr("Description", "");
    W.WriteBool("UseCopyToAddress", 0);
    W.WriteStr("CopyAddress", "");
    W.WriteBool("ReceiveForNonexistent", 0);
    W.WriteInt("NonExistUserAction", 0);
    W.WriteStr("ForwardAddress", "");
    W.WriteInt("DeliveryQueue", 0);
    W.EndRow();
    W.EndTable();
}

void TServerTables::WriteSchedules() {
    const auto schedules = Chain(S.Scheduler->Schedules);
    W.BeginTable("Schedules");
    int32_t n = 0;
    for (const TVnSchedule& s : schedules) {
        const bool fixed = s.FromTime == s.ToTime;
        ++n;
        W.BeginRow();
        W.WriteInt("ID", n);
        W.WriteBool("Enabled", s.Enabled);
        W.WriteStr("Description", s.Name);
        W.WriteInt("TimeType", fixed ? 1 : 0);
        W.WriteStr("Time", TimeText(fixed ? s.FromTime : s.Interval));
        W.WriteInt("TimeRange", n);
        W.WriteStr("Task", s.Enabled ? IntToStr(n) : "0");
        W.EndRow();
    }
    W.EndTable();

    W.BeginTable("TimeRanges");
    n = 0;
    for (const TVnSchedule& s : schedules) {
        W.BeginRow();
        W.WriteInt("ID", ++n);
        W.WriteStr("Name", s.Name);
        W.WriteStr("Description", "");
        W.EndRow();
    }
    W.EndTable();

    W.BeginTable("TimeSubRanges");
    n = 0;
    for (const TVnSchedule& s : schedules) {
        const bool fixed = s.FromTime == s.ToTime;
        std::string days;
        for (size_t day = 0; day < s.Days.size(); ++day)
            if (s.Days[day])
                days += static_cast<char>('1' + day);
        ++n;
        W.BeginRow();
        W.WriteInt("ID", n);
        W.WriteInt("TimeRange", n);
        W.WriteStr("FromTime", fixed ? "00:00" : TimeText(s.FromTime));
        W.WriteStr("ToTime", fixed ? "23:59" : TimeText(s.ToTime));
        W.WriteStr("DaysOfWeek", days);
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteTasks() {
    W.BeginTable("Tasks");
    int32_t n = 0;
    for (const TVnSchedule& s : Chain(S.Scheduler->Schedules))
        WriteTaskRow(++n, s, 0);
    // The standard tasks: an empty schedule entry, so their dial-up settings come from Settings.
    struct TStandardTask {
        std::string Name;
        TVnBool SendMail, ReceiveMail;
    };
    const TStandardTask standard[] = {
        {VN_CP1251("Отправить почту"), 1, 0},
        {VN_CP1251("Принять почту"), 0, 1},
        {VN_CP1251("Отправить/принять почту"), 1, 1},
    };
    TVnSchedule task;
    for (const TStandardTask& entry : standard) {
        task.Name = entry.Name;
        task.SendMail = entry.SendMail;
        task.ReceiveMail = entry.ReceiveMail;
        WriteTaskRow(++n, task, 1);
    }
    W.EndTable();
}

int32_t TServerTables::RASConnectionOf(const std::string& name) const {
    if (name.empty())
        return 0;
    const auto found = RASConnections.find(name);
    return found == RASConnections.end() ? 0 : found->second;
}

void TServerTables::WriteTaskRow(int32_t id, const TVnSchedule& s, TVnBool showInMenu) {
    // The dial-up settings of the entry itself, or else the general ones.
    const TVnSettings& settings = *S.Settings;
    const bool own = s.OwnDialUp != 0;
    const bool useDialUp = (own ? s.UseDialUp : settings.UseDialUp) != 0;
    const bool useNamed = (own ? s.UseNamedConnection : settings.UseNamedConnection) != 0;
    const bool useAny = (own ? s.UseAnyConnection : settings.UseAnyConnection) != 0;
    const std::string& connection = own ? s.ConnectionName : settings.ConnectionName;

    W.BeginRow();
    W.WriteInt("ID", id);
    W.WriteStr("Name", s.Name);
    W.WriteStr("Description", "");
    W.WriteBool("RunApplication", 0);
    W.WriteStr("AppPath", "");
    W.WriteBool("AppHidden", 0);
    W.WriteBool("AppWait", 0);
    W.WriteBool("AppTerminate", 0);
    W.WriteInt("AppTerminateSec", 5);
    W.WriteBool("UseFileFlag", AsBool(!s.FileFlag.empty()));
    W.WriteStr("FileFlag", s.FileFlag);
    W.WriteBool("DeleteFileFlag", s.DeleteFileFlag);
    W.WriteInt("RASConnection", RASConnectionOf(useDialUp && useNamed ? connection : ""));
    W.WriteBool("UseAnyRASConnection", AsBool(useDialUp && useAny));
    W.WriteInt("SMTPService", 0);
    W.WriteStr("SendCommand", "ETRN local.domain");
    W.WriteBool("MailboxGroup", s.ReceiveMail);
    W.WriteBool("WaitReceive", 0);
    W.WriteBool("DeliveryQueue", s.SendMail);
    W.WriteBool("ShowInMenu", showInMenu);
    W.EndRow();
}

void TServerTables::WriteRemoteSMTPServers() {
    const TVnSMTPClient& client = *S.SMTPClient;
    W.BeginTable("RemoteSMTPServers");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteStr("Address", client.Address);
    W.WriteStr("Description", "");
    W.WriteInt("Port", client.Port);
    W.WriteInt("Timeout", client.Timeout / 1000);
    W.WriteBool("UseMaxConnectionsIP", 0);
    W.WriteInt("MaxConnectionsIP", 5);
    W.WriteBool("UseAuthentication", client.UseAuthentication);
    W.WriteStr("User", client.User);
    W.WriteStr("Password", EncodePassword(client.Password));
    W.WriteBool("AllowUnsecureAuth", 1);
    W.EndRow();
    W.EndTable();
}

void TServerTables::WriteRemotePOP3Servers() {
    POP3ServerKeys.Clear();
    MailboxServers.clear();
    W.BeginTable("RemotePOP3Servers");
    for (const TVnRemoteMailbox& mailbox : Chain(S.POP3Collector->Mailboxes)) {
        const size_t known = POP3ServerKeys.Count();
        const int32_t number =
            POP3ServerKeys.Number(mailbox.Address + ":" + IntToStr(mailbox.Port));
        MailboxServers.push_back(number);
        if (POP3ServerKeys.Count() == known)
            continue;
        W.BeginRow();
        W.WriteInt("ID", number);
        W.WriteStr("Address", mailbox.Address);
        W.WriteStr("Description", "");
        W.WriteInt("Port", mailbox.Port);
        W.WriteInt("Timeout", mailbox.Timeout / 1000);
        W.WriteBool("UseMaxConnectionsIP", 0);
        W.WriteInt("MaxConnectionsIP", 5);
        W.WriteBool("AllowUnsecureAuth", Negated(mailbox.SecureAuthOnly));
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteRemoteMailboxes() {
    const std::string domainMarker = VN_CP1251("<Домен>");
    const std::string sorterMarker = VN_CP1251("<Сортировщик>");
    W.BeginTable("RemoteMailGroups");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteStr("Name", VN_CP1251("Основная"));
    W.WriteStr("Description", "");
    W.EndRow();
    W.EndTable();

    W.BeginTable("RemoteMailboxes");
    int32_t n = 0;
    for (const TVnRemoteMailbox& mailbox : Chain(S.POP3Collector->Mailboxes)) {
        ++n;
        const bool marker = StartsWith(mailbox.Recipient, "<");
        const std::string recipient =
            SplitAddressList(mailbox.Recipient, "_pop3_" + IntToStr(n), AliasList);
        W.BeginRow();
        W.WriteInt("ID", n);
        W.WriteBool("Enabled", mailbox.Enabled);
        W.WriteInt("POP3Server", MailboxServers[n - 1]);
        W.WriteStr("MailGroup", "1");
        W.WriteStr("User", mailbox.User);
        W.WriteStr("Password", EncodePassword(mailbox.Password));
        W.WriteBool("UseMaxMsgSize", 0);
        W.WriteInt("MaxMsgSize", 1024);
        W.WriteBool("DeleMails", 1);
        W.WriteBool("UseDeleDays", 0);
        W.WriteInt("DeleDays", 7);
        W.WriteBool("UseAntispam", 0);
        W.WriteBool("UseEmailAccounts", 0);
        W.WriteStr("EmailAccounts", mailbox.User);
        W.WriteStr("UseHeaders", mailbox.Recipient == domainMarker ? "1" : "0");
        W.WriteStr("Headers", "To;Cc;Received;X-Deliver-To");
        W.WriteStr("Sorter", mailbox.Recipient == sorterMarker ? "1" : "0");
        W.WriteBool("SorterIfNo", 0);
        W.WriteBool("UseRecipient", 1);
        W.WriteStr("Recipient", marker ? "postmaster" : recipient);
        W.WriteBool("RecipientIfNo", AsBool(marker));
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteSortingRules() {
    const TVnQueueMgr& queue = *S.QueueMgr;
    W.BeginTable("SortingRulesGroups");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteStr("Name", VN_CP1251("Основной"));
    W.WriteStr("Description", "");
    W.WriteBool("UseXRecipient", AsBool(!queue.UnsortedRecipient.empty()));
    W.WriteStr("XRecipient", SplitAddressList(queue.UnsortedRecipient, "_unsorted", AliasList));
    W.EndRow();
    W.EndTable();

    W.BeginTable("SortingRules");
    int32_t n = 0;
    for (const TVnSortingRule& rule : Chain(queue.Rules)) {
        ++n;
        W.BeginRow();
        W.WriteInt("ID", n);
        W.WriteInt("RulesGroup", 1);
        W.WriteStr("Expression", rule.Header + ":" + rule.Value);
        W.WriteStr("Recipient", SplitAddressList(DelimitedText(rule.Recipients, ','),
                                                 "_sorter_" + IntToStr(n), AliasList));
        W.WriteBool("Stop", rule.Stop);
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteFixedTables() {
    W.BeginTable("Antispam");
    W.BeginRow();
    W.WriteBool("DeleSpam", 1);
    W.WriteBool("UseSpamAddress", 0);
    W.WriteStr("SpamAddress", "");
    W.EndRow();
    W.EndTable();

    W.BeginTable("AntispamRules");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteInt("Type", 0);
    W.WriteStr("Expression", "From:vantroms");
    W.EndRow();
    W.EndTable();

    W.BeginTable("IPGroups");
    const std::string groups[] = {VN_CP1251("SMTP-сервис"), VN_CP1251("POP3-сервис")};
    for (int32_t id = 1; id <= 2; ++id) {
        W.BeginRow();
        W.WriteInt("ID", id);
        W.WriteStr("Name", groups[id - 1]);
        W.WriteStr("Description", "");
        W.EndRow();
    }
    W.EndTable();
}

void TServerTables::WriteIPAddresses() {
    const auto rules = Chain(S.IPFilter->Rules);
    W.BeginTable("IPAddresses");
    int32_t n = 0;
    for (const TVnIPFilterRule& rule : rules) {
        const bool single = rule.FromIP == rule.ToIP;
        W.BeginRow();
        W.WriteInt("ID", ++n);
        W.WriteBool("Enabled", rule.Allow);
        W.WriteStr("Type", single ? "0" : "2");
        W.WriteStr("Address",
                   single ? IPText(rule.FromIP) : IPText(rule.FromIP) + "-" + IPText(rule.ToIP));
        W.WriteStr("Description",
                   rule.Allow ? std::string() : VN_CP1251("\"Запретить подключение\""));
        W.EndRow();
    }
    W.EndTable();

    // Allowed addresses belong to the group of each service they are for.
    W.BeginTable("IPAddressGroup");
    int32_t row = 0;
    n = 0;
    for (const TVnIPFilterRule& rule : rules) {
        ++n;
        if (!rule.Allow)
            continue;
        for (int32_t group = 1; group <= 2; ++group) {
            if (!(group == 1 ? rule.ForSMTP : rule.ForPOP3))
                continue;
            W.BeginRow();
            W.WriteInt("ID", ++row);
            W.WriteInt("IPAddress", n);
            W.WriteInt("IPGroup", group);
            W.EndRow();
        }
    }
    W.EndTable();
}

void TServerTables::WriteDeliveryQueues() {
    W.BeginTable("DeliveryQueues");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteStr("Name", VN_CP1251("Основная"));
    W.WriteStr("Description", "");
    W.WriteBool("MXDelivery", 0);
    W.WriteInt("MsgThreshold", 1);
    W.WriteInt("Task", 0);
    W.EndRow();
    W.EndTable();

    W.BeginTable("DeliveryQueuesSMTPServers");
    W.BeginRow();
    W.WriteInt("ID", 1);
    W.WriteInt("Index", 1);
    W.WriteInt("DeliveryQueue", 1);
    W.WriteInt("SMTPServer", 1);
    W.EndRow();
    W.EndTable();
}

void TServerTables::WriteAddressAliases() {
    W.BeginTable("AddressAliases");
    int32_t n = 0;
    for (const std::string& entry : AliasList) {
        const size_t equals = entry.find('=');
        W.BeginRow();
        W.WriteInt("ID", ++n);
        W.WriteInt("Domain", 1);
        W.WriteStr("Alias", entry.substr(0, equals));
        W.WriteStr("Address", entry.substr(equals + 1));
        W.EndRow();
    }
    W.EndTable();
}

void WriteStateTables(const TVnServer& server, TVnWriter& writer) {
    writer.BeginTable("Server");
    writer.BeginRow();
    writer.WriteStr("LaunchCount", server.LaunchCount);
    writer.EndRow();
    writer.EndTable();
    writer.BeginTable("RemoteMessages");
    writer.EndTable();
}

} // namespace

void TVnServer::WriteTables() const {
    ForceFolders(CfgFolder);
    TVnWriter server(ServerCfgFile);
    TServerTables(*this, server).Write();
    server.Close();
    TVnWriter state(StateCfgFile);
    WriteStateTables(*this, state);
    state.Close();
    // Both are complete: give them their names. Should the second fail, the first goes again,
    // since either name alone would stop every later conversion.
    server.Commit();
    try {
        state.Commit();
    } catch (...) {
        VnPlatform::DeleteFile(ServerCfgFile);
        throw;
    }
}

// ---- The driver ---------------------------------------------------------------------------

namespace {

const char LegacySignature[] = "VNT10/1";
constexpr int64_t LegacyHeaderSize = 14; // signature, 3 further bytes, the skip count

// A name that MoveFile can only take as one folder inside Mail: no separator, no drive, no
// "." or "..". The domain name comes from the legacy file and must not lead elsewhere.
bool IsPlainFolderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string::npos;
}

int32_t LittleEndian32(const char* bytes) {
    const auto b = [bytes](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
    return static_cast<int32_t>(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
}

} // namespace

bool ImportLegacyStream(TVnStream& file, TVnLegacyImport& result) {
    // The signature decides before anything else is read: a foreign file of any size costs the
    // ten bytes of the header.
    char head[10];
    size_t got = 0;
    for (size_t n = 1; got < sizeof head && n != 0; got += n)
        n = file.Read(head + got, sizeof head - got);
    if (got < 7 || std::memcmp(head, LegacySignature, 7) != 0)
        return false;

    // The objects read from a copy in memory, since every field lookup repositions the stream.
    file.SetPosition(0);
    TVnStringStream stream(ReadStreamText(file, -1));
    const std::string& bytes = stream.DataString();
    TVnOwnerList owner;
    const TVnServer* root = nullptr;
    try {
        const int64_t size = static_cast<int64_t>(bytes.size());
        if (size < LegacyHeaderSize)
            throw EVnStreamCorrupt();
        const int64_t skip = LittleEndian32(bytes.data() + 10);
        if (skip < 0 || skip > size - LegacyHeaderSize)
            throw EVnStreamCorrupt();
        stream.SetPosition(LegacyHeaderSize + skip);
        root = &TVnObject::Create<TVnServer>(owner, stream, size);
        if (!root->IsComplete())
            throw EVnStreamCorrupt();
    } catch (const EVnStreamCorrupt&) {
        throw EVnException(FileCorruptedMessage(LegacyCfgFile));
    }
    root->WriteTables();

    result.Outcome = TVnLegacyImport::Converted;
    result.DomainName = root->Settings->DomainName;
    result.Users = Chain(root->UserMgr->Users).Count();
    result.RemoteMailboxes = Chain(root->POP3Collector->Mailboxes).Count();
    result.IPRules = Chain(root->IPFilter->Rules).Count();
    result.SortingRules = Chain(root->QueueMgr->Rules).Count();
    result.Schedules = Chain(root->Scheduler->Schedules).Count();
    return true;
}

TVnLegacyImport ConvertLegacyConfig() {
    CfgFolder = "Config\\";
    ServerCfgFile = CfgFolder + "server.cfg";
    StateCfgFile = CfgFolder + "state.cfg";

    TVnLegacyImport result;
    if (VnPlatform::FileExists(ServerCfgFile) || VnPlatform::FileExists(StateCfgFile)) {
        InstallLog().Write(ltLegacyConfigExists, ServerCfgFile.c_str(), StateCfgFile.c_str());
        result.Outcome = TVnLegacyImport::ConfigExists;
        return result;
    }
    if (!VnPlatform::FileExists(LegacyCfgFile)) {
        InstallLog().Write(ltLegacyNoFile, LegacyCfgFile);
        result.Outcome = TVnLegacyImport::NoLegacyFile;
        return result;
    }
    {
        // Open (deny writers) for the whole run.
        TVnFileStream file(LegacyCfgFile, TVnFileStream::Mode::OpenRead);
        if (!ImportLegacyStream(file, result)) {
            InstallLog().Write(ltLegacyWrongSignature, LegacyCfgFile);
            result.Outcome = TVnLegacyImport::WrongSignature;
            return result;
        }
    }
    const auto count = [](size_t n) { return std::to_string(n); };
    InstallLog().Write(ltLegacyConverted, LegacyCfgFile, ServerCfgFile.c_str(),
                       StateCfgFile.c_str(), result.DomainName.c_str(), count(result.Users).c_str(),
                       count(result.RemoteMailboxes).c_str(), count(result.SortingRules).c_str(),
                       count(result.IPRules).c_str(), count(result.Schedules).c_str());

    // Each step is tried whatever became of the one before.
    const auto move = [](const std::string& from, const std::string& to, bool allowed) {
        const bool done = allowed && VnPlatform::MoveFile(from, to);
        InstallLog().Write(ltLegacyMoved, from.c_str(), to.c_str(),
                           InstallLogText(done ? ltDone : ltNotDone).c_str());
        return done;
    };
    const auto remove = [](const std::string& folder) {
        const bool done = VnPlatform::RemoveDirectory(folder);
        InstallLog().Write(ltLegacyRemoved, folder.c_str(),
                           InstallLogText(done ? ltDone : ltNotDone).c_str());
        return done;
    };
    result.MailboxRenamed =
        move("Mail\\Mailbox\\", "Mail\\" + result.DomainName, IsPlainFolderName(result.DomainName));
    result.InboundRemoved = remove("Mail\\Inbound\\");
    result.OutboundRemoved = remove("Mail\\Outbound\\");
    result.MailRenamed = move("Mail", "Mailbox", true);
    return result;
}
