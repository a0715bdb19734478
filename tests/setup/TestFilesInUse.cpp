// A program file that another process holds open: the folder page refuses before writing and
// goes on once the file is free. Sharing modes exist on Windows only.
#include <chrono>
#include <thread>

#include "SetupTestSupport.h"
#include "VnExtraction.h"
#include "VnSignature.h"
#include "VnUnpack.h"

namespace {

// A child process of the test program that holds a file open for reading, without write sharing.
class THolder {
public:
    explicit THolder(const std::string& file) {
        EXPECT_TRUE(VnPlatform::CreateProcess(
            "\"" + TestProgramPath() + "\" \"--child-hold=" + file + "\"", true, FProcess));
        for (int i = 0; i < 300 && !PathExists(file + ".held"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(PathExists(file + ".held"));
        VnPlatform::DeleteFile(file + ".held");
    }
    ~THolder() { Release(); }
    void Release() {
        if (FProcess.process == 0)
            return;
        VnPlatform::TerminateProcess(FProcess, 0);
        VnPlatform::WaitForProcess(FProcess, 30000);
        VnPlatform::CloseProcess(FProcess);
        FProcess = VnPlatform::ProcessInfo();
    }

private:
    VnPlatform::ProcessInfo FProcess;
};

} // namespace

TEST_F(WizardTest, AServerHeldOpenByAnotherProcessStopsTheFolderPageUntilItIsReleased) {
#ifndef _WIN32
    GTEST_SKIP() << "files are not shared by modes here";
#endif
    const std::string folder = ExpandFileName(Target / "Vantro\\");
    {
        TVnArchive archive(DemoPackage(), SignatureSize);
        ExtractPackageFolder(archive, "Setup", folder, TVnExtractionTexts(), {});
    }
    WriteBytes(folder + "VantroMS.exe", "old server");
    const auto before = FolderContents(folder);
    Start();
    GoToFolderPage();
    THolder holder(folder + "VantroMS.exe");
    EXPECT_FALSE(InstallInto(folder));
    EXPECT_EQ(TfrmMain::pgFolder, Form->PageIndex());
    EXPECT_EQ(0u, LastMessage().find("The file \"" + folder + "VantroMS.exe\" is in use"))
        << LastMessage();
    auto after = FolderContents(folder);
    after.erase("VNT_Setup.log");
    EXPECT_TRUE(after == before);
    holder.Release();
    Next();
    EXPECT_EQ(TfrmMain::pgAdmin, Form->PageIndex());
    EXPECT_EQ(ReadBytes(folder + "VantroMS.exe"), "stand-in VantroMS.exe");
}
