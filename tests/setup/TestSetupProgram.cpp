// VNT_Setup.exe's command line run over the demo package: silent installs, answer files, the log's
// copy and the exit codes.
#include "PackageTestSupport.h"
#include "SetupTestSupport.h"
#include "VnCrypt.h"
#include "VnExitCodes.h"
#include "VnPlatform.h"
#include "VnRunEvents.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"
#include "fMain.h"

namespace {

const char* const Password = "S3cret pw";

class SetupProgramTest : public testing::Test {
protected:
    void SetUp() override { WriteBytes(PasswordFile, std::string(Password) + "\r\n"); }
    void TearDown() override { RestoreProcessState(FOldDirectory); }

    // The program over package with the words; the window's loop closes the wizard unfinished.
    int Run(std::vector<std::string> words, const std::string& package = DemoPackage()) {
        TVnSetupFrontEnd frontEnd;
        frontEnd.WindowServices = &Services;
        frontEnd.MessageLoop = [this](TfrmMain& form) {
            ++WindowRuns;
            WindowStart = AnswersOfForm(form);
            form.Close();
        };
        frontEnd.ShowProgress = [this](const std::string&, int, int) { ++ProgressCalls; };
        return RunSetupProgram(package, words, frontEnd);
    }
    std::string Dir(const std::string& name) const { return "/DIR=" + Target / name; }
    // Nothing of the password, plain or encoded, in the file.
    void ExpectNoPassword(const std::string& file) const {
        const std::string text = ReadBytes(file);
        EXPECT_FALSE(text.empty()) << file;
        EXPECT_EQ(std::string::npos, text.find(Password)) << file;
        EXPECT_EQ(std::string::npos, text.find(EncodePassword(Password))) << file;
    }

    TScriptServices Services;
    int WindowRuns = 0, ProgressCalls = 0;
    TVnInstallAnswers WindowStart; // what the window's pages began with
    TTempFolder Target;
    const std::string PasswordFile = Target / "pw.txt";
    const std::string Quiet[2] = {"/VERYSILENT", "/SUPPRESSMSGBOXES"};
    std::string FOldDirectory = VnPlatform::CurrentDirectory();
};

TEST_F(SetupProgramTest, VerySilentInstallSavesAnswersThatInstallTheSameElsewhere) {
    const std::string log = Target / "logs\\first.log", inf = Target / "answers.inf";
    ASSERT_EQ(VnExitCode::Success,
              Run({Quiet[0], Quiet[1], Dir("one"), "/LANG=ru", "/TASKS=!service",
                   "/PASSWORDFILE=" + PasswordFile, "/LOG=" + log, "/SAVEINF=" + inf}));
    EXPECT_EQ(0, WindowRuns);
    EXPECT_EQ(0, ProgressCalls);
    EXPECT_TRUE(Services.Messages.empty());
    const std::string one = ExpandFileName(Target / "one") + "\\";
    EXPECT_NE(std::string::npos,
              ReadBytes(one + "Config\\server.cfg").find(EncodePassword(Password)));
    ASSERT_EQ(1u, Services.Started.size());
    EXPECT_EQ("\"" + one + "VNT_Monitor.exe\" /start", Services.Started[0]);
    EXPECT_EQ(ReadBytes(one + "VNT_Setup.log"), ReadBytes(log));
    EXPECT_EQ(
        "[Setup]\r\nDir=" + one +
            "\r\nLang=ru\r\nType=full\r\nTasks=start,!service\r\nAdmin=admin@domain.local\r\n",
        ReadBytes(inf));

    // The answers into another folder under /SILENT, the progress window's mode.
    const std::string again = Target / "again.inf";
    ASSERT_EQ(VnExitCode::Success, Run({"/SILENT", "/LOADINF=" + inf, Dir("two"),
                                        "/PASSWORDFILE=" + PasswordFile, "/SAVEINF=" + again}));
    EXPECT_GT(ProgressCalls, 0);
    const std::string two = ExpandFileName(Target / "two") + "\\";
    std::string expected = ReadBytes(inf);
    expected.replace(expected.find(one), one.size(), two);
    EXPECT_EQ(expected, ReadBytes(again));
    EXPECT_EQ(FolderContents(one + "WWW"), FolderContents(two + "WWW"));
    EXPECT_EQ(ReadBytes(one + "VNT_Admin\\VNT_Admin.cfg"),
              ReadBytes(two + "VNT_Admin\\VNT_Admin.cfg"));
    for (const std::string& file : {log, inf, again, two + "VNT_Setup.log"})
        ExpectNoPassword(file);
}

TEST_F(SetupProgramTest, RefusalsEndWithTheirCodesAndWriteNothingButTheLogCopy) {
    std::string damaged = ReadBytes(DemoPackage());
    damaged[damaged.size() / 2] ^= 0x01;
    WriteBytes(Target / "damaged.exe", damaged);
    const std::string log = Target / "refused.log";
    const struct {
        std::vector<std::string> Words;
        std::string Package;
        int ExitCode;
        std::string Logged;
    } cases[] = {
        {{"/NOSUCH"}, "", VnExitCode::BadSwitch, "Unknown switch /NOSUCH."},
        {{"/PASSWORDFILE=" + Target / "none.txt"}, "", VnExitCode::BadSwitch, "cannot be read."},
        {{}, "", VnExitCode::BadSwitch, "the administrator's password is required."},
        {{"/PASSWORDFILE=" + PasswordFile, "/ADMIN=nobody@nowhere"},
         "",
         VnExitCode::BadSwitch,
         "User \"nobody@nowhere\" is not in the list of users."},
        {{"/PASSWORDFILE=" + PasswordFile},
         Target / "damaged.exe",
         VnExitCode::Fatal,
         "corrupted."},
        {{"/PASSWORDFILE=" + PasswordFile, "/SAVEINF=" + Target / "none\\a.inf"},
         "",
         VnExitCode::BadSwitch,
         "a.inf\" cannot be written."},
        {{"/PASSWORDFILE=" + PasswordFile, Dir("windows-root"), "/DIR=/"},
         "",
         VnExitCode::BadSwitch,
         "is a folder of the system or a link: choose another."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = {Quiet[0], Quiet[1], Dir("x"), "/LOG=" + log};
        words.insert(words.end(), c.Words.begin(), c.Words.end());
        VnPlatform::DeleteFile(log);
        EXPECT_EQ(c.ExitCode, Run(words, c.Package.empty() ? DemoPackage() : c.Package))
            << c.Logged;
        EXPECT_TRUE(EndsWith(ReadBytes(log), c.Logged + "\r\n")) << ReadBytes(log);
        EXPECT_FALSE(PathExists(Target / "x"));
    }
    EXPECT_TRUE(Services.Messages.empty());

    // Another run holds the product's mutex.
    const VnPlatform::MutexHandle other = VnPlatform::HoldNamedMutex(SetupMutexName);
    ASSERT_NE(VnPlatform::InvalidMutex, other);
    EXPECT_EQ(VnExitCode::AnotherSetupRunning, Run({Quiet[0], Quiet[1], Dir("x")}));
    EXPECT_EQ(VnExitCode::AnotherSetupRunning, Run({}));
    VnPlatform::ReleaseNamedMutex(other);
    EXPECT_EQ(0, WindowRuns);
    EXPECT_FALSE(PathExists(Target / "x"));
}

TEST_F(SetupProgramTest, TheWindowReturnsItsCodesAndSilentRunsShowMessagesUnlessSuppressed) {
    EXPECT_EQ(VnExitCode::Cancelled, Run({Dir("w"), "/LANG=ru", "/TYPE=console", "/TASKS=!start"}));
    EXPECT_EQ(1, WindowRuns);
    EXPECT_EQ(Target / "w", WindowStart.Folder);
    EXPECT_EQ("ru", WindowStart.Language);
    EXPECT_TRUE(WindowStart.ConsoleOnly);
    EXPECT_FALSE(WindowStart.StartServer);
    EXPECT_EQ(VnExitCode::Success, Run({"/?"}));
    ASSERT_EQ(1u, Services.Messages.size());
    EXPECT_TRUE(StartsWith(Services.Messages[0].Text, "VNT_Setup.exe [/SILENT | /VERYSILENT]"));
    EXPECT_EQ(VnExitCode::BadSwitch, Run({"/VERYSILENT", Dir("y")}));
    ASSERT_EQ(2u, Services.Messages.size());
    EXPECT_TRUE(EndsWith(Services.Messages[1].Text, "the administrator's password is required."));
    EXPECT_EQ(1, WindowRuns);
}

TEST_F(SetupProgramTest, EveryRunThatEndsLeavesOneEventAndHelpNone) {
    std::vector<TVnRunEvent> events;
    const TVnEventSink kept = RunEventSink();
    RunEventSink() = [&](const TVnRunEvent& event, const std::string&) { events.push_back(event); };
    const std::string folder = ExpandFileName(Target / "ev") + "\\";
    const std::string log = ExpandFileName(folder + "VNT_Setup.log"),
                      logFolder = ExtractFilePath(log);
    const auto removal = [&](std::vector<std::string> words) {
        TVnSetupFrontEnd frontEnd;
        frontEnd.WindowServices = &Services;
        return RunUninstallProgram(folder, words, frontEnd);
    };
    const struct {
        std::function<int()> Run;
        int ExitCode;
        unsigned Id; // 0: no event
        std::string Text;
    } runs[] = {
        {[&] { return Run({"/?"}); }, VnExitCode::Success, 0, ""},
        {[&] {
             return Run({Quiet[0], Quiet[1], Dir("ev"), "/PASSWORDFILE=" + PasswordFile});
         },
         VnExitCode::Success, 11707,
         "Product: Vantro Mail Server 3.08 -- Installation completed with exit code 0. Folder: \"" +
             logFolder + "\". Log: \"" + log + "\"."},
        {[&] {
             return Run({Quiet[0], Dir("ev"), "/ADMIN=nobody@nowhere"});
         },
         VnExitCode::BadSwitch, 11708,
         "Product: Vantro Mail Server 3.08 -- Installation failed with exit code 87. Folder: \"" +
             Target / "ev" + "\"."},
        {[&] { return removal({"/?"}); }, VnExitCode::Success, 0, ""},
        {[&] { return removal({"/VERYSILENT"}); }, VnExitCode::Success, 11724,
         "Product: Vantro Mail Server 3.08 -- Removal completed with exit code 0. Folder: \"" +
             logFolder + "\". Log: \"" + log + "\"."},
        {[&] { return removal({"/VERYSILENT"}); }, VnExitCode::Fatal, 11725, ""},
    };
    for (const auto& run : runs) {
        events.clear();
        EXPECT_EQ(run.ExitCode, run.Run());
        ASSERT_EQ(run.Id ? 1u : 0u, events.size()) << run.Id;
        if (!run.Id)
            continue;
        EXPECT_EQ(run.Id, events[0].Id);
        EXPECT_EQ(run.ExitCode != 0, events[0].Failure);
        if (!run.Text.empty()) {
            EXPECT_EQ(run.Text, events[0].Text);
        }
        EXPECT_EQ(std::string::npos, events[0].Text.find(Password));
    }
    RunEventSink() = kept;
}

} // namespace
