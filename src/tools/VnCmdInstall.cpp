// vntsetup install: the wizard's own form driven through its pages without a window, with the
// answers taken from the command line.
#include <cstdio>

#include "VnCommands.h"
#include "VnExitCodes.h"
#include "VnSetupOptions.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

// The wizard's error messages are failures: one line each on standard error.
class TVnInstallServices : public TVnConsoleServices {
public:
    using TVnConsoleServices::TVnConsoleServices;
    int MessageDialog(const std::string& caption, const std::string& text,
                      unsigned flags) override {
        if (!(flags & MB_ICONERROR_FLAG))
            return TVnConsoleServices::MessageDialog(caption, text, flags);
        std::fprintf(stderr, "%s\n", Shown(text).c_str());
        return 1;
    }
};

} // namespace

int CmdInstall(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--dir", "--lang", "--admin", "--password", "--password-file"},
                 {"--console-only", "--no-start", "--no-service"});
    args.ExpectPositional(1, "install PACKAGE --dir DIR [--console-only] [--lang en|ru] "
                             "[--admin NAME@DOMAIN] [--password TEXT | --password-file FILE] "
                             "[--no-start] [--no-service]");
    const bool passwordFile = args.Has("--password-file");
    if (passwordFile && args.Has("--password"))
        throw EVnException("Options --password and --password-file exclude each other");
    TVnInstallAnswers answers;
    answers.Folder = args.Required("--dir");
    answers.ConsoleOnly = args.Has("--console-only");
    answers.Language = args.Value("--lang");
    answers.Admin = args.Value("--admin");
    answers.HasPassword = passwordFile || args.Has("--password");
    answers.Password =
        passwordFile ? ReadPasswordFile(args.Value("--password-file")) : args.Value("--password");
    answers.StartServer = !args.Has("--no-start");
    answers.RegisterService = !args.Has("--no-service");
    // Checked as the wizard's pages would, before anything is done.
    CheckAnswers(answers, {"Option --dir", "Option --lang",
                           passwordFile ? "Option --password-file" : "Option --password"});
    const auto print = [](const std::string& line) {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    };
    TVnInstallServices services(print);
    const int code = RunUnattended(args.Positional()[0], answers, services, print);
    // A process's status keeps 8 bits: a bad answer is 87, any other failure 1.
    return code == VnExitCode::Success || code == VnExitCode::BadSwitch ? code : 1;
}
