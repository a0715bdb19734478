// The unattended install: the wizard driven through its pages by answers, as vntsetup runs it.
#include <algorithm>
#include <cstdlib>

#include "PackageTestSupport.h"
#include "SetupTestSupport.h"
#include "VnCp1251.h"
#include "VnExitCodes.h"
#include "VnInstallRecord.h"
#include "VnPackageFormat.h"
#include "VnProgramImages.h"
#include "VnRemoval.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

class UnattendedTest : public testing::Test {
protected:
    void TearDown() override { RestoreProcessState(FOldDirectory); }
    int Run(const std::string& package, const TVnInstallAnswers& answers) {
        return RunUnattended(package, answers, Services,
                             [this](const std::string& line) { Lines.push_back(line); });
    }
    bool Printed(const std::string& line) const {
        return std::find(Lines.begin(), Lines.end(), line) != Lines.end();
    }

    TScriptServices Services;
    std::vector<std::string> Lines;
    TTempFolder Target;
    std::string FOldDirectory = VnPlatform::CurrentDirectory();
};

TEST_F(UnattendedTest, FullInstallRunsEveryPageAndStartsTheServer) {
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "Program Files\\VantroMS";
    answers.HasPassword = true;
    answers.Password = "pw";
    EXPECT_EQ(0, Run(DemoPackage(), answers));
    for (const char* step :
         {"Step 1 of 5", "Step 2 of 5", "Step 3 of 5", "Step 4 of 5", "Step 5 of 5"})
        EXPECT_TRUE(Printed(step)) << step;
    EXPECT_TRUE(Printed("Extracting Setup\\VNT_Admin"));
    const std::string folder = IncludeTrailingPathDelimiter(ExpandFileName(answers.Folder));
    EXPECT_TRUE(PathExists(folder + "Config\\server.cfg"));
    ASSERT_EQ(1u, Services.Started.size());
    EXPECT_EQ("\"" + folder + "VNT_Monitor.exe\" /start /service", Services.Started[0]);
}

TEST_F(UnattendedTest, RelativePackageAndFolderAreTakenFromTheStartingFolder) {
    WriteBytes(Target / "setup.exe", ReadBytes(DemoPackage()));
    ASSERT_TRUE(VnPlatform::SetCurrentDirectory(Target.Path()));
    TVnInstallAnswers answers;
    answers.Folder = "rel";
    answers.HasPassword = true;
    answers.Password = "pw";
    EXPECT_EQ(0, Run("setup.exe", answers));
    EXPECT_TRUE(PathExists(Target.Path() + "rel\\Config\\server.cfg"));
    EXPECT_TRUE(PathExists(Target.Path() + "rel\\VNT_Admin\\VNT_Admin.cfg"));
}

TEST_F(UnattendedTest, AnswersThatTheDatabasesRefuseEndBeforeAnythingIsWritten) {
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "x";
    answers.Language = "ru";
    EXPECT_EQ(VnExitCode::BadSwitch, Run(DemoPackage(), answers));
    ASSERT_EQ(1u, Services.Messages.size());
    EXPECT_EQ("There is no configuration in \"" + ExpandFileName(answers.Folder) +
                  "\\\" yet: the administrator's password is required.",
              Services.Messages[0].Text);
    EXPECT_TRUE(Lines.empty());
    EXPECT_FALSE(PathExists(answers.Folder));

    answers.HasPassword = true;
    answers.Password = "pw";
    answers.Admin = "nobody@nowhere";
    EXPECT_EQ(VnExitCode::BadSwitch, Run(DemoPackage(), answers));
    EXPECT_EQ("User \"nobody@nowhere\" is not in the list of users.",
              Services.Messages.back().Text);
    EXPECT_FALSE(PathExists(answers.Folder));

    // An empty password passes to the page, which refuses it in its own words.
    answers.Admin.clear();
    answers.Password.clear();
    EXPECT_EQ(VnExitCode::BadSwitch, Run(DemoPackage(), answers));
    EXPECT_EQ(VN_CP1251("Поле \"Пароль администратора:\" содержит некорректное значение."),
              Services.Messages.back().Text);
    EXPECT_TRUE(Printed(VN_CP1251("Шаг 4 из 5")));
    EXPECT_FALSE(PathExists(Target.Path() + "x\\Config\\server.cfg"));
}

TEST_F(UnattendedTest, ConsoleOnlyAndNonAdministratorChoices) {
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "c";
    answers.ConsoleOnly = true;
    EXPECT_EQ(0, Run(DemoPackage(), answers));
    EXPECT_TRUE(Printed("Step 3 of 4"));
    EXPECT_TRUE(Printed("Step 4 of 4"));
    EXPECT_FALSE(Printed("Step 4 of 5"));
    EXPECT_TRUE(EndsWith(Services.Started.at(0), "VNT_Admin\\VNT_Admin.exe\""));

    Services.Administrator = false;
    answers = TVnInstallAnswers();
    answers.Folder = Target.Path() + "n";
    answers.HasPassword = true;
    answers.Password = "pw";
    EXPECT_EQ(0, Run(DemoPackage(), answers));
    EXPECT_TRUE(EndsWith(Services.Started.at(1), "VNT_Monitor.exe\" /start"));

    answers.StartServer = false;
    answers.HasPassword = false; // an existing database now: the password stays
    EXPECT_EQ(0, Run(DemoPackage(), answers));
    EXPECT_EQ(2u, Services.Started.size());
}

TEST_F(UnattendedTest, UnknownAnswersAreRefused) {
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "u";
    answers.Language = "de";
    answers.HasPassword = true;
    answers.Password = "pw";
    EXPECT_EQ(VnExitCode::BadSwitch, Run(DemoPackage(), answers));
    EXPECT_EQ("Language \"de\" is not offered.", Services.Messages.back().Text);
}

TEST_F(UnattendedTest, DamagedPackageStopsBeforeAnythingWithTheEnglishMessage) {
    std::string bytes = ReadBytes(DemoPackage());
    bytes[bytes.size() / 2] ^= 0x01;
    const std::string damaged = Target / "damaged.exe";
    WriteBytes(damaged, bytes);
    Services.PrimaryLanguage = 0x19;
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "d";
    EXPECT_EQ(VnExitCode::Fatal, Run(damaged, answers));
    ASSERT_EQ(1u, Services.Messages.size());
    EXPECT_EQ("File \"" + ExpandFileName(damaged) + "\" corrupted.", Services.Messages[0].Text);
    EXPECT_EQ("Setup of Vantro Mail Server 3.08", Services.Messages[0].Caption);
    EXPECT_EQ(MB_ICONERROR_FLAG, Services.Messages[0].Flags);
    EXPECT_TRUE(Lines.empty());
    EXPECT_FALSE(PathExists(Target.Path() + "d"));
}

TEST_F(UnattendedTest, AnInstallationWritesTheSignedUninstallerByteForByte) {
    // A program of 1021 bytes, which the signing tool pads with 3 zero bytes; its package pads it
    // with zeros of its own.
    WriteBytes(Target / "stub.exe", MinimalProgram(VnPackageFormat::PE32Magic, 509));
    const std::string signedUninstaller =
        WithCertificateTable(UnsignedStub(Target / "stub.exe"), VnPackageFormat::PE32Magic);
    WriteBytes(Target / "signed.exe", signedUninstaller);
    WritePackage(Target / "stub.exe", DemoPayload(), Target / "setup.exe", TestKeySigner(),
                 Target / "signed.exe");
    TVnInstallAnswers answers;
    answers.Folder = Target / "installed";
    answers.HasPassword = true;
    answers.Password = "pw";
    ASSERT_EQ(0, Run(Target / "setup.exe", answers));
    const std::string folder = IncludeTrailingPathDelimiter(ExpandFileName(answers.Folder));
    EXPECT_TRUE(ReadBytes(folder + UninstallerName) == signedUninstaller);
    TVnInstallRecord record;
    ASSERT_TRUE(ReadInstallRecord(folder, record));
    for (const auto& [path, state] : CompareWithRecord(folder, record))
        EXPECT_EQ(state, TVnFileState::AsInstalled) << path;
}

TEST_F(UnattendedTest, FailureWhileBuildingTheFormIsShownAndIsFatal) {
    // A signed package whose payload lacks the welcome image.
    const std::string payload = Target.Path() + "payload\\";
    WriteBytes(payload + "VNT_Setup.lng", ReadBytes(SourcePath("payload") + "\\VNT_Setup.lng"));
    WriteBytes(Target / "stub.exe", "MZ");
    WritePackage(Target / "stub.exe", payload, Target / "noimage.exe", TestKeySigner());
    TVnInstallAnswers answers;
    answers.Folder = Target.Path() + "i";
    EXPECT_EQ(VnExitCode::Fatal, Run(Target / "noimage.exe", answers));
    ASSERT_EQ(1u, Services.Messages.size());
    EXPECT_EQ("Bitmap image is not valid.", Services.Messages[0].Text);
    EXPECT_EQ("Setup of Vantro Mail Server 3.08", Services.Messages[0].Caption);
}

// vntsetup install run as a program: the exit code and standard error.
class VntsetupInstallTest : public testing::Test {
protected:
    struct TResult {
        int ExitCode;
        std::string Err;
    };

    TResult Install(const std::string& folder, const std::string& password) {
        return Run("install \"" + DemoPackage() + "\" --dir \"" + folder + "\" --password " +
                   password + " --no-start");
    }
    TResult Run(const std::string& arguments) {
        // A Windows build run by Wine gets the build host's path, which Wine shows on drive Z:.
        std::string program = VNT_VNTSETUP;
#ifdef _WIN32
        if (!program.empty() && program[0] == '/')
            program = "Z:" + program;
#endif
        const std::string err = FScratch / "err.txt";
        std::string command = "\"" + program + "\" " + arguments + " >\"" + (FScratch / "out.txt") +
                              "\" 2>\"" + err + "\"";
#ifdef _WIN32
        std::replace(command.begin(), command.end(), '/', '\\');
        command = "\"" + command + "\""; // cmd /c takes off the outer quotes only
#else
        std::replace(command.begin(), command.end(), '\\', '/'); // for the shell
#endif
        const int status = std::system(command.c_str());
#ifdef WEXITSTATUS
        const int exitCode = WEXITSTATUS(status);
#else
        const int exitCode = status;                             // the exit code itself on Windows
#endif
        std::string text = ReadBytes(err);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return {exitCode, text};
    }

    TTempFolder FScratch, FTarget;
};

TEST_F(VntsetupInstallTest, AnswersLongerThanTheFieldsAreRefusedBeforeAnything) {
    const std::string folder = FTarget / "p";
    TResult result = Install(folder, std::string(TfrmMain::PasswordMaxLength + 1, 'x'));
    EXPECT_EQ(VnExitCode::BadSwitch, result.ExitCode);
    EXPECT_EQ("vntsetup install: Option --password is longer than 64 characters\n", result.Err);
    EXPECT_FALSE(PathExists(folder));

    std::string longFolder = FTarget.Path();
    longFolder.resize(TfrmMain::FolderMaxLength + 1, 'd');
    result = Install(longFolder, "pw");
    EXPECT_EQ(VnExitCode::BadSwitch, result.ExitCode);
    EXPECT_EQ("vntsetup install: Option --dir is longer than 260 characters\n", result.Err);
    EXPECT_FALSE(PathExists(longFolder.substr(0, TfrmMain::FolderMaxLength)));

    result = Install(folder, std::string(TfrmMain::PasswordMaxLength, 'x'));
    EXPECT_EQ(0, result.ExitCode) << result.Err;
    EXPECT_TRUE(PathExists(folder + "\\Config\\server.cfg"));
}

TEST_F(VntsetupInstallTest, UninstallRemovesTheProgramFilesAndKeepsTheData) {
    const std::string folder = FTarget / "u";
    ASSERT_EQ(0, Install(folder, "pw").ExitCode);
    WriteBytes(folder + "\\WWW\\mine.html", "the user's");
    const TResult result = Run("uninstall \"" + folder + "\"");
    EXPECT_EQ(0, result.ExitCode) << result.Err;
    for (const char* removed : {"VantroMS.exe", "VNT_Admin\\VNT_Admin.exe", "VNT_Uninstall.exe"})
        EXPECT_FALSE(PathExists(folder + "\\" + removed)) << removed;
    for (const char* kept : {"Config\\server.cfg", "VNT_Admin\\VNT_Admin.cfg", "WWW\\mine.html"})
        EXPECT_TRUE(PathExists(folder + "\\" + kept)) << kept;
    EXPECT_EQ(1, Run("uninstall \"" + folder + "\"").ExitCode); // no record now
}

} // namespace
