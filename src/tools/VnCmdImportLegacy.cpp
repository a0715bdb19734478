// vntsetup import-legacy: the first-generation import of a full installation, on its own.
#include <cstdio>

#include "VnCfgConvertor1.h"
#include "VnCommands.h"
#include "VnInstallLog.h"
#include "VnSysUtils.h"

namespace {

const char* const Usage = "import-legacy FOLDER";

const char* Done(bool done) {
    return done ? "done" : "not done";
}

// The import in the current directory, folder, and its report.
int Import(const std::string& folder) {
    const TVnLegacyImport result = ConvertLegacyConfig();
    switch (result.Outcome) {
    case TVnLegacyImport::ConfigExists:
        std::printf("nothing converted: %s or %s exists already\n", ServerCfgFile.c_str(),
                    StateCfgFile.c_str());
        return 0;
    case TVnLegacyImport::NoLegacyFile:
        std::printf("nothing converted: no %s in %s\n", LegacyCfgFile, folder.c_str());
        return 0;
    case TVnLegacyImport::WrongSignature:
        std::printf("nothing converted: %s is not a first-generation configuration\n",
                    LegacyCfgFile);
        return 0;
    case TVnLegacyImport::Converted:
        break;
    }
    std::printf("converted %s into %s and %s\n", LegacyCfgFile, ServerCfgFile.c_str(),
                StateCfgFile.c_str());
    std::printf("domain: %s\n", result.DomainName.c_str());
    std::printf("users: %zu, remote mailboxes: %zu, sorting rules: %zu, IP rules: %zu, "
                "schedules: %zu\n",
                result.Users, result.RemoteMailboxes, result.SortingRules, result.IPRules,
                result.Schedules);
    std::printf("Mail\\Mailbox\\ to Mail\\%s: %s\n", result.DomainName.c_str(),
                Done(result.MailboxRenamed));
    std::printf("remove Mail\\Inbound\\: %s\n", Done(result.InboundRemoved));
    std::printf("remove Mail\\Outbound\\: %s\n", Done(result.OutboundRemoved));
    std::printf("Mail to Mailbox: %s\n", Done(result.MailRenamed));
    return 0;
}

} // namespace

int CmdImportLegacy(const std::vector<std::string>& words) {
    const TVnArgs args(words, {}, {});
    args.ExpectPositional(1, Usage);
    const std::string folder = IncludeTrailingPathDelimiter(args.Positional()[0]);
    if (!VnPlatform::DirectoryExists(folder))
        throw EVnException(Format("Folder \"%s\" not found", args.Positional()[0].c_str()));
    return InstallLog().Run(folder, [&] {
        InstallLog().Write(ltLegacyImport, ExpandFileName(folder).c_str());
        OSCheck(VnPlatform::SetCurrentDirectory(folder));
        return Import(folder);
    });
}
