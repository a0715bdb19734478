#include "fMain.h"

#include <algorithm>
#include <optional>

#include "VnAccessRules.h"
#include "VnCfgConvertor1.h"
#include "VnCp1251.h"
#include "VnDBConvertor.h"
#include "VnExtraction.h"
#include "VnInstallLog.h"
#include "VnPackageFile.h"
#include "VnRegistration.h"
#include "VnRemoval.h"
#include "VnSignature.h"
#include "VnStagedFiles.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

const char* const ProductVersionName = "Vantro Mail Server 3.08";

namespace {

constexpr uint32_t ImageGround = 0xFFE0E0; // red E0, green E0, blue FF (0x00BBGGRR)
constexpr int TotalSteps = 5, ConsoleSteps = 4;

} // namespace

// ---- The form description -----------------------------------------------------------------

template <class T>
T* TfrmMain::Make(TVnWinControl* parent, const char* name, int left, int top, int width, int height,
                  const std::string& caption) {
    T* control = new T(this);
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    if (!caption.empty())
        control->SetCaption(caption);
    return control;
}

TfrmMain::TfrmMain(TVnComponent& application) : TVnForm(&application) {
    SetName("frmMain");
    SetCaption(VN_CP1251("Установка"));
    SetBounds(0, 0, 480, 344);
    ntbMain = Make<TVnNotebook>(this, "ntbMain", 0, 0, 480, 303);
    BuildPages();

    bvlButtons = Make<TVnBevel>(this, "bvlButtons", 0, 303, 480, 2);
    lblStep = Make<TVnLabel>(this, "lblStep", 8, 318, 0, 0, VN_CP1251("Шаг"));
    btnBack = Make<TVnButton>(this, "btnBack", 220, 313, 75, 23, VN_CP1251("< Назад"));
    btnNext = Make<TVnButton>(this, "btnNext", 299, 313, 75, 23, VN_CP1251("Далее >"));
    btnCancel = Make<TVnButton>(this, "btnCancel", 382, 313, 75, 23, VN_CP1251("Отмена"));
    btnNext->SetDefault(true);
    ntbMain->SetPageIndex(pgLanguage);

    btnBack->OnClick = [this] { ShowPage(PageIndex() - 1); };
    btnNext->OnClick = [this] { NextClick(); };
    btnCancel->OnClick = [this] { Close(); };
    OnKeyDown = [this](int key) { FormKeyDown(key); };
    cobLanguage->OnChange = [this] { LanguageChange(); };
    btnBrowse->OnClick = [this] { BrowseClick(); };
    lblWebSite->OnClick = [this] { UIServices().OpenWithShell(lblWebSite->Caption()); };
    for (TVnCheckBox* box : {chbAccept, chbPassword, chbStartServer})
        box->OnClick = [this] { RefreshPage(PageIndex()); };
    for (TVnRadioButton* button : {rbtFullSetup, rbtConsoleSetup})
        button->OnClick = [this] { RefreshPage(PageIndex()); };
    cobAdmin->OnChange = [this] { RefreshPage(PageIndex()); };
}

void TfrmMain::BuildPages() {
    pgeLanguage = ntbMain->AddPage("pgeLanguage");
    bvlMain = Make<TVnBevel>(pgeLanguage, "bvlMain", 8, 8, 449, 287);
    bvlImage = Make<TVnBevel>(pgeLanguage, "bvlImage", 23, 23, 84, 84);
    shpImage = Make<TVnShape>(pgeLanguage, "shpImage", 25, 25, 80, 80);
    imgMain = Make<TVnImage>(pgeLanguage, "imgMain", 25, 25, 80, 80);
    lblLanguage = Make<TVnLabel>(pgeLanguage, "lblLanguage", 124, 25, 0, 0, VN_CP1251("Язык:"));
    cobLanguage = Make<TVnComboBox>(pgeLanguage, "cobLanguage", 124, 43, 180, 21);
    lblDescription = Make<TVnLabel>(pgeLanguage, "lblDescription", 124, 80, 317, 13);
    lblDescription->SetWordWrap(true);
    lblDescription->SetCaption(VN_CP1251("Описание"));
    lblWebSite = Make<TVnLabel>(pgeLanguage, "lblWebSite", 124, 140, 0, 0, "http://");
    lblCopyright = Make<TVnLabel>(pgeLanguage, "lblCopyright", 124, 170, 0, 0, "(c)");

    pgeLicense = ntbMain->AddPage("pgeLicense");
    FAgreementBox = Make<TVnListBox>(pgeLicense, "memAgreement", 8, 8, 449, 258);
    chbAccept = Make<TVnCheckBox>(pgeLicense, "chbAccept", 8, 276, 300, 17,
                                  VN_CP1251("Я принимаю все условия данного договора"));

    pgeFolder = ntbMain->AddPage("pgeFolder");
    lblFolder = Make<TVnLabel>(pgeFolder, "lblFolder", 8, 8, 0, 0,
                               VN_CP1251("Папка для размещения программы:"));
    edtFolder = Make<TVnEdit>(pgeFolder, "edtFolder", 8, 26, 355, 21);
    btnBrowse = Make<TVnButton>(pgeFolder, "btnBrowse", 372, 25, 85, 23, VN_CP1251("Обзор..."));
    lblFolderInfo = Make<TVnLabel>(pgeFolder, "lblFolderInfo", 8, 63, 449, 13);
    lblFolderInfo->SetWordWrap(true);
    lblFolderInfo->SetCaption(VN_CP1251("Если запущена другая копия программы, остановите её "
                                        "перед продолжением установки."));
    lblFolderImportant =
        Make<TVnLabel>(pgeFolder, "lblFolderImportant", 8, 63, 0, 0, VN_CP1251("Важно."));
    bvlSetupType = Make<TVnBevel>(pgeFolder, "bvlSetupType", 8, 150, 449, 2);
    rbtFullSetup = Make<TVnRadioButton>(pgeFolder, "rbtFullSetup", 8, 162, 200, 17,
                                        VN_CP1251("Полная установка"));
    rbtConsoleSetup = Make<TVnRadioButton>(pgeFolder, "rbtConsoleSetup", 8, 186, 200, 17,
                                           VN_CP1251("Установка только консоли"));
    prgInstall = Make<TVnProgressBar>(pgeFolder, "prgInstall", 8, 218, 449, 16);
    prgInstall->SetVisible(false);

    pgeAdmin = ntbMain->AddPage("pgeAdmin");
    lblAdmin =
        Make<TVnLabel>(pgeAdmin, "lblAdmin", 8, 8, 0, 0, VN_CP1251("Администратор сервера:"));
    cobAdmin = Make<TVnComboBox>(pgeAdmin, "cobAdmin", 8, 26, 280, 21);
    // Beside the list, so that the information text can take the place of the password fields.
    chbPassword =
        Make<TVnCheckBox>(pgeAdmin, "chbPassword", 296, 28, 103, 17, VN_CP1251("Сменить пароль"));
    lblPassword =
        Make<TVnLabel>(pgeAdmin, "lblPassword", 8, 63, 0, 0, VN_CP1251("Пароль администратора:"));
    edtPassword = Make<TVnEdit>(pgeAdmin, "edtPassword", 8, 81, 200, 21);
    lblConfirm =
        Make<TVnLabel>(pgeAdmin, "lblConfirm", 8, 112, 0, 0, VN_CP1251("Подтверждение пароля:"));
    edtConfirm = Make<TVnEdit>(pgeAdmin, "edtConfirm", 8, 130, 200, 21);
    lblAdminInfo = Make<TVnLabel>(pgeAdmin, "lblAdminInfo", 8, 167, 449, 13);
    lblAdminInfo->SetWordWrap(true);
    lblAdminInfo->SetCaption(VN_CP1251("Имя и пароль администратора нужны для доступа к "
                                       "настройкам сервера."));

    pgeFinish = ntbMain->AddPage("pgeFinish");
    bvlFinish = Make<TVnBevel>(pgeFinish, "bvlFinish", 8, 8, 449, 287);
    lblFinish = Make<TVnLabel>(pgeFinish, "lblFinish", 24, 24, 417, 13);
    lblFinish->SetWordWrap(true);
    lblFinish->SetCaption(VN_CP1251("Установка завершена."));
    chbRegisterService = Make<TVnCheckBox>(pgeFinish, "chbRegisterService", 24, 100, 250, 17,
                                           VN_CP1251("Зарегистрировать сервер службой"));
    chbStartServer = Make<TVnCheckBox>(pgeFinish, "chbStartServer", 24, 125, 250, 17,
                                       VN_CP1251("Запустить сервер"));
}

TfrmMain::~TfrmMain() {
    DoneForm();
}

// ---- Start-up and teardown ----------------------------------------------------------------

void TfrmMain::InitForm(const std::string& packageFile) {
    FOwnedPackage = std::make_unique<TVnPackageFile>(packageFile);
    InitForm(*FOwnedPackage);
}

void TfrmMain::InitForm(TVnPackageFile& package) {
    FPackage = &package;
    SetErrorReporter(
        [](const std::string& text) { ShowAppMessage(WithFullStop(text), MB_ICONERROR_FLAG); });
    FAdministrator = UIServices().IsAdministrator();
    memAgreement = new TVnMemo(FAgreementBox, true);
    FAgreementBox = nullptr;
    FArchive = std::make_unique<TVnArchive>(package, SignatureSize);
    const std::string language = UserLanguageCode();
    FLanguage = std::make_unique<TVnTLanguage>(
        *Owner(), *cobLanguage, "", [this] { return FArchive->ReadEntryText("VNT_Setup.lng"); },
        [this](TVnLanguage& loaded) {
            FTexts = static_cast<TVnTLanguage*>(&loaded);
            RefreshPage(PageIndex());
        },
        language);
    AdjustForm();
    ShowPage(pgLanguage);
    FConvertor = std::make_unique<TVnDBConvertor>(*FArchive);
}

void TfrmMain::DoneForm() {
    FConvertor.reset();
    FLanguage.reset();
    FArchive.reset();
    FOwnedPackage.reset();
    FPackage = nullptr;
}

void TfrmMain::AdjustForm() {
    ntbMain->SetPageIndex(pgLanguage);
    bvlButtons->SetShape(TVnBevel::TShape::TopLine);
    bvlMain->SetShape(TVnBevel::TShape::Frame);
    FMargin = bvlMain->Top();
    SetBounds(Left(), Top(), btnCancel->Right() + FMargin, btnCancel->Bottom() + FMargin);
    bvlButtons->SetWidth(Width());

    cobLanguage->SetItemIndex(
        cobLanguage->IndexOfData(TVnLanguage::CodeToData(FLanguage->Language())));
    cobLanguage->SetSorted(true);
    cobLanguage->SetDropDownList(true);

    lblDescription->SetWordWrap(true);
    lblWebSite->SetLink(true);
    shpImage->SetBounds(imgMain->Left(), imgMain->Top(), imgMain->Width(), imgMain->Height());
    shpImage->SetColor(ImageGround);
    TVnStringStream bitmap;
    FArchive->ReadEntry("vnt64.bmp", bitmap);
    imgMain->SetPicture(bitmap.DataString());
    imgMain->SetCenter(true);

    memAgreement->SetReadOnly(true);

    edtFolder->SetMaxLength(FolderMaxLength);
    // The folder of a registered installation, else the default under the program files.
    TVnRegistration registered;
    VnPlatform::RegistryRoot root;
    const std::string programFiles = UIServices().ProgramFilesFolder();
    edtFolder->SetText(FindRegistration(registered, root) ? registered.Folder
                       : programFiles.empty()             ? ""
                                                          : programFiles + "\\VantroMS\\");
    lblFolderInfo->SetWordWrap(true);
    lblFolderImportant->SetBold(true);
    bvlSetupType->SetShape(TVnBevel::TShape::TopLine);
    rbtFullSetup->SetChecked(true);

    cobAdmin->SetSorted(true);
    cobAdmin->SetDropDownList(true);
    for (TVnEdit* edit : {edtPassword, edtConfirm}) {
        edit->SetMaxLength(PasswordMaxLength);
        edit->SetPasswordChar('*');
    }

    bvlFinish->SetShape(TVnBevel::TShape::Frame);
    lblFinish->SetWordWrap(true);
    chbRegisterService->SetChecked(true);
    chbStartServer->SetChecked(true);
    PlaceTexts();
}

void TfrmMain::PlaceTexts() {
    lblDescription->SetTop(cobLanguage->Bottom() + 2 * FMargin);
    lblWebSite->SetTop(lblDescription->Bottom() + 2 * FMargin);
    lblCopyright->SetTop(lblWebSite->Bottom() + 2 * FMargin);
    lblFolderInfo->SetTop(edtFolder->Bottom() + 2 * FMargin);
    lblFolderImportant->SetBounds(lblFolderInfo->Left(), lblFolderInfo->Top(),
                                  lblFolderImportant->Width(), lblFolderImportant->Height());
    chbRegisterService->SetTop(lblFinish->Bottom() + 3 * FMargin);
    chbStartServer->SetTop(chbRegisterService->Bottom() + FMargin);
    FitCheckWidth(*chbPassword);
    chbPassword->SetLeft(cobAdmin->Right() + FMargin);
    chbPassword->SetTop(cobAdmin->Top() + (cobAdmin->Height() - chbPassword->Height()) / 2);
}

// ---- Pages --------------------------------------------------------------------------------

void TfrmMain::ShowPage(int index) {
    btnBack->SetEnabled(index == pgLicense || index == pgFolder);
    if (index == pgFolder) {
        std::string text = lblFolderInfo->Caption();
        text.erase(0, text.find_first_not_of(' ') == std::string::npos
                          ? text.size()
                          : text.find_first_not_of(' '));
        const int blank = std::max(1, UIServices().TextExtent(" ", lblFolderInfo->Bold(), 0).Width);
        lblFolderInfo->SetCaption(std::string(lblFolderImportant->Width() / blank + 1, ' ') + text);
    } else if (index == pgAdmin) {
        std::vector<TVnAdminEntry> admins;
        const int adminId = FConvertor->GetAdminList(admins);
        cobAdmin->Clear();
        for (const TVnAdminEntry& entry : admins)
            cobAdmin->Add(entry.Text, entry.ID);
        cobAdmin->SetItemIndex(cobAdmin->IndexOfData(adminId));
        chbPassword->SetChecked(FConvertor->NewDatabase());
        chbPassword->SetVisible(!chbPassword->Checked());
    } else if (index == pgFinish) {
        if (!FAdministrator || ConsoleSetup()) {
            chbRegisterService->SetVisible(false);
            chbStartServer->SetTop(chbRegisterService->Top());
        }
        if (ConsoleSetup()) {
            chbStartServer->SetCaption(Text(stStartConsole));
            FitCheckWidth(*chbStartServer);
        }
        btnCancel->SetEnabled(false);
        SetCloseEnabled(false);
    }
    btnNext->SetCaption(Text(index == pgFolder   ? stInstall
                             : index == pgFinish ? stFinish
                                                 : stNext));
    TVnWinControl* focus = index == pgAdmin && chbPassword->Checked()
                               ? edtPassword
                               : FirstFocusable(*ntbMain->Pages()[index]);
    SetActiveControl(focus);
    RefreshPage(index);
    ntbMain->SetPageIndex(index);
}

void TfrmMain::RefreshPage(int index) {
    const bool console = ConsoleSetup();
    const int total = console ? ConsoleSteps : TotalSteps;
    const int current = console && index == pgFinish ? ConsoleSteps : index + 1;
    lblStep->SetCaption(FormatText(Text(stStep), current, total));
    btnNext->SetEnabled(index != pgLicense || chbAccept->Checked());
    if (index == pgLanguage) {
        SetCaption(FormatText(Text(stTitle), ProductVersionName));
        ApplicationTitle() = Caption();
        btnNext->SetCaption(Text(stNext));
    } else if (index == pgAdmin) {
        chbPassword->SetEnabled(cobAdmin->ItemIndex() >= 0);
        const bool password = chbPassword->Checked();
        for (TVnControl* control :
             std::initializer_list<TVnControl*>{lblPassword, edtPassword, lblConfirm, edtConfirm})
            control->SetVisible(password);
        lblAdminInfo->SetTop((password ? edtConfirm->Bottom() : cobAdmin->Bottom()) + 2 * FMargin);
    } else if (index == pgFinish) {
        chbRegisterService->SetEnabled(chbStartServer->Checked());
        if (!chbRegisterService->Enabled())
            chbRegisterService->SetChecked(false);
    }
}

// ---- Events -------------------------------------------------------------------------------

void TfrmMain::LanguageChange() {
    const int index = cobLanguage->ItemIndex();
    if (index < 0)
        return;
    FLanguage->SetLanguage(TVnLanguage::DataToCode(cobLanguage->Items()[index].Data));
    cobLanguage->SetItemIndex(index);
    PlaceTexts();
}

void TfrmMain::BrowseClick() {
    std::string path;
    if (UIServices().BrowseForFolder(lblFolder->Caption(), path))
        edtFolder->SetText(path);
}

void TfrmMain::FormKeyDown(int key) {
    if (key == VK_ESCAPE_KEY && btnCancel->Enabled())
        Close();
}

void TfrmMain::CheckField(bool ok, TVnWinControl& control, const std::string& fieldName) {
    if (ok || !control.CanFocus())
        return;
    control.SetVisible(true);
    control.SetFocus();
    ShowAppMessage(FormatText(Text(stFieldError), fieldName), MB_OK_FLAG);
    throw EVnFieldRefused();
}

// ---- Install actions ----------------------------------------------------------------------

void TfrmMain::NextClick() {
    const int page = PageIndex();
    int next = page + 1;
    if (page == pgFolder) {
        FolderAction(next);
    } else if (page == pgAdmin) {
        AdminAction();
    } else if (page == pgFinish) {
        FinishAction();
        return;
    }
    ShowPage(next);
}

bool TfrmMain::FolderAllowed(const std::string& folder) {
    return folder.find('?') == std::string::npos &&
           !IsSystemFolder(folder, VnPlatform::KnownSystemFolders()) &&
           !VnPlatform::IsLink(ExcludeTrailingPathDelimiter(folder));
}

void TfrmMain::FolderAction(int& nextPage) {
    CheckField(!edtFolder->Text().empty(), *edtFolder, lblFolder->Caption());
    // Made absolute: the later steps run with F as the current directory.
    edtFolder->SetText(IncludeTrailingPathDelimiter(ExpandFileName(edtFolder->Text())));
    const std::string folder = Folder();
    CheckField(FolderAllowed(folder), *edtFolder, lblFolder->Caption());
    InstallLog().SetFolder(folder);
    InstallLog().Write(ConsoleSetup() ? ltConsoleSetup : ltFullSetup, folder.c_str());
    bool openToUsers = false;
    if (VnPlatform::DirectoryExists(folder) && VnPlatform::OthersMayWrite(folder, openToUsers) &&
        openToUsers)
        InstallLog().Write(ltFolderOpen, folder.c_str(), ProtectFolderCommand(folder).c_str());
    InstallAccess().Begin(folder, FAdministrator, VnPlatform::CurrentUserSid());
    if (!ConsoleSetup()) {
        ExtractPayload("Setup", folder);
        OSCheck(VnPlatform::SetCurrentDirectory(folder));
        ConvertLegacyConfig();
        FConvertor->ConvertDatabases(folder + "Config\\", FLanguage->Language());
    } else {
        ExtractPayload("Setup\\VNT_Admin", folder + "VNT_Admin\\");
        FConvertor->WriteConsoleConfig(folder + "VNT_Admin\\", "", FLanguage->Language(), "");
        nextPage = pgFinish;
    }
}

void TfrmMain::AdminAction() {
    CheckField(cobAdmin->ItemIndex() >= 0, *cobAdmin, lblAdmin->Caption());
    if (edtPassword->Visible() && edtPassword->Text().empty()) {
        edtConfirm->SetText("");
        CheckField(false, *edtPassword, lblPassword->Caption());
    }
    if (edtConfirm->Visible() && edtConfirm->Text() != edtPassword->Text()) {
        edtConfirm->SetText("");
        CheckField(false, *edtConfirm, lblConfirm->Caption());
    }
    const std::string password = chbPassword->Checked() ? edtPassword->Text() : "";
    const TVnListItem& admin = cobAdmin->Items()[cobAdmin->ItemIndex()];
    // Checked before the databases are written: a damaged file gives way to the template.
    TVnConsoleConfig console(Folder() + "VNT_Admin\\", true);
    InstallLog().Write(password.empty() ? ltAdministratorKept : ltAdministrator,
                       admin.Text.c_str());
    FConvertor->SetAdministrator(static_cast<int>(admin.Data), password);
    console.Write(admin.Text, FLanguage->Language(), password);
}

void TfrmMain::FinishAction() {
    Register();
    if (chbStartServer->Checked()) {
        // The program's path is quoted: a folder with blanks must not make the system try a
        // program named after the path's first word.
        std::string commandLine;
        if (ConsoleSetup()) {
            commandLine = "\"" + Folder() + "VNT_Admin\\VNT_Admin.exe\"";
        } else {
            commandLine = "\"" + Folder() + "VNT_Monitor.exe\" /start";
            if (chbRegisterService->Visible() && chbRegisterService->Checked())
                commandLine += " /service";
        }
        const bool started = UIServices().StartProgram(commandLine);
        InstallLog().Write(started ? ltStarted : ltNotStarted, commandLine.c_str());
    }
    FFinished = true;
    Close();
}

void TfrmMain::Register() {
    TVnRegistration registration;
    registration.DisplayName = ProductVersionName;
    registration.Folder = Folder();
    registration.Language = FLanguage->Language();
    registration.ConsoleOnly = FRecord.ConsoleOnly;
    for (const TVnRecordedFile& file : FRecord.Files)
        registration.InstalledBytes += file.Size;
    const bool machine = RegisterInstallation(registration) == VnPlatform::RegistryRoot::Machine;
    InstallLog().Write(ltRegistered, machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER",
                       UninstallKeyName);
}

void TfrmMain::ExtractPayload(const std::string& path, const std::string& folder) {
    struct TBusy {
        TfrmMain& Form;
        explicit TBusy(TfrmMain& form) : Form(form) {
            Form.prgInstall->SetPosition(0);
            Form.prgInstall->SetVisible(true);
            UIServices().SetBusy(true);
            UIServices().Repaint();
        }
        ~TBusy() {
            Form.prgInstall->SetVisible(false);
            UIServices().SetBusy(false);
        }
    };
    std::optional<TBusy> busy;
    TVnFolderSurvey extracted;
    // The record as the step will commit it: the previous installations' (a damaged one gives way
    // to this installation's alone), and every entry written now, relative to the folder.
    TVnInstallRecord record;
    const bool updated = [&] {
        try {
            return ReadInstallRecord(Folder(), record);
        } catch (const std::exception&) {
            record = TVnInstallRecord();
            return false;
        }
    }();
    record.Language = FLanguage->Language();
    record.ConsoleOnly = ConsoleSetup() && (!updated || record.ConsoleOnly);
    const std::string base = folder.substr(Folder().size()); // "" or "VNT_Admin\"
    if (!base.empty())
        record.AddFolder(ExcludeTrailingPathDelimiter(base));
    const std::string uninstaller = InstalledUninstaller(*FPackage, *FArchive);
    TVnExtractionHooks hooks;
    hooks.CloseHolders = OnFilesInUse;
    hooks.OnStart = [&](const TVnFolderSurvey& survey) {
        extracted = survey;
        busy.emplace(*this);
        prgInstall->SetMax(static_cast<int>(survey.Files));
        if (OnExtract)
            OnExtract(path, true);
    };
    hooks.OnEntry = [&](const TVnArchiveEntry& entry) {
        const std::string relative = base + entry.Path.substr(path.size() + 1);
        if (entry.IsFolder) {
            record.AddFolder(relative);
        } else {
            record.AddFile({relative, entry.Size, DigestText(entry.Digest)});
            prgInstall->SetPosition(prgInstall->Position() + 1);
            UIServices().Repaint();
        }
        if (OnExtract)
            OnExtract(entry.Path, entry.IsFolder);
    };
    hooks.Extras.Root = Folder();
    hooks.Extras.Targets = {Folder() + UninstallerName, Folder() + InstallRecordName};
    hooks.Extras.Write = [&](TVnStagedFiles& staged) {
        record.AddFile({UninstallerName, uninstaller.size(), BytesDigestText(uninstaller)});
        for (const auto& [target, bytes] :
             {std::make_pair(hooks.Extras.Targets[0], uninstaller),
              std::make_pair(hooks.Extras.Targets[1], record.Text())}) {
            const std::unique_ptr<TVnFileStream> file = staged.Create(target);
            file->WriteBuffer(bytes.data(), bytes.size());
            file->Flush();
        }
    };
    if (ExtractPackageFolder(*FArchive, path, folder, FTexts->ExtractionTexts(), hooks)) {
        FRecord = record;
        InstallLog().Write(ltExtracted, folder.c_str(), std::to_string(extracted.Files).c_str(),
                           std::to_string(extracted.Bytes).c_str());
    }
}
