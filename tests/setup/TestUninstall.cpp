// The product's life after the installation: the installation record, the entry in Apps, the
// next setup's folder and the uninstaller's removal, which keeps the data and never goes beyond
// what the record lists; and the links that a user who may write the folder plants for the setup
// and the uninstaller, which lead neither anywhere else.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

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

    std::string LastMessage() const {
        return Services.Messages.empty() ? "" : Services.Messages.back().Text;
    }
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

// The folder an administrator's setup creates is protected like the program-files folder, and
// what holds the password is the user's alone; a standard user's installation inherits. Natively
// the rules stand as modes (under Wine the deployment test reads them).
TEST_F(UninstallTest, AnAdministratorsNewFolderAndThePasswordsFilesAreProtected) {
#ifdef _WIN32
    GTEST_SKIP() << "the modes that stand for the rules are the POSIX platform's";
#endif
    namespace fs = std::filesystem;
    const auto mode = [this](const char* path) {
        return static_cast<unsigned>(fs::status(NativePath(Folder + path)).permissions() &
                                     fs::perms::mask);
    };
    for (const bool administrator : {true, false}) {
        fs::remove_all(NativePath(Folder));
        Services.Administrator = administrator;
        ASSERT_EQ(VnExitCode::Success, Install());
        EXPECT_EQ(0755u, mode("")) << administrator;
        EXPECT_EQ(administrator ? 0700u : 0755u, mode("Config")) << administrator;
        EXPECT_EQ(administrator ? 0600u : 0644u, mode("VNT_Admin\\VNT_Admin.cfg")) << administrator;
    }
}

// Links planted in a folder before the setup runs there: at the log, at the temporary names that
// writers once used beside the log and the databases, and in place of a folder of the payload.
TEST_F(UninstallTest, NoLinkPlantedInTheFolderLeadsTheSetupOutside) {
    namespace fs = std::filesystem;
    const std::string outside = Target / "outside\\";
    WriteBytes(outside + "secret", "not ours");
    if (!MakeLink(outside + "secret", Target / "probe"))
        GTEST_SKIP() << "this account may not make links";
    const auto before = FolderContents(outside);
    const struct {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Links; // target, link in the folder
        int Code;
    } plants[] = {
        {"the log", {{"secret", "VNT_Setup.log"}}, VnExitCode::Success},
        {"the log, dangling", {{"made", "VNT_Setup.log"}}, VnExitCode::Success},
        {"temporary names",
         {{"made1", "VNT_Setup.log.1.tmp"},
          {"made2", "VNT_Setup.log.2.tmp"},
          {"made3", "Config\\server.cfg.1.tmp"},
          {"made4", "VNT_Admin\\VNT_Admin.cfg.1.tmp"}},
         VnExitCode::Success},
        {"a payload folder", {{"", "WWW"}}, VnExitCode::Fatal},
    };
    for (const auto& plant : plants) {
        fs::remove_all(NativePath(Folder));
        for (const char* made : {"Config", "VNT_Admin"})
            fs::create_directories(NativePath(Folder + made));
        for (const auto& [target, link] : plant.Links)
            ASSERT_TRUE(MakeLink(outside + target, Folder + link)) << link;
        EXPECT_EQ(plant.Code, Install()) << plant.Name;
        EXPECT_EQ(before, FolderContents(outside)) << plant.Name;
        for (const auto& [path, bytes] : FolderContents(Folder))
            if (!fs::is_symlink(NativePath(Folder + path))) { // the plants themselves
                EXPECT_EQ(std::string::npos, bytes.find("not ours")) << plant.Name << ": " << path;
            }
    }
}

// What a user who may write the folder swaps in while the uninstaller runs: a listed folder
// replaced by a link between the check of a file and its deletion, a listed file that is now a
// link, and one made read-only. The uninstall goes on, deletes nothing outside and keeps those.
TEST_F(UninstallTest, NoLinkSwappedInLeadsTheRemovalOutside) {
    ASSERT_EQ(VnExitCode::Success, Install());
    namespace fs = std::filesystem;
    const std::string outside = Target / "outside\\", moved = Target / "moved";
    WriteBytes(outside + "secret", "not ours");
    WriteBytes(outside + "vantroms_default.html", ReadBytes(Folder + "WWW\\vantroms_default.html"));
    if (!MakeLink(outside + "secret", Target / "probe"))
        GTEST_SKIP() << "this account may not make links";
    const auto before = FolderContents(outside);
    ASSERT_TRUE(fs::remove(NativePath(Folder + "readme.txt")));
    ASSERT_TRUE(MakeLink(outside + "secret", Folder + "readme.txt"));
    fs::permissions(NativePath(Folder + "license_ru.txt"), fs::perms::owner_read);
    bool swapped = false;
    RemovalCheckedHook() = [&](const std::string& path) {
        if (swapped || !EndsWith(path, "vantroms_default.html"))
            return;
        fs::rename(NativePath(Folder + "WWW"), NativePath(moved));
        swapped = MakeLink(outside, Folder + "WWW");
    };
    const int code = Uninstall();
    RemovalCheckedHook() = nullptr;
    ASSERT_EQ(VnExitCode::Success, code) << LastMessage();
    ASSERT_TRUE(swapped);
    EXPECT_EQ(before, FolderContents(outside));
    EXPECT_FALSE(PathExists(moved + "\\vantroms_default.html")); // the checked file itself
    EXPECT_TRUE(PathExists(Folder + "license_ru.txt"));
    const std::string log = ReadBytes(Folder + "VNT_Setup.log");
    for (const std::string& kept : {"Kept \"" + Folder + "readme.txt\": reached through a link",
                                    "Kept \"" + Folder + "license_ru.txt\": it cannot be deleted",
                                    "Kept \"" + Folder + "WWW\": reached through a link"})
        EXPECT_NE(std::string::npos, log.find(kept)) << kept;
    EXPECT_EQ(std::string::npos, log.find("not ours"));
}

// What an antivirus or a manual copy did to an installation, as its record shows it.
TEST_F(UninstallTest, AnInstallationIsComparedWithItsRecord) {
    ASSERT_EQ(VnExitCode::Success, Install());
#ifndef _WIN32 // the exit codes of the program, natively
    const auto check = [this] {
        const std::string command = "\"" VNT_VNTSETUP "\" check \"" + Folder + "\" >/dev/null";
        const int status = std::system(VnPlatform::NativeSeparators(command).c_str());
        return status == -1 ? -1 : status >> 8;
    };
    EXPECT_EQ(0, check());
#endif
    WriteBytes(Folder + "readme.txt", "changed");
    std::filesystem::remove(NativePath(Folder + "WWW\\vantroms_default.html"));
    std::filesystem::remove(NativePath(Folder + "license_en.txt"));
    const bool linked = MakeLink(Folder + "license_ru.txt", Folder + "license_en.txt");
    TVnInstallRecord record;
    ASSERT_TRUE(ReadInstallRecord(Folder, record));
    std::map<std::string, TVnFileState> states;
    for (const auto& [path, state] : CompareWithRecord(Folder, record))
        if (state != TVnFileState::AsInstalled)
            states[path] = state;
    std::map<std::string, TVnFileState> expected = {
        {"readme.txt", TVnFileState::Changed},
        {"WWW\\vantroms_default.html", TVnFileState::Missing},
        {"license_en.txt", linked ? TVnFileState::Link : TVnFileState::Missing}};
    EXPECT_EQ(expected, states);
#ifndef _WIN32
    EXPECT_EQ(1, check());
    std::filesystem::remove(NativePath(Folder + InstallRecordName));
    EXPECT_EQ(2, check());
#endif
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
