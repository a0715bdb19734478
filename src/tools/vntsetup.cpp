// vntsetup: the publisher's packaging tool and the unattended install, upgrade and import.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VnCommands.h"
#include "VnExitCodes.h"
#include "VnSysUtils.h"

namespace {

const TVnCommandEntry Commands[] = {
    {"keygen", CmdKeygen, "keygen --private PRIVATE.pem --public PUBLIC.key"},
    {"pack", CmdPack, "pack --stub STUB --payload DIR --private-key PRIVATE.pem --output OUT"},
    {"verify", CmdVerify, "verify PACKAGE [--public-key PUBLIC.key]"},
    {"list", CmdList, "list PACKAGE [--public-key PUBLIC.key] [--no-verify]"},
    {"extract", CmdExtract, "extract PACKAGE PATH DEST [--public-key PUBLIC.key] [--no-verify]"},
    {"install", CmdInstall,
     "install PACKAGE --dir DIR [--console-only] [--lang en|ru] [--admin NAME@DOMAIN] "
     "[--password TEXT | --password-file FILE] [--no-start] [--no-service]"},
    {"uninstall", CmdUninstall, "uninstall FOLDER"},
    {"encode-password", CmdEncodePassword, "encode-password TEXT"},
    {"upgrade", CmdUpgrade,
     "upgrade FOLDER --package PACKAGE --lang CODE [--admin NAME@DOMAIN] [--password TEXT] "
     "[--dry-run]"},
    {"import-legacy", CmdImportLegacy, "import-legacy FOLDER"},
};

int Usage() {
    std::fprintf(stderr, "usage:\n");
    for (const TVnCommandEntry& command : Commands)
        std::fprintf(stderr, "  vntsetup %s\n", command.Usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    VnPlatform::RestrictLibrarySearch();
    if (argc < 2)
        return Usage();
    VnPlatform::SetStdStreamsBinary();
    // Messages that the system would show in a box go to standard error, one line each.
    SetErrorReporter([](const std::string& text) {
        std::fprintf(stderr, "%s\n", OneLine(WithFullStop(text)).c_str());
    });
    for (const TVnCommandEntry& command : Commands) {
        if (std::strcmp(argv[1], command.Name) != 0)
            continue;
        try {
            return command.Run(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vntsetup %s: %s\n", command.Name, OneLine(e.what()).c_str());
            const auto* refused = dynamic_cast<const EVnSetupExit*>(&e);
            return refused && refused->ExitCode() == VnExitCode::BadSwitch ? refused->ExitCode()
                                                                           : 1;
        }
    }
    std::fprintf(stderr, "vntsetup: unknown command \"%s\"\n", argv[1]);
    return Usage();
}
