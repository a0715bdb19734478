// vntsetup verify: the setup program's own signature check on a package. An Authenticode
// signature after it, and one the package carries for its uninstaller, are named, not checked.
#include <cstdio>
#include <cstring>

#include "VnCommands.h"
#include "VnPackageFile.h"
#include "VnPackageLayout.h"
#include "VnPublicKey.h"
#include "VnRegistration.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

static_assert(VnPublicKeyRecordSize == KeyRecordSize, "the public key record has 256 bytes");

void CommandPublicKey(const TVnArgs& args, TVnKeyRecord& key) {
    std::memcpy(key, VnPublicKeyRecord, sizeof key);
    if (!args.Has("--public-key"))
        return;
    const std::string keyFile = args.Value("--public-key");
    const std::string record = ReadFileText(keyFile);
    if (record.size() != sizeof key)
        throw EVnException(Format("\"%s\" is not a 256-byte public key record", keyFile.c_str()));
    std::memcpy(key, record.data(), sizeof key);
}

void VerifyPackage(TVnPackageFile& package, const TVnArgs& args) {
    if (args.Has("--no-verify"))
        return;
    TVnKeyRecord key;
    CommandPublicKey(args, key);
    if (!package.CheckSignature(key))
        throw EVnException(FileCorruptedMessage(package.FileName()));
}

int CmdVerify(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--public-key"}, {});
    args.ExpectPositional(1, "verify PACKAGE [--public-key PUBLIC.key]");
    TVnKeyRecord key;
    CommandPublicKey(args, key);
    TVnPackageFile package(ExpandFileName(args.Positional()[0]));
    if (!package.CheckSignature(key)) {
        std::fprintf(stderr, "%s\n",
                     WithFullStop(FileCorruptedMessage(package.FileName())).c_str());
        return 1;
    }
    TVnArchive archive(package, SignatureSize);
    TVnStringStream uninstaller(InstalledUninstaller(package, archive));
    const TVnPackageLayout uninstallerLayout(uninstaller);
    std::printf("OK\n");
    const TVnPackageLayout& layout = package.Layout();
    if (layout.HasCertificateTable())
        std::printf("Authenticode certificate table: %u bytes, not checked here (check it with "
                    "signtool verify /pa or osslsigncode verify)\n",
                    layout.CertificateTable().Size);
    if (uninstallerLayout.HasCertificateTable())
        std::printf("Signed uninstaller: Authenticode certificate table of %u bytes, written "
                    "with every VNT_Uninstall.exe (check an installed one with signtool verify "
                    "/pa or osslsigncode verify)\n",
                    uninstallerLayout.CertificateTable().Size);
    return 0;
}
