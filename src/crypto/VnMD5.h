// The MD5 message digest (RFC 1321), computed incrementally or over a stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TVnStream;

using TVnDigest = std::array<uint8_t, 16>;

struct TVnDigestContext {
    uint32_t State[4];  // chaining values A, B, C, D
    uint32_t Count[2];  // number of message bits, low word first
    uint8_t Buffer[64]; // pending part of the current block
};

void DigestInit(TVnDigestContext& context);
void DigestUpdate(TVnDigestContext& context, const void* data, size_t count);
// Pads, writes the digest and zeroes the whole context.
void DigestFinal(TVnDigestContext& context, TVnDigest& digest);
// Feeds the next count bytes of a stream, from its current position; a short read raises
// EReadError.
void DigestUpdateFromStream(TVnDigestContext& context, TVnStream& stream, int64_t count);
// Digest of the first count bytes of a seekable stream, from position 0; the stream is left just
// after them. A short read raises EReadError.
void DigestStream(TVnStream& stream, int64_t count, TVnDigest& digest);
