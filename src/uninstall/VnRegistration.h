// The product's entry in Apps (Programs and Features): its Uninstall key, written at the end of a
// successful installation and removed last by the uninstaller; and the uninstaller's program, the
// setup's own program without its payload.
#pragma once

#include <cstdint>
#include <string>

#include "VnPlatform.h"

class TVnArchive;
class TVnPackageFile;

// The key's name, the same for every version of the product.
extern const char* const UninstallKeyName; // "VantroMailServer"

struct TVnRegistration {
    std::string DisplayName; // product and version
    std::string Folder;      // the installation folder, ending with a separator
    std::string Language;
    bool ConsoleOnly = false;
    uint64_t InstalledBytes = 0;
};

// Writes the key under HKEY_LOCAL_MACHINE, or under HKEY_CURRENT_USER when the user may not
// write there; answers the root written. A failure of both raises EOSError.
VnPlatform::RegistryRoot RegisterInstallation(const TVnRegistration& registration);

// The registered installation: the machine's first, then the user's. False when there is none
// or it names no folder.
bool FindRegistration(TVnRegistration& registration, VnPlatform::RegistryRoot& root);

// Removes the key of a registration of folder, from either root; answers whether one was removed.
bool RemoveRegistration(const std::string& folder);

// The uninstaller's program: the package's bytes before its archive (programEnd), with the
// CheckSum and the certificate directory entry of its PE header cleared, so that it carries no
// broken signature.
std::string UninstallerImage(TVnPackageFile& package, int64_t programEnd);

// The uninstaller that an installation from the package writes: UninstallerImage, signed again
// when the archive carries the publisher's certificate table for it (SignedUninstallerEntry),
// and then byte for byte the file the publisher signed. A table that does not fit raises the
// package's corrupted message.
std::string InstalledUninstaller(TVnPackageFile& package, TVnArchive& archive);
