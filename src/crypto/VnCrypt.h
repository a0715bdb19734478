// The keystream cipher and the encoded password form "C00:" + Base64 that the configuration
// databases and the console's configuration hold instead of plain passwords.
#pragma once

#include <array>
#include <cstdint>
#include <string>

using TVnCipherKey = std::array<uint8_t, 32>;

// The program's cipher key: the key that the mail server and the console use to read the encoded
// passwords back. It must not change, or they can no longer read what the setup writes.
extern const TVnCipherKey VnCipherKey;

// data XORed with the keystream of a register freshly loaded from key; applying it twice gives the
// data back.
std::string KeystreamCipher(const TVnCipherKey& key, const std::string& data);

// "C00:" + Base64 of the enciphered block: the password bytes, then for a password shorter than 8
// bytes the filler up to 8 bytes, then one byte counting the filler bytes. A pure function of key
// and password.
std::string EncodePassword(const TVnCipherKey& key, const std::string& password);
// EncodePassword with the program's key.
std::string EncodePassword(const std::string& password);
