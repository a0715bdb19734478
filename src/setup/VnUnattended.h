// The unattended install: the wizard's own form, without a window, driven through its pages with
// answers given in advance, exactly as a user would click and type.
#pragma once

#include <functional>
#include <string>

#include "VnVisUtils.h"

struct TVnInstallAnswers {
    std::string Folder;       // typed into the folder field
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
    bool BrowseForFolder(const std::string& title, std::string& path) override { return false; }

private:
    std::function<void(const std::string&)> FPrint;
};

// Runs the whole program (RunSetup) over package with the services installed. Every page's step
// label and every extracted folder go to print. Answers the exit code: 0 after Finish, 1 when the
// package is damaged, a page's action failed (its message has been shown) or an answer does not
// fit the wizard's choices.
int RunUnattended(const std::string& package, const TVnInstallAnswers& answers,
                  TVnUIServices& services, const std::function<void(const std::string&)>& print);
