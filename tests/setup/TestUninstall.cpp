// The product's life after the installation: the installation record, the entry in Apps, the
// next setup's folder and the uninstaller's removal, which keeps the data and never goes beyond
// what the record lists.
#include <algorithm>
#include <filesystem>

#include "SetupTestSupport.h"
#include "VnExitCodes.h"
#include "VnInstallRecord.h"
#include "VnRegistration.h"
#include "VnRemoval.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

class UninstallTest : public testing::Test {
protected:
    void TearDown() override { RestoreProcessState(FOldDirectory); }

    int Install(bool consoleOnly = false) {
        TVnInstallAnswers answers;
        answers.Folder = Folder;
        answers.ConsoleOnly = consoleOnly;
        answers.HasPassword = !consoleOnly;
        answers.Password = "pw";
        return RunUnattended(DemoPackage(), answers, Services, [](const std::string&) {});
    }
    int Uninstall() {
        TVnSetupFrontEnd frontEnd;
        frontEnd.WindowServices = &Services;
        const int code = RunUninstallProgram(Folder, {"/VERYSILENT"}, frontEnd);
        if (code == VnExitCode::Success)
            RemoveUninstaller(Folder, UninstallTexts("en"));
        return code;
    }
    std::string Registered(const char* name) {
        std::vector<VnPlatform::RegistryValue> values;
        VnPlatform::ReadUninstallKey(VnPlatform::RegistryRoot::Machine, UninstallKeyName, values);
        for (const VnPlatform::RegistryValue& value : values)
            if (value.Name == name)
                return value.IsNumber ? std::to_string(value.Number) : value.Text;
        return "<none>";
    }

    TScriptServices Services;
    TTempFolder Target;
    // As the folder page makes it.
    const std::string Folder = IncludeTrailingPathDelimiter(ExpandFileName(Target / "Vantro\\"));
    std::string FOldDirectory = VnPlatform::CurrentDirectory();
};

TEST_F(UninstallTest, TheUninstallerRemovesWhatWasInstalledAndKeepsTheData) {
    ASSERT_EQ(VnExitCode::Success, Install());
    const struct {
        const char* Name;
        std::string Value;
    } registered[] = {
        {"DisplayName", "Vantro Mail Server 3.08"},
        {"DisplayVersion", "3.08"},
        {"Publisher", "Vantro Mail Server authors"},
        {"InstallLocation", ExcludeTrailingPathDelimiter(Folder)},
        {"UninstallString", "\"" + Folder + "VNT_Uninstall.exe\""},
        {"QuietUninstallString",
         "\"" + Folder + "VNT_Uninstall.exe\" /VERYSILENT /SUPPRESSMSGBOXES /NORESTART"},
        {"VersionMajor", "3"},
        {"VersionMinor", "8"},
        {"NoModify", "1"},
        {"NoRepair", "1"},
        {"VntLanguage", "en"},
        {"VntType", "full"},
    };
    for (const auto& value : registered)
        EXPECT_EQ(value.Value, Registered(value.Name)) << value.Name;
    EXPECT_EQ(8u, Registered("InstallDate").size());

    WriteBytes(Folder + "WWW\\mine.html", "the user's");
    WriteBytes(Folder + "license_en.txt", "changed by the user");
    WriteBytes(Folder + "Mailbox\\example.ru\\1.eml", "mail");
    ASSERT_EQ(VnExitCode::Success, Uninstall());
    for (const char* removed :
         {"VantroMS.exe", "VNT_Monitor.exe", "license_ru.txt", "VNT_Admin\\VNT_Admin.exe",
          "WWW\\vantroms_default.html", "VNT_Uninstall.exe", "VNT_Install.rec"})
        EXPECT_FALSE(PathExists(Folder + removed)) << removed;
    for (const char* kept : {"Config\\server.cfg", "VNT_Admin\\VNT_Admin.cfg", "VNT_Setup.log",
                             "WWW\\mine.html", "license_en.txt", "Mailbox\\example.ru\\1.eml"})
        EXPECT_TRUE(PathExists(Folder + kept)) << kept;
    EXPECT_EQ("<none>", Registered("DisplayName"));
    const std::string log = ReadBytes(Folder + "VNT_Setup.log");
    EXPECT_NE(std::string::npos, log.find("Kept \"" + Folder + "license_en.txt\": changed"));
    EXPECT_NE(std::string::npos, log.find("Registration VantroMailServer removed"));
}

TEST_F(UninstallTest, ALinkOrADamagedRecordLeavesEverythingInPlace) {
    ASSERT_EQ(VnExitCode::Success, Install());
    // WWW becomes a link to a folder outside with the same files.
    const std::string outside = Target / "outside";
    const auto native = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return std::filesystem::path(path);
    };
    std::filesystem::rename(native(Folder + "WWW"), native(outside));
    std::error_code refused; // Windows lets only some accounts make links
    std::filesystem::create_directory_symlink(native(outside), native(Folder + "WWW"), refused);
    const auto before = FolderContents(outside);

    std::string record = ReadBytes(Folder + InstallRecordName);
    const std::string intact = record;
    record[record.find("VantroMS.exe")] = 'W';
    WriteBytes(Folder + InstallRecordName, record);
    for (const std::string& text : {record, std::string()}) {
        if (text.empty())
            std::filesystem::remove(native(Folder + InstallRecordName));
        else
            WriteBytes(Folder + InstallRecordName, text);
        EXPECT_EQ(VnExitCode::Fatal, Uninstall());
        EXPECT_TRUE(PathExists(Folder + "VantroMS.exe"));
        EXPECT_TRUE(PathExists(Folder + "VNT_Uninstall.exe"));
        EXPECT_EQ("Vantro Mail Server 3.08", Registered("DisplayName"));
    }
    EXPECT_TRUE(EndsWith(Services.Messages.back().Text, "nothing has been removed."));

    WriteBytes(Folder + InstallRecordName, intact);
    ASSERT_EQ(VnExitCode::Success, Uninstall());
    EXPECT_FALSE(PathExists(Folder + "VantroMS.exe"));
    if (!refused) {
        EXPECT_EQ(before, FolderContents(outside));
    }
}

TEST_F(UninstallTest, TheNextSetupFindsTheRegisteredFolderAndUpdatesTheRecord) {
    ASSERT_EQ(VnExitCode::Success, Install(true));
    TVnInstallRecord record;
    ASSERT_TRUE(ReadInstallRecord(Folder, record));
    EXPECT_TRUE(record.ConsoleOnly);
    EXPECT_EQ("VNT_Admin", record.Folders.at(0));

    TVnComponent application(nullptr);
    TVnUIServicesScope scope(Services);
    auto* form = new TfrmMain(application);
    form->InitForm(DemoPackage());
    EXPECT_EQ(ExcludeTrailingPathDelimiter(Folder),
              ExcludeTrailingPathDelimiter(form->edtFolder->Text()));
    form->DoneForm();

    ASSERT_EQ(VnExitCode::Success, Install());
    ASSERT_TRUE(ReadInstallRecord(Folder, record));
    EXPECT_FALSE(record.ConsoleOnly);
    for (const char* file : {"VNT_Admin\\VNT_Admin.exe", "VantroMS.exe", "VNT_Uninstall.exe"})
        EXPECT_TRUE(std::any_of(record.Files.begin(), record.Files.end(),
                                [&](const TVnRecordedFile& f) { return f.Path == file; }))
            << file;
    EXPECT_EQ("full", Registered("VntType"));
}

} // namespace
