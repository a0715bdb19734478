// Shared by the wizard tests: scripted user-interface services, the demo package signed with the
// test key, and a wizard form initialised on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnTestSupport.h"
#include "VnVisUtils.h"
#include "fMain.h"

// Records every message box and started program and answers every question from its fields.
class TScriptServices : public TVnUIServices {
public:
    struct TMessage {
        std::string Caption, Text;
        unsigned Flags;
    };
    std::vector<TMessage> Messages;
    std::vector<std::string> Started;
    bool Administrator = true;
    bool StartResult = true;
    unsigned PrimaryLanguage = 0x09; // English
    std::string ProgramFiles = "C:\\Program Files";
    bool BrowseAnswer = false;
    std::string BrowsePath, BrowseTitle;
    int BusyCalls = 0, Repaints = 0;

    int MessageDialog(const std::string& caption, const std::string& text, unsigned flags) override;
    bool BrowseForFolder(const std::string& title, std::string& path) override;
    void SetBusy(bool busy) override { BusyCalls += busy ? 1 : 0; }
    void Repaint() override { ++Repaints; }
    bool IsAdministrator() override { return Administrator; }
    bool StartProgram(const std::string& commandLine) override;
    std::string ProgramFilesFolder() override { return ProgramFiles; }
    unsigned UserPrimaryLanguage() override { return PrimaryLanguage; }
    void OpenWithShell(const std::string& target) override {}
};

// The demo payload: payload/ with small stand-ins for the programs and the empty Config folder.
const std::string& DemoPayload();
// The demo payload packed and signed with the test key, built once per test program.
const std::string& DemoPackage();

// After a test that ran the setup: the current directory, the error reporter and the messages
// of start-up as they were, and no Uninstall key (on Windows: the test machine's own is removed).
void RestoreProcessState(const std::string& oldDirectory);

// A wizard form initialised on the demo package, with scripted services in force.
class WizardTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Initialises the form (after the test has set up the services).
    void Start();
    // Ticks the agreement and moves on to the folder page.
    void GoToFolderPage();
    // Types the folder and presses Next; answers whether the page changed.
    bool InstallInto(const std::string& folder, bool consoleOnly = false);
    void Next() { ASSERT_TRUE(Press(*Form->btnNext)); }
    // A click as the message loop runs it: false when it raised (and was shown).
    bool Press(TVnButton& button);
    std::string LastMessage() const;

    TScriptServices Services;
    std::unique_ptr<TVnUIServicesScope> Scope;
    std::unique_ptr<TVnComponent> Application;
    TfrmMain* Form = nullptr;
    TTempFolder Target;
    std::string OldDirectory;
};
