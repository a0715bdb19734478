#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnLongNumbers.h"
#include "VnTestSupport.h"

#ifdef VNT_HAVE_OPENSSL
#include <openssl/bn.h>
#endif

namespace {

// Big-endian hex as written by people, into a long number.
TVnLongNumber FromHex(const std::string& hex) {
    TVnLongNumber x;
    LongSet(x, 0);
    size_t bit = 0;
    for (size_t i = hex.size(); i-- > 0; bit += 4) {
        char c = hex[i];
        uint32_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        x[bit / 32] |= digit << (bit % 32);
    }
    return x;
}

TVnLongNumber RandomLong(unsigned seed) {
    std::string bytes = RandomBytes(LongBytes, seed);
    TVnLongNumber x;
    LongFromBytes(x, reinterpret_cast<const uint8_t*>(bytes.data()));
    return x;
}

TVnLongNumber AllOnesMinus(uint32_t v) {
    TVnLongNumber x;
    x.fill(0xFFFFFFFF);
    x[0] -= v;
    return x;
}

std::string KeyFile(const char* name) {
    return ReadBytes(SourcePath(std::string("keys/") + name));
}

} // namespace

TEST(LongNumbersTest, GreaterComparesFromTheTopWord) {
    TVnLongNumber a = RandomLong(1), b = a;
    EXPECT_FALSE(LongGreater(a, b));
    b[0] += 1;
    EXPECT_TRUE(LongGreater(b, a));
    EXPECT_FALSE(LongGreater(a, b));
    a[31] = 0x80000000;
    b.fill(0xFFFFFFFF);
    b[31] = 0x7FFFFFFF;
    EXPECT_TRUE(LongGreater(a, b));
}

TEST(LongNumbersTest, AddSubAndShiftsWrapAndAllowAliasing) {
    TVnLongNumber ones = AllOnesMinus(0), one, zero, x;
    LongSet(one, 1);
    LongSet(zero, 0);
    EXPECT_EQ(LongAdd(x, ones, one), 1u);
    EXPECT_TRUE(LongEqualsSmall(x, 0));
    LongSub(x, zero, one);
    EXPECT_EQ(x, ones);

    x = FromHex("80000000000000000000000000000001");
    LongShl1(x, x);
    EXPECT_EQ(x, FromHex("100000000000000000000000000000002"));
    LongShr1(x, x);
    LongShr1(x, x);
    EXPECT_EQ(x, FromHex("40000000000000000000000000000000"));
    LongShl1(x, ones);
    EXPECT_EQ(x, AllOnesMinus(1)); // the top bit is lost
    LongAdd(x, x, x);
    LongSub(x, x, x);
    EXPECT_TRUE(LongEqualsSmall(x, 0));
}

TEST(LongNumbersTest, BytesAreLittleEndian) {
    uint8_t bytes[LongBytes] = {0x01, 0x02, 0x03, 0x04, 0x05};
    bytes[127] = 0xAB;
    TVnLongNumber x;
    LongFromBytes(x, bytes);
    EXPECT_EQ(x[0], 0x04030201u);
    EXPECT_EQ(x[1], 0x05u);
    EXPECT_EQ(x[31], 0xAB000000u);
    uint8_t back[LongBytes];
    LongToBytes(back, x);
    EXPECT_EQ(std::memcmp(bytes, back, LongBytes), 0);
}

TEST(LongNumbersTest, DivModKnownAnswers) {
    TVnLongNumber a = FromHex(
        "d65abbe4d62a80c776ea450d54c997856ac65e1df77385d10e4e6598044f33abdf66f0b5e0457c59a7568d6fe"
        "f6140f6a64373eae43656d7e79898ecab5c07ca8a390fe5afe88712d3a77ce6af4bd359779081bd337179946"
        "ea87788cd4ff2bf24351ed04b3d24a9a28f15e43b662a393944176e719f744df816b8d188a6fe56");
    TVnLongNumber d = FromHex(
        "eea14988036f91e1b38c566e47e9ddd1dd77cce211fb6c49abac1f1dc82b67f5dce7cd4772d3ccc036112153"
        "495207b4c67e79e825dad8ab3d4276381ab174fcd0464cfaee134be6d7837c070d6065d69567e215f98df1b");
    TVnLongNumber rem, quot;
    LongDivMod(rem, quot, a, d);
    EXPECT_EQ(quot, FromHex("e5f51645a9a4991265eb321a40f739b150b9c49104bce554abc094dca10828a732"
                            "0c613d8c9a1bd25"));
    EXPECT_EQ(rem, FromHex("14cde51dd778b840befb9991206f026cd2850b3ff6e1d2e0d29f98abef77f3dd85a8"
                           "312c1ee1b94254cd7d01cc445280011714919fe052a2dd4e7d34c7c4af5c1095b1a808"
                           "79cc3a23073036bc8b0196bfe745257dcd06f"));

    LongDivMod(rem, quot, d, a); // a < d: quotient 0, remainder a
    EXPECT_TRUE(LongEqualsSmall(quot, 0));
    EXPECT_EQ(rem, d);
    LongDivMod(rem, quot, a, a);
    EXPECT_TRUE(LongEqualsSmall(quot, 1));
    EXPECT_TRUE(LongEqualsSmall(rem, 0));
    TVnLongNumber ones = AllOnesMinus(0), one;
    LongSet(one, 1);
    LongDivMod(rem, quot, ones, one); // the largest quotient
    EXPECT_EQ(quot, ones);
    EXPECT_TRUE(LongEqualsSmall(rem, 0));
}

TEST(LongNumbersTest, MulModNeverLosesACarryNearTheFullWidth) {
    // (m - 5)(m - 1000003) = 5 * 1000003 (mod m), with m = 2^1024 - 189.
    TVnLongNumber m = AllOnesMinus(188), a = AllOnesMinus(193), b = AllOnesMinus(1000003 + 188);
    TVnLongNumber r;
    LongMulMod(r, a, b, m);
    EXPECT_TRUE(LongEqualsSmall(r, 5000015));
    LongMulMod(a, a, a, m); // result aliasing an input
    EXPECT_TRUE(LongEqualsSmall(a, 25));
}

TEST(LongNumbersTest, PowModKnownAnswers) {
    TVnLongNumber n = FromHex(
        "8452b11d785d2101df2dced5caa84811e1b5ea867c96735fced69becc14d73d3ec90bb5049f8d8317a6fbc70"
        "828084dc35afe61868eceb99c70134592bd3a8c21c96469b8f7ca89b089876acc8f00064146d9a0bf2ebad10"
        "265f1a4b07dbd248672f14bfaf408dcfae6ad71f6facfcf0a2cd4cfd0a667ac7ca0d25a3d8a333e5");
    TVnLongNumber b = FromHex(
        "c1b88e7d88c6e0785d8d9d842fea0998394f3ac29db0ba2ad4d7edcdd0eda77c2150996796d6aeea9f6fe613"
        "1e54a5fd068787753c32d6f83821330a44a532da4a62910bcaf2fbd9d390617e882e31692914ee2cca8b9f96"
        "fc036832e347236558bd6527cdbabc709850c2c7cef3c28463054c4ecb5a24c1e23f04b2579edceb");
    TVnLongNumber e = FromHex(
        "bc63b9c0a993cbcf0e099f25909e553a820766c614f95a51c1828be5a01fef4e2080813e8ff77346de470a65"
        "d6fb79644f4766a3fba34773454190c95cec76b812650edc944dcf4d0522fcc34c395f74599934c92981bd45"
        "46ec85a558411e13f0d3ec3fb51dd73cb9182ea5e3f00561bf943d1d10078dc90cbcbd91559cbdb4");
    TVnLongNumber r;
    LongPowMod(r, b, e, n);
    EXPECT_EQ(r, FromHex("78f249a30ba56a43b328c22a3482e8c6de5ba271fc91415f685d82beeb16a940ae7138"
                         "4182ca386ec3087ca4ea34cbddbddf1eae63bd05c5cfcb2b9a140d08fd6016314ae6760f"
                         "196a28f1a687a5e22eaee09ab7609c85a2411b0e6dd9665344ded10f05f9ade157fb31a2"
                         "48264879d484035251bbdd4a17844791cd42037c33"));
    LongSet(e, 65537);
    LongPowMod(b, b, e, n); // result aliasing the base
    EXPECT_EQ(b, FromHex("7065c187cc0a328b242daf03103468bec27968ee1d3a8a3d68999b109daeafd2247caf"
                         "3bc3538a759988a5ce008e491212213455d28d3e59b34345c3276c1310cceff615ea0c51"
                         "f4eef4254dcf7e2c3b873b31e1de9c79a26e18a07d5347be6e5832f1c3fda4475cd90a60"
                         "9f3e1dde628f617fd29dcdd6427b7086fdff60d38b"));
    LongSet(e, 0);
    LongPowMod(r, b, e, n);
    EXPECT_TRUE(LongEqualsSmall(r, 1));
}

#ifdef VNT_HAVE_OPENSSL

namespace {

struct TBigNumbers {
    BN_CTX* Context = BN_CTX_new();
    ~TBigNumbers() { BN_CTX_free(Context); }

    BIGNUM* From(const TVnLongNumber& x) {
        uint8_t bytes[LongBytes];
        LongToBytes(bytes, x);
        BIGNUM* value = BN_lebin2bn(bytes, LongBytes, nullptr);
        FOwned.emplace_back(value, BN_free);
        return value;
    }
    BIGNUM* New() {
        FOwned.emplace_back(BN_new(), BN_free);
        return FOwned.back().get();
    }
    TVnLongNumber To(const BIGNUM* value) {
        uint8_t bytes[LongBytes];
        EXPECT_EQ(BN_bn2lebinpad(value, bytes, LongBytes), int(LongBytes));
        TVnLongNumber x;
        LongFromBytes(x, bytes);
        return x;
    }

private:
    std::vector<std::unique_ptr<BIGNUM, void (*)(BIGNUM*)>> FOwned;
};

// Random 1024-bit moduli of several shapes: full width, close to 2^1024, half width, one word.
std::vector<TVnLongNumber> Moduli(unsigned seed) {
    TVnLongNumber full = RandomLong(seed), half = RandomLong(seed + 1), word;
    full[31] |= 0x80000000;
    for (size_t i = 16; i < LongWords; ++i)
        half[i] = 0;
    half[15] |= 1;
    LongSet(word, 0xFFFFFFFB);
    return {full, AllOnesMinus(0), AllOnesMinus(188), half, word};
}

} // namespace

TEST(LongNumbersTest, DivModAgreesWithOpenSSL) {
    TBigNumbers bn;
    for (unsigned seed = 10; seed < 20; ++seed) {
        TVnLongNumber a = RandomLong(seed);
        for (const TVnLongNumber& d : Moduli(seed * 7)) {
            TVnLongNumber rem, quot;
            LongDivMod(rem, quot, a, d);
            BIGNUM *q = bn.New(), *r = bn.New();
            ASSERT_EQ(BN_div(q, r, bn.From(a), bn.From(d), bn.Context), 1);
            EXPECT_EQ(quot, bn.To(q)) << "seed " << seed;
            EXPECT_EQ(rem, bn.To(r)) << "seed " << seed;
        }
    }
}

TEST(LongNumbersTest, MulModAgreesWithOpenSSL) {
    TBigNumbers bn;
    for (unsigned seed = 30; seed < 36; ++seed) {
        for (const TVnLongNumber& m : Moduli(seed * 5)) {
            // Operands below m, close to m, and above m (b is not reduced first).
            TVnLongNumber one, a, b = RandomLong(seed + 100);
            LongSet(one, 1);
            LongMod(a, RandomLong(seed), m);
            TVnLongNumber nearM;
            LongSub(nearM, m, one);
            for (const TVnLongNumber& x : {a, nearM}) {
                for (const TVnLongNumber& y : {b, nearM, a}) {
                    TVnLongNumber r;
                    LongMulMod(r, x, y, m);
                    BIGNUM* expected = bn.New();
                    ASSERT_EQ(BN_mod_mul(expected, bn.From(x), bn.From(y), bn.From(m), bn.Context),
                              1);
                    EXPECT_EQ(r, bn.To(expected)) << "seed " << seed;
                }
            }
        }
    }
}

TEST(LongNumbersTest, PowModAgreesWithOpenSSL) {
    TBigNumbers bn;
    for (unsigned seed = 50; seed < 52; ++seed) {
        TVnLongNumber m = RandomLong(seed), base = RandomLong(seed + 1), e = RandomLong(seed + 2);
        m[31] |= 0x80000000;
        m[0] |= 1;
        TVnLongNumber r;
        LongPowMod(r, base, e, m);
        BIGNUM* expected = bn.New();
        ASSERT_EQ(BN_mod_exp(expected, bn.From(base), bn.From(e), bn.From(m), bn.Context), 1);
        EXPECT_EQ(r, bn.To(expected)) << "seed " << seed;
    }
}

#endif // VNT_HAVE_OPENSSL

// Block formats, with the key record (n, 1) so that each block is its own plaintext.
class DecryptBlocksTest : public testing::Test {
protected:
    void SetUp() override {
        std::string publicKey = KeyFile("test_public.key");
        ASSERT_EQ(publicKey.size(), KeyRecordSize);
        std::memcpy(FKey, publicKey.data(), LongBytes);
        std::memset(FKey + LongBytes, 0, LongBytes);
        FKey[LongBytes] = 1;
    }

    // A plaintext block: payload bytes 0xA0, 0xA1, ..., the flags and, when given, the length.
    void Block(size_t index, uint8_t flags, int length = -1) {
        if (FInput.size() < (index + 1) * LongBytes)
            FInput.resize((index + 1) * LongBytes);
        uint8_t* block = FInput.data() + index * LongBytes;
        for (size_t i = 0; i < 127; ++i)
            block[i] = uint8_t(0xA0 + index * 16 + i);
        if (length >= 0)
            block[126] = uint8_t(length);
        block[127] = flags;
    }
    size_t Decrypt(size_t capacity) {
        FOutput.assign(capacity + LongBytes, 0xEE);
        return DecryptBlocks(FKey, FInput.data(), FOutput.data(), capacity);
    }

    TVnKeyRecord FKey;
    std::vector<uint8_t> FInput, FOutput;
};

TEST_F(DecryptBlocksTest, ShortBlockCarriesItsLength) {
    Block(0, 0x01, 16);
    ASSERT_EQ(Decrypt(16), 16u);
    EXPECT_EQ(std::memcmp(FOutput.data(), FInput.data(), 16), 0);
    EXPECT_EQ(FOutput[16], 0xEE);
    Block(0, 0x01 | 0xFC, 0); // other flag bits are ignored; an empty payload
    EXPECT_EQ(Decrypt(16), 0u);
}

TEST_F(DecryptBlocksTest, RejectsLengthsBeyondTheBlockOrTheCapacity) {
    Block(0, 0x01, 127);
    EXPECT_EQ(Decrypt(1000), 0u);
    Block(0, 0x01, 17);
    EXPECT_EQ(Decrypt(16), 0u);
    EXPECT_EQ(FOutput[0], 0xEE); // nothing written for the failing block
    Block(0, 0x00);              // a full block never fits a capacity of 16
    EXPECT_EQ(Decrypt(16), 0u);
}

TEST_F(DecryptBlocksTest, FullBlocksChainUntilTheLastOne) {
    Block(0, 0x02); // full and last: the second block is never read
    Block(1, 0x01, 5);
    ASSERT_EQ(Decrypt(127), 127u);
    EXPECT_EQ(std::memcmp(FOutput.data(), FInput.data(), 127), 0);

    Block(0, 0x00);
    Block(1, 0x00);
    Block(2, 0x01, 5);
    ASSERT_EQ(Decrypt(127 * 2 + 5), 127u * 2 + 5);
    EXPECT_EQ(std::memcmp(FOutput.data(), FInput.data(), 127), 0);
    EXPECT_EQ(std::memcmp(FOutput.data() + 127, FInput.data() + 128, 127), 0);
    EXPECT_EQ(std::memcmp(FOutput.data() + 254, FInput.data() + 256, 5), 0);
    EXPECT_EQ(Decrypt(127 * 2 + 4), 0u); // the last block no longer fits
    EXPECT_EQ(std::memcmp(FOutput.data(), FInput.data(), 127), 0);
}

TEST_F(DecryptBlocksTest, TransformsInPlace) {
    Block(0, 0x00);
    Block(1, 0x01, 100);
    std::vector<uint8_t> expected(FInput.begin(), FInput.begin() + 127);
    expected.insert(expected.end(), FInput.begin() + 128, FInput.begin() + 228);
    ASSERT_EQ(DecryptBlocks(FKey, FInput.data(), FInput.data(), 227), 227u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), FInput.begin()));
}

TEST(DecryptBlocksKeyTest, InvertsThePrivateKeyOperation) {
    std::string publicKey = KeyFile("test_public.key"), d = KeyFile("test_private_exponent.bin");
    ASSERT_EQ(publicKey.size(), KeyRecordSize);
    ASSERT_EQ(d.size(), LongBytes);
    TVnKeyRecord key;
    std::memcpy(key, publicKey.data(), KeyRecordSize);
    TVnLongNumber n, exponent, m;
    LongFromBytes(n, key);
    LongFromBytes(exponent, reinterpret_cast<const uint8_t*>(d.data()));
    std::string plain = RandomBytes(LongBytes, 7);
    plain[126] = 40;
    plain[127] = 0x01;
    LongFromBytes(m, reinterpret_cast<const uint8_t*>(plain.data()));
    LongPowMod(m, m, exponent, n);
    uint8_t block[LongBytes];
    LongToBytes(block, m);
    ASSERT_EQ(DecryptBlocks(key, block, block, 40), 40u);
    EXPECT_EQ(std::memcmp(block, plain.data(), 40), 0);
}
