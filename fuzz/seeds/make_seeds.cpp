// Seeds for the fuzz targets that the repository holds no file of: answer files in UTF-8 and
// UTF-16 with their byte-order marks, a first-generation configuration, and packages of the demo payload signed with the test key, with a plain stub
// and with a PE program, the latter also as a code-signing tool leaves it (a certificate table
// after the package, named by the PE header, and a CheckSum). A signed seed that fails its
// signature check ends the program with exit code 1.
//   make_fuzz_seeds SEED_DIR
#include <cstdio>
#include <string>

#include "LegacyStreamWriter.h"
#include "VnArchiveWriter.h"
#include "VnPackageFile.h"
#include "VnPackageFormat.h"
#include "VnProgramImages.h"
#include "VnTestSupport.h"

using namespace VnPackageFormat;

namespace {

void WriteFile(const std::string& fileName, const std::string& bytes) {
    TVnFileStream file(fileName, TVnFileStream::Mode::Create);
    file.WriteBuffer(bytes.data(), bytes.size());
}

std::string LegacyConfig() {
    TLegacyConfig config;
    config.LaunchCount = "7";
    config.Settings.Str(SettingsTag::DomainName, "example.ru")
        .Str(SettingsTag::PostmasterAddress, "anna");
    config.UserMgr.Collection(ListTag, {TLegacyObject()
                                            .Str(UserTag::Name, "anna")
                                            .Password(UserTag::Password, "secret")
                                            .Bool(UserTag::Enabled, 1)});
    return LegacyFile(config.Root());
}

void CheckSigned(const std::string& fileName, const TVnKeyRecord& key) {
    TVnPackageFile package(fileName);
    if (!package.CheckSignature(key))
        throw Exception("The seed \"" + fileName + "\" fails its signature check");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds SEED_DIR\n");
        return 2;
    }
    const std::string seeds = std::string(argv[1]) + "/";
    try {
        WriteFile(seeds + "answers_utf8.inf",
                  "\xEF\xBB\xBF[Setup]\r\nDir=C:\\Vantro\r\nLang=ru\r\n");
        WriteFile(
            seeds + "answers_utf16.inf",
            std::string("\xFF\xFE[\0S\0e\0t\0u\0p\0]\0\r\0\n\0T\0y\0p\0e\0=\0c\0o\0n\0s\0o\0l\0e\0",
                        44));
        WriteFile(seeds + "legacy.cfg", LegacyConfig());
        WriteFile(seeds + "plain_stub.exe", "MZ stub");
        WriteFile(seeds + "pe_stub.exe", MinimalProgram(PE32Magic));
        TVnKeyRecord key;
        TestPublicKey(key);
        for (const char* stub : {"plain_stub.exe", "pe_stub.exe"}) {
            const std::string package = seeds + "package_" + stub;
            WritePackage(seeds + stub, SourcePath("payload"), package, TestKeySigner());
            CheckSigned(package, key);
        }
        const std::string signedPackage = seeds + "package_authenticode.exe";
        WriteFile(signedPackage, WithCertificateTable(ReadFileText(seeds + "package_pe_stub.exe"),
                                                      PE32Magic, {40}));
        CheckSigned(signedPackage, key);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
