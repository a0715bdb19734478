// Seeds for the fuzz targets that the repository holds no file of: a first-generation
// configuration, and packages of the demo payload signed with the test key, with a plain stub
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
#include "VnTestSupport.h"

using namespace VnPackageFormat;

namespace {

void Put(std::string& bytes, size_t at, uint32_t value, size_t size) {
    for (size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

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

// A PE32 program of one 512-byte section, as a linker writes it: CheckSum and certificate
// directory entry zero.
const uint32_t PEHeader = DosHeaderSize;
const uint32_t OptionalHeader = PEHeader + OptionalHeaderOffset;
const uint32_t OptionalHeaderSize = DirectoriesOffset32 + 16 * DirectoryEntrySize;

std::string PEProgram() {
    const uint32_t headersSize = 512, sectionSize = 512;
    std::string image(headersSize + sectionSize, '\0');
    Put(image, 0, DosMagic, 2);
    Put(image, PEOffsetField, PEHeader, 4);
    Put(image, PEHeader, PESignature, 4);
    const uint32_t fileHeader = PEHeader + FileHeaderOffset;
    Put(image, fileHeader, 0x14C, 2); // i386
    Put(image, fileHeader + SectionCountField, 1, 2);
    Put(image, fileHeader + OptionalHeaderSizeField, OptionalHeaderSize, 2);
    Put(image, OptionalHeader, PE32Magic, 2);
    Put(image, OptionalHeader + SizeOfHeadersField, headersSize, 4);
    Put(image, OptionalHeader + DirectoryCountField32, 16, 4);
    const uint32_t section = OptionalHeader + OptionalHeaderSize;
    image.replace(section, 5, ".text");
    Put(image, section + SectionRawSizeField, sectionSize, 4);
    Put(image, section + SectionRawOffsetField, headersSize, 4);
    image[headersSize] = '\xC3';
    return image;
}

// The package as a signing tool leaves it: one WIN_CERTIFICATE record after it, named by the
// certificate directory entry, and a CheckSum.
std::string WithCertificateTable(std::string package) {
    const std::string certificate = "\x30\x82 not a real PKCS#7 signature";
    const uint32_t length = CertificateHeaderSize + uint32_t(certificate.size());
    std::string record(CertificateHeaderSize, '\0');
    Put(record, 0, length, 4);
    Put(record, 4, 0x0200, 2); // WIN_CERT_REVISION_2_0
    Put(record, 6, 0x0002, 2); // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    record += certificate;
    record.resize((record.size() + Alignment - 1) / Alignment * Alignment, '\0');
    const uint32_t entry =
        OptionalHeader + DirectoriesOffset32 + CertificateDirectory * DirectoryEntrySize;
    Put(package, entry, uint32_t(package.size()), 4);
    Put(package, entry + 4, uint32_t(record.size()), 4);
    Put(package, OptionalHeader + CheckSumField, 0x1234567, 4);
    return package + record;
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
        WriteFile(seeds + "legacy.cfg", LegacyConfig());
        WriteFile(seeds + "plain_stub.exe", "MZ stub");
        WriteFile(seeds + "pe_stub.exe", PEProgram());
        TVnKeyRecord key;
        TestPublicKey(key);
        for (const char* stub : {"plain_stub.exe", "pe_stub.exe"}) {
            const std::string package = seeds + "package_" + stub;
            WritePackage(seeds + stub, SourcePath("payload"), package, TestKeySigner());
            CheckSigned(package, key);
        }
        const std::string signedPackage = seeds + "package_authenticode.exe";
        WriteFile(signedPackage, WithCertificateTable(ReadFileText(seeds + "package_pe_stub.exe")));
        CheckSigned(signedPackage, key);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
