// Test-side writer of the first generation's object stream, so that legacy fixtures are built
// from readable test code. It encodes the format independently of the reader: length prefixes
// (short or long form), tagged fields of every kind, scrambled strings, and the whole file with
// its header and skipped block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One length prefix: a single byte below 255, or 255 and four little-endian bytes.
std::string LengthPrefix(int64_t length, bool longForm = false);
// The stored form of a password: the 16-bit length and the characters, position i (from 1)
// turned into ((b + i) mod 256) XOR (i mod 256).
std::string Scramble(const std::string& plain);
// A scrambled payload whose 16-bit length is given freely (it may disagree with the text).
std::string ScrambleWithLength(uint16_t length, const std::string& text);

// An object: tagged fields in the order they are added.
class TLegacyObject {
public:
    // Objects created while this is set write every length prefix in the long form.
    static bool LongByDefault;

    TLegacyObject() : FLong(LongByDefault) {}
    // Every length prefix this object writes (its own and its fields') in the long form.
    TLegacyObject& LongLengths(bool on = true);

    TLegacyObject& Int(uint8_t tag, int32_t value);
    TLegacyObject& Bool(uint8_t tag, uint8_t value);
    TLegacyObject& Str(uint8_t tag, const std::string& value);
    TLegacyObject& Password(uint8_t tag, const std::string& plain);
    TLegacyObject& Strings(uint8_t tag, const std::vector<std::string>& items);
    TLegacyObject& Object(uint8_t tag, const TLegacyObject& object);
    TLegacyObject& Collection(uint8_t tag, const std::vector<TLegacyObject>& objects);
    // A field with any payload.
    TLegacyObject& Raw(uint8_t tag, const std::string& payload);
    // Bytes appended to the content as they are (for damaged objects).
    TLegacyObject& Append(const std::string& bytes);

    const std::string& Content() const { return FContent; }
    std::string Bytes() const; // the length prefix and the content

private:
    std::string FContent;
    bool FLong;
};

// Tags of the legacy classes.
namespace ServerTag {
enum : uint8_t {
    LaunchCount = 1,
    Settings,
    Log,
    SMTPService,
    POP3Service,
    SMTPClient,
    POP3Collector,
    IPFilter,
    UserMgr,
    Scheduler,
    DialUp,
    QueueMgr
};
}
namespace SettingsTag {
enum : uint8_t {
    DomainName = 1,
    PostmasterAddress = 2,
    LogFolder = 7,
    UseDialUp,
    UseNamedConnection,
    ConnectionName,
    UseAnyConnection
};
}
namespace LogTag {
enum : uint8_t { Mode = 1, FileName, LimitSize, MaxSize, Level };
}
namespace SMTPServiceTag {
enum : uint8_t { Port = 1, Timeout, NoRelayIPGroup, AllowUnsecureAuth };
}
namespace POP3ServiceTag {
enum : uint8_t { Port = 1, Timeout, AllowUnsecureAuth };
}
namespace SMTPClientTag {
enum : uint8_t {
    Address = 1,
    Port,
    Timeout,
    UseHostName,
    HostName,
    UseAuthentication,
    User,
    Password
};
}
namespace MailboxTag {
enum : uint8_t { Address = 1, Port, Timeout, Enabled, User, Password, Recipient, SecureAuthOnly };
}
namespace IPRuleTag {
enum : uint8_t { FromIP = 1, ToIP, Allow, ForSMTP, ForPOP3 };
}
namespace UserTag {
enum : uint8_t { FullName = 1, Name, Password, Description, Enabled, ExternalEmail = 10 };
}
namespace ScheduleTag {
enum : uint8_t {
    Enabled = 1,
    Name,
    SendMail,
    ReceiveMail,
    FromTime,
    ToTime,
    Interval,
    FileFlag = 11,
    Day1 = 12,
    OwnDialUp = 19,
    UseDialUp,
    UseNamedConnection,
    ConnectionName,
    UseAnyConnection,
    DeleteFileFlag
};
}
namespace DialUpEntryTag {
enum : uint8_t {
    Name = 1,
    Phones,
    Tone,
    TryCount,
    Pause,
    OwnAuthParams,
    UserName,
    Password,
    Prefix = 10
};
}
namespace QueueMgrTag {
enum : uint8_t { Rules = 1, UnsortedRecipient, UseCopyAddress, CopyAddress };
}
namespace SortingRuleTag {
enum : uint8_t { Header = 1, Value, Recipients, Stop };
}
// The one collection field of the list objects (POP3Collector, IPFilter, UserMgr, Scheduler,
// DialUp).
constexpr uint8_t ListTag = 1;

// A legacy configuration: the root's text field and its eleven nested objects, each of which a
// test fills or replaces.
struct TLegacyConfig {
    std::string LaunchCount;
    TLegacyObject Settings, Log, SMTPService, POP3Service, SMTPClient, POP3Collector, IPFilter,
        UserMgr, Scheduler, DialUp, QueueMgr;

    // The root object; `omit` names one nested object's tag to leave out.
    TLegacyObject Root(uint8_t omit = 0) const;
};

// A whole VantroMS.cfg: signature, three further header bytes, the skip count and block, the root.
std::string LegacyFile(const TLegacyObject& root, const std::string& skipped = "",
                       const std::string& headerRest = "\x01\x02\x03");
