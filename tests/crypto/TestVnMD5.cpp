#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnMD5.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"

#ifdef VNT_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

std::string Hex(const TVnDigest& digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += Digits[b >> 4];
        text += Digits[b & 15];
    }
    return text;
}

TVnDigest Digest(const std::string& data) {
    TVnDigestContext context;
    DigestInit(context);
    DigestUpdate(context, data.data(), data.size());
    TVnDigest digest;
    DigestFinal(context, digest);
    return digest;
}

// Digest of data fed in pieces of the given sizes, the rest in one piece.
TVnDigest DigestInPieces(const std::string& data, const std::vector<size_t>& pieces) {
    TVnDigestContext context;
    DigestInit(context);
    size_t offset = 0;
    for (size_t piece : pieces) {
        DigestUpdate(context, data.data() + offset, piece);
        offset += piece;
    }
    DigestUpdate(context, data.data() + offset, data.size() - offset);
    TVnDigest digest;
    DigestFinal(context, digest);
    return digest;
}

#ifdef VNT_HAVE_OPENSSL
TVnDigest ReferenceDigest(const std::string& data) {
    TVnDigest digest;
    unsigned size = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_md5(), nullptr), 1);
    return digest;
}
#endif

} // namespace

TEST(MD5Test, Rfc1321TestSuite) {
    EXPECT_EQ(Hex(Digest("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex(Digest("a")), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Hex(Digest("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Digest("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Hex(Digest("abcdefghijklmnopqrstuvwxyz")), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Hex(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Hex(Digest("1234567890123456789012345678901234567890"
                         "1234567890123456789012345678901234567890")),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5Test, PaddingAroundTheBlockEnd) {
    // Lengths 55, 56 and 64 need no extra block, an extra block, and a block of padding only.
    EXPECT_EQ(Hex(Digest(std::string(55, 'a'))), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Hex(Digest(std::string(56, 'a'))), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Hex(Digest(std::string(64, 'a'))), "014842d480b571495a4a0363793f7367");
}

TEST(MD5Test, EverySplitGivesTheSameDigest) {
    const size_t sizes[] = {1, 63, 64, 65};
    std::string data = RandomBytes(4 * 65 + 70, 1321);
    TVnDigest whole = Digest(data);
#ifdef VNT_HAVE_OPENSSL
    EXPECT_EQ(whole, ReferenceDigest(data));
#endif
    for (size_t a : sizes)
        for (size_t b : sizes)
            for (size_t c : sizes)
                for (size_t d : sizes)
                    ASSERT_EQ(DigestInPieces(data, {a, b, c, d}), whole)
                        << a << "," << b << "," << c << "," << d;
}

#ifdef VNT_HAVE_OPENSSL
TEST(MD5Test, AgreesWithOpenSSLOnRandomData) {
    for (size_t size : {0, 1, 63, 64, 65, 119, 120, 1000, 65537}) {
        std::string data = RandomBytes(size, unsigned(size) + 1);
        EXPECT_EQ(Digest(data), ReferenceDigest(data)) << size;
    }
}
#endif

TEST(MD5Test, FinalZeroesTheContext) {
    TVnDigestContext context, zero;
    std::memset(&zero, 0, sizeof zero);
    DigestInit(context);
    DigestUpdate(context, "some data", 9);
    TVnDigest digest;
    DigestFinal(context, digest);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
}

TEST(MD5Test, DigestStreamReadsTheFirstBytesAndStopsAfterThem) {
    std::string data = RandomBytes(1000, 5);
    TVnStringStream stream(data + "tail");
    stream.SetPosition(17); // the digest always starts at 0
    TVnDigest digest;
    DigestStream(stream, int64_t(data.size()), digest);
    EXPECT_EQ(digest, Digest(data));
    EXPECT_EQ(stream.Position(), int64_t(data.size()));

    DigestStream(stream, 0, digest);
    EXPECT_EQ(Hex(digest), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(stream.Position(), 0);
}

TEST(MD5Test, DigestStreamOfAFileMatchesTheWholeFileDigest) {
    TTempFolder folder;
    std::string data = RandomBytes(200003, 9);
    WriteBytes(folder / "data.bin", data);
    TVnFileStream stream(folder / "data.bin", TVnFileStream::Mode::OpenRead);
    TVnDigest digest;
    DigestStream(stream, int64_t(data.size()), digest);
    EXPECT_EQ(digest, Digest(data));
}

// After a small read the file stream holds buffered bytes: a digest of the next bytes from there
// takes those first, then reads the rest past the buffer, and stops exactly after its count.
TEST(MD5Test, DigestFromAFileStreamAfterASmallRead) {
    TTempFolder folder;
    const std::string data = RandomBytes(300007, 4);
    WriteBytes(folder / "data.bin", data);
    for (size_t head : {1u, 63u, 4097u})
        for (size_t count : {65535u, 65536u, 200001u}) {
            TVnFileStream stream(folder / "data.bin", TVnFileStream::Mode::OpenRead);
            std::string first(head, '\0');
            stream.ReadBuffer(&first[0], head);
            TVnDigestContext context;
            DigestInit(context);
            DigestUpdateFromStream(context, stream, int64_t(count));
            TVnDigest digest;
            DigestFinal(context, digest);
            EXPECT_EQ(digest, Digest(data.substr(head, count))) << head << "+" << count;
            char next = 0;
            stream.ReadBuffer(&next, 1);
            EXPECT_EQ(next, data[head + count]) << head << "+" << count;
        }
}

TEST(MD5Test, DigestStreamRaisesOnAShortRead) {
    TVnStringStream stream(std::string(100, 'x'));
    TVnDigest digest;
    EXPECT_THROW(DigestStream(stream, 101, digest), EReadError);
    EXPECT_THROW(DigestStream(stream, 130, digest), EReadError);
}
