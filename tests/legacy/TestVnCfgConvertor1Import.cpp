// The conversion driver: when it converts, how it refuses damaged files, and the folder moves.
#include <algorithm>
#include <filesystem>

#include "LegacyTestSupport.h"
#include "VnCfgConvertor1.h"

namespace {

class LegacyImport : public TLegacyFolderTest {
protected:
    static TLegacyConfig Config(const std::string& domain = "example.ru") {
        TLegacyConfig config = EmptyLegacyConfig();
        config.Settings.Str(SettingsTag::DomainName, domain);
        config.UserMgr.Collection(ListTag, {TLegacyObject().Str(UserTag::Name, "anna")});
        return config;
    }
    void WriteLegacy(const std::string& bytes) { WriteBytes(Path("VantroMS.cfg"), bytes); }
    // The old layout: one mailbox, empty in and out queues.
    void WriteMailFolders() {
        WriteBytes(Path("Mail\\Mailbox\\anna\\1.msg"), "message");
        ASSERT_TRUE(ForceFolders(Path("Mail\\Inbound")));
        ASSERT_TRUE(ForceFolders(Path("Mail\\Outbound")));
    }
    // Names in Config\, temporary files included.
    std::vector<std::string> ConfigFiles() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(FsPath("Config"), error))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

} // namespace

TEST_F(LegacyImport, ConvertsAndMovesTheMailFolders) {
    const std::string legacy = LegacyFile(Config().Root());
    WriteLegacy(legacy);
    WriteMailFolders();
    const TVnLegacyImport result = ConvertLegacyConfig();

    EXPECT_EQ(TVnLegacyImport::Converted, result.Outcome);
    EXPECT_EQ("example.ru", result.DomainName);
    EXPECT_EQ(1u, result.Users);
    EXPECT_EQ("Config\\", CfgFolder);
    EXPECT_EQ("Config\\server.cfg", ServerCfgFile);
    EXPECT_EQ("Config\\state.cfg", StateCfgFile);
    EXPECT_EQ((std::vector<std::string>{"server.cfg", "state.cfg"}), [&] {
        auto names = ConfigFiles();
        std::sort(names.begin(), names.end());
        return names;
    }());
    EXPECT_TRUE(result.MailboxRenamed && result.InboundRemoved && result.OutboundRemoved &&
                result.MailRenamed);
    EXPECT_EQ("message", ReadBytes(Path("Mailbox\\example.ru\\anna\\1.msg")));
    EXPECT_FALSE(PathExists(Path("Mail")));
    EXPECT_FALSE(PathExists(Path("Mailbox\\Inbound")));

    // The legacy file stays as it was, and a second run converts nothing.
    EXPECT_EQ(legacy, ReadBytes(Path("VantroMS.cfg")));
    const std::string server = ReadBytes(Path("Config\\server.cfg"));
    WriteMailFolders();
    EXPECT_EQ(TVnLegacyImport::ConfigExists, ConvertLegacyConfig().Outcome);
    EXPECT_EQ(server, ReadBytes(Path("Config\\server.cfg")));
    EXPECT_TRUE(PathExists(Path("Mail\\Mailbox\\anna\\1.msg")));
}

TEST_F(LegacyImport, AnExistingConfigurationWins) {
    WriteLegacy(LegacyFile(Config().Root()));
    WriteMailFolders();
    WriteBytes(Path("Config\\state.cfg"), "state");
    EXPECT_EQ(TVnLegacyImport::ConfigExists, ConvertLegacyConfig().Outcome);
    EXPECT_FALSE(PathExists(Path("Config\\server.cfg")));
    EXPECT_TRUE(PathExists(Path("Mail\\Mailbox\\anna\\1.msg")));

    VnPlatform::DeleteFile(Path("Config\\state.cfg"));
    WriteBytes(Path("Config\\server.cfg"), "server");
    EXPECT_EQ(TVnLegacyImport::ConfigExists, ConvertLegacyConfig().Outcome);
    EXPECT_EQ("server", ReadBytes(Path("Config\\server.cfg")));
    EXPECT_FALSE(PathExists(Path("Config\\state.cfg")));
}

TEST_F(LegacyImport, OnlyAFileWithTheSignatureIsConverted) {
    EXPECT_EQ(TVnLegacyImport::NoLegacyFile, ConvertLegacyConfig().Outcome);

    std::string lower = LegacyFile(Config().Root());
    lower.replace(0, 7, "vnt10/1");
    for (const std::string& bytes : {lower, std::string("VNT10/"), std::string()}) {
        WriteLegacy(bytes);
        EXPECT_EQ(TVnLegacyImport::WrongSignature, ConvertLegacyConfig().Outcome);
        EXPECT_FALSE(PathExists(Path("Config")));
    }

    // Whatever the three header bytes after the signature and the skipped block hold.
    WriteLegacy(LegacyFile(Config().Root(), std::string("\x00\xFF skipped \x05", 12),
                           std::string("\xFF\x00\x80", 3)));
    EXPECT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);
}

TEST_F(LegacyImport, DamagedFilesAreRefusedBeforeAnythingIsWritten) {
    const std::string good = LegacyFile(Config().Root());
    const std::string root = Config().Root().Bytes();
    const auto withSkip = [&](int32_t skip) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[10 + i] = static_cast<char>(static_cast<uint32_t>(skip) >> (8 * i) & 0xFF);
        return bytes;
    };
    std::vector<std::pair<std::string, std::string>> cases = {
        {"only the signature", "VNT10/1"},
        {"ends inside the count", good.substr(0, 12)},
        {"ends before the root", good.substr(0, 14)},
        {"negative skip count", withSkip(-1)},
        {"skip count beyond the end", withSkip(static_cast<int32_t>(root.size()) + 1)},
        {"root cut short", good.substr(0, good.size() - 1)},
        {"field beyond the root", LegacyFile(Config().Root().Append(std::string("\x01\x7F", 2)))},
    };
    for (uint8_t tag = ServerTag::Settings; tag <= ServerTag::QueueMgr; ++tag)
        cases.push_back(
            {"nested object " + std::to_string(tag) + " missing", LegacyFile(Config().Root(tag))});
    TLegacyConfig badList = Config();
    badList.DialUp.Collection(ListTag,
                              {TLegacyObject().Raw(DialUpEntryTag::Phones, std::string("\x02"
                                                                                       "1",
                                                                                       2))});
    cases.push_back({"phone beyond its list", LegacyFile(badList.Root())});
    TLegacyConfig badItem = Config();
    badItem.UserMgr = TLegacyObject().Raw(ListTag, std::string("\x03\x02", 2));
    cases.push_back({"user beyond the collection", LegacyFile(badItem.Root())});

    WriteMailFolders();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        WriteLegacy(c.second);
        try {
            ConvertLegacyConfig();
            ADD_FAILURE() << "no exception";
        } catch (const EVnException& e) {
            EXPECT_STREQ("File \"VantroMS.cfg\" corrupted", e.what());
        }
        EXPECT_EQ(c.second, ReadBytes(Path("VantroMS.cfg")));
        EXPECT_FALSE(PathExists(Path("Config")));
        EXPECT_TRUE(PathExists(Path("Mail\\Mailbox\\anna\\1.msg")));
    }

    // Bytes after the root object are not looked at.
    WriteLegacy(good + "trailing");
    EXPECT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);
}

TEST_F(LegacyImport, AFailedWriteLeavesNoDatabase) {
    WriteLegacy(LegacyFile(Config().Root()));
    WriteMailFolders();
    // A folder where state.cfg belongs: the second file cannot take its name.
    ASSERT_TRUE(ForceFolders(Path("Config\\state.cfg")));
    EXPECT_THROW(ConvertLegacyConfig(), Exception);
    EXPECT_EQ((std::vector<std::string>{"state.cfg"}), ConfigFiles());
    EXPECT_TRUE(PathExists(Path("Mail\\Mailbox\\anna\\1.msg")));

    // Nothing stops the next attempt.
    ASSERT_TRUE(VnPlatform::RemoveDirectory(Path("Config\\state.cfg")));
    EXPECT_EQ(TVnLegacyImport::Converted, ConvertLegacyConfig().Outcome);

    // A file where the folder Config belongs: nothing can be written at all.
    std::filesystem::remove_all(FsPath("Config"));
    std::filesystem::rename(FsPath("Mailbox"), FsPath("Mail"));
    WriteBytes(Path("Config"), "not a folder");
    EXPECT_THROW(ConvertLegacyConfig(), Exception);
    EXPECT_EQ("not a folder", ReadBytes(Path("Config")));
    EXPECT_TRUE(PathExists(Path("Mail")));
}

TEST_F(LegacyImport, FolderMovesThatCannotBeDone) {
    // A non-empty queue folder travels along into Mailbox.
    WriteLegacy(LegacyFile(Config().Root()));
    WriteMailFolders();
    WriteBytes(Path("Mail\\Outbound\\queued.msg"), "queued");
    TVnLegacyImport result = ConvertLegacyConfig();
    EXPECT_TRUE(result.InboundRemoved);
    EXPECT_FALSE(result.OutboundRemoved);
    EXPECT_EQ("queued", ReadBytes(Path("Mailbox\\Outbound\\queued.msg")));
    EXPECT_TRUE(PathExists(Path("Mailbox\\example.ru\\anna\\1.msg")));
}

TEST_F(LegacyImport, AFolderOfTheDomainsNameAlreadyExists) {
    WriteLegacy(LegacyFile(Config().Root()));
    WriteMailFolders();
    WriteBytes(Path("Mail\\example.ru\\old.msg"), "old");
    const TVnLegacyImport result = ConvertLegacyConfig();
    EXPECT_FALSE(result.MailboxRenamed);
    EXPECT_TRUE(result.MailRenamed);
    EXPECT_EQ("message", ReadBytes(Path("Mailbox\\Mailbox\\anna\\1.msg")));
    EXPECT_EQ("old", ReadBytes(Path("Mailbox\\example.ru\\old.msg")));
}

TEST_F(LegacyImport, AMailboxFolderAlreadyExists) {
    WriteLegacy(LegacyFile(Config().Root()));
    WriteMailFolders();
    WriteBytes(Path("Mailbox\\keep.msg"), "keep");
    const TVnLegacyImport result = ConvertLegacyConfig();
    EXPECT_TRUE(result.MailboxRenamed);
    EXPECT_FALSE(result.MailRenamed);
    EXPECT_EQ("message", ReadBytes(Path("Mail\\example.ru\\anna\\1.msg")));
    EXPECT_EQ("keep", ReadBytes(Path("Mailbox\\keep.msg")));
}

TEST_F(LegacyImport, ADomainNameThatIsNoFolderNameMovesNothingOutOfMail) {
    for (const std::string domain : {"..\\..\\escaped", "../escaped", "..", ""}) {
        SCOPED_TRACE(domain);
        WriteLegacy(LegacyFile(Config(domain).Root()));
        WriteMailFolders();
        const TVnLegacyImport result = ConvertLegacyConfig();
        EXPECT_EQ(TVnLegacyImport::Converted, result.Outcome);
        EXPECT_FALSE(result.MailboxRenamed);
        EXPECT_EQ("message", ReadBytes(Path("Mailbox\\Mailbox\\anna\\1.msg")));
        EXPECT_FALSE(PathExists(Path("escaped")));
        EXPECT_FALSE(PathExists(Path("..\\escaped")));
        std::filesystem::remove_all(FsPath("Config"));
        std::filesystem::remove_all(FsPath("Mailbox"));
    }
}
