#include "VnCrypt.h"

#include "VnSysUtils.h"

// Shared with the mail server and the console, which decode with it.
const TVnCipherKey VnCipherKey = {
    0x64, 0xB8, 0xD8, 0xE3, 0xBE, 0x6A, 0xDC, 0x6B, 0xF8, 0x83, 0x54, 0x4C, 0xE7, 0x52, 0x8B, 0xF4,
    0x21, 0x25, 0x65, 0x35, 0x77, 0xCD, 0x95, 0x23, 0xC4, 0x88, 0xA2, 0x8D, 0x3F, 0xD7, 0x93, 0x02,
};

namespace {

// A 256-bit shift register, W[0] the most significant word, that yields one byte per step.
class TVnKeystream {
public:
    explicit TVnKeystream(const TVnCipherKey& key) {
        for (size_t j = 0; j < 8; ++j)
            W[j] = key[4 * j] | key[4 * j + 1] << 8 | key[4 * j + 2] << 16 |
                   static_cast<uint32_t>(key[4 * j + 3]) << 24;
    }

    uint8_t NextByte() {
        bool f = (W[0] >> 30) & 1;
        uint8_t result = 0;
        for (int i = 0; i < 8; ++i) {
            if ((W[2] >> 7) & 1)
                f = !f;
            result |= static_cast<uint8_t>((W[7] & 1) << i);
            for (size_t j = 7; j > 0; --j)
                W[j] = W[j] >> 1 | W[j - 1] << 31;
            W[0] >>= 1;
            if (f)
                W[0] |= 1u << 30;
        }
        return result;
    }

private:
    uint32_t W[8];
};

// The filler of short passwords: a 32-bit linear congruential generator, top byte of each state.
class TVnFiller {
public:
    explicit TVnFiller(uint32_t seed) : FSeed(seed) {}
    uint8_t Next() {
        FSeed = FSeed * 0x08088405u + 1;
        return static_cast<uint8_t>(FSeed >> 24);
    }

private:
    uint32_t FSeed;
};

constexpr size_t ShortPassword = 8;

} // namespace

std::string KeystreamCipher(const TVnCipherKey& key, const std::string& data) {
    TVnKeystream keystream(key);
    std::string out = data;
    for (char& c : out)
        c = static_cast<char>(static_cast<uint8_t>(c) ^ keystream.NextByte());
    return out;
}

std::string EncodePassword(const TVnCipherKey& key, const std::string& password) {
    const size_t n = password.size();
    std::string block = password;
    if (n >= ShortPassword) {
        block += '\0';
    } else {
        // The seed is the last character XOR the length (0 for the empty password).
        uint32_t seed =
            n == 0 ? 0 : static_cast<uint8_t>(password[n - 1]) ^ static_cast<uint32_t>(n);
        TVnFiller filler(seed);
        for (size_t i = n; i < ShortPassword; ++i)
            block += static_cast<char>(filler.Next());
        block += static_cast<char>(ShortPassword - n);
    }
    return "C00:" + Base64Encode(KeystreamCipher(key, block));
}

std::string EncodePassword(const std::string& password) {
    return EncodePassword(VnCipherKey, password);
}
