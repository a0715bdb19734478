#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnSignature.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"

namespace {

// One package signed with the test key, shared by the tests (signing is a full private-key
// exponentiation with the program's bit-serial arithmetic).
class SignatureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TVnStringStream stream("MZ" + RandomBytes(700, 11) +
                               ArchiveTail([](TVnArchiveWriter& w) { w.AddFile("a", "abc"); }));
        AppendSignature(stream, TestKeySigner());
        Signed = new std::string(stream.DataString());
    }
    static void TearDownTestSuite() {
        delete Signed;
        Signed = nullptr;
    }
    void SetUp() override { TestPublicKey(FKey); }

    bool Check(const std::string& bytes, TVnDigest* digest = nullptr) {
        TVnStringStream stream(bytes);
        return CheckStreamSignature(FKey, stream, digest);
    }
    // The key record (n, 1): every block is its own plaintext.
    bool CheckPlain(const std::string& bytes) {
        TVnKeyRecord key;
        std::memcpy(key, FKey, LongBytes);
        std::memset(key + LongBytes, 0, LongBytes);
        key[LongBytes] = 1;
        TVnStringStream stream(bytes);
        return CheckStreamSignature(key, stream);
    }
    static std::string Plaintext(const std::string& data, uint8_t flags, uint8_t length) {
        TVnDigest digest;
        TVnStringStream stream(data);
        DigestStream(stream, int64_t(data.size()), digest);
        auto block = SignaturePlaintext(digest);
        block[126] = length;
        block[127] = flags;
        return data + std::string(block.begin(), block.end());
    }

    static std::string* Signed;
    TVnKeyRecord FKey;
};

std::string* SignatureTest::Signed = nullptr;

} // namespace

TEST_F(SignatureTest, IntactPackagePassesAndYieldsItsDigest) {
    TVnDigest digest, expected;
    ASSERT_TRUE(Check(*Signed, &digest));
    TVnStringStream stream(*Signed);
    DigestStream(stream, int64_t(Signed->size() - 128), expected);
    EXPECT_EQ(digest, expected);

    TTempFolder folder;
    WriteBytes(folder / "setup.exe", *Signed);
    EXPECT_TRUE(CheckFileSignature(FKey, folder / "setup.exe"));
}

TEST_F(SignatureTest, AnyChangedByteFails) {
    const size_t size = Signed->size();
    for (size_t at : {size_t(0), size_t(1), size_t(350), size / 2, size - 133, size - 129,
                      size - 128, size - 100, size - 2, size - 1}) {
        std::string changed = *Signed;
        changed[at] = char(changed[at] ^ 0x01);
        EXPECT_FALSE(Check(changed)) << "byte " << at;
    }
}

TEST_F(SignatureTest, AppendedOrRemovedBytesFail) {
    EXPECT_FALSE(Check(*Signed + "x"));
    EXPECT_FALSE(Check(*Signed + std::string(1, '\0')));
    EXPECT_FALSE(Check(Signed->substr(1)));
    EXPECT_FALSE(Check(Signed->substr(0, Signed->size() - 1)));
}

TEST_F(SignatureTest, OtherKeyFails) {
    TVnKeyRecord key;
    std::memcpy(key, FKey, sizeof key);
    key[5] ^= 0x10;
    TVnStringStream stream(*Signed);
    EXPECT_FALSE(CheckStreamSignature(key, stream));
}

TEST_F(SignatureTest, BlockThatMerelyStartsWithTheDigestFails) {
    // Anyone can write the digest into the block's first bytes; when the rest makes the
    // transform fail, the raw bytes must not be taken for its result.
    const std::string data = Signed->substr(0, Signed->size() - 128);
    TVnStringStream stream(data);
    TVnDigest digest;
    DigestStream(stream, int64_t(data.size()), digest);
    for (unsigned seed = 0; seed < 8; ++seed) {
        std::string block = RandomBytes(128, seed);
        std::memcpy(&block[0], digest.data(), digest.size());
        block[127] = 0x01; // below the modulus
        EXPECT_FALSE(Check(data + block)) << "seed " << seed;
    }
}

TEST_F(SignatureTest, BlockFormatRules) {
    const std::string data = "payload bytes";
    EXPECT_TRUE(CheckPlain(Plaintext(data, 0x01, 16)));
    EXPECT_FALSE(CheckPlain(Plaintext(data, 0x01, 17))); // longer than the capacity
    EXPECT_FALSE(CheckPlain(Plaintext(data, 0x03, 15))); // the digest's last byte not carried
    EXPECT_FALSE(CheckPlain(Plaintext(data, 0x00, 16))); // a full block
    EXPECT_FALSE(CheckPlain(Plaintext(data, 0x02, 16)));
    EXPECT_TRUE(CheckPlain(Plaintext(data, 0x01 | 0x80, 16))); // other flag bits are ignored
}

TEST_F(SignatureTest, FileOfExactlyOneBlockSignsTheEmptyMessage) {
    EXPECT_TRUE(CheckPlain(Plaintext("", 0x01, 16)));
    TVnDigest digest;
    Check(Plaintext("", 0x01, 16), &digest);
    const uint8_t empty[16] = {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04,
                               0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e};
    EXPECT_EQ(std::memcmp(digest.data(), empty, 16), 0);
    // A genuine signature of the empty message.
    TVnStringStream stream;
    AppendSignature(stream, TestKeySigner());
    EXPECT_EQ(stream.DataString().size(), 128u);
    EXPECT_TRUE(Check(stream.DataString()));
}

TEST_F(SignatureTest, ShortFilesFailAndMissingFilesRaise) {
    EXPECT_FALSE(Check(""));
    EXPECT_FALSE(Check(std::string(127, '\0')));
    TTempFolder folder;
    EXPECT_THROW(CheckFileSignature(FKey, folder / "none.exe"), EFOpenError);
}
