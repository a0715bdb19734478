// The signed uninstaller a package carries apart from its program: pack takes only the stub's own
// uninstaller with a whole certificate table after it and keeps the table outside the payload;
// the signed file comes back byte for byte from any package of the stub.
#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnDetachedCertificates.h"
#include "VnPackageFile.h"
#include "VnPackageFormat.h"
#include "VnProgramImages.h"
#include "VnRegistration.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnUnpack.h"

using namespace VnPackageFormat;

namespace {

class SignedUninstallerTest : public testing::Test {
protected:
    void SetUp() override {
        // 1021 bytes: a signing tool pads the uninstaller with 3 zero bytes.
        WriteBytes(FFolder / "stub.exe", MinimalProgram(PE32Magic, 509));
        WriteBytes(FFolder / "payload\\Setup\\readme.txt", "Read me.");
        FImage = UnsignedStub(FFolder / "stub.exe");
    }

    std::string Signed(const std::vector<uint32_t>& records = {1512}) const {
        return WithCertificateTable(FImage, PE32Magic, records);
    }

    void Pack(const std::string& signedUninstaller, const std::string& output) {
        WriteBytes(FFolder / "signed.exe", signedUninstaller);
        WritePackage(FFolder / "stub.exe", FFolder / "payload", output, TestKeySigner(),
                     FFolder / "signed.exe");
    }

    TTempFolder FFolder;
    std::string FImage;
};

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    bytes.replace(offset, 4, LE32(value));
}

} // namespace

TEST_F(SignedUninstallerTest, PackRefusesAnythingButTheStubsUninstallerSigned) {
    const std::string signedForm = Signed();
    const auto changed = [&](size_t offset) {
        std::string bytes = signedForm;
        bytes[offset] ^= 1;
        return bytes;
    };
    std::string pastTheEnd = signedForm;
    Put32(pastTheEnd, CertificateEntryOffset(PE32Magic) + 4, 1520);
    const struct {
        const char* Title;
        std::string Bytes;
        const char* PayloadFile; // a top-level file of the payload
        std::string Reason;
    } cases[] = {
        {"another stub's uninstaller",
         WithCertificateTable(MinimalProgram(PE32Magic, 509, '\x90'), PE32Magic), "",
         "byte 512 differs"},
        {"a changed byte", changed(700), "", "byte 700 differs"},
        {"unsigned", FImage, "", "it carries no Authenticode signature"},
        {"bytes after the table", signedForm + "tail", "", "4 bytes follow its certificate table"},
        {"a table past the end of the file", pastTheEnd, "",
         "its certificate table does not fit (it must start on an 8-byte boundary after the "
         "program, end with the file and consist of whole certificate records)"},
        {"8 zero bytes of padding", WithCertificateTable(FImage + std::string(8, '\0'), PE32Magic),
         "", "more than 7 zero bytes lie before its certificate table"},
        {"a byte in the padding", WithCertificateTable(FImage + '\x01', PE32Magic), "",
         "byte 1021 differs"},
        {"the table's entry name in the payload", signedForm, "vnt_uninstall.EXE.sig", ""},
    };
    const std::string output = FFolder / "setup.exe";
    for (const auto& c : cases) {
        const std::string payloadFile = FFolder / "payload\\" + c.PayloadFile;
        if (*c.PayloadFile)
            WriteBytes(payloadFile, "mine");
        const std::string expected =
            *c.PayloadFile
                ? "Cannot pack \"" + payloadFile +
                      "\": the package keeps that name for its signed uninstaller"
                : "\"" + FFolder / "signed.exe" + "\" is not the signed uninstaller of \"" +
                      FFolder / "stub.exe" + "\": " + c.Reason;
        try {
            Pack(c.Bytes, output);
            ADD_FAILURE() << c.Title << ": packed";
        } catch (const EVnException& e) {
            EXPECT_EQ(VnPlatform::NativeSeparators(e.what()),
                      VnPlatform::NativeSeparators(expected))
                << c.Title;
        }
        EXPECT_FALSE(PathExists(output)) << c.Title;
        if (*c.PayloadFile)
            VnPlatform::DeleteFile(payloadFile);
    }
}

TEST_F(SignedUninstallerTest, TheSignedFileComesBackFromTheProgramWithAnyPadding) {
    for (const std::vector<uint32_t>& records : {std::vector<uint32_t>{1512}, {1419, 64, 8}}) {
        const std::string signedForm = Signed(records);
        const std::string detached = DetachCertificates(signedForm, FImage);
        // A package pads its program with 0 to 7 zero bytes; the signing tool padded it with 3.
        for (size_t zeros = 0; zeros < Alignment; ++zeros) {
            std::string uninstaller = FImage + std::string(zeros, '\0');
            ASSERT_TRUE(AttachCertificates(uninstaller, detached)) << zeros;
            EXPECT_TRUE(uninstaller == signedForm) << zeros;
        }
    }
    // Too short for the table's offset; a byte that is no padding where the table goes; a table
    // cut short.
    const std::string detached = DetachCertificates(Signed(), FImage);
    const std::string shortImage = FImage.substr(0, 1016),
                      longImage = FImage + std::string(6, '\0') + '\x01';
    for (const auto& [image, table] :
         {std::make_pair(shortImage, detached), std::make_pair(longImage, detached),
          std::make_pair(FImage, detached.substr(0, 1000))}) {
        std::string uninstaller = image;
        EXPECT_FALSE(AttachCertificates(uninstaller, table)) << image.size() << " " << table.size();
        EXPECT_TRUE(uninstaller == image);
    }
}

TEST_F(SignedUninstallerTest, ThePackageCarriesTheTableOutsideItsPayload) {
    const std::string signedForm = Signed();
    Pack(signedForm, FFolder / "setup.exe");
    const std::string packed = ReadBytes(FFolder / "setup.exe");
    // Signed with Authenticode too: the package's own table changes nothing.
    for (const std::string& form : {std::string("packed"), std::string("signed")}) {
        WriteBytes(FFolder / form + ".exe",
                   form == "packed" ? packed : WithCertificateTable(packed, PE32Magic));
        TVnPackageFile file(FFolder / form + ".exe");
        TVnKeyRecord key;
        TestPublicKey(key);
        ASSERT_TRUE(file.CheckSignature(key)) << form;
        TVnArchive archive(file, SignatureSize);
        EXPECT_TRUE(InstalledUninstaller(file, archive) == signedForm) << form;
        std::vector<std::string> entries;
        archive.ForEachEntry([&](const TVnArchiveEntry& entry) { entries.push_back(entry.Path); });
        EXPECT_EQ(entries.back(), SignedUninstallerEntry) << form;
        // Extracting the whole archive gives the payload and nothing else.
        archive.ExtractFolder("", FFolder / form);
        EXPECT_EQ(FolderContents(FFolder / form), FolderContents(FFolder / "payload")) << form;
    }
}
