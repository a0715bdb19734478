// The package signature check: the last 128 bytes of a package are an RSA signature block, in
// the block format of DecryptBlocks, over the MD5 digest of all bytes before them.
#pragma once

#include <string>

#include "VnLongNumbers.h"
#include "VnMD5.h"

class TVnStream;

constexpr size_t SignatureSize = LongBytes;

// Opens the file (others may read, not write) and checks it; EFOpenError when it cannot be
// opened.
bool CheckFileSignature(const TVnKeyRecord& key, const std::string& fileName,
                        TVnDigest* digestOut = nullptr);
// True when the block at the end of a seekable stream yields, under the key, a short block of
// exactly 16 bytes equal to the digest of everything before it. digestOut receives that digest.
// A file shorter than the block fails.
bool CheckStreamSignature(const TVnKeyRecord& key, TVnStream& stream,
                          TVnDigest* digestOut = nullptr);
