// vntsetup: the publisher's packaging tool and the unattended install, upgrade and import.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VnCommands.h"
#include "VnExitCodes.h"
#include "VnPlatform.h"
#include "VnSysUtils.h"

namespace {

const TVnCommandEntry Commands[] = {
    {"keygen", CmdKeygen, "keygen --private PRIVATE.pem --public PUBLIC.key"},
    {"uninstaller", CmdUninstaller, "uninstaller --stub STUB --output OUT"},
    {"pack", CmdPack,
     "pack --stub STUB --payload DIR --private-key PRIVATE.pem --output OUT "
     "[--signed-uninstaller FILE]"},
    {"verify", CmdVerify, "verify PACKAGE [--public-key PUBLIC.key]"},
    {"list", CmdList, "list PACKAGE [--public-key PUBLIC.key] [--no-verify]"},
    {"extract", CmdExtract, "extract PACKAGE PATH DEST [--public-key PUBLIC.key] [--no-verify]"},
    {"install", CmdInstall,
     "install PACKAGE --dir DIR [--console-only] [--lang en|ru] [--admin NAME@DOMAIN] "
     "[--password TEXT | --password-file FILE] [--no-start] [--no-service]"},
    {"uninstall", CmdUninstall, "uninstall FOLDER"},
    {"check", CmdCheck, "check FOLDER"},
    {"encode-password", CmdEncodePassword, "encode-password TEXT"},
    {"upgrade", CmdUpgrade,
     "upgrade FOLDER --package PACKAGE --lang CODE [--admin NAME@DOMAIN] [--password TEXT] "
     "[--dry-run]"},
    {"import-legacy", CmdImportLegacy, "import-legacy FOLDER"},
};

int Usage(FILE* stream, int code) {
    std::fprintf(stream, "usage:\n");
    for (const TVnCommandEntry& command : Commands)
        std::fprintf(stream, "  vntsetup %s\n", command.Usage);
    return code;
}

bool AsksForHelp(const char* word) {
    for (const char* help : {"--help", "-h", "help"})
        if (std::strcmp(word, help) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    VnPlatform::RestrictLibrarySearch();
    if (argc < 2)
        return Usage(stderr, 2);
    if (AsksForHelp(argv[1]))
        return Usage(stdout, 0);
    VnPlatform::SetStdStreamsBinary();
    // Messages that the system would show in a box go to standard error, one line each.
    SetErrorReporter([](const std::string& text) {
        std::fprintf(stderr, "%s\n", Shown(WithFullStop(text)).c_str());
    });
    for (const TVnCommandEntry& command : Commands) {
        if (std::strcmp(argv[1], command.Name) != 0)
            continue;
        try {
            return command.Run(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vntsetup %s: %s\n", command.Name, Shown(e.what()).c_str());
            const auto* refused = dynamic_cast<const EVnSetupExit*>(&e);
            return refused && refused->ExitCode() == VnExitCode::BadSwitch ? refused->ExitCode()
                                                                           : 1;
        }
    }
    std::fprintf(stderr, "vntsetup: unknown command \"%s\"\n", argv[1]);
    return Usage(stderr, 2);
}
