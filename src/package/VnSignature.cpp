#include "VnSignature.h"

#include <cstring>

#include "VnSysUtils.h"

bool CheckFileSignature(const TVnKeyRecord& key, const std::string& fileName,
                        TVnDigest* digestOut) {
    TVnFileStream stream(fileName, TVnFileStream::Mode::OpenRead);
    return CheckStreamSignature(key, stream, digestOut);
}

bool CheckStreamSignature(const TVnKeyRecord& key, TVnStream& stream, TVnDigest* digestOut) {
    TVnDigest local;
    TVnDigest& digest = digestOut ? *digestOut : local;
    int64_t signedSize = stream.Size() - int64_t(SignatureSize);
    if (signedSize < 0)
        return false;
    DigestStream(stream, signedSize, digest);
    uint8_t block[SignatureSize];
    stream.ReadBuffer(block, sizeof block);
    // The payload goes to its own buffer and its count must be 16: a block whose transform
    // fails must not be compared in its raw form, or a block that merely starts with the digest
    // would pass without the private key.
    uint8_t payload[sizeof(TVnDigest)];
    return DecryptBlocks(key, block, payload, sizeof payload) == sizeof payload &&
           std::memcmp(payload, digest.data(), sizeof payload) == 0;
}
