// The publisher's side of the payload package: writes archive bodies in the format TVnArchive
// reads and appends signature blocks that CheckStreamSignature accepts. Every zlib stream is
// compressed at level 9 (header 78 DA) and nothing time- or machine-dependent is written, so the
// same input always gives the same bytes.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "VnLongNumbers.h"
#include "VnMD5.h"

class TVnStream;

class TVnArchiveWriter {
public:
    // The body starts at the output's current position.
    explicit TVnArchiveWriter(TVnStream& output);

    // Names must pass IsSafeEntryName, differ from the other names of their folder (EntryNameKey)
    // and paths stay within MaxEntryPath; EVnException naming the path otherwise.
    void AddFile(const std::string& name, const std::string& data);
    void BeginFolder(const std::string& name);
    void EndFolder();
    // Every file and folder inside `folder` (not the folder itself), each folder's entries in
    // byte-wise name order. At the archive's top level the package's own entry names
    // (VnPackageFormat::SignedUninstallerEntry) are refused.
    void AddFolderTree(const std::string& folder);
    // Writes the 4-byte body length; every folder must have been ended.
    void Finish();

private:
    void WriteHeader(uint8_t kind, const std::string& name);

    TVnStream& FOutput;
    int64_t FStart;
    std::string FPrefix;         // path of the open folder, with a trailing "\"
    std::vector<size_t> FLevels; // FPrefix lengths of the enclosing folders
    // EntryNameKey of every name written in each open folder, the top level first.
    std::vector<std::set<std::string>> FNames{1};
};

// The private-key operation on one 128-byte little-endian block.
using TVnSigner = std::function<void(const uint8_t* plaintext, uint8_t* signature)>;

// m^d mod n with the program's own long numbers: a signer for tests and tools without OpenSSL.
TVnSigner ExponentSigner(const TVnLongNumber& modulus, const TVnLongNumber& privateExponent);

// The plaintext of a signature block: the digest, zero filler, length 16, flags 0x01.
std::array<uint8_t, LongBytes> SignaturePlaintext(const TVnDigest& digest);

// Appends the signature block over the stream's whole content.
void AppendSignature(TVnStream& package, const TVnSigner& sign);

// The program that a package of stubFile starts with: the stub with the CheckSum and the
// certificate directory entry of its PE header zero (other stubs as they are). It is also the
// uninstaller that every installation from such a package writes, apart from the 0 to 7 zero bytes
// that align the package. A stub that carries a certificate table is refused.
std::string UnsignedStub(const std::string& stubFile);

// Writes a signed package: UnsignedStub(stubFile), zero bytes that make the package's size a
// multiple of 8, the archive of payloadFolder, its length and the signature block. With
// signedUninstallerFile, UnsignedStub signed by the publisher (see DetachCertificates), the
// archive also carries its certificate table as its last entry, SignedUninstallerEntry; any other
// file is refused, naming it and the reason. A failure leaves no output file behind.
void WritePackage(const std::string& stubFile, const std::string& payloadFolder,
                  const std::string& outputFile, const TVnSigner& sign,
                  const std::string& signedUninstallerFile = std::string());
