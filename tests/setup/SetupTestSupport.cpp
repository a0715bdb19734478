#include "SetupTestSupport.h"

#include "PackageTestSupport.h"
#include "VnArchiveWriter.h"
#include "VnRegistration.h"
#include "VnSetupMain.h"
#include "VnSysUtils.h"

int TScriptServices::MessageDialog(const std::string& caption, const std::string& text,
                                   unsigned flags) {
    Messages.push_back({caption, text, flags});
    return 1;
}

bool TScriptServices::BrowseForFolder(const std::string& title, std::string& path) {
    BrowseTitle = title;
    path = BrowseAnswer ? BrowsePath : "";
    return BrowseAnswer;
}

bool TScriptServices::StartProgram(const std::string& commandLine) {
    Started.push_back(commandLine);
    return StartResult;
}

namespace {

// The demo payload's folder, and its package's beside it.
const TTempFolder& DemoFolder() {
    static TTempFolder folder;
    return folder;
}

} // namespace

const std::string& DemoPayload() {
    static const std::string payload = [] {
        const std::string payload = DemoFolder() / "payload\\";
        const std::string source = SourcePath("payload") + "\\";
        for (const char* name : {"VNT_Setup.lng", "vnt64.bmp", "server.cfg"})
            WriteBytes(payload + name, ReadBytes(source + name));
        for (const char* name : {"license_en.txt", "license_ru.txt", "readme.txt",
                                 "whatsnew_en.txt", "whatsnew_ru.txt", "WWW\\vantroms_default.html",
                                 "VNT_Admin\\VNT_Admin_en.chm", "VNT_Admin\\VNT_Admin_ru.chm"})
            WriteBytes(payload + "Setup\\" + name, ReadBytes(source + "Setup\\" + name));
        for (const char* name : {"VantroMS.exe", "VNT_Monitor.exe", "VNT_Admin\\VNT_Admin.exe"})
            WriteBytes(payload + "Setup\\" + name, std::string("stand-in ") + name);
        ForceFolders(payload + "Setup\\Config");
        return payload;
    }();
    return payload;
}

const std::string& DemoPackage() {
    static const std::string package = [] {
        const TTempFolder& folder = DemoFolder();
        WriteBytes(folder / "stub.exe", "MZ stub");
        WritePackage(folder / "stub.exe", DemoPayload(), folder / "setup.exe", TestKeySigner());
        return folder / "setup.exe";
    }();
    return package;
}

void WizardTest::SetUp() {
    OldDirectory = VnPlatform::CurrentDirectory();
    Scope = std::make_unique<TVnUIServicesScope>(Services);
    Application = std::make_unique<TVnComponent>(nullptr);
}

void WizardTest::TearDown() {
    Application.reset(); // the form and its objects
    Scope.reset();
    RestoreProcessState(OldDirectory);
}

void RestoreProcessState(const std::string& oldDirectory) {
    VnPlatform::SetCurrentDirectory(oldDirectory);
    for (const auto root : {VnPlatform::RegistryRoot::Machine, VnPlatform::RegistryRoot::User})
        VnPlatform::DeleteUninstallKey(root, UninstallKeyName);
    SetErrorReporter(nullptr);
    MsgFileNotFound = "File \"%s\" not found";
    MsgFileCorrupted = "File \"%s\" corrupted";
}

void WizardTest::Start() {
    Form = new TfrmMain(*Application);
    Form->InitForm(DemoPackage());
}

void WizardTest::GoToFolderPage() {
    Next();
    Form->chbAccept->Click();
    Next();
    ASSERT_EQ(TfrmMain::pgFolder, Form->PageIndex());
}

bool WizardTest::InstallInto(const std::string& folder, bool consoleOnly) {
    Form->edtFolder->Type(folder);
    (consoleOnly ? Form->rbtConsoleSetup : Form->rbtFullSetup)->Click();
    const int page = Form->PageIndex();
    Press(*Form->btnNext);
    return Form->PageIndex() != page;
}

bool WizardTest::Press(TVnButton& button) {
    return RunEvent([&] { button.Click(); });
}

std::string WizardTest::LastMessage() const {
    return Services.Messages.empty() ? "" : Services.Messages.back().Text;
}
