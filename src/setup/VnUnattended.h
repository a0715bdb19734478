// The unattended install: the wizard's own form, without a window, driven through its pages with
// answers given in advance, exactly as a user would click and type.
#pragma once

#include <functional>
#include <string>

#include "VnVisUtils.h"

class TfrmMain;

struct TVnInstallAnswers {
    std::string Folder;       // typed into the folder field; empty: the wizard's default
    bool ConsoleOnly = false; // "Install only console"
    std::string Language;     // "en" or "ru"; empty: the user's default
    std::string Admin;        // name@domain; empty: the administrator the wizard selects
    bool HasPassword = false; // type Password twice (ticking "Change password" if needed)
    std::string Password;
    bool StartServer = true;     // leave "Start the server" ticked
    bool RegisterService = true; // leave "Register the server as a service" ticked
};

// Services that write every message box to `print`, answer no folder picker, and otherwise
// are the platform's.
class TVnConsoleServices : public TVnUIServices {
public:
    explicit TVnConsoleServices(std::function<void(const std::string&)> print)
        : FPrint(std::move(print)) {}
    int MessageDialog(const std::string& caption, const std::string& text, unsigned flags) override;

private:
    std::function<void(const std::string&)> FPrint;
};

// Plays the answers through the pages of an initialised wizard, as a user would click and type,
// with every page's step label given to print. The answers are checked first, against the
// databases of the folder too, and only then is beforeWriting called (if set) and the first page
// played: nothing is stopped or written for an answer that a page would refuse. Raises
// EVnSetupExit: VnExitCode::BadSwitch when an answer is refused (the page's message has been
// shown, or the reason is the exception's message), VnExitCode::Fatal when a page's action failed
// (its message has been shown).
void PlayAnswers(TfrmMain& form, const TVnInstallAnswers& answers,
                 const std::function<void(const std::string&)>& print,
                 const std::function<void()>& beforeWriting = nullptr);

// The answers as the starting values of the window's pages: language, folder, kind and tasks.
void PresetAnswers(TfrmMain& form, const TVnInstallAnswers& answers);

// The folder the answers install into (the folder field's default when they name none), absolute,
// with a trailing separator.
std::string AnswerFolder(const TfrmMain& form, const TVnInstallAnswers& answers);

// The answers that the wizard holds now: what a user chose, for an answer file. No password.
TVnInstallAnswers AnswersOfForm(const TfrmMain& form);

// Runs the whole program (RunSetup) over package with the services installed and the answers
// played (PlayAnswers). Every page's step label and every extracted folder go to print. Answers
// the exit code of RunSetup.
int RunUnattended(const std::string& package, const TVnInstallAnswers& answers,
                  TVnUIServices& services, const std::function<void(const std::string&)>& print);
