// Russian literals are written in UTF-8 in the sources and turned into Windows-1251 bytes at
// compile time: VN_CP1251("Установка %s") is a std::string of Windows-1251 bytes. A character that
// Windows-1251 cannot hold stops the compilation.
#pragma once

#include <cstddef>
#include <string>

namespace VnCp1251 {

template <size_t N> struct TBytes {
    char data[N] = {};
    size_t size = 0;
};

// The characters of the bytes 0x80 to 0xBF (0xC0 to 0xFF are А to я); 0x98, which Windows-1251
// leaves undefined, stands for U+0098 so that every byte has a character and back.
constexpr char16_t HighCharacters[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// The character (Unicode code point) of a Windows-1251 byte.
constexpr unsigned ToCodePoint(unsigned char byte) {
    return byte < 0x80 ? byte : byte >= 0xC0 ? 0x410 + (byte - 0xC0) : HighCharacters[byte - 0x80];
}

// The Windows-1251 byte of a character; false when the code page has none.
constexpr bool FromCodePoint(unsigned cp, unsigned char& byte) {
    if (cp < 0x80 || (cp >= 0x410 && cp <= 0x44F)) {
        byte = static_cast<unsigned char>(cp < 0x80 ? cp : 0xC0 + (cp - 0x410));
        return true;
    }
    for (unsigned i = 0; i < 64; ++i)
        if (HighCharacters[i] == cp) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    return false;
}

template <size_t N> constexpr TBytes<N> Convert(const char (&utf8)[N]) {
    TBytes<N> out;
    size_t i = 0;
    while (i + 1 < N) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = c;
        size_t length = 1;
        if (c >= 0xF0) {
            throw "character without a Windows-1251 form";
        } else if (c >= 0xE0) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else if (c >= 0xC0) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        }
        unsigned char byte = 0;
        if (!FromCodePoint(cp, byte))
            throw "character without a Windows-1251 form";
        out.data[out.size++] = static_cast<char>(byte);
        i += length;
    }
    return out;
}

// Upper-case form of a Windows-1251 byte: ASCII and the Cyrillic letters.
constexpr unsigned char UpperCase(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || c >= 0xE0)
        return static_cast<unsigned char>(c - 32); // also а..я -> А..Я
    switch (c) {
    case 0xB8:
        return 0xA8; // ё
    case 0xB3:
        return 0xB2; // і
    case 0xBF:
        return 0xAF; // ї
    case 0xBA:
        return 0xAA; // є
    case 0xA2:
        return 0xA1; // ў
    case 0xBC:
        return 0xA3; // ј
    case 0xB4:
        return 0xA5; // ґ
    case 0x90:
        return 0x80; // ђ
    case 0x83:
        return 0x81; // ѓ
    case 0x9A:
        return 0x8A; // љ
    case 0x9C:
        return 0x8C; // њ
    case 0x9D:
        return 0x8D; // ќ
    case 0x9E:
        return 0x8E; // ћ
    case 0x9F:
        return 0x8F; // џ
    case 0xBE:
        return 0xBD; // ѕ
    default:
        return c;
    }
}

// Equality of two Windows-1251 texts without regard to letter case.
inline bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperCase(static_cast<unsigned char>(a[i])) !=
            UpperCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace VnCp1251

#define VN_CP1251(utf8)                                                                            \
    ([] {                                                                                          \
        static constexpr auto bytes_ = ::VnCp1251::Convert(utf8);                                  \
        return std::string(bytes_.data, bytes_.size);                                              \
    }())
