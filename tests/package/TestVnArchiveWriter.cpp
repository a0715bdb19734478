#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnUnpack.h"

namespace {

// A payload tree whose names sort differently byte-wise and by creation order.
void WritePayload(const std::string& root) {
    WriteBytes(root + "\\b.txt", "bee");
    WriteBytes(root + "\\a.txt", "ay");
    WriteBytes(root + "\\Setup\\readme.txt", "Read me.\r\n");
    WriteBytes(root + "\\Setup\\VNT_Admin\\VNT_Admin.exe", RandomBytes(100000, 3));
    WriteBytes(root + "\\Setup\\Zed\\z.txt", "");
    WriteBytes(root + "\\Setup\\_x.txt", "under");
    ForceFolders(root + "\\Setup\\Config");
}

std::vector<std::string> EntryList(TVnArchive& archive) {
    std::vector<std::string> paths;
    archive.ForEachEntry([&](const TVnArchiveEntry& entry) { paths.push_back(entry.Path); });
    return paths;
}

} // namespace

TEST(ArchiveWriterTest, FolderTreesGoInByteWiseNameOrder) {
    TTempFolder folder;
    WritePayload(folder / "payload");
    std::string package = folder / "p.exe";
    WriteBytes(package, UnsignedPackage(ArchiveTail(
                            [&](TVnArchiveWriter& w) { w.AddFolderTree(folder / "payload"); })));
    TVnArchive archive(package, 128);
    EXPECT_EQ(EntryList(archive),
              (std::vector<std::string>{"Setup", "Setup\\Config", "Setup\\VNT_Admin",
                                        "Setup\\VNT_Admin\\VNT_Admin.exe", "Setup\\Zed",
                                        "Setup\\Zed\\z.txt", "Setup\\_x.txt", "Setup\\readme.txt",
                                        "a.txt", "b.txt"}));
    archive.ExtractFolder("", folder / "out");
    for (const char* name : {"a.txt", "b.txt", "Setup\\readme.txt", "Setup\\_x.txt",
                             "Setup\\Zed\\z.txt", "Setup\\VNT_Admin\\VNT_Admin.exe"})
        EXPECT_EQ(ReadBytes(folder / "out\\" + name), ReadBytes(folder / "payload\\" + name))
            << name;
    EXPECT_TRUE(PathExists(folder / "out\\Setup\\Config"));
}

TEST(ArchiveWriterTest, StreamsAreLevelNineZlibAndOutputIsDeterministic) {
    auto tail = [] {
        return ArchiveTail([](TVnArchiveWriter& w) {
            w.AddFile("one", std::string(5000, 'a'));
            w.BeginFolder("f");
            w.AddFile("two", RandomBytes(3000, 1));
            w.AddFile("empty", "");
            w.EndFolder();
        });
    };
    std::string body = tail();
    EXPECT_EQ(body, tail());
    // one: kind, name length, name, sizes, then the stream header.
    EXPECT_EQ(body.substr(0, 5), std::string("\0\3one", 5));
    EXPECT_EQ(body.substr(5, 4), LE32(5000));
    EXPECT_EQ(body.substr(13, 2), "\x78\xDA");
    uint32_t packed = uint32_t(uint8_t(body[9])) | uint32_t(uint8_t(body[10])) << 8;
    EXPECT_EQ(body.substr(15 + packed - 2, 4), std::string("\1\1f\0", 4));
    EXPECT_EQ(body.substr(body.size() - 4), LE32(uint32_t(body.size() - 4)));
    EXPECT_EQ(body[body.size() - 5], FolderEnd);
}

TEST(ArchiveWriterTest, RefusesWhatTheReaderWouldRefuse) {
    TVnStringStream stream;
    TVnArchiveWriter writer(stream);
    for (const char* bad : {"", ".", "..", "a\\b", "a/b", "c:", "\t"})
        EXPECT_THROW(writer.AddFile(bad, "x"), EVnException) << bad;
    EXPECT_THROW(writer.BeginFolder(std::string(256, 'n')), EVnException);
    writer.BeginFolder(std::string(255, 'n'));
    writer.AddFile("abc", "x"); // 259 characters
    EXPECT_THROW(writer.AddFile("abcd", "x"), EVnException);
    EXPECT_THROW(writer.Finish(), EVnException); // the folder is still open
    writer.EndFolder();
    EXPECT_THROW(writer.EndFolder(), EVnException);
}

TEST(ArchiveWriterTest, SignedPackagesPassTheCheckAndReadBack) {
    TTempFolder folder;
    WritePayload(folder / "payload");
    WriteBytes(folder / "stub.exe", "MZ" + RandomBytes(5000, 8));
    TVnSigner sign = TestKeySigner();
    WritePackage(folder / "stub.exe", folder / "payload", folder / "setup.exe", sign);

    std::string bytes = ReadBytes(folder / "setup.exe");
    EXPECT_EQ(bytes.substr(0, 5002), ReadBytes(folder / "stub.exe"));
    TVnKeyRecord key;
    TestPublicKey(key);
    EXPECT_TRUE(CheckFileSignature(key, folder / "setup.exe"));
    TVnArchive archive(folder / "setup.exe", SignatureSize);
    EXPECT_EQ(archive.ReadEntryText("setup\\readme.TXT"), "Read me.\r\n");

    WritePackage(folder / "stub.exe", folder / "payload", folder / "again.exe", sign);
    EXPECT_EQ(ReadBytes(folder / "again.exe"), bytes);
}

TEST(ArchiveWriterTest, FailedPackagingLeavesNoOutput) {
    TTempFolder folder;
    WriteBytes(folder / "stub.exe", "MZ");
    WriteBytes(folder / "payload\\ok.txt", "x");
    TVnSigner sign = [](const uint8_t*, uint8_t* signature) { std::fill_n(signature, 128, 0); };
#ifndef _WIN32 // a name that no Windows file system can hold
    WriteBytes(folder / "payload\\bad:name", "x");
    EXPECT_THROW(WritePackage(folder / "stub.exe", folder / "payload", folder / "out.exe", sign),
                 EVnException);
    EXPECT_FALSE(PathExists(folder / "out.exe"));
#endif
    EXPECT_THROW(WritePackage(folder / "stub.exe", folder / "none", folder / "out.exe", sign),
                 EVnException);
    EXPECT_THROW(WritePackage(folder / "none.exe", folder / "payload", folder / "out.exe", sign),
                 EFOpenError);
    EXPECT_FALSE(PathExists(folder / "out.exe"));
}
