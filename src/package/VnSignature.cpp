#include "VnSignature.h"

#include <algorithm>
#include <cstring>

#include "VnPackageLayout.h"
#include "VnSysUtils.h"

namespace {

// Feeds the stream's bytes [from, to) into the digest, the bytes of zeroFields as zeros.
void DigestRange(TVnDigestContext& context, TVnStream& stream, int64_t from, int64_t to,
                 const std::vector<TVnByteRange>& zeroFields) {
    static const uint8_t Zeros[16] = {};
    stream.SetPosition(from);
    int64_t position = from;
    for (const TVnByteRange& field : zeroFields) {
        const int64_t start = std::max(field.Offset, position), end = std::min(field.End(), to);
        if (start >= end)
            continue;
        DigestUpdateFromStream(context, stream, start - position);
        static_assert(sizeof Zeros >= VnPackageFormat::DirectoryEntrySize, "a field fits");
        DigestUpdate(context, Zeros, size_t(end - start));
        stream.Seek(end - start, VnPlatform::SeekOrigin::Current);
        position = end;
    }
    DigestUpdateFromStream(context, stream, to - position);
}

bool BlockCarries(const TVnKeyRecord& key, TVnStream& stream, int64_t blockStart,
                  const TVnDigest& digest) {
    uint8_t block[SignatureSize];
    stream.SetPosition(blockStart);
    stream.ReadBuffer(block, sizeof block);
    // The payload goes to its own buffer and its count must be 16: a block whose transform
    // fails must not be compared in its raw form, or a block that merely starts with the digest
    // would pass without the private key.
    uint8_t payload[sizeof(TVnDigest)];
    return DecryptBlocks(key, block, payload, sizeof payload) == sizeof payload &&
           std::memcmp(payload, digest.data(), sizeof payload) == 0;
}

} // namespace

bool CheckFileSignature(const TVnKeyRecord& key, const std::string& fileName,
                        TVnDigest* digestOut) {
    TVnFileStream stream(fileName, TVnFileStream::Mode::OpenRead);
    return CheckStreamSignature(key, stream, digestOut);
}

bool CheckStreamSignature(const TVnKeyRecord& key, TVnStream& stream, TVnDigest* digestOut) {
    return SignedPackageEnd(key, stream, TVnPackageLayout(stream), digestOut) >= 0;
}

int64_t SignedPackageEnd(const TVnKeyRecord& key, TVnStream& stream, const TVnPackageLayout& layout,
                         TVnDigest* digestOut) {
    bool first = true; // the digest of the most likely end goes out when no end holds
    for (const TVnPackageView& view : layout.Views()) {
        // One pass up to the shortest candidate; each candidate adds at most 7 bytes to a copy.
        const int64_t shortest = view.Ends.back() - int64_t(SignatureSize);
        if (shortest < 0)
            continue;
        TVnDigestContext common;
        DigestInit(common);
        DigestRange(common, stream, 0, shortest, view.ZeroFields);
        for (int64_t end : view.Ends) {
            const int64_t blockStart = end - int64_t(SignatureSize);
            TVnDigestContext context = common;
            DigestRange(context, stream, shortest, blockStart, view.ZeroFields);
            TVnDigest digest;
            DigestFinal(context, digest);
            const bool holds = BlockCarries(key, stream, blockStart, digest);
            if (digestOut && (holds || first))
                *digestOut = digest;
            first = false;
            if (holds)
                return end;
        }
    }
    return -1;
}
