// Fixed-width 1024-bit unsigned arithmetic and the RSA public-key block transform. Every number
// is 32 words of 32 bits, least significant first; additions, subtractions and shifts wrap
// modulo 2^1024. The algorithms are bit-serial and allocate nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t LongWords = 32;
constexpr size_t LongBytes = 128;

using TVnLongNumber = std::array<uint32_t, LongWords>;

// Key record: modulus n, then public exponent e, each a 128-byte little-endian number.
constexpr size_t KeyRecordSize = 2 * LongBytes;
using TVnKeyRecord = uint8_t[KeyRecordSize];

// The 128-byte little-endian image of a number and back.
void LongFromBytes(TVnLongNumber& x, const uint8_t* bytes);
void LongToBytes(uint8_t* bytes, const TVnLongNumber& x);

void LongSet(TVnLongNumber& x, uint32_t v);
void LongCopy(TVnLongNumber& dst, const TVnLongNumber& src);
bool LongEqualsSmall(const TVnLongNumber& x, uint32_t v);
bool LongIsOdd(const TVnLongNumber& x);
bool LongGreater(const TVnLongNumber& a, const TVnLongNumber& b);
// The destination of these four may be one of the sources.
uint32_t LongAdd(TVnLongNumber& dst, const TVnLongNumber& a, const TVnLongNumber& b);
void LongSub(TVnLongNumber& dst, const TVnLongNumber& a, const TVnLongNumber& b);
void LongShl1(TVnLongNumber& dst, const TVnLongNumber& src);
void LongShr1(TVnLongNumber& dst, const TVnLongNumber& src);

// rem := a mod d, quot := a div d; d must not be zero.
void LongDivMod(TVnLongNumber& rem, TVnLongNumber& quot, const TVnLongNumber& a,
                const TVnLongNumber& d);
void LongMod(TVnLongNumber& r, const TVnLongNumber& a, const TVnLongNumber& m);
// The result may be any of the inputs.
void LongMulMod(TVnLongNumber& r, const TVnLongNumber& a, const TVnLongNumber& b,
                const TVnLongNumber& m);
void LongPowMod(TVnLongNumber& r, const TVnLongNumber& base, const TVnLongNumber& e,
                const TVnLongNumber& m);

// Transforms consecutive 128-byte blocks of input with the key (m = c^e mod n) and copies their
// payload to output, at most capacity bytes. Answers the number of bytes written, or 0 when a
// block's format is invalid or exceeds the capacity; nothing is written for a failing block.
// Output may coincide with input.
size_t DecryptBlocks(const TVnKeyRecord& key, const uint8_t* input, uint8_t* output,
                     size_t capacity);
