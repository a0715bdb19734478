#include <string>

#include <gtest/gtest.h>

#include "VnCrypt.h"
#include "VnTestSupport.h"

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0, count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        bits = bits << 6 | static_cast<unsigned>(alphabet.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// The plaintext block behind an encoded password.
std::string Block(const std::string& encoded) {
    EXPECT_EQ("C00:", encoded.substr(0, 4));
    return KeystreamCipher(VnCipherKey, Base64Decode(encoded.substr(4)));
}

} // namespace

// Expected values computed with an independent implementation of the register, the filler and
// the block layout.
TEST(Keystream, KnownOutput) {
    EXPECT_EQ("3fd79302c488a28d77cd952321256535e7528bf4f883544cbe6adc6b64b8d8e3"
              "8133c495d94bd9236848a180ee4373b7c648e127389f7f5ac12e6d42385f1de8",
              Hex(KeystreamCipher(VnCipherKey, std::string(64, '\0'))));
    TVnCipherKey counting{};
    for (size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<uint8_t>(i + 1);
    EXPECT_EQ("1d1e1f20191a1b1c15161718111213140d0e0f10090a0b0c0506070801020304"
              "06f9fbfcfd02f800fefe030257a9ab54",
              Hex(KeystreamCipher(counting, std::string(48, '\0'))));
}

TEST(Keystream, AppliedTwiceGivesDataBack) {
    const std::string data = RandomBytes(1000, 3);
    const std::string once = KeystreamCipher(VnCipherKey, data);
    EXPECT_NE(data, once);
    EXPECT_EQ(data, KeystreamCipher(VnCipherKey, once));
    EXPECT_EQ("", KeystreamCipher(VnCipherKey, ""));
}

TEST(Password, KnownEncodings) {
    EXPECT_EQ("C00:P99PMYEj86R/", EncodePassword(""));
    EXPECT_EQ("C00:XrXwAWktVgBy", EncodePassword("abc"));
    EXPECT_EQ("C00:XrXwZqHuxY52", EncodePassword("abcdefg"));
    EXPECT_EQ("C00:XrXwZqHuxeV3", EncodePassword("abcdefgh"));
    EXPECT_EQ("C00:XrXwZqHuxeUezQ==", EncodePassword("abcdefghi"));
    EXPECT_EQ("C00:/ygTcqX70S52", EncodePassword("\xC0\xFF\x80pass"));
    EXPECT_EQ("C00:R6/rerzw2vUPte1bWV0dTZ8q84yA+yw0xhKkExzAoJv5S7ztoTOhW2g=",
              EncodePassword(std::string(40, 'x')));
    EXPECT_EQ(EncodePassword("abc"), EncodePassword(VnCipherKey, "abc"));
}

TEST(Password, BlockLayout) {
    // Below 8 bytes: password, filler to 8 bytes, filler count; from 8 on: password and 0x00.
    EXPECT_EQ("0008dc3345ab512908", Hex(Block(EncodePassword(""))));
    EXPECT_EQ("61626303ada5f48d05", Hex(Block(EncodePassword("abc"))));
    EXPECT_EQ("c0ff8070617373a301", Hex(Block(EncodePassword("\xC0\xFF\x80pass"))));
    for (size_t n : {0, 1, 7, 8, 9, 31, 100}) {
        SCOPED_TRACE(n);
        const std::string password = RandomBytes(n, static_cast<unsigned>(n));
        const std::string encoded = EncodePassword(password);
        const std::string block = Block(encoded);
        const size_t blockSize = n < 8 ? 9 : n + 1;
        ASSERT_EQ(blockSize, block.size());
        EXPECT_EQ(password, block.substr(0, n));
        const size_t filler = static_cast<unsigned char>(block.back());
        EXPECT_EQ(n < 8 ? 8 - n : 0, filler);
        EXPECT_EQ(4 + 4 * ((blockSize + 2) / 3), encoded.size());
        EXPECT_EQ(encoded, EncodePassword(password)); // the same every time
    }
    EXPECT_EQ(16u, EncodePassword("").size());
    EXPECT_EQ(20u, EncodePassword("123456789").size());
}

TEST(Password, FillerDependsOnLengthAndLastCharacter) {
    const std::string a = Block(EncodePassword("ab9Z"));
    const std::string b = Block(EncodePassword("xyzZ"));
    const std::string c = Block(EncodePassword("xyzY"));
    const std::string d = Block(EncodePassword("xyZ"));
    EXPECT_EQ(a.substr(4), b.substr(4));
    EXPECT_NE(a.substr(4), c.substr(4));
    EXPECT_NE(d.substr(3, 4), a.substr(4, 4)); // another length, another seed
}
