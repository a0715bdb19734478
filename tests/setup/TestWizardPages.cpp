// The wizard's page rules on the model: texts, layout, enabling, focus and the closing rules.
#include "SetupTestSupport.h"
#include "VnCp1251.h"
#include "VnSysUtils.h"

namespace {

TEST_F(WizardTest, OpensInTheUsersLanguage) {
    Services.PrimaryLanguage = 0x19;
    Start();
    EXPECT_EQ(VN_CP1251("Установка Vantro Mail Server 3.08"), Form->Caption());
    EXPECT_EQ(Form->Caption(), ApplicationTitle());
    EXPECT_EQ(VN_CP1251("Шаг 1 из 5"), Form->lblStep->Caption());
    EXPECT_EQ(VN_CP1251("Далее >"), Form->btnNext->Caption());
    EXPECT_EQ("ru", Form->Language()->Language());
    EXPECT_EQ(VN_CP1251("Файл \"%s\" не найден"), MsgFileNotFound);
}

TEST_F(WizardTest, OtherPrimaryLanguagesOpenInEnglish) {
    Services.PrimaryLanguage = 0x22; // Ukrainian
    Start();
    EXPECT_EQ("Setup of Vantro Mail Server 3.08", Form->Caption());
    EXPECT_EQ("Step 1 of 5", Form->lblStep->Caption());
    EXPECT_EQ("< Back", Form->btnBack->Caption());
    EXPECT_FALSE(Form->btnBack->Enabled());
    EXPECT_EQ(Form->cobLanguage, Form->ActiveControl());
    ASSERT_EQ(2, Form->cobLanguage->Count());
    EXPECT_EQ("English", Form->cobLanguage->Items()[Form->cobLanguage->ItemIndex()].Text);
}

TEST_F(WizardTest, LayoutFollowsTheSpacingRules) {
    Start();
    const int m = Form->Margin();
    EXPECT_EQ(8, m);
    EXPECT_EQ(Form->btnCancel->Right() + m, Form->Width());
    EXPECT_EQ(Form->btnCancel->Bottom() + m, Form->Height());
    EXPECT_EQ(Form->cobLanguage->Bottom() + 2 * m, Form->lblDescription->Top());
    EXPECT_EQ(Form->lblDescription->Bottom() + 2 * m, Form->lblWebSite->Top());
    EXPECT_EQ(Form->lblWebSite->Bottom() + 2 * m, Form->lblCopyright->Top());
    EXPECT_GT(Form->lblDescription->Height(), 13); // wrapped within its width
    EXPECT_EQ(Form->edtFolder->Bottom() + 2 * m, Form->lblFolderInfo->Top());
    EXPECT_EQ(Form->lblFolderInfo->Top(), Form->lblFolderImportant->Top());
    EXPECT_EQ(Form->lblFinish->Bottom() + 3 * m, Form->chbRegisterService->Top());
    EXPECT_EQ(Form->chbRegisterService->Bottom() + m, Form->chbStartServer->Top());
    EXPECT_EQ(64, Form->imgMain->PictureWidth());
    EXPECT_EQ(Form->imgMain->Bounds().Left, Form->shpImage->Bounds().Left);
    EXPECT_EQ(0xFFE0E0u, Form->shpImage->Color());
    EXPECT_EQ("C:\\Program Files\\VantroMS\\", Form->edtFolder->Text());
}

TEST_F(WizardTest, LanguageChangeTranslatesEverythingAndKeepsTheChoice) {
    Start();
    const std::string englishLicense = Form->memAgreement->Text();
    EXPECT_NE(std::string::npos, englishLicense.find("LICENSE AGREEMENT"));
    const int ru = Form->cobLanguage->IndexOfData(TVnLanguage::CodeToData("ru"));
    Form->cobLanguage->Select(ru);
    EXPECT_EQ(ru, Form->cobLanguage->ItemIndex());
    EXPECT_EQ(2, Form->cobLanguage->Count());
    EXPECT_EQ(VN_CP1251("Установка Vantro Mail Server 3.08"), Form->Caption());
    EXPECT_EQ(VN_CP1251("< Назад"), Form->btnBack->Caption());
    EXPECT_EQ(VN_CP1251("Шаг 1 из 5"), Form->lblStep->Caption());
    EXPECT_NE(englishLicense, Form->memAgreement->Text());
    EXPECT_EQ(Form->lblDescription->Bottom() + 2 * Form->Margin(), Form->lblWebSite->Top());
    Form->cobLanguage->Select(Form->cobLanguage->IndexOfData(TVnLanguage::CodeToData("en")));
    EXPECT_EQ("< Back", Form->btnBack->Caption());
    EXPECT_EQ(englishLicense, Form->memAgreement->Text());
    EXPECT_EQ("Setup of Vantro Mail Server 3.08", ApplicationTitle());
}

TEST_F(WizardTest, NextOnTheLicensePageFollowsTheAgreement) {
    Start();
    Next();
    EXPECT_EQ("Step 2 of 5", Form->lblStep->Caption());
    EXPECT_FALSE(Form->btnNext->Enabled());
    EXPECT_TRUE(Form->btnBack->Enabled());
    EXPECT_TRUE(Form->memAgreement->ReadOnly());
    Form->btnNext->Click(); // disabled: nothing happens
    EXPECT_EQ(TfrmMain::pgLicense, Form->PageIndex());
    Form->chbAccept->Click();
    EXPECT_TRUE(Form->btnNext->Enabled());
    Form->chbAccept->Click();
    EXPECT_FALSE(Form->btnNext->Enabled());
    Form->chbAccept->Click();
    Next();
    EXPECT_EQ(TfrmMain::pgFolder, Form->PageIndex());
    EXPECT_EQ("Install", Form->btnNext->Caption());
    EXPECT_EQ(Form->edtFolder, Form->ActiveControl());
}

TEST_F(WizardTest, FolderNoteKeepsOneRunOfBlanksAndStepCountFollowsTheKind) {
    Start();
    GoToFolderPage();
    const std::string note = Form->lblFolderInfo->Caption();
    const size_t blanks = note.find_first_not_of(' ');
    const int blank = UIServices().TextExtent(" ", false, 0).Width;
    EXPECT_EQ(static_cast<size_t>(Form->lblFolderImportant->Width() / blank + 1), blanks);
    EXPECT_TRUE(Form->lblFolderImportant->Bold());
    ASSERT_TRUE(Press(*Form->btnBack));
    Next();
    EXPECT_EQ(note, Form->lblFolderInfo->Caption());

    EXPECT_EQ("Step 3 of 5", Form->lblStep->Caption());
    Form->rbtConsoleSetup->Click();
    EXPECT_FALSE(Form->rbtFullSetup->Checked());
    EXPECT_EQ("Step 3 of 4", Form->lblStep->Caption());
    Form->rbtFullSetup->Click();
    EXPECT_EQ("Step 3 of 5", Form->lblStep->Caption());
}

TEST_F(WizardTest, BrowseTakesThePickedFolderOrKeepsTheField) {
    Start();
    GoToFolderPage();
    Services.BrowseAnswer = false;
    ASSERT_TRUE(Press(*Form->btnBrowse));
    EXPECT_EQ("Folder for placing the program:", Services.BrowseTitle);
    EXPECT_EQ("C:\\Program Files\\VantroMS\\", Form->edtFolder->Text());
    Services.BrowseAnswer = true;
    Services.BrowsePath = "D:\\Mail\\";
    ASSERT_TRUE(Press(*Form->btnBrowse));
    EXPECT_EQ("D:\\Mail\\", Form->edtFolder->Text());
}

TEST_F(WizardTest, EmptyFolderFailsTheFieldCheck) {
    Services.ProgramFiles = "";
    Start();
    GoToFolderPage();
    EXPECT_EQ("", Form->edtFolder->Text());
    Form->SetActiveControl(Form->btnNext);
    EXPECT_FALSE(InstallInto(""));
    ASSERT_EQ(1u, Services.Messages.size());
    EXPECT_EQ("Field \"Folder for placing the program:\" contains incorrect value.", LastMessage());
    EXPECT_EQ(ApplicationTitle(), Services.Messages.back().Caption);
    EXPECT_EQ(0u, Services.Messages.back().Flags);
    EXPECT_EQ(Form->edtFolder, Form->ActiveControl());
}

TEST_F(WizardTest, FieldCheckIgnoresHiddenAndDisabledControls) {
    Start();
    Form->edtPassword->SetVisible(true); // on a page that is not shown
    Form->CheckField(false, *Form->edtPassword, "x");
    Form->edtFolder->SetEnabled(false);
    Form->CheckField(false, *Form->edtFolder, "x");
    EXPECT_TRUE(Services.Messages.empty());
    EXPECT_THROW(Form->CheckField(false, *Form->cobLanguage, "Language:"), EAbort);
    EXPECT_EQ("Field \"Language:\" contains incorrect value.", LastMessage());
}

TEST_F(WizardTest, EscAndCancelCloseThePagesBeforeTheLast) {
    Start();
    Form->KeyDown(VK_ESCAPE_KEY);
    EXPECT_TRUE(Form->Closed());
    Application = std::make_unique<TVnComponent>(nullptr);
    Start();
    Next();
    ASSERT_TRUE(Press(*Form->btnCancel));
    EXPECT_TRUE(Form->Closed());
}

} // namespace
