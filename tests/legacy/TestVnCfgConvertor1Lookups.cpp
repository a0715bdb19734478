// How the import finds things: the signature before the rest of the file, dial-up entries by
// name, and POP3 servers by address and port without regard to letter case.
#include "LegacyTestSupport.h"
#include "VnCfgConvertor1.h"
#include "VnCp1251.h"

namespace {

class LegacyLookups : public TLegacyFolderTest {
protected:
    TOldDatabase Convert(const TLegacyConfig& config) {
        WriteBytes(Path("VantroMS.cfg"), LegacyFile(config.Root()));
        EXPECT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);
        return ParseOldForm(ReadBytes(Path("Config\\server.cfg")));
    }
};

// A stream of `size` bytes that repeat `head` (zeros after it), counting what is read from it.
class TCountingStream : public TVnStream {
public:
    TCountingStream(std::string head, int64_t size) : FHead(std::move(head)), FSize(size) {}
    size_t Read(void* buffer, size_t count) override {
        const size_t n = static_cast<size_t>(std::min<int64_t>(count, FSize - FPosition));
        for (size_t i = 0; i < n; ++i) {
            const int64_t at = FPosition + static_cast<int64_t>(i);
            static_cast<char*>(buffer)[i] =
                at < static_cast<int64_t>(FHead.size()) ? FHead[static_cast<size_t>(at)] : '\0';
        }
        FPosition += static_cast<int64_t>(n);
        BytesRead += n;
        return n;
    }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, VnPlatform::SeekOrigin origin) override {
        const int64_t base = origin == VnPlatform::SeekOrigin::Begin     ? 0
                             : origin == VnPlatform::SeekOrigin::Current ? FPosition
                                                                         : FSize;
        return FPosition = base + offset;
    }
    size_t BytesRead = 0;

private:
    std::string FHead;
    int64_t FSize;
    int64_t FPosition = 0;
};

constexpr int64_t OneGigabyte = int64_t(1) << 30;

TEST_F(LegacyLookups, AForeignFileCostsItsFirstTenBytes) {
    TVnLegacyImport result;
    TCountingStream foreign("VNT10/0 and then a gigabyte", OneGigabyte);
    EXPECT_FALSE(ImportLegacyStream(foreign, result));
    EXPECT_LE(foreign.BytesRead, 10u);
    TCountingStream tiny("VNT1", 4);
    EXPECT_FALSE(ImportLegacyStream(tiny, result));

    // A first-generation file is read whole: the count above is not a stream that reads nothing.
    const std::string legacy = LegacyFile(EmptyLegacyConfig().Root());
    TCountingStream genuine(legacy, static_cast<int64_t>(legacy.size()));
    EXPECT_TRUE(ImportLegacyStream(genuine, result));
    EXPECT_EQ(TVnLegacyImport::Converted, result.Outcome);
    EXPECT_GE(genuine.BytesRead, legacy.size());
}

TEST_F(LegacyLookups, ASparseGigabyteForeignFileIsIgnored) {
    {
        TVnFileStream file(Path("VantroMS.cfg"), TVnFileStream::Mode::Create);
        file.WriteBuffer("MZ", 2);
        file.Seek(OneGigabyte - 1, VnPlatform::SeekOrigin::Begin);
        file.WriteBuffer("", 1);
    }
    EXPECT_EQ(TVnLegacyImport::WrongSignature, ConvertLegacyConfig().Outcome);
    EXPECT_FALSE(PathExists(Path("Config")));
    VnPlatform::DeleteFile(Path("VantroMS.cfg"));
}

TEST_F(LegacyLookups, ADialUpNameFindsItsFirstEntryInItsExactCase) {
    TLegacyConfig config = EmptyLegacyConfig();
    config.Settings.Bool(SettingsTag::UseDialUp, 1)
        .Bool(SettingsTag::UseNamedConnection, 1)
        .Str(SettingsTag::ConnectionName, "Office");
    std::vector<TLegacyObject> entries;
    for (const std::string& name :
         {std::string("Home"), std::string("Office"), std::string("Office"), std::string("office"),
          VN_CP1251("Дача")})
        entries.push_back(TLegacyObject().Str(DialUpEntryTag::Name, name));
    config.DialUp.Collection(ListTag, entries);
    std::vector<TLegacyObject> schedules;
    for (const std::string& name : {std::string("office"), VN_CP1251("Дача"), VN_CP1251("дача")})
        schedules.push_back(TLegacyObject()
                                .Str(ScheduleTag::Name, "s")
                                .Bool(ScheduleTag::OwnDialUp, 1)
                                .Bool(ScheduleTag::UseDialUp, 1)
                                .Bool(ScheduleTag::UseNamedConnection, 1)
                                .Str(ScheduleTag::ConnectionName, name));
    config.Scheduler.Collection(ListTag, schedules);

    const TOldDatabase db = Convert(config);
    std::vector<std::string> connections;
    for (const TOldRow& task : db["Tasks"].Rows)
        connections.push_back(task["RASConnection"]);
    // Three own entries, then the standard tasks through the general "Office".
    EXPECT_EQ((std::vector<std::string>{"4", "5", "0", "2", "2", "2"}), connections);
}

TEST_F(LegacyLookups, POP3ServersDifferingInLetterCaseAreOne) {
    TLegacyConfig config = EmptyLegacyConfig();
    std::vector<TLegacyObject> mailboxes;
    const std::pair<std::string, int32_t> servers[] = {{VN_CP1251("почта.рф"), 110},
                                                       {VN_CP1251("ПОЧТА.РФ"), 110},
                                                       {VN_CP1251("Почта.рф"), 995},
                                                       {"mail.RU", 110},
                                                       {"MAIL.ru", 110},
                                                       {VN_CP1251("почта.рф"), 995}};
    for (const auto& server : servers)
        mailboxes.push_back(TLegacyObject()
                                .Str(MailboxTag::Address, server.first)
                                .Int(MailboxTag::Port, server.second)
                                .Str(MailboxTag::User, "u"));
    config.POP3Collector.Collection(ListTag, mailboxes);

    const TOldDatabase db = Convert(config);
    std::vector<std::string> addresses, numbers;
    for (const TOldRow& server : db["RemotePOP3Servers"].Rows)
        addresses.push_back(server["ID"] + " " + server["Address"] + ":" + server["Port"]);
    for (const TOldRow& mailbox : db["RemoteMailboxes"].Rows)
        numbers.push_back(mailbox["POP3Server"]);
    EXPECT_EQ((std::vector<std::string>{"1 " + VN_CP1251("почта.рф") + ":110",
                                        "2 " + VN_CP1251("Почта.рф") + ":995", "3 mail.RU:110"}),
              addresses);
    EXPECT_EQ((std::vector<std::string>{"1", "1", "2", "3", "3", "2"}), numbers);
}

} // namespace
