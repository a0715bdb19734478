// Windows programs (PE images) for the package tests, the fuzz seeds and the benchmark: a minimal
// program as a linker writes it, and a package as an Authenticode signing tool leaves it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A PE32 (magic 0x10B) or PE32+ (0x20B) program of 512 bytes of headers and one section of
// sectionSize bytes of `fill`; its CheckSum and certificate directory entry are zero.
std::string MinimalProgram(uint16_t magic, uint32_t sectionSize = 512, char fill = '\xC3');

// File offsets of the two header fields a signing tool rewrites, in a MinimalProgram.
uint32_t CheckSumOffset();
uint32_t CertificateEntryOffset(uint16_t magic);

// What a signing tool does to a package that starts with a MinimalProgram: zero padding to a
// multiple of 8, a table of WIN_CERTIFICATE records of the given lengths (each padded to 8), the
// certificate entry naming it and a new CheckSum.
std::string WithCertificateTable(std::string package, uint16_t magic,
                                 const std::vector<uint32_t>& recordLengths = {1512});
