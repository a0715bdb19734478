// The on-disk constants of a package: the tail that the setup appends to its program, and the
// parts of the Windows program (PE) format that locate an Authenticode signature after it.
#pragma once

#include <cstdint>

namespace VnPackageFormat {

// The tail, from the package's end backwards: the signature block, then the body length.
constexpr uint32_t SignatureBlockSize = 128;
constexpr uint32_t LengthFieldSize = 4;
// Every integer of the archive format is below 2^31.
constexpr uint32_t MaxField = 0x7FFFFFFF;
// The archive's own top-level file, which is no payload: the certificate table of the signed
// uninstaller (VnDetachedCertificates). No payload holds this name, in any letter case, at its
// top level, and extraction passes the entry by.
constexpr const char* SignedUninstallerEntry = "VNT_Uninstall.exe.sig";

// A signed package ends on this boundary, so that a signing tool adds no padding; the tool pads
// an unaligned one with at most Alignment - 1 zero bytes before its certificate table.
constexpr uint32_t Alignment = 8;

// DOS header: "MZ", and the file offset of the PE header.
constexpr uint16_t DosMagic = 0x5A4D;
constexpr uint32_t DosHeaderSize = 64;
constexpr uint32_t PEOffsetField = 0x3C;

// PE header: "PE\0\0", then the file header.
constexpr uint32_t PESignature = 0x00004550;
constexpr uint32_t FileHeaderOffset = 4; // from the PE header
constexpr uint32_t FileHeaderSize = 20;
constexpr uint32_t SectionCountField = 2;        // in the file header
constexpr uint32_t OptionalHeaderSizeField = 16; // in the file header
constexpr uint32_t OptionalHeaderOffset = FileHeaderOffset + FileHeaderSize;

// Optional header, PE32 and PE32+.
constexpr uint16_t PE32Magic = 0x10B;
constexpr uint16_t PE32PlusMagic = 0x20B;
constexpr uint32_t CheckSumField = 64;
constexpr uint32_t SizeOfHeadersField = 60;
constexpr uint32_t DirectoryCountField32 = 92, DirectoryCountField64 = 108;
constexpr uint32_t DirectoriesOffset32 = 96, DirectoriesOffset64 = 112;
constexpr uint32_t DirectoryEntrySize = 8; // offset or address, then size
// Data directory 4: the certificate table, by file offset (not by address).
constexpr uint32_t CertificateDirectory = 4;

// Section header: size of the raw data, then its file offset.
constexpr uint32_t SectionHeaderSize = 40;
constexpr uint32_t SectionRawSizeField = 16;
constexpr uint32_t SectionRawOffsetField = 20;

// WIN_CERTIFICATE: its length (header included), revision, type, then the certificate; each
// record starts on an Alignment boundary.
constexpr uint32_t CertificateHeaderSize = 8;

} // namespace VnPackageFormat
