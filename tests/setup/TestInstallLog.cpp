// The install log: what a run writes to VNT_Setup.log, when it writes, and what it never writes.
#include <regex>

#include "LegacyTestSupport.h"
#include "SetupTestSupport.h"
#include "VnCp1251.h"
#include "VnCrypt.h"
#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

// The line without its timestamp; every line has one.
std::string Action(const std::string& line) {
    static const std::regex stamped("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  (.*)");
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
    return match.size() > 1 ? match[1].str() : line;
}

class InstallLogTest : public testing::Test {
protected:
    void TearDown() override {
        RestoreProcessState(FOldDirectory);
        const std::vector<std::string*> texts = InstallLogTexts();
        for (size_t i = 0; i < texts.size(); ++i)
            *texts[i] = FOldTexts[i]; // as they were before the test
    }
    std::string Folder() const { return Target.Path() + Name; }
    int Install(const std::string& language = "en", const std::string& admin = "") {
        TVnInstallAnswers answers;
        answers.Admin = admin;
        answers.Folder = Folder();
        answers.Language = language;
        answers.HasPassword = true;
        answers.Password = "S3cret pw";
        return RunUnattended(DemoPackage(), answers, Services, [](const std::string&) {});
    }
    // The actions of the log, without timestamps.
    std::vector<std::string> Actions() const {
        std::vector<std::string> actions;
        for (const std::string& line : Lines(ReadBytes(Folder() + "VNT_Setup.log")))
            actions.push_back(Action(line));
        return actions;
    }
    bool Logged(const std::string& action) const {
        const std::vector<std::string> actions = Actions();
        return std::find(actions.begin(), actions.end(), action) != actions.end();
    }

    TScriptServices Services;
    TTempFolder Target;
    std::string Name = "Vantro\\"; // of the installation folder in Target
    std::string FOldDirectory = VnPlatform::CurrentDirectory();
    std::vector<std::string> FOldTexts = [] {
        std::vector<std::string> texts;
        for (const std::string* text : InstallLogTexts())
            texts.push_back(*text);
        return texts;
    }();
};

TEST_F(InstallLogTest, AFullInstallLogsEveryActionAndNoPassword) {
    ASSERT_EQ(0, Install());
    const std::string f = ExpandFileName(Folder());
    const std::string package = ExpandFileName(DemoPackage());
    size_t files = 0, bytes = 0;
    for (const auto& [path, content] : FolderContents(ExtractFilePath(package) + "payload\\Setup"))
        if (content != "<folder>")
            ++files, bytes += content.size();
    EXPECT_EQ(
        (std::vector<std::string>{
            "Package \"" + package + "\": signature correct; no Authenticode certificate table",
            "Full installation into \"" + f + "\"",
            "Extracted \"" + f + "\": " + std::to_string(files) + " files, " +
                std::to_string(bytes) + " bytes",
            "First-generation import: nothing converted, no \"VantroMS.cfg\"",
            "\"" + f + "Config\\server.cfg\" not found: the default database takes its place",
            "\"" + f + "Config\\server.cfg\": no upgrade step applies",
            "\"" + f + "Config\\state.cfg\" not found: no state database",
            "Administrator: admin@domain.local, new password set",
            "Written \"" + f + "Config\\server.cfg\"",
            "Console configuration \"" + f +
                "VNT_Admin\\VNT_Admin.cfg\" not found or empty: made from the template",
            "Written \"" + f + "VNT_Admin\\VNT_Admin.cfg\"",
            "Entry in Apps written: "
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            "VantroMailServer",
            "Started: \"" + f + "VNT_Monitor.exe\" /start /service"}),
        Actions());
    const std::string log = ReadBytes(Folder() + "VNT_Setup.log");
    const std::string encoded = EncodePassword("S3cret pw");
    EXPECT_NE(std::string::npos, ReadBytes(Folder() + "Config\\server.cfg").find(encoded));
    EXPECT_EQ(std::string::npos, log.find("S3cret"));
    EXPECT_EQ(std::string::npos, log.find(encoded.substr(4))); // the Base64 part
}

TEST_F(InstallLogTest, ALegacyImportAndTheUpgradeWithBackupsAreLogged) {
    WriteBytes(Folder() + "VantroMS.cfg", LegacyFile(CompleteLegacyConfig().Root()));
    WriteBytes(Folder() + "Mail\\Mailbox\\anna\\1.msg", "message");
    ForceFolders(Folder() + "Mail\\Inbound");
    WriteBytes(Folder() + "Mail\\Outbound\\queued.msg", "queued");
    WriteBytes(Folder() + "VNT_Setup.log", "2001-01-01 00:00:00  an earlier run\r\n");
    ASSERT_EQ(0, Install("en", "anna@example.ru")) << ReadBytes(Folder() + "VNT_Setup.log");
    const std::string f = ExpandFileName(Folder());
    const std::vector<std::string> actions = Actions();
    ASSERT_GT(actions.size(), 2u);
    EXPECT_EQ("an earlier run", actions[0]); // appended to
    for (const std::string& line :
         {std::string("First-generation import: \"VantroMS.cfg\" converted into "
                      "\"Config\\server.cfg\" and \"Config\\state.cfg\"; domain example.ru, 3 "
                      "users, 4 remote mailboxes, 3 sorting rules, 3 IP rules, 3 schedules"),
          std::string("First-generation import: move \"Mail\\Mailbox\\\" to "
                      "\"Mail\\example.ru\": done"),
          std::string("First-generation import: remove the folder \"Mail\\Inbound\\\": done"),
          std::string("First-generation import: remove the folder \"Mail\\Outbound\\\": not "
                      "done"),
          std::string("First-generation import: move \"Mail\" to \"Mailbox\": done"),
          "Read \"" + f + "Config\\server.cfg\": version 2039",
          "\"" + f +
              "Config\\server.cfg\": upgrade steps 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, "
              "13, 14 applied",
          "Read \"" + f + "Config\\state.cfg\": version 2039",
          "\"" + f + "Config\\state.cfg\": upgrade steps S1, S2, S3 applied",
          "Kept \"" + f + "Config\\server.cfg\" as \"" + f + "Config\\server.cfg.bak\"",
          "Kept \"" + f + "Config\\state.cfg\" as \"" + f + "Config\\state.cfg.bak\"",
          "Written \"" + f + "Config\\state.cfg\"",
          std::string("Administrator: anna@example.ru, new password set")})
        EXPECT_TRUE(Logged(line)) << line;
    // The legacy file's passwords are not the log's business either.
    EXPECT_EQ(std::string::npos, ReadBytes(Folder() + "VNT_Setup.log").find("relay&pass"));
}

TEST_F(InstallLogTest, LinesAreInTheLanguageOfTheMessages) {
    ASSERT_EQ(0, Install("ru"));
    EXPECT_TRUE(Logged(VN_CP1251("Полная установка в папку \"") + ExpandFileName(Folder()) + "\""));
    EXPECT_TRUE(Logged(VN_CP1251("Администратор: admin@domain.local, задан новый пароль")));
}

TEST_F(InstallLogTest, AFailedInstallLogsItsMessageOnceTheFolderExists) {
    WriteBytes(Folder() + "Config\\server.cfg", "<vnt-db ver=\"3.08\"><table name=\"Main\">");
    EXPECT_EQ(VnExitCode::Fatal, Install());
    const std::vector<std::string> actions = Actions();
    ASSERT_FALSE(actions.empty());
    EXPECT_EQ("Message: Incorrect XML data.", actions.back());
    EXPECT_FALSE(Logged("Written \"" + ExpandFileName(Folder()) + "Config\\server.cfg\""));
}

TEST_F(InstallLogTest, ARunThatFailsBeforeTheFolderExistsLogsNothing) {
    WriteBytes(Target.Path() + "file", "a file, not a folder");
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "file\\Vantro";
    answers.HasPassword = true;
    answers.Password = "pw";
    EXPECT_EQ(VnExitCode::Fatal,
              RunUnattended(DemoPackage(), answers, Services, [](const std::string&) {}));
    EXPECT_FALSE(PathExists(Target.Path() + "file\\Vantro"));
    EXPECT_FALSE(Services.Messages.empty());
    // Nor does a later run into another folder carry its lines.
    ASSERT_EQ(0, Install());
    EXPECT_FALSE(Logged("Full installation into \"" + ExpandFileName(answers.Folder) + "\\\""));
    EXPECT_EQ("Package \"" + ExpandFileName(DemoPackage()) +
                  "\": signature correct; no Authenticode certificate table",
              Actions().at(0));
}

TEST_F(InstallLogTest, ADamagedConsoleFileIsNoDeadEnd) {
    const std::string good = "<vnt-db ver=\"3.08\">\r\n<table name=\"Admin\">\r\n  <row>\r\n"
                             "    <col name=\"Language\">ru</col>\r\n"
                             "    <col name=\"User\">admin</col>\r\n"
                             "    <col name=\"Password\">C00:stored</col>\r\n"
                             "  </row>\r\n</table>\r\n\r\n</vnt-db>\r\n";
    const std::pair<std::string, std::string> damaged[] = {
        {good.substr(0, good.size() - 20), "Incorrect XML data"},
        {"<vnt-db ver=\"3.08\">\r\n<table name=\"Other\">\r\n</table>\r\n</vnt-db>\r\n",
         "Table \"Admin\" not found"},
        {good.substr(0, good.find("    <col name=\"Password\">")) + "  </row>\r\n</table>\r\n"
                                                                    "\r\n</vnt-db>\r\n",
         "Field \"Admin.Password\" not found"}};
    for (const auto& file : damaged) {
        Name += "1\\"; // a fresh folder for each case
        const std::string console = Folder() + "VNT_Admin\\VNT_Admin.cfg";
        WriteBytes(console, file.first);
        ASSERT_EQ(0, Install()) << file.second;
        EXPECT_TRUE(Services.Messages.empty()) << Services.Messages.back().Text;
        EXPECT_EQ(file.first, ReadBytes(console + ".bak"));
        const std::string written = ReadBytes(console);
        EXPECT_NE(std::string::npos, written.find("<col name=\"User\">admin@domain.local</col>"));
        EXPECT_NE(std::string::npos, written.find("<col name=\"Server\">127.0.0.1</col>"));
        EXPECT_NE(std::string::npos,
                  ReadBytes(Folder() + "Config\\server.cfg").find(EncodePassword("S3cret pw")));
        const std::string f = ExpandFileName(Folder());
        EXPECT_TRUE(Logged("Console configuration \"" + f +
                           "VNT_Admin\\VNT_Admin.cfg\" is damaged (" + file.second +
                           "): kept as \"" + f +
                           "VNT_Admin\\VNT_Admin.cfg.bak\" and replaced by the template"))
            << file.second;
    }
}

TEST_F(InstallLogTest, AMistypedTranslationIsShownAsItIs) {
    // The demo payload with a language file whose formats do not suit their arguments.
    const std::string payload = Target.Path() + "payload\\";
    for (const auto& [path, content] : FolderContents(ExtractFilePath(DemoPackage()) + "payload"))
        if (content == "<folder>")
            ForceFolders(payload + path);
        else
            WriteBytes(payload + path, content);
    std::string language = ReadBytes(payload + "VNT_Setup.lng");
    for (const auto& [typed, mistyped] :
         {std::pair<std::string, std::string>{"Step %d of %d", "Step %s of %d"},
          {"Full installation into \"%s\"", "Full installation into %d%n"},
          {"Field \"%s\" contains incorrect value.", "Field %s%s"}})
        language.replace(language.find(typed), typed.size(), mistyped);
    WriteBytes(payload + "VNT_Setup.lng", language);
    WriteBytes(Target / "stub.exe", "MZ stub");
    WritePackage(Target / "stub.exe", payload, Target / "typo.exe", TestKeySigner());

    TVnInstallAnswers answers;
    answers.Folder = Folder();
    answers.HasPassword = true;
    answers.Password = "S3cret pw";
    std::vector<std::string> printed;
    const auto print = [&](const std::string& line) { printed.push_back(line); };
    ASSERT_EQ(0, RunUnattended(Target / "typo.exe", answers, Services, print));
    EXPECT_EQ("Step %s of %d", printed.at(0));
    EXPECT_TRUE(Logged("Full installation into %d%n"));
    answers.Password.clear();
    EXPECT_EQ(VnExitCode::BadSwitch, RunUnattended(Target / "typo.exe", answers, Services, print));
    EXPECT_EQ("Field %s%s", Services.Messages.at(0).Text);
}

TEST(InstallLog, LinesWaitForTheirFolderAndAFailedWriteNeverRaises) {
    TTempFolder target;
    const std::string folder = target.Path() + "later";
    TVnInstallLog log;
    log.Begin();
    log.Add("first\r\nof two lines");
    log.SetFolder(folder);
    log.Flush(); // no folder yet: the line waits
    EXPECT_FALSE(PathExists(folder));
    ForceFolders(folder);
    ForceFolders(folder + "\\VNT_Setup.log\\blocked"); // the log's name taken by a folder
    log.Add("second");
    log.Flush();
    EXPECT_NO_THROW(log.End());
    VnPlatform::RemoveDirectory(folder + "\\VNT_Setup.log\\blocked");
    VnPlatform::RemoveDirectory(folder + "\\VNT_Setup.log");

    log.SetFolder(folder);
    log.Add("third");
    log.Add("fourth");
    log.Flush();
    const std::vector<std::string> lines = Lines(ReadBytes(folder + "\\VNT_Setup.log"));
    ASSERT_EQ(2u, lines.size()); // what could not be written went with the run's end
    EXPECT_EQ("third", Action(lines[0]));
    EXPECT_EQ("fourth", Action(lines[1]));

    log.Begin();
    log.Add("a new run\r\nin one line");
    log.SetFolder(folder);
    log.Add("its second line");
    log.End();
    const std::vector<std::string> all = Lines(ReadBytes(folder + "\\VNT_Setup.log"));
    ASSERT_EQ(4u, all.size());
    EXPECT_EQ("a new run  in one line", Action(all[2]));
}

// A copy that cannot be written now (a viewer, a share gone for a moment) keeps its lines for the
// next flush, and the folder's own log says so once; lines written by another process stay.
TEST(InstallLog, TheCopyLosesNoLineAndItsFailureIsSaid) {
    TTempFolder target;
    const std::string folder = target.Path() + "f", copy = target.Path() + "copy.log";
    ForceFolders(folder);
    ForceFolders(copy + "\\blocked"); // the copy's name taken by a folder for now
    TVnInstallLog log;
    log.Begin();
    log.SetFolder(folder);
    log.SetCopy(copy);
    log.Add("one");
    log.Flush();
    log.Add("two");
    log.Flush();
    VnPlatform::RemoveDirectory(copy + "\\blocked");
    VnPlatform::RemoveDirectory(copy);
    WriteBytes(copy, "another writer's line\r\n");
    log.Add("three");
    log.End();
    const std::vector<std::string> copied = Lines(ReadBytes(copy));
    ASSERT_EQ(4u, copied.size());
    EXPECT_EQ("another writer's line", copied[0]);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(std::vector<std::string>({"", "one", "two", "three"})[i], Action(copied[i]));
    const std::vector<std::string> own = Lines(ReadBytes(folder + "\\VNT_Setup.log"));
    ASSERT_EQ(4u, own.size());
    EXPECT_EQ(FormatText(InstallLogText(ltCopyNotWritten), copy), Action(own[1]));
}

TEST(InstallLog, TheLanguageFileHasEveryTextWithItsArguments) {
    TVnXMLElement root;
    root.Parse(ReadBytes(SourcePath("payload/VNT_Setup.lng")));
    TVnXMLElement* section = nullptr;
    ASSERT_TRUE(root.FindChildByAttr("name", "VnInstallLog", section));
    ASSERT_EQ(static_cast<int>(ltCount), section->ChildCount());
    // Every argument is text: each "%" is a "%s", in both languages alike.
    const auto arguments = [](const std::string& text) {
        size_t n = 0;
        for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
            EXPECT_EQ('s', at + 1 < text.size() ? text[at + 1] : '\0') << text;
            ++n;
        }
        return n;
    };
    for (int i = 0; i < ltCount; ++i) {
        const TVnXMLElement* item = section->Child(i);
        ASSERT_EQ(2, item->ChildCount()) << i;
        const std::string english = item->Child(0)->Text, russian = item->Child(1)->Text;
        EXPECT_EQ(InstallLogText(static_cast<TVnLogText>(i)), english) << i;
        EXPECT_EQ(arguments(english), arguments(russian)) << i;
    }
}

} // namespace
