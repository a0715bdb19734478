// vntsetup install: the wizard's own form driven through its pages without a window, with the
// answers taken from the command line.
#include <cstdio>
#include <utility>

#include "VnCommands.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"
#include "fMain.h"

namespace {

// The wizard's error messages are failures: one line each on standard error.
class TVnInstallServices : public TVnConsoleServices {
public:
    using TVnConsoleServices::TVnConsoleServices;
    int MessageDialog(const std::string& caption, const std::string& text,
                      unsigned flags) override {
        if (!(flags & MB_ICONERROR_FLAG))
            return TVnConsoleServices::MessageDialog(caption, text, flags);
        std::fprintf(stderr, "%s\n", OneLine(text).c_str());
        return 1;
    }
};

} // namespace

int CmdInstall(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--dir", "--lang", "--admin", "--password"},
                 {"--console-only", "--no-start", "--no-service"});
    args.ExpectPositional(1, "install PACKAGE --dir DIR [--console-only] [--lang en|ru] "
                             "[--admin NAME@DOMAIN] [--password TEXT] [--no-start] [--no-service]");
    // Typed into the wizard's fields, longer answers would be cut: refused before anything is done.
    for (const auto& [option, limit] :
         {std::pair<const char*, size_t>{"--dir", TfrmMain::FolderMaxLength},
          {"--password", TfrmMain::PasswordMaxLength}})
        if (args.Value(option).size() > limit)
            throw EVnException(Format("Option %s is longer than %u characters", option,
                                      static_cast<unsigned>(limit)));
    TVnInstallAnswers answers;
    answers.Folder = args.Required("--dir");
    answers.ConsoleOnly = args.Has("--console-only");
    answers.Language = args.Value("--lang");
    answers.Admin = args.Value("--admin");
    answers.HasPassword = args.Has("--password");
    answers.Password = args.Value("--password");
    answers.StartServer = !args.Has("--no-start");
    answers.RegisterService = !args.Has("--no-service");
    const auto print = [](const std::string& line) {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    };
    TVnInstallServices services(print);
    return RunUnattended(args.Positional()[0], answers, services, print);
}
