#include "VnPackageLayout.h"

#include <algorithm>

#include "VnPackageFormat.h"
#include "VnSysUtils.h"

using namespace VnPackageFormat;

namespace {

uint16_t LoadLE16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int64_t RoundUp(int64_t value) {
    return (value + Alignment - 1) / Alignment * Alignment;
}

// Reads count bytes at offset when they lie inside the first size bytes of the stream.
bool ReadAt(TVnStream& stream, int64_t size, int64_t offset, void* buffer, uint32_t count) {
    if (offset < 0 || offset > size || count > size - offset)
        return false;
    stream.SetPosition(offset);
    stream.ReadBuffer(buffer, count);
    return true;
}

} // namespace

TVnPackageLayout::TVnPackageLayout(TVnStream& stream) : FFileSize(stream.Size()) {
    ReadHeaders(stream);
    if (HasCertificateTable()) {
        FDamaged = !TableIsWhole(stream);
        if (!FDamaged)
            FViews.push_back({PaddedEnds(stream, FTable.Offset), FSigningFields});
        return;
    }
    FViews.push_back({{FFileSize}, {}});
    if (FIsPE && FFileSize % Alignment == 0) {
        TVnPackageView removed{PaddedEnds(stream, FFileSize), FSigningFields};
        // Worth a second pass only where it reads other bytes than the first view.
        uint8_t field[DirectoryEntrySize] = {};
        bool fieldsZero = true;
        for (const TVnByteRange& range : FSigningFields)
            fieldsZero = fieldsZero && ReadAt(stream, FFileSize, range.Offset, field, range.Size) &&
                         std::all_of(field, field + range.Size, [](uint8_t b) { return b == 0; });
        if (removed.Ends.size() > 1 || !fieldsZero)
            FViews.push_back(std::move(removed));
    }
}

void TVnPackageLayout::ReadHeaders(TVnStream& stream) {
    uint8_t dos[DosHeaderSize];
    if (!ReadAt(stream, FFileSize, 0, dos, sizeof dos) || LoadLE16(dos) != DosMagic)
        return;
    const int64_t pe = LoadLE32(dos + PEOffsetField);
    uint8_t head[OptionalHeaderOffset + 2];
    if (!ReadAt(stream, FFileSize, pe, head, sizeof head) || LoadLE32(head) != PESignature)
        return;
    const uint32_t sections = LoadLE16(head + FileHeaderOffset + SectionCountField);
    const uint32_t optionalSize = LoadLE16(head + FileHeaderOffset + OptionalHeaderSizeField);
    const uint16_t magic = LoadLE16(head + OptionalHeaderOffset);
    if (magic != PE32Magic && magic != PE32PlusMagic)
        return;
    const uint32_t countField = magic == PE32Magic ? DirectoryCountField32 : DirectoryCountField64;
    const uint32_t directories = magic == PE32Magic ? DirectoriesOffset32 : DirectoriesOffset64;
    const uint32_t entry = directories + CertificateDirectory * DirectoryEntrySize;
    // The optional header up to the certificate entry, or at least to the directory count.
    std::vector<uint8_t> optional(std::min(optionalSize, entry + DirectoryEntrySize));
    const int64_t optionalStart = pe + OptionalHeaderOffset;
    if (optional.size() < countField + 4 ||
        !ReadAt(stream, FFileSize, optionalStart, optional.data(), uint32_t(optional.size())))
        return;
    FIsPE = true;
    FSigningFields.push_back({optionalStart + CheckSumField, 4});
    const bool hasEntry = LoadLE32(&optional[countField]) > CertificateDirectory &&
                          optional.size() == entry + DirectoryEntrySize;
    if (hasEntry) {
        FSigningFields.push_back({optionalStart + entry, DirectoryEntrySize});
        FTable = {LoadLE32(&optional[entry]), LoadLE32(&optional[entry + 4])};
    }

    // The image ends after its headers, its section table and the raw data of every section.
    const int64_t table = optionalStart + optionalSize;
    FImageEnd = std::max<int64_t>(LoadLE32(&optional[SizeOfHeadersField]),
                                  table + int64_t(sections) * SectionHeaderSize);
    uint8_t section[SectionHeaderSize];
    for (uint32_t i = 0; i < sections; ++i) {
        if (!ReadAt(stream, FFileSize, table + int64_t(i) * SectionHeaderSize, section,
                    sizeof section))
            break; // a truncated table: its sections cannot lie in the file either
        const uint32_t rawSize = LoadLE32(section + SectionRawSizeField);
        if (rawSize != 0)
            FImageEnd =
                std::max(FImageEnd, int64_t(LoadLE32(section + SectionRawOffsetField)) + rawSize);
    }
}

bool TVnPackageLayout::TableIsWhole(TVnStream& stream) const {
    if (FTable.Offset % Alignment != 0 || FTable.Offset < FImageEnd || FTable.End() != FFileSize ||
        FTable.Size < CertificateHeaderSize)
        return false;
    int64_t position = FTable.Offset;
    uint8_t header[CertificateHeaderSize];
    while (position < FFileSize) {
        if (!ReadAt(stream, FFileSize, position, header, sizeof header))
            return false;
        const uint32_t length = LoadLE32(header);
        if (length < CertificateHeaderSize)
            return false;
        position += RoundUp(length);
    }
    return position == FFileSize;
}

std::vector<int64_t> TVnPackageLayout::PaddedEnds(TVnStream& stream, int64_t end) const {
    std::vector<int64_t> ends{end};
    uint8_t padding[Alignment - 1];
    const uint32_t count = uint32_t(std::min<int64_t>(sizeof padding, end));
    if (!ReadAt(stream, FFileSize, end - count, padding, count))
        return ends;
    for (uint32_t i = count; i > 0 && padding[i - 1] == 0; --i)
        ends.push_back(end - (count - i + 1));
    return ends;
}

std::string TVnPackageLayout::UnsignedBytes(TVnStream& stream, int64_t end) const {
    stream.SetPosition(0);
    std::string bytes = ReadStreamText(stream, end);
    for (const TVnByteRange& field : FSigningFields)
        if (field.End() <= end)
            bytes.replace(size_t(field.Offset), field.Size, field.Size, '\0');
    return bytes;
}

int64_t TVnPackageLayout::LikelyEnd(TVnStream& stream) const {
    if (FViews.empty())
        return -1;
    const std::vector<int64_t>& ends = FViews.front().Ends;
    for (int64_t end : ends) {
        const int64_t tail = end - SignatureBlockSize - LengthFieldSize;
        uint8_t field[LengthFieldSize];
        if (ReadAt(stream, FFileSize, tail, field, sizeof field) &&
            LoadLE32(field) <= tail - FImageEnd)
            return end;
    }
    return ends.front();
}
