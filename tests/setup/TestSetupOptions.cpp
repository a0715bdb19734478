// The setup's switches and answer files, and vntsetup install's password file.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "SetupTestSupport.h"
#include "VnCp1251.h"
#include "VnCrypt.h"
#include "VnExitCodes.h"
#include "VnSetupOptions.h"
#include "VnSysUtils.h"

namespace {

// Every field, so that one comparison shows any difference.
std::string Describe(const TVnSetupOptions& o) {
    const TVnInstallAnswers& a = o.Answers;
    return Format("mode=%d msg=%d norestart=%d close=%d help=%d log=%s saveinf=%s | dir=%s "
                  "lang=%s console=%d admin=%s password=%d:%s start=%d service=%d",
                  static_cast<int>(o.Mode), o.SuppressMessageBoxes, o.NoRestart,
                  o.CloseApplications, o.Help, o.LogFile.c_str(), o.SaveInf.c_str(),
                  a.Folder.c_str(), a.Language.c_str(), a.ConsoleOnly, a.Admin.c_str(),
                  a.HasPassword, a.Password.c_str(), a.StartServer, a.RegisterService);
}

class SetupOptionsTest : public testing::Test {
protected:
    void SetUp() override {
        WriteBytes(PasswordFile, "S3cret pw\r\nsecond line\r\n");
        WriteBytes(LongPasswordFile, std::string(TfrmMain::PasswordMaxLength + 1, 'x'));
        WriteBytes(BadAnswerFile, "[Setup]\r\nDir=C:\\x\r\nPassword=pw\r\n");
    }

    TTempFolder Folder;
    const std::string PasswordFile = Folder / "pw.txt";
    const std::string LongPasswordFile = Folder / "long.txt";
    const std::string BadAnswerFile = Folder / "bad.inf";
    const std::string LongestFolder = "C:\\" + std::string(TfrmMain::FolderMaxLength - 3, 'd');
};

TEST_F(SetupOptionsTest, SwitchesAreAcceptedOrRefusedWithExitCode87) {
    using TExpect = std::function<void(TVnSetupOptions&)>;
    const struct {
        std::vector<std::string> Words;
        TExpect Expect;
    } accepted[] = {
        {{}, [](TVnSetupOptions&) {}},
        {{"/verysilent", "/SuppressMsgBoxes", "/NoRestart", "/CLOSEAPPLICATIONS"},
         [](TVnSetupOptions& o) {
             o.Mode = TVnRunMode::VerySilent;
             o.SuppressMessageBoxes = o.NoRestart = o.CloseApplications = true;
         }},
        {{"/VERYSILENT", "/SILENT"}, [](TVnSetupOptions& o) { o.Mode = TVnRunMode::VerySilent; }},
        {{"/SILENT", "/?"},
         [](TVnSetupOptions& o) {
             o.Mode = TVnRunMode::Silent;
             o.Help = true;
         }},
        {{"/DIR=\"C:\\Program Files\\Vantro\"", "/lang=ru", "/Type=Console", "/ADMIN=a@b.test"},
         [](TVnSetupOptions& o) {
             o.Answers.Folder = "C:\\Program Files\\Vantro";
             o.Answers.Language = "ru";
             o.Answers.ConsoleOnly = true;
             o.Answers.Admin = "a@b.test";
         }},
        {{"/TYPE=console", "/DIR=C:\\a", "/TYPE=full", "/DIR=" + LongestFolder},
         [this](TVnSetupOptions& o) { o.Answers.Folder = LongestFolder; }},
        {{"/TASKS=!start"}, [](TVnSetupOptions& o) { o.Answers.StartServer = false; }},
        {{"/TASKS=\"Start,!service\""},
         [](TVnSetupOptions& o) { o.Answers.RegisterService = false; }},
        {{"/TASKS=!start,!service", "/TASKS=start"},
         [](TVnSetupOptions& o) { o.Answers.RegisterService = false; }},
        {{"/LOG=\"C:\\logs\\setup.log\"", "/SAVEINF=answers.inf"},
         [](TVnSetupOptions& o) {
             o.LogFile = "C:\\logs\\setup.log";
             o.SaveInf = "answers.inf";
         }},
        {{"/PASSWORDFILE=\"" + PasswordFile + "\""},
         [](TVnSetupOptions& o) {
             o.Answers.HasPassword = true;
             o.Answers.Password = "S3cret pw";
         }},
    };
    for (const auto& c : accepted) {
        TVnSetupOptions expected;
        c.Expect(expected);
        EXPECT_EQ(Describe(expected), Describe(ParseSetupOptions(c.Words))) << c.Words.size();
    }

    const struct {
        std::vector<std::string> Words;
        std::string Reason;
    } refused[] = {
        {{"/PASSWORD=pw"}, "Unknown switch /PASSWORD=pw"},
        {{"/SILENT", "-verysilent"}, "Unknown switch -verysilent"},
        {{"/"}, "Unknown switch /"},
        {{"/SILENT=yes"}, "Switch /SILENT takes no value"},
        {{"/DIR"}, "Switch /DIR needs a value"},
        {{"/Log=\"\""}, "Switch /Log needs a value"},
        {{"/TASKS=start,desktop"}, "Unknown task \"desktop\""},
        {{"/TASKS=start,"}, "Unknown task \"\""},
        {{"/TYPE=compact"}, "Type \"compact\" is neither full nor console"},
        {{"/LANG=de"}, "Switch /LANG: language \"de\" is not offered"},
        {{"/DIR=" + LongestFolder + "d"}, "Switch /DIR is longer than 260 characters"},
        {{"/PASSWORDFILE=" + LongPasswordFile},
         "Switch /PASSWORDFILE is longer than 64 characters"},
        {{"/PASSWORDFILE=" + Folder / "none.txt"},
         "File \"" + Folder / "none.txt" + "\" cannot be read"},
        {{"/LOADINF=" + Folder / "none.inf"},
         "File \"" + Folder / "none.inf" + "\" cannot be read"},
        {{"/LOADINF=" + BadAnswerFile},
         "Line \"Password=pw\" of \"" + BadAnswerFile + "\" is not an answer"},
    };
    for (const auto& c : refused) {
        try {
            ParseSetupOptions(c.Words);
            ADD_FAILURE() << "accepted: " << c.Reason;
        } catch (const EVnSetupExit& e) {
            EXPECT_EQ(VnExitCode::BadSwitch, e.ExitCode());
            EXPECT_EQ(c.Reason, e.what());
        }
    }
}

TEST_F(SetupOptionsTest, AnswerFileRoundTripKeepsEveryAnswerButThePassword) {
    TVnInstallAnswers answers;
    answers.Folder = VN_CP1251("C:\\Почта\\Vantro");
    answers.Language = "ru";
    answers.ConsoleOnly = true;
    answers.Admin = "admin@mail.test";
    answers.HasPassword = true;
    answers.Password = "S3cret pw";
    answers.RegisterService = false;
    const std::string file = Folder / "answers.inf";
    SaveAnswers(file, answers);
    EXPECT_EQ(VN_CP1251("[Setup]\r\nDir=C:\\Почта\\Vantro\r\nLang=ru\r\nType=console\r\n"
                        "Tasks=start,!service\r\nAdmin=admin@mail.test\r\n"),
              ReadBytes(file));

    TVnSetupOptions expected;
    expected.Answers = answers;
    expected.Answers.HasPassword = false;
    expected.Answers.Password.clear();
    EXPECT_EQ(Describe(expected), Describe(ParseSetupOptions({"/LOADINF=" + file})));
    // Switches override the file wherever they stand; the password comes from its own file.
    expected.Answers.Language = "en";
    expected.Answers.HasPassword = true;
    expected.Answers.Password = "S3cret pw";
    EXPECT_EQ(Describe(expected), Describe(ParseSetupOptions({"/LANG=en", "/LOADINF=" + file,
                                                              "/PASSWORDFILE=" + PasswordFile})));
}

// vntsetup install run as a program over the demo package.
class VntsetupPasswordFileTest : public testing::Test {
protected:
    // Answers the exit code; standard error without CR in Err.
    int Install(const std::vector<std::string>& options) {
        std::string program = VNT_VNTSETUP;
#ifdef _WIN32
        if (!program.empty() && program[0] == '/')
            program = "Z:" + program; // the build host's path as Wine shows it
#endif
        std::string command = "\"" + program + "\" install \"" + DemoPackage() + "\" --dir \"" +
                              Folder() + "\" --no-start";
        for (const std::string& option : options)
            command += " \"" + option + "\"";
        command += " >\"" + Scratch / "out.txt" + "\" 2>\"" + Scratch / "err.txt" + "\"";
#ifdef _WIN32
        std::replace(command.begin(), command.end(), '/', '\\');
        command = "\"" + command + "\""; // cmd /c takes off the outer quotes only
#else
        std::replace(command.begin(), command.end(), '\\', '/');
#endif
        const int status = std::system(command.c_str());
        Err = ReadBytes(Scratch / "err.txt");
        Err.erase(std::remove(Err.begin(), Err.end(), '\r'), Err.end());
#ifdef WEXITSTATUS
        return WEXITSTATUS(status);
#else
        return status;
#endif
    }
    std::string Folder() const {
        return Target / "v";
    }

    TTempFolder Scratch, Target;
    std::string Err;
};

TEST_F(VntsetupPasswordFileTest, ThePasswordOfTheFileIsStoredAndExcludesTheOption) {
    const std::string file = Scratch / "pw.txt";
    WriteBytes(file, "S3cret pw\r\nsecond line\r\n");
    EXPECT_EQ(1, Install({"--password-file", file, "--password", "pw"}));
    EXPECT_EQ("vntsetup install: Options --password and --password-file exclude each other\n", Err);
    EXPECT_EQ(VnExitCode::BadSwitch, Install({"--password-file", file + ".none"}));
    EXPECT_TRUE(EndsWith(Err, ".none\" cannot be read\n")) << Err;
    EXPECT_FALSE(PathExists(Folder()));

    ASSERT_EQ(0, Install({"--password-file", file})) << Err;
    const std::string database = ReadBytes(Folder() + "\\Config\\server.cfg");
    EXPECT_NE(std::string::npos, database.find(EncodePassword("S3cret pw")));
}

} // namespace
