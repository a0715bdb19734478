// The install actions on the model: the folder, administrator and finish pages.
#include "LegacyTestSupport.h"
#include "SetupTestSupport.h"
#include "VnCfgConvertor1.h"
#include "VnCp1251.h"
#include "VnCrypt.h"
#include "VnSysUtils.h"

namespace {

std::string Column(const std::string& db, const std::string& name) {
    const std::string open = "<col name=\"" + name + "\">";
    const size_t start = db.find(open);
    if (start == std::string::npos)
        return "(none)";
    const size_t from = start + open.size();
    return db.substr(from, db.find("</col>", from) - from);
}

class InstallTest : public WizardTest {
protected:
    std::string F() const { return Form->edtFolder->Text(); }
    // A full install up to the administrator page.
    void ToAdminPage() {
        Start();
        GoToFolderPage();
        ASSERT_TRUE(InstallInto(Target.Path() + "Vantro Mail"));
        ASSERT_EQ(TfrmMain::pgAdmin, Form->PageIndex());
    }
    void TypePasswords(const std::string& password, const std::string& confirmation) {
        Form->edtPassword->Type(password);
        Form->edtConfirm->Type(confirmation);
    }
};

TEST_F(InstallTest, FreshFullInstallDemandsAPasswordAndStartsTheMonitor) {
    ToAdminPage();
    EXPECT_TRUE(EndsWith(F(), "Vantro Mail\\")); // the separator is added and shown
    EXPECT_TRUE(PathExists(F() + "VantroMS.exe"));
    EXPECT_TRUE(PathExists(F() + "WWW\\vantroms_default.html"));
    EXPECT_TRUE(PathExists(F() + "Config"));
    EXPECT_FALSE(PathExists(F() + "VNT_Setup.lng"));
    EXPECT_FALSE(PathExists(F() + "Config\\server.cfg")); // nothing written yet
    EXPECT_GT(Services.Repaints, 5);                      // the progress bar stepped per file
    EXPECT_FALSE(Form->prgInstall->Visible());

    EXPECT_TRUE(Form->chbPassword->Checked());
    EXPECT_FALSE(Form->chbPassword->Visible());
    EXPECT_TRUE(Form->edtPassword->Visible());
    EXPECT_EQ(Form->edtPassword, Form->ActiveControl());
    EXPECT_GE(Form->cobAdmin->ItemIndex(), 0);
    EXPECT_FALSE(Form->btnBack->Enabled());
    EXPECT_EQ(Form->edtConfirm->Bottom() + 16, Form->lblAdminInfo->Top());

    EXPECT_FALSE(Press(*Form->btnNext)); // empty password
    EXPECT_EQ("Field \"Administrator password:\" contains incorrect value.", LastMessage());
    TypePasswords("Secret", "secret");
    EXPECT_FALSE(Press(*Form->btnNext)); // differs in case only
    EXPECT_EQ("Field \"Password confirmation:\" contains incorrect value.", LastMessage());
    EXPECT_EQ("", Form->edtConfirm->Text());
    EXPECT_EQ(Form->edtConfirm, Form->ActiveControl());
    EXPECT_EQ(TfrmMain::pgAdmin, Form->PageIndex());

    TypePasswords("Secret", "Secret");
    const std::string admin = Form->cobAdmin->Items()[Form->cobAdmin->ItemIndex()].Text;
    Next();
    EXPECT_EQ(TfrmMain::pgFinish, Form->PageIndex());
    EXPECT_EQ("Step 5 of 5", Form->lblStep->Caption());
    EXPECT_EQ("Finish", Form->btnNext->Caption());
    const std::string console = ReadBytes(F() + "VNT_Admin\\VNT_Admin.cfg");
    EXPECT_EQ(admin, Column(console, "User"));
    EXPECT_EQ("en", Column(console, "Language"));
    const std::string server = ReadBytes(F() + "Config\\server.cfg");
    EXPECT_NE(std::string::npos, server.find(EncodePassword("Secret")));

    Next();
    EXPECT_TRUE(Form->Closed());
    ASSERT_EQ(1u, Services.Started.size());
    EXPECT_EQ("\"" + F() + "VNT_Monitor.exe\" /start /service", Services.Started[0]);
}

TEST_F(InstallTest, FinishPageCanOnlyBeLeftThroughFinish) {
    ToAdminPage();
    TypePasswords("p", "p");
    Next();
    EXPECT_FALSE(Form->btnCancel->Enabled());
    EXPECT_FALSE(Form->CloseEnabled());
    EXPECT_FALSE(Form->btnBack->Enabled());
    Form->KeyDown(VK_ESCAPE_KEY);
    Form->btnCancel->Click();
    EXPECT_FALSE(Form->Closed());

    EXPECT_TRUE(Form->chbRegisterService->Checked());
    Form->chbStartServer->Click();
    EXPECT_FALSE(Form->chbRegisterService->Enabled());
    EXPECT_FALSE(Form->chbRegisterService->Checked());
    Form->chbStartServer->Click();
    EXPECT_TRUE(Form->chbRegisterService->Enabled());
    EXPECT_FALSE(Form->chbRegisterService->Checked());
    Next();
    EXPECT_EQ("\"" + F() + "VNT_Monitor.exe\" /start", Services.Started.at(0));
}

TEST_F(InstallTest, NothingStartsWhenStartIsUnticked) {
    ToAdminPage();
    TypePasswords("p", "p");
    Next();
    Form->chbStartServer->Click();
    Next();
    EXPECT_TRUE(Form->Closed());
    EXPECT_TRUE(Services.Started.empty());
}

TEST_F(InstallTest, ANonAdministratorGetsOneBoxAndNoService) {
    Services.Administrator = false;
    ToAdminPage();
    TypePasswords("p", "p");
    const int firstTop = Form->chbRegisterService->Top();
    Next();
    EXPECT_FALSE(Form->chbRegisterService->Visible());
    EXPECT_EQ(firstTop, Form->chbStartServer->Top());
    EXPECT_EQ("Start the server", Form->chbStartServer->Caption());
    Next();
    EXPECT_EQ("\"" + F() + "VNT_Monitor.exe\" /start", Services.Started.at(0));
}

TEST_F(InstallTest, ConsoleOnlyInstallsTheConsoleAndSkipsTheAdministrator) {
    Start();
    GoToFolderPage();
    ASSERT_TRUE(InstallInto(Target.Path() + "console", true));
    EXPECT_EQ(TfrmMain::pgFinish, Form->PageIndex());
    EXPECT_EQ("Step 4 of 4", Form->lblStep->Caption());
    EXPECT_EQ("Start the console", Form->chbStartServer->Caption());
    const int extra = (Form->chbStartServer->Height() * 112 + 50) / 100;
    EXPECT_EQ(UIServices().TextExtent("Start the console", false, 0).Width + extra,
              Form->chbStartServer->Width());
    EXPECT_FALSE(Form->chbRegisterService->Visible());
    for (const char* name :
         {"VNT_Admin.exe", "VNT_Admin_en.chm", "VNT_Admin_ru.chm", "VNT_Admin.cfg"})
        EXPECT_TRUE(PathExists(F() + "VNT_Admin\\" + name)) << name;
    EXPECT_FALSE(PathExists(F() + "VantroMS.exe"));
    EXPECT_FALSE(PathExists(F() + "Config"));
    const std::string console = ReadBytes(F() + "VNT_Admin\\VNT_Admin.cfg");
    EXPECT_EQ("admin", Column(console, "User")); // only the language is set
    Next();
    EXPECT_EQ("\"" + F() + "VNT_Admin\\VNT_Admin.exe\"", Services.Started.at(0));
}

TEST_F(InstallTest, ExistingDatabaseKeepsItsPasswordUnlessChanged) {
    // A database of the oldest form: what the first-generation import writes.
    {
        const std::string folder = Target.Path() + "old\\";
        ASSERT_TRUE(ForceFolders(folder));
        WriteBytes(folder + "VantroMS.cfg", LegacyFile(CompleteLegacyConfig().Root()));
        ASSERT_TRUE(VnPlatform::SetCurrentDirectory(folder));
        ConvertLegacyConfig();
        VnPlatform::DeleteFile(folder + "VantroMS.cfg");
    }
    const std::string before = ReadBytes(Target.Path() + "old\\Config\\server.cfg");
    Start();
    GoToFolderPage();
    ASSERT_TRUE(InstallInto(Target.Path() + "old"));
    EXPECT_TRUE(Form->chbPassword->Visible());
    EXPECT_FALSE(Form->chbPassword->Checked());
    EXPECT_FALSE(Form->edtPassword->Visible());
    EXPECT_EQ(Form->cobAdmin->Bottom() + 16, Form->lblAdminInfo->Top());
    // The imported database names no administrator: the box waits for a choice.
    EXPECT_EQ(-1, Form->cobAdmin->ItemIndex());
    EXPECT_FALSE(Form->chbPassword->Enabled());
    EXPECT_FALSE(Press(*Form->btnNext));
    EXPECT_EQ("Field \"Server administrator:\" contains incorrect value.", LastMessage());
    Form->cobAdmin->Select(0);
    EXPECT_TRUE(Form->chbPassword->Enabled());
    Form->chbPassword->Click();
    EXPECT_TRUE(Form->edtPassword->Visible());
    Form->chbPassword->Click();
    Next(); // hidden password fields pass empty
    const std::string after = ReadBytes(F() + "Config\\server.cfg");
    EXPECT_NE(std::string::npos, after.find("ver=\"3.08\""));
    EXPECT_EQ(before, ReadBytes(F() + "Config\\server.cfg.bak"));
    // A new console configuration for another user without a new password keeps none.
    EXPECT_EQ(EncodePassword(""), Column(ReadBytes(F() + "VNT_Admin\\VNT_Admin.cfg"), "Password"));
}

TEST_F(InstallTest, FirstGenerationFolderIsImportedThenUpgraded) {
    const std::string folder = Target.Path() + "gen1\\";
    WriteBytes(folder + "VantroMS.cfg", LegacyFile(CompleteLegacyConfig().Root()));
    WriteBytes(folder + "Mail\\Mailbox\\anna\\1.msg", "message");
    Start();
    GoToFolderPage();
    ASSERT_TRUE(InstallInto(folder));
    EXPECT_FALSE(Form->chbPassword->Checked()); // an imported database is not new
    EXPECT_FALSE(PathExists(folder + "Mail"));
    EXPECT_GT(Form->cobAdmin->Count(), 1);
    Form->cobAdmin->Select(1);
    Form->chbPassword->Click();
    TypePasswords("new", "new");
    Next();
    const std::string server = ReadBytes(folder + "Config\\server.cfg");
    EXPECT_NE(std::string::npos, server.find("ver=\"3.08\""));
    EXPECT_NE(std::string::npos, server.find(EncodePassword("new")));
}

TEST_F(InstallTest, AFailingActionStaysOnThePageAndCanBeRepeated) {
    Start();
    GoToFolderPage();
    const std::string blocker = Target.Path() + "file";
    WriteBytes(blocker, "not a folder");
    EXPECT_FALSE(InstallInto(blocker + "\\sub"));
    EXPECT_EQ(TfrmMain::pgFolder, Form->PageIndex());
    ASSERT_FALSE(Services.Messages.empty());
    EXPECT_EQ(MB_ICONERROR_FLAG, Services.Messages.back().Flags);
    EXPECT_EQ('.', LastMessage().back());
    EXPECT_FALSE(Form->prgInstall->Visible());
    EXPECT_TRUE(InstallInto(Target.Path() + "good"));
}

} // namespace
