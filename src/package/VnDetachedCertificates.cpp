#include "VnDetachedCertificates.h"

#include <cstdint>

#include "VnPackageFormat.h"
#include "VnPackageLayout.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

using namespace VnPackageFormat;

namespace {

// The CheckSum, then the table's offset; the table follows.
constexpr size_t FieldsSize = 8;
// An archive entry that the setup reads into memory holds at most MaxMemoryEntry bytes.
constexpr uint32_t MaxTableSize = MaxMemoryEntry - FieldsSize;

std::string LE32(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

uint32_t LoadLE32(const std::string& bytes, size_t offset) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

std::string DetachCertificates(const std::string& signedProgram, const std::string& image) {
    TVnStringStream stream(signedProgram);
    const TVnPackageLayout layout(stream);
    if (!layout.HasCertificateTable())
        throw EVnException("it carries no Authenticode signature");
    const TVnByteRange& table = layout.CertificateTable();
    const int64_t fileSize = int64_t(signedProgram.size());
    if (table.End() < fileSize)
        throw EVnException(std::to_string(fileSize - table.End()) +
                           " bytes follow its certificate table");
    if (layout.Damaged())
        throw EVnException("its certificate table does not fit (it must start on an 8-byte "
                           "boundary after the program, end with the file and consist of whole "
                           "certificate records)");
    if (table.Size > MaxTableSize)
        throw EVnException("its certificate table is larger than " + std::to_string(MaxTableSize) +
                           " bytes");

    const std::string program = layout.UnsignedBytes(stream, table.Offset);
    for (size_t i = 0; i < program.size(); ++i)
        if (program[i] != (i < image.size() ? image[i] : '\0'))
            throw EVnException("byte " + std::to_string(i) + " differs");
    if (program.size() < image.size())
        throw EVnException("it is shorter (" + std::to_string(program.size()) + " of " +
                           std::to_string(image.size()) + " bytes before its certificate table)");
    if (program.size() - image.size() >= Alignment)
        throw EVnException("more than " + std::to_string(Alignment - 1) +
                           " zero bytes lie before its certificate table");
    const uint32_t checkSum = LoadLE32(signedProgram, size_t(layout.SigningFields()[0].Offset));
    return LE32(checkSum) + LE32(uint32_t(table.Offset)) + signedProgram.substr(program.size());
}

bool AttachCertificates(std::string& image, const std::string& detached) {
    if (detached.size() < FieldsSize)
        return false;
    const std::string table = detached.substr(FieldsSize);
    const size_t offset = LoadLE32(detached, 4);
    TVnStringStream imageStream(image);
    const std::vector<TVnByteRange> fields = TVnPackageLayout(imageStream).SigningFields();
    // Both images are the one program followed by 0 to 7 zero bytes.
    if (fields.size() != 2 || offset < size_t(fields[1].End()) ||
        offset + (Alignment - 1) < image.size() || offset > image.size() + (Alignment - 1) ||
        image.find_first_not_of('\0', offset) != std::string::npos)
        return false;

    std::string signedProgram = image;
    signedProgram.resize(offset, '\0');
    signedProgram.replace(size_t(fields[0].Offset), fields[0].Size, detached, 0, 4);
    signedProgram.replace(size_t(fields[1].Offset), fields[1].Size,
                          LE32(uint32_t(offset)) + LE32(uint32_t(table.size())));
    signedProgram += table;
    TVnStringStream signedStream(signedProgram);
    const TVnPackageLayout layout(signedStream);
    if (!layout.HasCertificateTable() || layout.Damaged())
        return false;
    image = std::move(signedProgram);
    return true;
}
