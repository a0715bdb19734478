// Crafted packages, signed with the test key, through every way the setup extracts: vntsetup
// extract, vntsetup install (the unattended wizard) and the wizard's own folder action. Each is
// refused with its message, and nothing is written anywhere: not the target, not beside it.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <zlib.h>

#include "PackageTestSupport.h"
#include "VnCommands.h"
#include "VnExitCodes.h"
#include "VnExtraction.h"
#include "VnPackageFile.h"
#include "VnSetupMain.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnUnattended.h"
#include "fMain.h"

namespace {

const uint32_t Bomb = 1u << 30; // 1 GiB of zeros, its size told truthfully

// The zlib stream of `size` zeros, deflated piecewise so that the zeros never sit in memory.
std::string DeflatedZeros(uint32_t size) {
    z_stream stream{};
    if (deflateInit(&stream, 9) != Z_OK)
        throw std::runtime_error("deflateInit failed");
    const std::string zeros(1 << 20, '\0');
    std::string packed, out(1 << 16, '\0');
    uint32_t left = size;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && left > 0) {
            const uint32_t count = std::min<uint32_t>(left, zeros.size());
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
            stream.avail_in = count;
            left -= count;
        }
        stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
        stream.avail_out = uInt(out.size());
        status = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        packed.append(out, 0, out.size() - stream.avail_out);
    }
    deflateEnd(&stream);
    return packed;
}

std::string File(const std::string& name, const std::string& data) {
    return RawFile(name, uint32_t(data.size()), Deflate(data));
}

// A package the wizard can start on: its own language file and image (the lookups of start-up
// end there), then the Setup folder's entries.
std::string SetupPackage(const std::string& setupEntries, const std::string& language = "") {
    static const std::string languageFile = ReadBytes(SourcePath("payload/VNT_Setup.lng"));
    static const std::string image = ReadBytes(SourcePath("payload/vnt64.bmp"));
    const std::string lng = language.empty() ? File("VNT_Setup.lng", languageFile) : language;
    return SignedPackage(WithLength(lng + File("vnt64.bmp", image) + RawFolder("Setup") +
                                    File("readme.txt", "Read me.") + setupEntries + FolderEnd));
}

std::string Named(const std::string& name) {
    return File(name, "payload");
}

enum class TRefusal { Corrupted, NoSpace };

struct TCase {
    const char* Title;
    std::function<std::string()> Package;
    TRefusal Refusal;
    bool AtStartup = false; // an entry the setup reads into memory: refused before any page
};

const std::vector<TCase>& Corpus() {
    static const std::vector<TCase> cases = {
        {"DotsOnly", [] { return SetupPackage(Named("...")); }, TRefusal::Corrupted},
        {"DotsFolderEscape",
         [] {
             return SetupPackage(RawFolder("...") + RawFolder("...") + Named("x.txt") + FolderEnd +
                                 FolderEnd);
         },
         TRefusal::Corrupted},
        {"DotsAndBlank", [] { return SetupPackage(Named(".. ")); }, TRefusal::Corrupted},
        {"Com1", [] { return SetupPackage(Named("COM1")); }, TRefusal::Corrupted},
        {"Com1WithExtension", [] { return SetupPackage(Named("com1.log")); }, TRefusal::Corrupted},
        {"ComSuperscriptOne", [] { return SetupPackage(Named("COM\xB9")); }, TRefusal::Corrupted},
        {"LptSuperscriptTwo", [] { return SetupPackage(Named("lpt\xB2.txt")); },
         TRefusal::Corrupted},
        {"Lpt1TrailingDot", [] { return SetupPackage(Named("lpt1.")); }, TRefusal::Corrupted},
        {"NulTrailingBlank", [] { return SetupPackage(Named("NUL ")); }, TRefusal::Corrupted},
        {"AuxBlankBeforeExtension", [] { return SetupPackage(Named("Aux .txt")); },
         TRefusal::Corrupted},
        {"ConoutDollar", [] { return SetupPackage(Named("CONOUT$")); }, TRefusal::Corrupted},
        {"ConinDollarFolder",
         [] { return SetupPackage(RawFolder("conin$") + Named("x") + FolderEnd); },
         TRefusal::Corrupted},
        {"LessThan", [] { return SetupPackage(Named("a<b")); }, TRefusal::Corrupted},
        {"Pipe", [] { return SetupPackage(Named("a|b")); }, TRefusal::Corrupted},
        {"Question", [] { return SetupPackage(Named("why?")); }, TRefusal::Corrupted},
        {"Quote", [] { return SetupPackage(Named("a\"b")); }, TRefusal::Corrupted},
        {"TrailingDot", [] { return SetupPackage(Named("x.")); }, TRefusal::Corrupted},
        {"TrailingBlank", [] { return SetupPackage(Named("x ")); }, TRefusal::Corrupted},
        {"DuplicateInOtherCase",
         [] { return SetupPackage(Named("Guide.txt") + Named("GUIDE.TXT")); }, TRefusal::Corrupted},
        {"DuplicateOfTheFirstEntry", [] { return SetupPackage(Named("README.txt")); },
         TRefusal::Corrupted},
        {"FileAndFolderOfOneName",
         [] { return SetupPackage(RawFolder("WWW") + Named("a") + FolderEnd + Named("www")); },
         TRefusal::Corrupted},
        {"DecompressionBomb",
         [] {
             static const std::string packed = DeflatedZeros(Bomb);
             return SetupPackage(RawFile("big.bin", Bomb, packed));
         },
         TRefusal::NoSpace},
        {"LanguageFileOf20MiB",
         [] { return SetupPackage("", File("VNT_Setup.lng", std::string(20 << 20, '<'))); },
         TRefusal::Corrupted, true},
    };
    return cases;
}

enum class TRoute { Extract, Install, Wizard };

std::vector<std::string> Listing(std::string folder) {
#ifndef _WIN32
    std::replace(folder.begin(), folder.end(), '\\', '/');
#endif
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class PackageCorpusTest : public testing::TestWithParam<std::tuple<size_t, TRoute>> {
protected:
    void SetUp() override {
        // A volume of 100 MiB: the bomb's truthful size does not fit it.
        FSavedQuery = FreeSpaceQuery();
        FreeSpaceQuery() = [](const std::string&, uint64_t& bytes) {
            bytes = 100 << 20;
            return true;
        };
    }
    void TearDown() override { FreeSpaceQuery() = FSavedQuery; }

    // Runs the route; answers the messages it showed (or raised).
    std::string Run(TRoute route, const std::string& package, const std::string& target) {
        std::string messages;
        TVnConsoleServices services([&](const std::string& line) { messages += line + "\n"; });
        switch (route) {
        case TRoute::Extract:
            try {
                CmdExtract({package, "Setup", target});
                ADD_FAILURE() << "extracted";
            } catch (const Exception& e) {
                messages = e.what();
            }
            break;
        case TRoute::Install: {
            TVnInstallAnswers answers;
            answers.Folder = target;
            answers.Language = "en";
            answers.HasPassword = true;
            answers.Password = "pw";
            EXPECT_EQ(RunUnattended(package, answers, services, [](const std::string&) {}),
                      VnExitCode::Fatal);
            break;
        }
        case TRoute::Wizard: {
            TVnUIServicesScope scope(services);
            bool stayed = false;
            const int exitCode = RunSetup(package, [&](TfrmMain& form) {
                form.ShowPage(TfrmMain::pgFolder);
                form.edtFolder->SetText(target);
                stayed =
                    !RunEvent([&] { form.NextClick(); }) && form.PageIndex() == TfrmMain::pgFolder;
            });
            // Refused at start-up: a failure; at the folder page: the wizard closed before its end.
            EXPECT_EQ(exitCode, Corpus()[std::get<0>(GetParam())].AtStartup ? VnExitCode::Fatal
                                                                            : VnExitCode::Cancelled)
                << messages;
            EXPECT_EQ(stayed, !Corpus()[std::get<0>(GetParam())].AtStartup);
            break;
        }
        }
        return messages;
    }

    TTempFolder FFolder;
    TVnFreeSpaceQuery FSavedQuery;
};

std::string CaseName(const testing::TestParamInfo<PackageCorpusTest::ParamType>& info) {
    const char* const routes[] = {"Extract", "Install", "Wizard"};
    return std::string(Corpus()[std::get<0>(info.param)].Title) + "_" +
           routes[int(std::get<1>(info.param))];
}

TEST_P(PackageCorpusTest, RefusedWithItsMessageAndNothingWritten) {
    const TCase& crafted = Corpus()[std::get<0>(GetParam())];
    const TRoute route = std::get<1>(GetParam());
    if (crafted.AtStartup && route == TRoute::Extract)
        GTEST_SKIP() << "vntsetup extract writes the language file to disk, not to memory";
    const std::string package = ExpandFileName(FFolder / "setup.exe"), target = FFolder / "target";
    WriteBytes(package, crafted.Package());
    const std::string messages = Run(route, package, target);
    if (crafted.Refusal == TRefusal::Corrupted) {
        EXPECT_NE(messages.find(FileCorruptedMessage(package)), std::string::npos) << messages;
    } else { // needed (the bomb and "Read me.") and free, in kilobytes
        EXPECT_NE(messages.find("1 048 577"), std::string::npos) << messages;
        EXPECT_NE(messages.find("102 400"), std::string::npos) << messages;
    }
    EXPECT_EQ(Listing(FFolder.Path()), std::vector<std::string>{"setup.exe"});
}

INSTANTIATE_TEST_SUITE_P(Crafted, PackageCorpusTest,
                         testing::Combine(testing::Range<size_t>(0, Corpus().size()),
                                          testing::Values(TRoute::Extract, TRoute::Install,
                                                          TRoute::Wizard)),
                         CaseName);

// The package is read through the file that was checked: on Windows nobody can write, rename
// or delete it while the setup holds it; on POSIX a file put in place under its name afterwards
// is not the one read.
TEST(PackageFileTest, TheCheckedBytesAreTheBytesExtracted) {
    TTempFolder folder;
    const std::string package = folder / "setup.exe", other = folder / "other.exe";
    WriteBytes(package, SetupPackage(File("which.txt", "checked")));
    WriteBytes(other, SetupPackage(File("which.txt", "swapped")));
    TVnKeyRecord key;
    TestPublicKey(key);
    TVnPackageFile file(package);
    ASSERT_TRUE(file.CheckSignature(key));
#ifdef _WIN32
    EXPECT_EQ(VnPlatform::CreateFileRW(package), VnPlatform::InvalidFile);
    EXPECT_FALSE(VnPlatform::ReplaceFile(other, package));
    EXPECT_FALSE(VnPlatform::DeleteFile(package));
#else
    ASSERT_TRUE(VnPlatform::ReplaceFile(other, package));
#endif
    TVnArchive archive(file, 128);
    EXPECT_EQ(archive.ReadEntryText("Setup\\which.txt"), "checked");
    archive.ExtractFolder("Setup", folder / "target");
    EXPECT_EQ(ReadBytes(folder / "target\\which.txt"), "checked");
}

#ifdef _WIN32
// The wizard holds its package from the check to its end: no writer gets in meanwhile.
TEST(PackageFileTest, TheWizardHoldsItsPackage) {
    TTempFolder folder;
    const std::string package = folder / "setup.exe";
    WriteBytes(package, SetupPackage(""));
    std::string messages;
    TVnConsoleServices services([&](const std::string& line) { messages += line + "\n"; });
    TVnUIServicesScope scope(services);
    bool held = false;
    EXPECT_EQ(RunSetup(package,
                       [&](TfrmMain&) {
                           const VnPlatform::FileHandle writer = VnPlatform::CreateFileRW(package);
                           held = writer == VnPlatform::InvalidFile;
                           if (!held)
                               VnPlatform::CloseFile(writer);
                       }),
              VnExitCode::Cancelled)
        << messages;
    EXPECT_TRUE(held);
}
#endif

} // namespace
