// Installations that fail at every write and every move they make: afterwards the folder is as
// it was, with no temporary file left, and the next run succeeds.
#include <algorithm>
#include <filesystem>
#include <map>

#include "FaultyPlatform.h"
#include "PackageTestSupport.h"
#include "SetupTestSupport.h"
#include "VnArchiveWriter.h"
#include "VnCp1251.h"
#include "VnExtraction.h"
#include "VnSignature.h"
#include "VnUnpack.h"
#include "VnUpgradeFixture.h"

namespace {

using TContents = std::map<std::string, std::string>;

const TContents OldSetup = {
    {"VantroMS.exe", "old server"},    {"VNT_Monitor.exe", "old monitor"},
    {"readme.txt", "old readme"},      {"VNT_Admin\\VNT_Admin.exe", "old console"},
    {"WWW\\retired.html", "old page"},
};
// Replaces every old file but one, adds files and folders, has a file larger than one write and
// a file named like a temporary.
const TContents NewSetup = {
    {"VantroMS.exe", RandomBytes(600000, 7)},
    {"VNT_Monitor.exe", "new monitor"},
    {"readme.txt", "new readme"},
    {"VNT_Admin\\VNT_Admin.exe", "new console"},
    {"VNT_Admin\\VNT_Admin_en.chm", "help"},
    {"WWW\\vantroms_default.html", "new page"},
    {"Lang\\ru\\VNT_ru.lng", "deep"},
    {"~vn1.tmp", "named like a temporary"},
};

std::string MakePackage(const TTempFolder& scratch, const std::string& name,
                        const TContents& setup) {
    const std::string payload = scratch / (name + "\\");
    for (const auto& [path, bytes] : setup)
        WriteBytes(payload + "Setup\\" + path, bytes);
    WriteBytes(scratch / "stub.exe", "MZ stub");
    WritePackage(scratch / "stub.exe", payload, scratch / (name + ".exe"), TestKeySigner());
    return scratch / (name + ".exe");
}

bool Extract(const std::string& package, const std::string& folder) {
    try {
        TVnArchive archive(package, SignatureSize);
        ExtractPackageFolder(archive, "Setup", folder, TVnExtractionTexts(), {});
        return true;
    } catch (const Exception&) {
        return false;
    }
}

// The paths in which two listings differ, for the failure message.
std::string Differences(const TContents& expected, const TContents& actual) {
    std::string text;
    for (const auto& [path, bytes] : expected)
        if (!actual.count(path) || actual.at(path) != bytes)
            text += " changed or missing: " + path;
    for (const auto& entry : actual)
        if (!expected.count(entry.first))
            text += " added: " + entry.first;
    return text;
}

// What the new package leaves in a folder that held the old one (or nothing).
TContents Installed(bool overOld) {
    TContents contents;
    for (const TContents* setup : {overOld ? &OldSetup : nullptr, &NewSetup})
        for (const auto& [path, bytes] : setup ? *setup : TContents{}) {
            std::string key = path;
            std::replace(key.begin(), key.end(), '\\', '/');
            contents[key] = bytes;
            for (size_t slash = key.find('/'); slash != std::string::npos;
                 slash = key.find('/', slash + 1))
                contents[key.substr(0, slash)] = "<folder>";
        }
    return contents;
}

class AllOrNothingTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        OldPackage = MakePackage(Scratch, "old", OldSetup);
        NewPackage = MakePackage(Scratch, "new", NewSetup);
    }
    void TearDown() override {
        ArmFault(TFaultKind::Write, 0);
        SimulateInUse("");
    }
    // Programs\Vantro\ below Root: over the old installation, or in folders yet to be made.
    void Prepare() {
        std::filesystem::remove_all(Root.Path() + "Programs");
        if (GetParam()) {
            ASSERT_TRUE(Extract(OldPackage, Folder()));
        }
    }
    std::string Folder() const { return Root / "Programs\\Vantro\\"; }

    TTempFolder Scratch, Root;
    std::string OldPackage, NewPackage;
};

} // namespace

TEST_P(AllOrNothingTest, EveryFailedWriteOrMoveLeavesTheFolderAsItWas) {
    for (TFaultKind kind : {TFaultKind::Write, TFaultKind::Move}) {
        SCOPED_TRACE(kind == TFaultKind::Write ? "write" : "move");
        Prepare();
        const TContents before = FolderContents(Root.Path());
        unsigned n = 1;
        for (;; ++n) {
            ArmFault(kind, n);
            const bool done = Extract(NewPackage, Folder());
            const bool hit = FaultHit();
            ArmFault(kind, 0);
            if (!hit) {
                ASSERT_TRUE(done) << "a clean run after " << n - 1 << " failed ones";
                break;
            }
            EXPECT_FALSE(done) << n;
            const TContents after = FolderContents(Root.Path());
            ASSERT_TRUE(after == before) << "call " << n << ":" << Differences(before, after);
        }
        // Every file is written at least once and moved into place: the faults reached them all.
        EXPECT_GT(n, NewSetup.size());
        const TContents installed = FolderContents(Folder());
        EXPECT_TRUE(installed == Installed(GetParam()))
            << Differences(Installed(GetParam()), installed);
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, AllOrNothingTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "OverAnOldInstallation" : "IntoNewFolders";
                         });

namespace {

class FailedFolderPageTest : public WizardTest {
protected:
    void TearDown() override {
        ArmFault(TFaultKind::Write, 0);
        SimulateInUse("");
        WizardTest::TearDown();
    }
    // The demo program files with one changed, so that a replacement would show, databases of
    // an older version (kept as .bak by the upgrade) and a damaged console configuration (kept
    // as .bak and replaced).
    void OldInstallation() {
        std::filesystem::remove_all(Target.Path() + "Vantro");
        TVnArchive archive(DemoPackage(), SignatureSize);
        ExtractPackageFolder(archive, "Setup", Folder(), TVnExtractionTexts(), {});
        WriteBytes(Folder() + "VantroMS.exe", "old server");
        WriteBytes(Folder() + "Config\\server.cfg",
                   VnFixture::WriteDatabase(VnFixture::ServerTables(), 2039));
        WriteBytes(Folder() + "Config\\state.cfg",
                   VnFixture::WriteDatabase(VnFixture::StateTables(), 2039));
        WriteBytes(Folder() + "VNT_Admin\\VNT_Admin.cfg", "<vnt-db ver=\"3.08\"><table");
        Before = Now();
    }
    // A new form on the folder page, as after starting the setup again.
    void Restart() {
        Application = std::make_unique<TVnComponent>(nullptr);
        RestoreProcessState(OldDirectory);
        Services.Messages.clear();
        Start();
        GoToFolderPage();
    }
    // The administrator page's answers: the first user, a new password.
    void AnswerAdminPage() {
        if (Form->cobAdmin->ItemIndex() < 0)
            Form->cobAdmin->Select(0);
        if (!Form->chbPassword->Checked())
            Form->chbPassword->Click();
        Form->edtPassword->Type("n3w");
        Form->edtConfirm->Type("n3w");
    }
    std::string Folder() const { return Target / "Vantro\\"; }
    // The folder without the log of the run.
    TContents Now() const {
        TContents contents = FolderContents(Folder());
        contents.erase("VNT_Setup.log");
        return contents;
    }
    TContents Before;
};

bool IsTemporary(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return name.compare(0, 3, "~vn") == 0 || EndsWith(name, ".tmp");
}

} // namespace

TEST_F(FailedFolderPageTest, EveryFailedWriteOrMoveOfAWholeInstallationLeavesOldOrNewFiles) {
    OldInstallation();
    Restart();
    ASSERT_TRUE(InstallInto(Folder()));
    AnswerAdminPage();
    Next();
    const TContents after = Now();
    ASSERT_EQ(after.at("Config/server.cfg.bak"), Before.at("Config/server.cfg"));
    ASSERT_EQ(after.at("VNT_Admin/VNT_Admin.cfg.bak"), Before.at("VNT_Admin/VNT_Admin.cfg"));

    for (TFaultKind kind : {TFaultKind::Write, TFaultKind::Move}) {
        SCOPED_TRACE(kind == TFaultKind::Write ? "write" : "move");
        unsigned n = 1;
        for (;; ++n) {
            SCOPED_TRACE(n);
            OldInstallation();
            Restart();
            ArmFault(kind, n);
            bool failed = false; // a page failed at the armed call and was repeated
            if (!InstallInto(Folder())) {
                failed = true;
                // The folder page failed: nothing of the new program files is there.
                ASSERT_TRUE(FaultHit());
                ASSERT_EQ(TfrmMain::pgFolder, Form->PageIndex());
                ASSERT_TRUE(Now() == Before) << Differences(Before, Now());
                EXPECT_EQ(1u, Services.Messages.size());
                ArmFault(kind, 0);
                Next();
            }
            ASSERT_EQ(TfrmMain::pgAdmin, Form->PageIndex());
            AnswerAdminPage();
            if (!Press(*Form->btnNext)) {
                failed = true;
                // The administrator page failed: every program file is new, the two databases
                // are both old or both new, and no file is anything but its old or new self.
                ASSERT_TRUE(FaultHit());
                const TContents now = Now();
                for (const auto& [path, bytes] : now) {
                    EXPECT_FALSE(IsTemporary(path)) << path;
                    EXPECT_TRUE((after.count(path) && after.at(path) == bytes) ||
                                (Before.count(path) && Before.at(path) == bytes))
                        << path;
                }
                for (const auto& [path, bytes] : after) {
                    const bool programFile = path.compare(0, 7, "Config/") != 0 &&
                                             path.find(".cfg") == std::string::npos;
                    EXPECT_TRUE(!programFile || (now.count(path) && now.at(path) == bytes)) << path;
                }
                const bool oldDatabases =
                    now.at("Config/server.cfg") == Before.at("Config/server.cfg");
                EXPECT_EQ(oldDatabases,
                          now.at("Config/state.cfg") == Before.at("Config/state.cfg"));
                ArmFault(kind, 0);
                Next();
            }
            ASSERT_EQ(TfrmMain::pgFinish, Form->PageIndex());
            Next();
            const bool hit = failed || FaultHit();
            ArmFault(kind, 0);
            // Whatever failed on the way, the retries leave the installation of a clean run.
            ASSERT_TRUE(Now() == after) << Differences(after, Now());
            if (!hit)
                break;
        }
        EXPECT_GT(n, 20u); // the faults reached extraction, databases and console
    }
}

TEST_F(FailedFolderPageTest, AFileInUseIsNamedWithItsProgramInTheUsersLanguage) {
    OldInstallation();
    Services.PrimaryLanguage = 0x19; // Russian
    Start();
    GoToFolderPage();
    const std::string server = ExpandFileName(Folder()) + "VantroMS.exe";
    SimulateInUse(server);
    EXPECT_FALSE(InstallInto(Folder()));
    EXPECT_EQ(LastMessage(), VN_CP1251("Файл \"") + server +
                                 VN_CP1251("\" используется. Остановите программу, которая его "
                                           "использует, и снова нажмите \"Установить\"."));
    SimulateInUse(server, "Vantro Mail Server");
    EXPECT_FALSE(InstallInto(Folder()));
    EXPECT_EQ(LastMessage(), VN_CP1251("Файл \"") + server +
                                 VN_CP1251("\" используется программой Vantro Mail Server. "
                                           "Остановите её и снова нажмите \"Установить\"."));
    EXPECT_EQ(TfrmMain::pgFolder, Form->PageIndex());
    EXPECT_TRUE(Now() == Before) << Differences(Before, Now());
    SimulateInUse("");
    Next();
    EXPECT_EQ(TfrmMain::pgAdmin, Form->PageIndex());
}
