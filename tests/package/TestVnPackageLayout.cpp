// Packages in the forms an Authenticode signing tool leaves them, and forged certificate tables:
// the signature check and the archive reader agree on where the package ends, and every table
// that is not whole is a damaged package.
#include <functional>
#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnPackageFile.h"
#include "VnPackageFormat.h"
#include "VnProgramImages.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnUnpack.h"

using namespace VnPackageFormat;

namespace {

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    bytes.replace(offset, 4, LE32(value));
}

uint32_t Get32(const std::string& bytes, size_t offset) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The signature removed again: the table and its entry go, the padding and a CheckSum stay.
std::string RemovedForm(std::string signedForm, uint16_t magic) {
    signedForm.resize(Get32(signedForm, CertificateEntryOffset(magic)));
    Put32(signedForm, CertificateEntryOffset(magic), 0);
    Put32(signedForm, CertificateEntryOffset(magic) + 4, 0);
    Put32(signedForm, CheckSumOffset(), 0x0004b3c1);
    return signedForm;
}

class PackageLayoutTest : public testing::TestWithParam<uint16_t> {
protected:
    // The test key's package of the stub, unaligned unless told otherwise: 3 bytes of archive
    // body more than a multiple of 8.
    std::string Package(bool aligned = false) {
        std::string tail =
            ArchiveTail([](TVnArchiveWriter& writer) { writer.AddFile("readme.txt", "Read me."); });
        const std::string stub = MinimalProgram(GetParam());
        const size_t size = stub.size() + tail.size() + SignatureSize;
        tail.insert(0, (aligned ? 8 - size % 8 : 11 - size % 8) % 8, '\0');
        return SignedPackage(tail, stub);
    }

    // What the setup reads of the package: "refused" when the check fails. The archive of a
    // damaged table is refused unchecked too.
    std::string Read(const std::string& bytes) {
        WriteBytes(FFolder / "setup.exe", bytes);
        TVnPackageFile file(FFolder / "setup.exe");
        TVnKeyRecord key;
        TestPublicKey(key);
        if (file.CheckSignature(key))
            return TVnArchive(file, SignatureSize).ReadEntryText("readme.txt");
        if (file.Layout().Damaged()) {
            EXPECT_THROW(TVnArchive(file, SignatureSize), EVnException);
        }
        return "refused";
    }

    void ExpectRead(const std::string& bytes, const char* form) {
        EXPECT_EQ(Read(bytes), "Read me.") << form;
    }

    TTempFolder FFolder;
};

} // namespace

TEST_P(PackageLayoutTest, EverySignedFormReadsAsThePackage) {
    const uint16_t magic = GetParam();
    const std::string unaligned = Package(), aligned = Package(true);
    ASSERT_NE(unaligned.size() % 8, 0u);
    ASSERT_EQ(aligned.size() % 8, 0u);
    ExpectRead(aligned, "unsigned");
    ExpectRead(WithCertificateTable(aligned, magic), "signed");
    ExpectRead(WithCertificateTable(unaligned, magic), "signed with padding");
    ExpectRead(WithCertificateTable(aligned, magic, {1419, 64, 8}), "three records");
    ExpectRead(RemovedForm(WithCertificateTable(aligned, magic), magic), "removed");
    ExpectRead(RemovedForm(WithCertificateTable(unaligned, magic), magic), "removed, padding kept");
    std::string checkSum = WithCertificateTable(unaligned, magic);
    Put32(checkSum, CheckSumOffset(), 0xDEADBEEF);
    ExpectRead(checkSum, "another CheckSum");
}

TEST_P(PackageLayoutTest, ChangedBytesAndForgedTablesAreDamage) {
    const uint16_t magic = GetParam();
    const std::string signedForm = WithCertificateTable(Package(), magic);
    const uint32_t table = Get32(signedForm, CertificateEntryOffset(magic)),
                   size = Get32(signedForm, CertificateEntryOffset(magic) + 4);
    const auto forged = [&](uint32_t offset, uint32_t tableSize,
                            const std::function<void(std::string&)>& change = nullptr) {
        std::string bytes = signedForm;
        Put32(bytes, CertificateEntryOffset(magic), offset);
        Put32(bytes, CertificateEntryOffset(magic) + 4, tableSize);
        if (change)
            change(bytes);
        return bytes;
    };
    const struct {
        const char* Title;
        std::string Bytes;
    } cases[] = {
        {"archive byte", forged(table, size, [&](std::string& b) { b[0x400 + 20] ^= 1; })},
        {"image byte", forged(table, size, [](std::string& b) { b[0x300] ^= 1; })},
        {"table past the end", forged(table, size + 8)},
        {"table short of the end", forged(table + 8, size - 16)},
        {"unaligned table", forged(table - 4, size + 4)},
        {"table in the archive", forged(table - 64, size + 64)},
        {"table in the header", forged(8, uint32_t(signedForm.size()) - 8)},
        {"size below 8",
         [&] {
             std::string bytes = Package(true) + LE32(4);
             Put32(bytes, CertificateEntryOffset(magic), uint32_t(bytes.size()) - 4);
             Put32(bytes, CertificateEntryOffset(magic) + 4, 4);
             return bytes;
         }()},
        {"entry without size", forged(table, 0)},
        {"32-bit overflow", forged(0xFFFFFFF8, uint32_t(signedForm.size()) + 8)},
        {"record too long", forged(table, size, [&](std::string& b) { Put32(b, table, 1600); })},
        {"record below 8", forged(table, size, [&](std::string& b) { Put32(b, table, 4); })},
        {"zero appended to an unsigned package", Package(true) + '\0'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.Bytes), "refused") << c.Title;
}

TEST_P(PackageLayoutTest, PackWritesAStubThatSignsCleanly) {
    const uint16_t magic = GetParam();
    std::string stub = MinimalProgram(magic);
    Put32(stub, CheckSumOffset(), 0x00012345);
    WriteBytes(FFolder / "stub.exe", stub);
    WriteBytes(FFolder / "payload\\readme.txt", "Read me.");
    WritePackage(FFolder / "stub.exe", FFolder / "payload", FFolder / "out.exe", TestKeySigner());
    const std::string packed = ReadBytes(FFolder / "out.exe");
    EXPECT_EQ(packed.size() % 8, 0u);
    EXPECT_EQ(packed.substr(CheckSumOffset(), 4), LE32(0));
    ExpectRead(packed, "packed");
    ExpectRead(WithCertificateTable(packed, magic), "packed, signed");

    WriteBytes(FFolder / "stub.exe", WithCertificateTable(MinimalProgram(magic), magic));
    EXPECT_THROW(WritePackage(FFolder / "stub.exe", FFolder / "payload", FFolder / "signed.exe",
                              TestKeySigner()),
                 EVnException);
    EXPECT_FALSE(PathExists(FFolder / "signed.exe"));
}

INSTANTIATE_TEST_SUITE_P(PE, PackageLayoutTest, testing::Values(PE32Magic, PE32PlusMagic),
                         [](const testing::TestParamInfo<uint16_t>& info) {
                             return info.param == PE32Magic ? "PE32" : "PE32Plus";
                         });
