// vntsetup upgrade: the configuration upgrade and the administrator page of the wizard, unattended.
#include <cstdio>

#include "VnCommands.h"
#include "VnDB.h"
#include "VnDBConvertor.h"
#include "VnInstallLog.h"
#include "VnPackageFile.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

namespace {

const char* const Usage = "upgrade FOLDER --package PACKAGE --lang CODE [--admin NAME@DOMAIN] "
                          "[--password TEXT] [--dry-run]";

// The first users, and how many more: a server may have tens of thousands.
std::string ListText(const std::vector<TVnAdminEntry>& list) {
    constexpr size_t Shown = 10;
    std::string text;
    for (size_t i = 0; i < list.size() && i < Shown; ++i)
        text += (i == 0 ? "" : ", ") + list[i].Text;
    if (list.size() > Shown)
        text += Format(" and %u more", static_cast<unsigned>(list.size() - Shown));
    return text;
}

// The entry named by --admin, or else the current administrator's.
const TVnAdminEntry& ChooseAdministrator(const std::vector<TVnAdminEntry>& list, int adminID,
                                         const TVnArgs& args) {
    if (list.empty())
        throw EVnException("server.cfg has no users to choose the administrator from");
    if (args.Has("--admin")) {
        const std::string wanted = args.Value("--admin");
        for (const TVnAdminEntry& entry : list)
            if (SameTextAscii(entry.Text, wanted))
                return entry;
        throw EVnException(
            Format("No user \"%s\"; the users are: %s", wanted.c_str(), ListText(list).c_str()));
    }
    for (const TVnAdminEntry& entry : list)
        if (entry.ID == adminID)
            return entry;
    throw EVnException(Format("server.cfg names no administrator among its users; choose one "
                              "with --admin (%s)",
                              ListText(list).c_str()));
}

std::string FoundText(const char* file, int version) {
    return version == 0 ? Format("%s: none", file) : Format("%s: version %d", file, version);
}

int Upgrade(const TVnArgs& args, const std::string& folder) {
    const std::string package = args.Required("--package");
    const std::string language = args.Required("--lang");
    const std::string password = args.Value("--password");
    const bool dryRun = args.Has("--dry-run");
    // The default database comes from a package whose signature holds, as for install.
    TVnPackageFile packageFile(ExpandFileName(package));
    VerifyPackage(packageFile, args);
    LogCheckedPackage(packageFile);
    InstallLog().Write(ltUpgrade, ExpandFileName(folder).c_str());

    TVnArchive archive(packageFile, SignatureSize);
    TVnDBConvertor convertor(archive);
    convertor.ConvertDatabases(folder + "Config\\", language);
    std::vector<TVnAdminEntry> list;
    const int adminID = convertor.GetAdminList(list);
    const TVnAdminEntry& admin = ChooseAdministrator(list, adminID, args);
    if (convertor.NewDatabase() && password.empty())
        throw EVnException("server.cfg is new (the default database): the administrator needs a "
                           "password, give it with --password");

    // In a dry run the report goes to standard error, so that standard output is the file.
    FILE* const report = dryRun ? stderr : stdout;
    std::fprintf(report, "%s%s\n", FoundText("server.cfg", convertor.ServerFileVersion()).c_str(),
                 convertor.NewDatabase() ? " (replaced by the default database)" : "");
    std::fprintf(report, "%s\n", FoundText("state.cfg", convertor.StateFileVersion()).c_str());
    std::fprintf(report, "written as: version %s (%d)\n", DatabaseVersion, DatabaseVersionNumber);
    std::fprintf(report, "administrator: %s\n", admin.Text.c_str());
    if (dryRun) {
        convertor.ApplyAdministrator(admin.ID, password);
        const std::string text = convertor.ServerText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fprintf(report, "dry run: nothing written\n");
        return 0;
    }
    ForceFolders(folder + "Config\\");
    ForceFolders(folder + "VNT_Admin\\");
    // Checked before the databases are written: a damaged file gives way to the template.
    TVnConsoleConfig console(folder + "VNT_Admin\\", true);
    InstallLog().Write(password.empty() ? ltAdministratorKept : ltAdministrator,
                       admin.Text.c_str());
    for (const std::string& file : convertor.SetAdministrator(admin.ID, password))
        std::fprintf(report, "written: %s\n", Shown(file).c_str());
    console.Write(admin.Text, language, password);
    std::fprintf(report, "written: %s\n", Shown(console.FileName()).c_str());
    return 0;
}

} // namespace

int CmdUpgrade(const std::vector<std::string>& words) {
    const TVnArgs args(words, {"--package", "--lang", "--admin", "--password"}, {"--dry-run"});
    args.ExpectPositional(1, Usage);
    const std::string folder = IncludeTrailingPathDelimiter(args.Positional()[0]);
    if (!VnPlatform::DirectoryExists(folder))
        throw EVnException(Format("Folder \"%s\" not found", folder.c_str()));
    // A dry run writes nothing, its log included.
    return InstallLog().Run(args.Has("--dry-run") ? "" : folder,
                            [&] { return Upgrade(args, folder); });
}
