#include "VnRegistration.h"

#include <ctime>

#include "VnDetachedCertificates.h"
#include "VnPackageFile.h"
#include "VnPackageFormat.h"
#include "VnRemoval.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

const char* const UninstallKeyName = "VantroMailServer";

namespace {

using VnPlatform::RegistryRoot;
using VnPlatform::RegistryValue;

RegistryValue Text(const char* name, const std::string& text) {
    return {name, false, text, 0};
}
RegistryValue Number(const char* name, uint32_t number) {
    return {name, true, "", number};
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    char text[16] = "";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y%m%d", local);
    return text;
}

std::vector<RegistryValue> KeyValues(const TVnRegistration& registration) {
    const std::string uninstaller = "\"" + registration.Folder + UninstallerName + "\"";
    return {
        Text("DisplayName", registration.DisplayName),
        Text("DisplayVersion", VNT_DISPLAY_VERSION),
        Text("Publisher", VNT_PUBLISHER),
        Text("InstallLocation", ExcludeTrailingPathDelimiter(registration.Folder)),
        Text("DisplayIcon", registration.Folder + UninstallerName + ",0"),
        Text("UninstallString", uninstaller),
        Text("QuietUninstallString", uninstaller + " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART"),
        Text("InstallDate", Today()),
        Number("VersionMajor", VNT_VERSION_MAJOR),
        Number("VersionMinor", VNT_VERSION_MINOR),
        Number("EstimatedSize", static_cast<uint32_t>((registration.InstalledBytes + 1023) / 1024)),
        Number("NoModify", 1),
        Number("NoRepair", 1),
        Text("VntLanguage", registration.Language),
        Text("VntType", registration.ConsoleOnly ? "console" : "full"),
    };
}

const RegistryValue* Find(const std::vector<RegistryValue>& values, const char* name) {
    for (const RegistryValue& value : values)
        if (SameTextAscii(value.Name, name) && !value.IsNumber)
            return &value;
    return nullptr;
}

bool ReadRegistration(RegistryRoot root, TVnRegistration& registration) {
    std::vector<RegistryValue> values;
    if (!VnPlatform::ReadUninstallKey(root, UninstallKeyName, values))
        return false;
    const RegistryValue* folder = Find(values, "InstallLocation");
    if (!folder || folder->Text.empty())
        return false;
    registration = TVnRegistration();
    registration.Folder = IncludeTrailingPathDelimiter(folder->Text);
    if (const RegistryValue* name = Find(values, "DisplayName"))
        registration.DisplayName = name->Text;
    if (const RegistryValue* language = Find(values, "VntLanguage"))
        registration.Language = language->Text;
    if (const RegistryValue* type = Find(values, "VntType"))
        registration.ConsoleOnly = type->Text == "console";
    return true;
}

} // namespace

RegistryRoot RegisterInstallation(const TVnRegistration& registration) {
    const std::vector<RegistryValue> values = KeyValues(registration);
    for (const RegistryRoot root : {RegistryRoot::Machine, RegistryRoot::User})
        if (VnPlatform::WriteUninstallKey(root, UninstallKeyName, values))
            return root;
    RaiseLastOSError();
}

bool FindRegistration(TVnRegistration& registration, RegistryRoot& root) {
    for (const RegistryRoot candidate : {RegistryRoot::Machine, RegistryRoot::User})
        if (ReadRegistration(candidate, registration)) {
            root = candidate;
            return true;
        }
    return false;
}

bool RemoveRegistration(const std::string& folder) {
    bool removed = false;
    for (const RegistryRoot root : {RegistryRoot::Machine, RegistryRoot::User}) {
        TVnRegistration registration;
        if (ReadRegistration(root, registration) &&
            SameTextAscii(ExcludeTrailingPathDelimiter(registration.Folder),
                          ExcludeTrailingPathDelimiter(folder)))
            removed = VnPlatform::DeleteUninstallKey(root, UninstallKeyName) || removed;
    }
    return removed;
}

std::string UninstallerImage(TVnPackageFile& package, int64_t programEnd) {
    return package.Layout().UnsignedBytes(package.Stream(), programEnd);
}

std::string InstalledUninstaller(TVnPackageFile& package, TVnArchive& archive) {
    std::string uninstaller = UninstallerImage(package, archive.ProgramEnd());
    const std::string table = archive.ReadEntryText(VnPackageFormat::SignedUninstallerEntry);
    if (!table.empty() && !AttachCertificates(uninstaller, table))
        throw EVnException(FileCorruptedMessage(package.FileName()));
    return uninstaller;
}
