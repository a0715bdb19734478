#include "VnProgramImages.h"

#include "VnPackageFormat.h"

using namespace VnPackageFormat;

namespace {

constexpr uint32_t HeadersSize = 512;
constexpr uint32_t PEHeader = DosHeaderSize;
constexpr uint32_t OptionalHeader = PEHeader + OptionalHeaderOffset;
constexpr uint32_t DirectoryCount = 16;

void Put(std::string& bytes, size_t at, uint32_t value, size_t size = 4) {
    for (size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

uint32_t Directories(uint16_t magic) {
    return magic == PE32Magic ? DirectoriesOffset32 : DirectoriesOffset64;
}

void PadToAlignment(std::string& bytes) {
    bytes.append((Alignment - bytes.size() % Alignment) % Alignment, '\0');
}

} // namespace

std::string MinimalProgram(uint16_t magic, uint32_t sectionSize, char fill) {
    const uint32_t optionalSize = Directories(magic) + DirectoryCount * DirectoryEntrySize;
    std::string image(HeadersSize, '\0');
    Put(image, 0, DosMagic, 2);
    Put(image, PEOffsetField, PEHeader);
    Put(image, PEHeader, PESignature);
    const uint32_t fileHeader = PEHeader + FileHeaderOffset;
    Put(image, fileHeader, magic == PE32Magic ? 0x14C : 0x8664, 2); // i386 or x86-64
    Put(image, fileHeader + SectionCountField, 1, 2);
    Put(image, fileHeader + OptionalHeaderSizeField, optionalSize, 2);
    Put(image, OptionalHeader, magic, 2);
    Put(image, OptionalHeader + SizeOfHeadersField, HeadersSize);
    Put(image,
        OptionalHeader + (magic == PE32Magic ? DirectoryCountField32 : DirectoryCountField64),
        DirectoryCount);
    const uint32_t section = OptionalHeader + optionalSize;
    image.replace(section, 5, ".text");
    Put(image, section + SectionRawSizeField, sectionSize);
    Put(image, section + SectionRawOffsetField, HeadersSize);
    return image + std::string(sectionSize, fill);
}

uint32_t CheckSumOffset() {
    return OptionalHeader + CheckSumField;
}

uint32_t CertificateEntryOffset(uint16_t magic) {
    return OptionalHeader + Directories(magic) + CertificateDirectory * DirectoryEntrySize;
}

std::string WithCertificateTable(std::string package, uint16_t magic,
                                 const std::vector<uint32_t>& recordLengths) {
    PadToAlignment(package);
    std::string table;
    for (uint32_t length : recordLengths) {
        std::string record(length, '\x5A');
        Put(record, 0, length);
        Put(record, 4, 0x0200, 2); // WIN_CERT_REVISION_2_0
        Put(record, 6, 0x0002, 2); // WIN_CERT_TYPE_PKCS_SIGNED_DATA
        PadToAlignment(record);
        table += record;
    }
    Put(package, CertificateEntryOffset(magic), uint32_t(package.size()));
    Put(package, CertificateEntryOffset(magic) + 4, uint32_t(table.size()));
    Put(package, CheckSumOffset(), 0x0641F3B5);
    return package + table;
}
