// The wizard form frmMain: five pages in a notebook above Back, Next and Cancel. The form builds
// its controls in code (its form description), holds the page flow and the install actions, and
// reaches the user only through the user-interface services (VnVisUtils).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VnControls.h"
#include "VnInstallRecord.h"
#include "VnTLanguage.h"
#include "VnVisUtils.h"

class TVnArchive;
class TVnDBConvertor;
class TVnPackageFile;

// A field that the page refuses: its message has been shown, and the event ends silently.
class EVnFieldRefused : public EAbort {};

// The product name and version: used only in the title.
extern const char* const ProductVersionName; // "Vantro Mail Server 3.08"

class TfrmMain : public TVnForm {
public:
    enum TPage { pgLanguage, pgLicense, pgFolder, pgAdmin, pgFinish, PageCount };
    // The most characters that the folder field and each password field hold.
    static constexpr size_t FolderMaxLength = 260;
    static constexpr size_t PasswordMaxLength = 64;

    // The form description: every control with its name, design bounds and placeholder caption.
    explicit TfrmMain(TVnComponent& application);
    ~TfrmMain() override;

    // The construction steps of start-up: the error reporter, the administrator flag, the
    // agreement memo, the payload archive on the package, the language object, the form's
    // adjustments, page 0 and the configuration upgrader. The archive, the language file and the
    // default database are read through the package's one open file, which must outlive the
    // form's objects (DoneForm).
    void InitForm(TVnPackageFile& package);
    // InitForm on a package file that the form opens and holds itself.
    void InitForm(const std::string& packageFile);
    // Releases the upgrader, the language object and the archive; a second call does nothing.
    void DoneForm();

    void ShowPage(int index);
    void RefreshPage(int index);
    int PageIndex() const { return ntbMain->PageIndex(); }

    // Next: the action of the page being left, then the next page (or the end).
    void NextClick();
    // A failed check shows the field message for a control that is showing and enabled,
    // focuses it and ends the event handler silently (EVnFieldRefused).
    void CheckField(bool ok, TVnWinControl& control, const std::string& fieldName);
    // Whether a full path may be the installation folder: no '?' (a character that the code page
    // of the configuration cannot hold), no folder of the system's own (a drive's root, the
    // Windows folder, a program-files folder itself, a profile's root) and no link that leads
    // elsewhere.
    static bool FolderAllowed(const std::string& folder);

    bool Administrator() const { return FAdministrator; }
    // The last page's action ran: the wizard closed at its end, not cancelled.
    bool Finished() const { return FFinished; }
    // The payload archive (between InitForm and DoneForm).
    TVnArchive& Archive() const { return *FArchive; }
    TVnTLanguage* Language() const { return FLanguage.get(); }
    int Margin() const { return FMargin; }

    // Called for every entry extracted from the payload, with its path in the archive.
    std::function<void(const std::string& entryPath, bool isFolder)> OnExtract;
    // Called with the files of an extraction that other programs hold open, before they are
    // refused; it may close those programs. Unset: the files are refused at once.
    std::function<void(const std::vector<std::string>& files)> OnFilesInUse;

    // The controls, named as in the language file.
    TVnNotebook* ntbMain;
    TVnPage *pgeLanguage, *pgeLicense, *pgeFolder, *pgeAdmin, *pgeFinish;
    // Page 0.
    TVnBevel* bvlMain;
    TVnBevel* bvlImage;
    TVnShape* shpImage; // the coloured ground behind the image
    TVnImage* imgMain;
    TVnLabel* lblLanguage;
    TVnComboBox* cobLanguage;
    TVnLabel* lblDescription;
    TVnLabel* lblWebSite;
    TVnLabel* lblCopyright;
    // Page 1: memAgreement is the placeholder list box until InitForm puts the memo there.
    TVnMemo* memAgreement = nullptr;
    TVnCheckBox* chbAccept;
    // Page 2.
    TVnLabel* lblFolder;
    TVnEdit* edtFolder;
    TVnButton* btnBrowse;
    TVnLabel* lblFolderInfo;
    TVnLabel* lblFolderImportant;
    TVnBevel* bvlSetupType;
    TVnRadioButton* rbtFullSetup;
    TVnRadioButton* rbtConsoleSetup;
    TVnProgressBar* prgInstall;
    // Page 3.
    TVnLabel* lblAdmin;
    TVnComboBox* cobAdmin;
    TVnCheckBox* chbPassword;
    TVnLabel* lblPassword;
    TVnEdit* edtPassword;
    TVnLabel* lblConfirm;
    TVnEdit* edtConfirm;
    TVnLabel* lblAdminInfo;
    // Page 4.
    TVnBevel* bvlFinish;
    TVnLabel* lblFinish;
    TVnCheckBox* chbRegisterService;
    TVnCheckBox* chbStartServer;
    // The button strip.
    TVnBevel* bvlButtons;
    TVnButton* btnBack;
    TVnButton* btnNext;
    TVnButton* btnCancel;
    TVnLabel* lblStep;

private:
    template <class T>
    T* Make(TVnWinControl* parent, const char* name, int left, int top, int width, int height,
            const std::string& caption = "");
    void BuildPages();
    // The form's adjustments of start-up.
    void AdjustForm();
    // The spacing rules of the texts that depend on the language.
    void PlaceTexts();
    void LanguageChange();
    void BrowseClick();
    void FormKeyDown(int key);
    void FolderAction(int& nextPage);
    void AdminAction();
    void FinishAction();
    // The package folder's one-pass extraction, its free space checked first, with a step of the
    // progress bar after every file; the uninstaller and the updated installation record are
    // written in the same step.
    void ExtractPayload(const std::string& path, const std::string& folder);
    // The Uninstall key of the finished installation.
    void Register();
    // A text of the wizard's table in the current language.
    const std::string& Text(TVnSetupText index) const { return FTexts->Text(index); }
    bool ConsoleSetup() const { return rbtConsoleSetup->Checked(); }
    std::string Folder() const { return edtFolder->Text(); }

    TVnListBox* FAgreementBox;
    bool FAdministrator = false;
    bool FFinished = false;
    TVnPackageFile* FPackage = nullptr;
    // What the installations put into the folder, as last committed.
    TVnInstallRecord FRecord;
    int FMargin = 0;
    std::unique_ptr<TVnPackageFile> FOwnedPackage;
    std::unique_ptr<TVnArchive> FArchive;
    std::unique_ptr<TVnTLanguage> FLanguage;
    // The language object as its loads report it (FLanguage is set only once the first is done).
    const TVnTLanguage* FTexts = nullptr;
    std::unique_ptr<TVnDBConvertor> FConvertor;
};
