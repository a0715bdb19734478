// Where a package ends and which of its bytes its digest reads as zero. A package is a program
// followed by the archive body, its length and the signature block. An Authenticode signature
// adds, after that, up to 7 zero bytes and the certificate table that the program's PE header
// names, and rewrites two fields of that header: the CheckSum and the table's directory entry.
// Only this module looks at the PE header; the signature check and the archive reader ask it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TVnStream;

struct TVnByteRange {
    int64_t Offset = 0;
    uint32_t Size = 0;
    int64_t End() const { return Offset + Size; }
};

// One way of reading a package: the ends it may have (one past the signature block; the most
// likely first) and the header fields that its digest reads as zero, in file order.
struct TVnPackageView {
    std::vector<int64_t> Ends;
    std::vector<TVnByteRange> ZeroFields;
};

class TVnPackageLayout {
public:
    // Reads the PE header and walks the certificate table, if any; reads nothing outside the
    // stream. A stream that is no PE file is a package of the plain layout.
    explicit TVnPackageLayout(TVnStream& stream);

    // The directory entry names a table (valid or not).
    bool HasCertificateTable() const { return FTable.Offset != 0 || FTable.Size != 0; }
    const TVnByteRange& CertificateTable() const { return FTable; }
    // A certificate table that does not start on an 8-byte boundary after the last section, run
    // exactly to the end of the file and consist of whole WIN_CERTIFICATE records.
    bool Damaged() const { return FDamaged; }
    // The CheckSum field and the certificate directory entry of a PE file.
    const std::vector<TVnByteRange>& SigningFields() const { return FSigningFields; }
    // The first `end` bytes of the stream with the signing fields among them zero: the program as
    // it was before a signing tool rewrote its header.
    std::string UnsignedBytes(TVnStream& stream, int64_t end) const;

    // The views to check, in order. With a certificate table, only the signed view: the table's
    // start, less up to 7 zero bytes of padding, with the signing fields read as zero. Without
    // one, the file as it is; then, for a PE file of a multiple of 8 bytes (the form a removed
    // signature leaves), the same signed view from the file's end. None when damaged.
    const std::vector<TVnPackageView>& Views() const { return FViews; }
    // The end to read a package by when no check has chosen one: of the first view's ends, the
    // first whose length field leaves the body after the image; -1 when damaged.
    int64_t LikelyEnd(TVnStream& stream) const;

private:
    void ReadHeaders(TVnStream& stream);
    bool TableIsWhole(TVnStream& stream) const;
    // end, and end less every zero byte before it, at most 7.
    std::vector<int64_t> PaddedEnds(TVnStream& stream, int64_t end) const;

    int64_t FFileSize = 0;
    int64_t FImageEnd = 0; // past the headers and the last section's raw data
    bool FIsPE = false, FDamaged = false;
    std::vector<TVnByteRange> FSigningFields;
    TVnByteRange FTable;
    std::vector<TVnPackageView> FViews;
};
