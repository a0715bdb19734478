#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnUnpack.h"
#include "VnWritePipeline.h"

namespace {

// File names and contents of the sample archive, in archive order.
struct TSample {
    std::string Path, Data;
};

const std::vector<TSample>& SampleFiles() {
    static const std::vector<TSample> files = {
        {"vnt64.bmp", RandomBytes(2166, 1)},
        {"VNT_Setup.lng", "<vnt-lng>\r\n" + std::string(3000, 'l') + "</vnt-lng>\r\n"},
        {"Setup\\VNT_Admin\\VNT_Admin.exe", RandomBytes(150000, 2) + std::string(100000, 'x')},
        {"Setup\\VNT_Admin\\VNT_Admin_en.chm", RandomBytes(5000, 3)},
        {"Setup\\empty.txt", ""},
        {"Setup\\readme.txt", "Read me.\r\n"},
        {"Setup\\WWW\\index.html", "<html></html>\r\n"},
    };
    return files;
}

std::string SampleTail() {
    const auto& f = SampleFiles();
    return ArchiveTail([&](TVnArchiveWriter& w) {
        w.AddFile("vnt64.bmp", f[0].Data);
        w.AddFile("VNT_Setup.lng", f[1].Data);
        w.BeginFolder("Setup");
        w.BeginFolder("VNT_Admin");
        w.AddFile("VNT_Admin.exe", f[2].Data);
        w.AddFile("VNT_Admin_en.chm", f[3].Data);
        w.EndFolder();
        w.BeginFolder("Config");
        w.EndFolder();
        w.AddFile("empty.txt", f[4].Data);
        w.AddFile("readme.txt", f[5].Data);
        w.BeginFolder("WWW");
        w.AddFile("index.html", f[6].Data);
        w.EndFolder();
        w.EndFolder();
    });
}

// A path as the program writes it ("\" separators) for std::filesystem.
std::filesystem::path Native(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return std::filesystem::path(path);
}

// Names of the files and folders directly inside a folder, sorted.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(Native(folder)))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ArchiveTest : public testing::Test {
protected:
    void SetUp() override {
        FPackage = FFolder / "VNT_Setup.exe";
        WriteBytes(FPackage, UnsignedPackage(SampleTail(), RandomBytes(3000, 9)));
        FArchive = std::make_unique<TVnArchive>(FPackage, 128);
    }

    TTempFolder FFolder;
    std::string FPackage;
    std::unique_ptr<TVnArchive> FArchive;
};

} // namespace

TEST_F(ArchiveTest, ReadsEntriesByPathWithoutRegardToCase) {
    const auto& files = SampleFiles();
    for (const TSample& file : files)
        EXPECT_EQ(FArchive->ReadEntryText(file.Path), file.Data) << file.Path;
    // Every lookup starts again at the body start: an earlier entry after a later one.
    EXPECT_EQ(FArchive->ReadEntryText("SETUP\\www\\INDEX.HTML"), files[6].Data);
    EXPECT_EQ(FArchive->ReadEntryText("vnt64.BMP"), files[0].Data);

    TVnArchiveEntry entry;
    ASSERT_TRUE(FArchive->FindEntry("setup\\vnt_admin", entry));
    EXPECT_TRUE(entry.IsFolder);
    EXPECT_EQ(entry.Path, "Setup\\VNT_Admin");
    ASSERT_TRUE(FArchive->FindEntry("Setup\\VNT_Admin\\vnt_admin.exe", entry));
    EXPECT_FALSE(entry.IsFolder);
    EXPECT_EQ(entry.Size, files[2].Data.size());
}

TEST_F(ArchiveTest, MissingEntriesAndFoldersReadAsNothing) {
    EXPECT_EQ(FArchive->ReadEntryText("missing.txt"), "");
    EXPECT_EQ(FArchive->ReadEntryText("Setup\\readme"), "");    // a prefix of a name
    EXPECT_EQ(FArchive->ReadEntryText("readme.txt"), "");       // a name in another folder
    EXPECT_EQ(FArchive->ReadEntryText("Setup\\VNT_Admin"), ""); // a folder
    TVnArchiveEntry entry;
    EXPECT_FALSE(FArchive->FindEntry("Setup\\Config\\x", entry));

    FArchive->ExtractFolder("Missing", FFolder / "out1");
    FArchive->ExtractFolder("Setup\\readme.txt", FFolder / "out2"); // a file
    FArchive->ExtractFile("Setup\\missing.txt", FFolder / "out3");
    FArchive->ExtractFile("Setup\\WWW", FFolder / "out4"); // a folder
    EXPECT_EQ(Listing(FFolder.Path()), std::vector<std::string>{"VNT_Setup.exe"});
}

TEST_F(ArchiveTest, ReadEntryWritesAtTheStreamPosition) {
    TVnStringStream stream("0123456789");
    stream.SetPosition(4);
    FArchive->ReadEntry("Setup\\readme.txt", stream);
    EXPECT_EQ(stream.DataString(), "0123Read me.\r\n");
}

TEST_F(ArchiveTest, ListsEveryEntryInArchiveOrder) {
    std::vector<std::string> lines;
    FArchive->ForEachEntry([&](const TVnArchiveEntry& entry) {
        lines.push_back((entry.IsFolder ? "folder " : "file ") + entry.Path +
                        (entry.IsFolder ? "" : " " + std::to_string(entry.Size)));
    });
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "file vnt64.bmp 2166", "file VNT_Setup.lng 3023", "folder Setup",
                         "folder Setup\\VNT_Admin", "file Setup\\VNT_Admin\\VNT_Admin.exe 250000",
                         "file Setup\\VNT_Admin\\VNT_Admin_en.chm 5000", "folder Setup\\Config",
                         "file Setup\\empty.txt 0", "file Setup\\readme.txt 10",
                         "folder Setup\\WWW", "file Setup\\WWW\\index.html 15"}));
}

TEST_F(ArchiveTest, ExtractFolderRecreatesTheTreeAndOverwrites) {
    std::string target = FFolder / "Target";
    WriteBytes(target + "\\readme.txt", "an older readme that is longer");
    WriteBytes(target + "\\mine.txt", "kept");

    FArchive->ExtractFolder("setup", target);

    EXPECT_EQ(Listing(target), (std::vector<std::string>{"Config", "VNT_Admin", "WWW", "empty.txt",
                                                         "mine.txt", "readme.txt"}));
    for (const TSample& file : SampleFiles()) {
        if (StartsWith(file.Path, "Setup\\")) {
            EXPECT_EQ(ReadBytes(target + "\\" + file.Path.substr(6)), file.Data) << file.Path;
        }
    }
    EXPECT_TRUE(Listing(target + "\\Config").empty());
    EXPECT_TRUE(PathExists(target + "\\empty.txt"));
    EXPECT_EQ(ReadBytes(target + "\\mine.txt"), "kept");

    std::string console = FFolder / "Console";
    FArchive->ExtractFolder("Setup\\VNT_Admin", console);
    EXPECT_EQ(Listing(console), (std::vector<std::string>{"VNT_Admin.exe", "VNT_Admin_en.chm"}));
}

TEST_F(ArchiveTest, EmptyPathStandsForTheWholeArchive) {
    std::string target = FFolder / "All";
    FArchive->ExtractFolder("", target);
    EXPECT_EQ(Listing(target), (std::vector<std::string>{"Setup", "VNT_Setup.lng", "vnt64.bmp"}));
    for (const TSample& file : SampleFiles())
        EXPECT_EQ(ReadBytes(target + "\\" + file.Path), file.Data) << file.Path;
}

TEST_F(ArchiveTest, ExtractFileNamesTheFileAfterTheLastComponent) {
    std::string target = FFolder / "a\\b";
    FArchive->ExtractFile("setup\\WWW\\Index.HTML", target);
    EXPECT_EQ(Listing(target), std::vector<std::string>{"Index.HTML"});
    EXPECT_EQ(ReadBytes(target + "\\Index.HTML"), SampleFiles()[6].Data);
    FArchive->ExtractFile("vnt64.bmp", target);
    EXPECT_EQ(ReadBytes(target + "\\vnt64.bmp"), SampleFiles()[0].Data);
}

// ---- Writing beside the inflation -----------------------------------------------------------

namespace {

constexpr size_t Block = TVnWritePipeline::BlockSize;

TVnDigest DigestOf(const std::string& data) {
    TVnDigestContext context;
    DigestInit(context);
    DigestUpdate(context, data.data(), data.size());
    TVnDigest digest;
    DigestFinal(context, digest);
    return digest;
}

// What an extraction reports of an entry.
using TReported = std::pair<std::string, TVnDigest>;

} // namespace

TEST(ArchiveWritingTest, FilesAroundTheBlockSizeArriveWholeAndAreReportedInOrderWithTheirMD5) {
    const size_t sizes[] = {0, 1, Block - 1, Block, Block + 1, 3 * Block + 5};
    std::vector<std::string> data;
    std::vector<TReported> expected;
    const std::string tail = ArchiveTail([&](TVnArchiveWriter& w) {
        for (size_t i = 0; i < std::size(sizes); ++i) {
            data.push_back(RandomBytes(sizes[i], unsigned(i)));
            w.AddFile("f" + std::to_string(i), data.back());
            w.BeginFolder("d" + std::to_string(i));
            w.EndFolder();
            expected.push_back({"f" + std::to_string(i), DigestOf(data.back())});
            expected.push_back({"d" + std::to_string(i), TVnDigest{}});
        }
    });
    TTempFolder folder;
    WriteBytes(folder / "setup.exe", UnsignedPackage(tail));
    std::vector<TReported> reported;
    TVnArchive(folder / "setup.exe", 128).ExtractFolder("", folder / "out", [&](const auto& entry) {
        reported.push_back({entry.Path, entry.Digest});
    });
    EXPECT_TRUE(reported == expected);
    for (size_t i = 0; i < data.size(); ++i)
        EXPECT_TRUE(ReadBytes(folder / ("out\\f" + std::to_string(i))) == data[i]) << sizes[i];
}

TEST(ArchiveWritingTest, AFailureOfTheWriterRaisesItsErrorInTheCallerAndLeavesTheFolderAsItWas) {
    // Something in the way of an entry that follows files of several blocks.
    const std::string tail = ArchiveTail([](TVnArchiveWriter& w) {
        w.AddFile("a.bin", RandomBytes(3 * Block + 5, 1));
        w.BeginFolder("d");
        w.AddFile("x.txt", "x");
        w.EndFolder();
        w.AddFile("z.bin", RandomBytes(3 * Block, 2));
        w.AddFile("after.txt", "after");
    });
    const struct {
        const char* Path;
        bool Folder;
    } obstacles[] = {{"d", false}, {"z.bin", true}};
    for (const auto& obstacle : obstacles) {
        SCOPED_TRACE(obstacle.Path);
        TTempFolder folder;
        WriteBytes(folder / "setup.exe", UnsignedPackage(tail));
        const std::string target = folder / "out\\";
        WriteBytes(target + "a.bin", "old");
        WriteBytes(target + obstacle.Path + (obstacle.Folder ? "\\mine.txt" : ""), "mine");
        const auto before = FolderContents(target);
        std::vector<std::string> reported;
        try {
            TVnArchive(folder / "setup.exe", 128).ExtractFolder("", target, [&](const auto& e) {
                reported.push_back(e.Path);
            });
            ADD_FAILURE() << "no exception";
        } catch (const EFCreateError& e) {
            const std::string path = ExpandFileName(target + obstacle.Path);
            EXPECT_TRUE(StartsWith(e.Message(), FormatText("Cannot create file \"%s\". ", path)))
                << e.Message();
        }
        EXPECT_TRUE(FolderContents(target) == before);
        EXPECT_TRUE(std::find(reported.begin(), reported.end(), "after.txt") == reported.end());
    }
}

TEST(ArchiveOpenTest, MissingFileRaisesTheOpenError) {
    TTempFolder folder;
    EXPECT_THROW(TVnArchive(folder / "none.exe", 128), EFOpenError);
}

// ---- Damaged archives ---------------------------------------------------------------------

namespace {

class DamagedArchiveTest : public testing::Test {
protected:
    // Runs action on an archive over the package bytes and expects the corrupted-file message.
    void ExpectCorrupted(const std::string& package,
                         const std::function<void(TVnArchive& archive)>& action) {
        std::string fileName = FFolder / "damaged.exe";
        WriteBytes(fileName, package);
        try {
            TVnArchive archive(fileName, 128);
            action(archive);
            ADD_FAILURE() << "no exception";
        } catch (const EVnException& e) {
            EXPECT_EQ(e.Message(), "File \"" + fileName + "\" corrupted");
        }
    }
    void ExpectBodyCorrupted(const std::string& body) {
        SCOPED_TRACE(testing::PrintToString(body));
        ExpectCorrupted(UnsignedPackage(WithLength(body)),
                        [&](TVnArchive& a) { a.ExtractFolder("", FFolder / "out"); });
        ExpectCorrupted(UnsignedPackage(WithLength(body)),
                        [](TVnArchive& a) { a.ForEachEntry([](const TVnArchiveEntry&) {}); });
    }

    TTempFolder FFolder;
};

} // namespace

TEST_F(DamagedArchiveTest, NamesThatCouldLeaveTheTargetAreRefusedBeforeWriting) {
    const std::string packed = Deflate("evil");
    const std::string names[] = {"",
                                 ".",
                                 "..",
                                 "a\\b",
                                 "a/b",
                                 "..\\x",
                                 "c:x",
                                 "x:",
                                 "tab\there",
                                 "\x1f",
                                 std::string("nul\0x", 5)};
    for (const std::string& bad : names) {
        SCOPED_TRACE(testing::PrintToString(bad));
        std::string target = FFolder / "t";
        ExpectCorrupted(
            UnsignedPackage(WithLength(RawFolder("Setup") + RawFile("first.txt", 4, packed) +
                                       RawFile(bad, 4, packed) + FolderEnd)),
            [&](TVnArchive& a) { a.ExtractFolder("Setup", target); });
        EXPECT_FALSE(VnPlatform::DirectoryExists(target)); // refused before the first byte
        // A folder of that name holding a file.
        ExpectCorrupted(UnsignedPackage(WithLength(RawFolder("Setup") + RawFolder(bad) +
                                                   RawFile("evil.txt", 4, packed))),
                        [&](TVnArchive& a) { a.ExtractFolder("Setup", target + "\\in"); });
        // A lookup walking past the name refuses too.
        ExpectCorrupted(UnsignedPackage(WithLength(RawFile(bad, 4, packed))),
                        [&](TVnArchive& a) { a.ReadEntryText("other"); });
        std::filesystem::remove_all(Native(target));
    }
    EXPECT_EQ(Listing(FFolder.Path()), std::vector<std::string>{"damaged.exe"});
}

TEST_F(DamagedArchiveTest, DamageAfterTheFirstFilesLeavesAnInstalledFolderAsItWas) {
    // The first file inflates; the second is cut short only once its stream is read.
    const std::string target = FFolder / "installed\\";
    WriteBytes(target + "a.txt", "old a");
    WriteBytes(target + "sub\\b.txt", "old b");
    const auto before = FolderContents(target);
    const std::string b = Deflate(RandomBytes(100000, 3));
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("a.txt", 5, Deflate("new a")) +
                                               RawFolder("sub") + RawFolder("new") +
                                               RawFile("b.txt", 100000, b.substr(0, b.size() / 2)) +
                                               FolderEnd + FolderEnd)),
                    [&](TVnArchive& a) { a.ExtractFolder("", target); });
    EXPECT_TRUE(FolderContents(target) == before);
}

TEST_F(DamagedArchiveTest, LengthFieldOutsideTheFile) {
    std::string body = RawFile("a.txt", 1, Deflate("a"));
    ExpectCorrupted("MZ" + body + LE32(uint32_t(body.size() + 3)) + std::string(128, '\0'),
                    [](TVnArchive&) {});
    ExpectCorrupted(body + LE32(0xFFFFFFFF) + std::string(128, '\0'), [](TVnArchive&) {});
    ExpectCorrupted(std::string(131, '\0'), [](TVnArchive&) {}); // no room for the tail
    ExpectCorrupted("", [](TVnArchive&) {});
}

TEST_F(DamagedArchiveTest, HeadersAndPackedDataPastTheBodyEnd) {
    const std::string packed = Deflate("hello");
    const std::string file = RawFile("a.txt", 5, packed);
    ExpectBodyCorrupted(file.substr(0, 1));               // kind only
    ExpectBodyCorrupted(file.substr(0, 4));               // name cut off
    ExpectBodyCorrupted(file.substr(0, 2 + 5 + 6));       // sizes cut off
    ExpectBodyCorrupted(file.substr(0, file.size() - 1)); // packed data cut off
    ExpectBodyCorrupted(RawFolder("Setup").substr(0, 4)); // folder name cut off
    // Packed data reaching into the length field and the signature: refused by lookups too.
    std::string body = std::string(1, '\0') + char(5) + "a.txt" + LE32(5) +
                       LE32(uint32_t(packed.size() + 4)) + packed;
    ExpectBodyCorrupted(body);
    ExpectCorrupted(UnsignedPackage(WithLength(body)),
                    [](TVnArchive& a) { a.ReadEntryText("b.txt"); });
}

TEST_F(DamagedArchiveTest, StreamsMustInflateToExactlyTheirSize) {
    const std::string data = RandomBytes(70000, 4) + std::string(70000, 'z');
    const std::string packed = Deflate(data);
    std::string target = FFolder / "out";
    auto extract = [&](TVnArchive& a) { a.ExtractFolder("", target); };
    const uint32_t size = uint32_t(data.size());

    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", size + 1, packed))), extract);
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", size - 1, packed))), extract);
    EXPECT_FALSE(PathExists(target)); // a failed extraction keeps nothing, its folder neither
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", 0, packed))), extract);
    EXPECT_FALSE(PathExists(target));

    // A stream cut short within its packed size, one with bytes after its end, garbage, and
    // raw deflate data without the zlib header.
    ExpectCorrupted(
        UnsignedPackage(WithLength(RawFile("f", size, packed.substr(0, packed.size() - 3)))),
        extract);
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", size, packed + "xx"))), extract);
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", 5, RandomBytes(40, 5)))), extract);
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", size, packed.substr(2)))), extract);
    // The same through ReadEntry.
    ExpectCorrupted(UnsignedPackage(WithLength(RawFile("f", size + 1, packed))),
                    [](TVnArchive& a) { a.ReadEntryText("f"); });
}

TEST_F(DamagedArchiveTest, PathsLongerThanAWindowsPathAreRefused) {
    // Walks only: on Windows, extracting such folders fails on the target's length first.
    auto walk = [](TVnArchive& a) {
        a.ForEachEntry([](const TVnArchiveEntry&) {});
        a.ReadEntryText("missing");
    };
    const std::string packed = Deflate("x");
    std::string longest = RawFolder(std::string(255, 'a')) + RawFile("bcd", 1, packed);
    std::string fileName = FFolder / "long.exe";
    WriteBytes(fileName, UnsignedPackage(WithLength(longest)));
    EXPECT_EQ(TVnArchive(fileName, 128).ReadEntryText(std::string(255, 'a') + "\\bcd"), "x");
    ExpectCorrupted(
        UnsignedPackage(WithLength(RawFolder(std::string(255, 'a')) + RawFile("bcde", 1, packed))),
        walk);

    // Deep nesting in a damaged file ends in a message, not in a crash.
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += RawFolder("a");
    ExpectCorrupted(UnsignedPackage(WithLength(nested)), walk);
    WriteBytes(fileName, UnsignedPackage(WithLength(nested)));
    EXPECT_THROW(TVnArchive(fileName, 128).ExtractFolder("", FFolder / "deep"), Exception);
}

TEST_F(DamagedArchiveTest, EndMarkersAndUnknownKindsFollowTheFormat) {
    // A stray end-of-folder byte ends the top level; kinds other than 0 and 2 are folders;
    // a folder left open ends at the body end.
    const std::string packed = Deflate("1");
    std::string body = RawFile("one", 1, packed) + FolderEnd + RawFile("two", 1, packed);
    WriteBytes(FFolder / "stray.exe", UnsignedPackage(WithLength(body)));
    TVnArchive stray(FFolder / "stray.exe", 128);
    EXPECT_EQ(stray.ReadEntryText("one"), "1");
    EXPECT_EQ(stray.ReadEntryText("two"), "");

    body = std::string(1, '\x07') + char(1) + "d" + RawFile("in", 1, packed);
    WriteBytes(FFolder / "open.exe", UnsignedPackage(WithLength(body)));
    TVnArchive open(FFolder / "open.exe", 128);
    EXPECT_EQ(open.ReadEntryText("d\\in"), "1");
}

TEST_F(DamagedArchiveTest, RandomDamageNeverCrashes) {
    // Damage the sample archive's body in random places; every outcome must be a clean success
    // or an exception, and nothing may be written outside the target.
    const std::string tail = SampleTail();
    std::mt19937 random(2024);
    std::string fileName = FFolder / "random.exe", target = FFolder / "x\\out";
    for (int round = 0; round < 300; ++round) {
        std::string damaged = tail;
        int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the headers near the front and back, sometimes anywhere.
            size_t at = random() % 2 ? random() % 64 : random() % (damaged.size() - 4);
            damaged[at] = char(random());
        }
        if (round % 5 == 0)
            damaged = WithLength(damaged.substr(0, random() % (damaged.size() - 4)));
        WriteBytes(fileName, UnsignedPackage(damaged));
        try {
            TVnArchive archive(fileName, 128);
            archive.ForEachEntry([](const TVnArchiveEntry&) {});
            archive.ExtractFolder("", target);
        } catch (const Exception&) {
        }
    }
    EXPECT_EQ(Listing(FFolder.Path()), (std::vector<std::string>{"random.exe", "x"}));
    EXPECT_EQ(Listing(FFolder / "x"), std::vector<std::string>{"out"});
}
