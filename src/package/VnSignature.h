// The package signature check: the last 128 bytes of a package are an RSA signature block, in
// the block format of DecryptBlocks, over the MD5 digest of all bytes before them. Where the
// package ends and which header bytes the digest reads as zero, TVnPackageLayout tells.
#pragma once

#include <string>

#include "VnLongNumbers.h"
#include "VnMD5.h"
#include "VnPackageFormat.h"

class TVnStream;
class TVnPackageLayout;

constexpr size_t SignatureSize = VnPackageFormat::SignatureBlockSize;
static_assert(SignatureSize == LongBytes, "the signature block is one long number");

// Opens the file (others may read, not write) and checks it; EFOpenError when it cannot be
// opened.
bool CheckFileSignature(const TVnKeyRecord& key, const std::string& fileName,
                        TVnDigest* digestOut = nullptr);
// True when, in one of the package's views, the block at the package's end yields under the key
// a short block of exactly 16 bytes equal to the digest of everything before it. digestOut
// receives that digest. A package shorter than the block fails.
bool CheckStreamSignature(const TVnKeyRecord& key, TVnStream& stream,
                          TVnDigest* digestOut = nullptr);
// The same check with the layout already read: the end (one past the block) of the first view
// and end whose signature holds, or -1.
int64_t SignedPackageEnd(const TVnKeyRecord& key, TVnStream& stream, const TVnPackageLayout& layout,
                         TVnDigest* digestOut = nullptr);
