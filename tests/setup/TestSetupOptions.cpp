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
        {{"/DIR=C:\\?ukasz\\"},
         "Switch /DIR: \"C:\\?ukasz\\\" has a character that the configuration cannot store"},
        {{"/PASSWORDFILE=" + LongPasswordFile},
         "Password file \"" + LongPasswordFile +
             "\": its first line is longer than a password may be"},
        {{"/PASSWORDFILE=" + Folder / "none.txt"},
         "File \"" + Folder / "none.txt" + "\" cannot be read"},
        {{"/LOADINF=" + Folder / "none.inf"},
         "File \"" + Folder / "none.inf" + "\" cannot be read"},
        {{"/LOADINF=" + BadAnswerFile},
         "Key \"Password\" in line 3 of \"" + BadAnswerFile + "\" is not an answer"},
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

// UTF-16 of a text, little- or big-endian, after its byte-order mark.
std::string Utf16(const std::u16string& text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// The files as Notepad and PowerShell save them, and what is no answer or password file at all.
TEST_F(SetupOptionsTest, InputFilesAreDecodedAndDamageIsRefused) {
    const std::string bom = "\xEF\xBB\xBF", file = Folder / "input.txt";
    const std::string russian = VN_CP1251("C:\\Почта"), password = VN_CP1251("пароль 1");
    const struct {
        const char* What;
        std::string Switch, Bytes, Result; // Result: the answer, or the refusal's end
    } cases[] = {
        {"UTF-8 answers", "LOADINF", bom + "[Setup]\r\nDir=C:\\FromInf\r\nLang=ru\r\n",
         "dir=C:\\FromInf lang=ru"},
        {"UTF-16 LE answers", "LOADINF", Utf16(u"[Setup]\r\nDir=C:\\Почта\r\nLang=ru\r\n"),
         "dir=" + russian + " lang=ru"},
        {"UTF-16 BE answers", "LOADINF", Utf16(u"[Setup]\nDir=C:\\Почта\nLang=ru\n", true),
         "dir=" + russian + " lang=ru"},
        {"8-bit answers", "LOADINF", "[Setup]\nDir=" + russian + "\nLang=ru",
         "dir=" + russian + " lang=ru"},
        {"no section", "LOADINF", "Dir=C:\\x\r\n", "has no [Setup] section: it is no answer file"},
        {"a program", "LOADINF", std::string("MZ\x90\0\3\0", 6) + "[Setup]",
         "holds a NUL character: it is no text file"},
        {"too large", "LOADINF", "[Setup]\r\n" + std::string(64 * 1024, ';'),
         "is larger than 64 KB: it is no answer file"},
        {"a key twice", "LOADINF", "[Setup]\r\nDir=C:\\a\r\ndir=C:\\b\r\n",
         "is given twice in \"" + file + "\""},
        {"a secret", "LOADINF", "[Setup]\r\nsecret words\r\n",
         "line 2 of \"" + file + "\" is not an answer"},
        {"no Windows-1251 form", "LOADINF", bom + "[Setup]\r\nDir=C:\\\xC5\x81ukasz\r\n",
         "The value of key Dir in line 2 of \"" + file +
             "\" holds a character that the setup cannot store"},
        {"bad UTF-8", "LOADINF", bom + "[Setup]\r\nDir=C:\\\xC5\r\n", "is not valid UTF-8"},
        {"a password", "PASSWORDFILE", "pw 7\r\nsecond\r\n", "password=1:pw 7"},
        {"a UTF-8 password", "PASSWORDFILE", bom + "пароль 1\n", "password=1:" + password},
        {"a UTF-16 password", "PASSWORDFILE", Utf16(u"пароль 1\r\n"), "password=1:" + password},
        {"the longest password", "PASSWORDFILE", Utf16(std::u16string(64, u'ж') + u"\r\n"),
         "password=1:" + std::string(64, '\xE6')},
        {"a blank line", "PASSWORDFILE", "  \t\r\npw\r\n", "its first line is empty"},
        {"an empty file", "PASSWORDFILE", "", "its first line is empty"},
        {"a NUL", "PASSWORDFILE", std::string("pw\0", 3),
         "holds a NUL character: it is no text file"},
        {"a long line", "PASSWORDFILE", std::string(2 << 20, 'x'), "longer than a password may be"},
        {"a long UTF-8 line", "PASSWORDFILE", bom + std::string(60, 'x') + "жжжжжж",
         "longer than a password may be"},
        {"no Windows-1251 form", "PASSWORDFILE", bom + "\xC5\x81ukasz",
         "the password holds a character that the configuration cannot store"},
    };
    for (const auto& c : cases) {
        WriteBytes(file, c.Bytes);
        try {
            const std::string described =
                Describe(ParseSetupOptions({"/" + c.Switch + "=" + file}));
            EXPECT_NE(std::string::npos, described.find(c.Result)) << c.What << ": " << described;
        } catch (const EVnSetupExit& e) {
            EXPECT_EQ(VnExitCode::BadSwitch, e.ExitCode());
            EXPECT_TRUE(EndsWith(e.what(), c.Result)) << c.What << ": " << e.what();
            EXPECT_EQ(std::string::npos, std::string(e.what()).find("secret words")) << c.What;
        }
    }
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
