// An Authenticode signature kept apart from the program it signs: what a signing tool added to it
// that the program cannot give back. That is the certificate table, the CheckSum and the table's
// offset: the program's end plus the tool's padding, which a package's copy of the program, with
// zero bytes of its own after it, does not tell. The table's size in the directory entry is the
// table's own length. A package carries its signed uninstaller in this form
// (VnPackageFormat::SignedUninstallerEntry), and every installation signs the uninstaller it
// writes with it again.
#pragma once

#include <string>

// The detached form of signedProgram: its CheckSum and the table's offset (4 bytes each,
// little-endian), then the certificate table. signedProgram must be image with a whole
// certificate table after it: image is what is left after removing the table, reading the
// CheckSum and the certificate directory entry as zero and removing up to 7 zero bytes of padding.
// Otherwise EVnException whose message is the reason ("byte 1234 differs").
std::string DetachCertificates(const std::string& signedProgram, const std::string& image);

// image signed again with detached: cut or padded with zero bytes to the table's offset (only zero
// bytes are cut, so image may carry up to 7 more of them than the image it was detached from), the
// header fields written and the table appended. False, image unchanged, when detached does not
// fit image.
bool AttachCertificates(std::string& image, const std::string& detached);
