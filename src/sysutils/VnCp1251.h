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

constexpr unsigned char FromCodePoint(unsigned cp) {
    if (cp < 0x80)
        return static_cast<unsigned char>(cp);
    if (cp >= 0x410 && cp <= 0x44F)
        return static_cast<unsigned char>(0xC0 + (cp - 0x410));
    switch (cp) {
    case 0x401:
        return 0xA8; // Ё
    case 0x451:
        return 0xB8; // ё
    case 0xAB:
        return 0xAB; // «
    case 0xBB:
        return 0xBB; // »
    case 0xA9:
        return 0xA9; // ©
    case 0xA0:
        return 0xA0; // no-break space
    case 0x2013:
        return 0x96;
    case 0x2014:
        return 0x97;
    case 0x2026:
        return 0x85; // …
    case 0x201C:
        return 0x93;
    case 0x201D:
        return 0x94;
    case 0x2116:
        return 0xB9; // №
    default:
        throw "character without a Windows-1251 form";
    }
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
        out.data[out.size++] = static_cast<char>(FromCodePoint(cp));
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
