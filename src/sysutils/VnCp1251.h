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

} // namespace VnCp1251

#define VN_CP1251(utf8)                                                                            \
    ([] {                                                                                          \
        static constexpr auto bytes_ = ::VnCp1251::Convert(utf8);                                  \
        return std::string(bytes_.data, bytes_.size);                                              \
    }())
