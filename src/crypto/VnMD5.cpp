#include "VnMD5.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "VnSysUtils.h"

namespace {

// Streams are digested in pieces of this size: large enough that a file stream reads them
// straight into the buffer, small enough to stay in the processor's cache.
constexpr size_t StreamPieceSize = 64 * 1024;

inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline uint32_t RotateLeft(uint32_t x, int n) {
    return x << n | x >> (32 - n);
}

// One step of each round: a = b + ((a + f(b, c, d) + x + t) <<< s). b is the newest value, so
// everything that does not need it is added first and f is written in a form that waits on b for
// as few operations as possible.
inline void StepF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a = b + RotateLeft(a + x + t + (d ^ (b & (c ^ d))), s);
}
// (b & d) | (c & ~d): the two terms share no bit, so they can be added one after the other.
inline void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a = b + RotateLeft(a + x + t + (c & ~d) + (b & d), s);
}
inline void StepH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a = b + RotateLeft(a + x + t + (b ^ (c ^ d)), s);
}
inline void StepI(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a = b + RotateLeft(a + x + t + (c ^ (b | ~d)), s);
}

// Runs the compression function over count consecutive 64-byte blocks.
void Transform(uint32_t state[4], const uint8_t* blocks, size_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count > 0; --count, blocks += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLE32(blocks + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        StepF(a, b, c, d, x[0], 7, 0xd76aa478);
        StepF(d, a, b, c, x[1], 12, 0xe8c7b756);
        StepF(c, d, a, b, x[2], 17, 0x242070db);
        StepF(b, c, d, a, x[3], 22, 0xc1bdceee);
        StepF(a, b, c, d, x[4], 7, 0xf57c0faf);
        StepF(d, a, b, c, x[5], 12, 0x4787c62a);
        StepF(c, d, a, b, x[6], 17, 0xa8304613);
        StepF(b, c, d, a, x[7], 22, 0xfd469501);
        StepF(a, b, c, d, x[8], 7, 0x698098d8);
        StepF(d, a, b, c, x[9], 12, 0x8b44f7af);
        StepF(c, d, a, b, x[10], 17, 0xffff5bb1);
        StepF(b, c, d, a, x[11], 22, 0x895cd7be);
        StepF(a, b, c, d, x[12], 7, 0x6b901122);
        StepF(d, a, b, c, x[13], 12, 0xfd987193);
        StepF(c, d, a, b, x[14], 17, 0xa679438e);
        StepF(b, c, d, a, x[15], 22, 0x49b40821);

        StepG(a, b, c, d, x[1], 5, 0xf61e2562);
        StepG(d, a, b, c, x[6], 9, 0xc040b340);
        StepG(c, d, a, b, x[11], 14, 0x265e5a51);
        StepG(b, c, d, a, x[0], 20, 0xe9b6c7aa);
        StepG(a, b, c, d, x[5], 5, 0xd62f105d);
        StepG(d, a, b, c, x[10], 9, 0x02441453);
        StepG(c, d, a, b, x[15], 14, 0xd8a1e681);
        StepG(b, c, d, a, x[4], 20, 0xe7d3fbc8);
        StepG(a, b, c, d, x[9], 5, 0x21e1cde6);
        StepG(d, a, b, c, x[14], 9, 0xc33707d6);
        StepG(c, d, a, b, x[3], 14, 0xf4d50d87);
        StepG(b, c, d, a, x[8], 20, 0x455a14ed);
        StepG(a, b, c, d, x[13], 5, 0xa9e3e905);
        StepG(d, a, b, c, x[2], 9, 0xfcefa3f8);
        StepG(c, d, a, b, x[7], 14, 0x676f02d9);
        StepG(b, c, d, a, x[12], 20, 0x8d2a4c8a);

        StepH(a, b, c, d, x[5], 4, 0xfffa3942);
        StepH(d, a, b, c, x[8], 11, 0x8771f681);
        StepH(c, d, a, b, x[11], 16, 0x6d9d6122);
        StepH(b, c, d, a, x[14], 23, 0xfde5380c);
        StepH(a, b, c, d, x[1], 4, 0xa4beea44);
        StepH(d, a, b, c, x[4], 11, 0x4bdecfa9);
        StepH(c, d, a, b, x[7], 16, 0xf6bb4b60);
        StepH(b, c, d, a, x[10], 23, 0xbebfbc70);
        StepH(a, b, c, d, x[13], 4, 0x289b7ec6);
        StepH(d, a, b, c, x[0], 11, 0xeaa127fa);
        StepH(c, d, a, b, x[3], 16, 0xd4ef3085);
        StepH(b, c, d, a, x[6], 23, 0x04881d05);
        StepH(a, b, c, d, x[9], 4, 0xd9d4d039);
        StepH(d, a, b, c, x[12], 11, 0xe6db99e5);
        StepH(c, d, a, b, x[15], 16, 0x1fa27cf8);
        StepH(b, c, d, a, x[2], 23, 0xc4ac5665);

        StepI(a, b, c, d, x[0], 6, 0xf4292244);
        StepI(d, a, b, c, x[7], 10, 0x432aff97);
        StepI(c, d, a, b, x[14], 15, 0xab9423a7);
        StepI(b, c, d, a, x[5], 21, 0xfc93a039);
        StepI(a, b, c, d, x[12], 6, 0x655b59c3);
        StepI(d, a, b, c, x[3], 10, 0x8f0ccc92);
        StepI(c, d, a, b, x[10], 15, 0xffeff47d);
        StepI(b, c, d, a, x[1], 21, 0x85845dd1);
        StepI(a, b, c, d, x[8], 6, 0x6fa87e4f);
        StepI(d, a, b, c, x[15], 10, 0xfe2ce6e0);
        StepI(c, d, a, b, x[6], 15, 0xa3014314);
        StepI(b, c, d, a, x[13], 21, 0x4e0811a1);
        StepI(a, b, c, d, x[4], 6, 0xf7537e82);
        StepI(d, a, b, c, x[11], 10, 0xbd3af235);
        StepI(c, d, a, b, x[2], 15, 0x2ad7d2bb);
        StepI(b, c, d, a, x[9], 21, 0xeb86d391);

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

} // namespace

void DigestInit(TVnDigestContext& context) {
    std::memset(&context, 0, sizeof context);
    context.State[0] = 0x67452301;
    context.State[1] = 0xefcdab89;
    context.State[2] = 0x98badcfe;
    context.State[3] = 0x10325476;
}

void DigestUpdate(TVnDigestContext& context, const void* data, size_t count) {
    const uint8_t* input = static_cast<const uint8_t*>(data);
    size_t index = (context.Count[0] >> 3) & 0x3F;
    uint32_t bits = uint32_t(count) << 3;
    if ((context.Count[0] += bits) < bits)
        ++context.Count[1];
    context.Count[1] += uint32_t(uint64_t(count) >> 29);

    if (index != 0) { // fill the pending block first
        const size_t part = std::min(count, 64 - index);
        std::memcpy(context.Buffer + index, input, part);
        input += part;
        count -= part;
        if (index + part < 64)
            return;
        Transform(context.State, context.Buffer, 1);
    }
    Transform(context.State, input, count / 64);
    std::memcpy(context.Buffer, input + count / 64 * 64, count % 64);
}

void DigestFinal(TVnDigestContext& context, TVnDigest& digest) {
    uint8_t bits[8];
    StoreLE32(bits, context.Count[0]);
    StoreLE32(bits + 4, context.Count[1]);
    static const uint8_t Padding[64] = {0x80};
    size_t index = (context.Count[0] >> 3) & 0x3F;
    DigestUpdate(context, Padding, index < 56 ? 56 - index : 120 - index);
    DigestUpdate(context, bits, 8);
    for (int i = 0; i < 4; ++i)
        StoreLE32(digest.data() + 4 * i, context.State[i]);
    std::memset(&context, 0, sizeof context);
}

void DigestUpdateFromStream(TVnDigestContext& context, TVnStream& stream, int64_t count) {
    if (count < 0)
        throw EReadError();
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(count, StreamPieceSize)));
    while (count > 0) {
        const size_t piece = size_t(std::min<int64_t>(count, StreamPieceSize));
        stream.ReadBuffer(buffer.data(), piece);
        DigestUpdate(context, buffer.data(), piece);
        count -= int64_t(piece);
    }
}

void DigestStream(TVnStream& stream, int64_t count, TVnDigest& digest) {
    TVnDigestContext context;
    DigestInit(context);
    stream.SetPosition(0);
    DigestUpdateFromStream(context, stream, count);
    DigestFinal(context, digest);
}
