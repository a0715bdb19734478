// Import of the first generation's configuration: its eighteen classes, the writing of a new
// server.cfg and state.cfg from them, and the driver that finds VantroMS.cfg in the current
// directory, converts it and moves the old mail folders into the new layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "VnCfgConv1_Utils.h"

// Set at the start of every run of ConvertLegacyConfig.
extern std::string CfgFolder;     // "Config\"
extern std::string ServerCfgFile; // CfgFolder + "server.cfg"
extern std::string StateCfgFile;  // CfgFolder + "state.cfg"

// The legacy file in the installation folder.
extern const char* const LegacyCfgFile; // "VantroMS.cfg"

class TVnSettings : public TVnObject {
public:
    std::string DomainName;
    std::string PostmasterAddress;
    std::string LogFolder;
    TVnBool UseDialUp = 0;
    TVnBool UseNamedConnection = 0;
    std::string ConnectionName;
    TVnBool UseAnyConnection = 0;

protected:
    void Load() override;
};

class TVnLog : public TVnObject {
public:
    int32_t Mode = 0;
    std::string FileName;
    TVnBool LimitSize = 0;
    int32_t MaxSize = 0;
    int32_t Level = 0;

protected:
    void Load() override;
};

class TVnSMTPService : public TVnObject {
public:
    int32_t Port = 0;
    int32_t Timeout = 0; // milliseconds
    TVnBool NoRelayIPGroup = 0;
    TVnBool AllowUnsecureAuth = 0;

protected:
    void Load() override;
};

class TVnPOP3Service : public TVnObject {
public:
    int32_t Port = 0;
    int32_t Timeout = 0; // milliseconds
    TVnBool AllowUnsecureAuth = 0;

protected:
    void Load() override;
};

// The relay server for all outgoing mail.
class TVnSMTPClient : public TVnObject {
public:
    std::string Address;
    int32_t Port = 0;
    int32_t Timeout = 0; // milliseconds
    TVnBool UseHostName = 0;
    std::string HostName;
    TVnBool UseAuthentication = 0;
    std::string User;
    TVnPassword Password;

protected:
    void Load() override;
};

// A mailbox on a remote POP3 server whose mail is fetched.
class TVnRemoteMailbox : public TVnObject {
public:
    std::string Address; // POP3 server host
    int32_t Port = 0;
    int32_t Timeout = 0; // milliseconds
    TVnBool Enabled = 0;
    std::string User;
    TVnPassword Password;
    // Address or comma-separated addresses, or the markers "<Домен>" and "<Сортировщик>".
    std::string Recipient;
    TVnBool SecureAuthOnly = 0;

protected:
    void Load() override;
};

class TVnPOP3Collector : public TVnObject {
public:
    TVnRemoteMailbox* Mailboxes = nullptr;

protected:
    void Load() override;
};

class TVnIPFilterRule : public TVnObject {
public:
    int32_t FromIP = 0; // most significant byte first in dotted form
    int32_t ToIP = 0;
    TVnBool Allow = 0;
    TVnBool ForSMTP = 0;
    TVnBool ForPOP3 = 0;

protected:
    void Load() override;
};

class TVnIPFilter : public TVnObject {
public:
    TVnIPFilterRule* Rules = nullptr;

protected:
    void Load() override;
};

class TVnUser : public TVnObject {
public:
    std::string FullName;
    std::string Name;
    TVnPassword Password;
    std::string Description;
    TVnBool Enabled = 0;
    std::string ExternalEmail;

protected:
    void Load() override;
};

class TVnUserMgr : public TVnObject {
public:
    TVnUser* Users = nullptr;

protected:
    void Load() override;
};

// One scheduled mail exchange; times are milliseconds since midnight.
class TVnSchedule : public TVnObject {
public:
    TVnBool Enabled = 0;
    std::string Name;
    TVnBool SendMail = 0;
    TVnBool ReceiveMail = 0;
    int32_t FromTime = 0;
    int32_t ToTime = 0;
    int32_t Interval = 0;
    std::string FileFlag;
    std::array<TVnBool, 7> Days{}; // day 1 to day 7 of the week
    TVnBool OwnDialUp = 0;
    TVnBool UseDialUp = 0;
    TVnBool UseNamedConnection = 0;
    std::string ConnectionName;
    TVnBool UseAnyConnection = 0;
    TVnBool DeleteFileFlag = 0;

protected:
    void Load() override;
};

class TVnScheduler : public TVnObject {
public:
    TVnSchedule* Schedules = nullptr;

protected:
    void Load() override;
};

// A Windows dial-up connection.
class TVnDialUpEntry : public TVnObject {
public:
    std::string Name;
    TVnStringList* Phones = nullptr;
    TVnBool Tone = 0;
    int32_t TryCount = 0;
    int32_t Pause = 0;
    TVnBool OwnAuthParams = 0;
    std::string UserName;
    TVnPassword Password;
    std::string Prefix;

protected:
    void Load() override;
};

class TVnDialUp : public TVnObject {
public:
    TVnDialUpEntry* Entries = nullptr;

protected:
    void Load() override;
};

class TVnSortingRule : public TVnObject {
public:
    std::string Header;
    std::string Value;
    TVnStringList* Recipients = nullptr;
    TVnBool Stop = 0;

protected:
    void Load() override;
};

class TVnQueueMgr : public TVnObject {
public:
    TVnSortingRule* Rules = nullptr;
    std::string UnsortedRecipient;
    TVnBool UseCopyAddress = 0;
    std::string CopyAddress;

protected:
    void Load() override;
};

// The root of a legacy configuration.
class TVnServer : public TVnObject {
public:
    std::string LaunchCount;
    TVnSettings* Settings = nullptr;
    TVnLog* Log = nullptr;
    TVnSMTPService* SMTPService = nullptr;
    TVnPOP3Service* POP3Service = nullptr;
    TVnSMTPClient* SMTPClient = nullptr;
    TVnPOP3Collector* POP3Collector = nullptr;
    TVnIPFilter* IPFilter = nullptr;
    TVnUserMgr* UserMgr = nullptr;
    TVnScheduler* Scheduler = nullptr;
    TVnDialUp* DialUp = nullptr;
    TVnQueueMgr* QueueMgr = nullptr;

    // True when all eleven nested objects are present; WriteTables needs every one.
    bool IsComplete() const;
    // Writes CfgFolder's server.cfg and state.cfg. Both are written under temporary names first
    // and take their real names only when both are complete; on a failure neither exists.
    void WriteTables() const;

protected:
    void Load() override;
};

// A legacy address field for a single recipient column: a value without a comma is returned
// unchanged; otherwise every address (blanks removed, empty runs of commas skipped) is appended
// to aliasList as aliasName + "=" + address, and the column gets aliasName.
std::string SplitAddressList(const std::string& value, const std::string& aliasName,
                             std::vector<std::string>& aliasList);

// What a run of ConvertLegacyConfig did.
struct TVnLegacyImport {
    enum TOutcome {
        ConfigExists,   // Config\server.cfg or Config\state.cfg is there: nothing done
        NoLegacyFile,   // no VantroMS.cfg
        WrongSignature, // VantroMS.cfg is not a first-generation configuration
        Converted,
    };
    TOutcome Outcome = NoLegacyFile;
    std::string DomainName;
    size_t Users = 0, RemoteMailboxes = 0, IPRules = 0, SortingRules = 0, Schedules = 0;
    // The folder moves, each tried regardless of the others.
    bool MailboxRenamed = false;  // Mail\Mailbox\ became Mail\<domain>
    bool InboundRemoved = false;  // Mail\Inbound\ was empty and is gone
    bool OutboundRemoved = false; // Mail\Outbound\ likewise
    bool MailRenamed = false;     // Mail became Mailbox
};

// The conversion of an open legacy file positioned at its start: false, after reading no more
// than its 10 header bytes, when it does not begin with the signature; otherwise writes both
// databases (raising as ConvertLegacyConfig does) and fills the outcome and counts of result.
bool ImportLegacyStream(TVnStream& file, TVnLegacyImport& result);

// Converts the first generation's configuration in the current directory, unless a new one
// exists. A file that cannot be read completely raises EVnException "File \"VantroMS.cfg\"
// corrupted" before anything is written; the legacy file is never changed.
TVnLegacyImport ConvertLegacyConfig();
