// Building packages for the package tests: archives through TVnArchiveWriter, hand-made entries
// for damaged ones, and the test signing key.
#pragma once

#include <functional>
#include <string>

#include "VnArchiveWriter.h"
#include "VnLongNumbers.h"

// An archive body written by fill, followed by its 4-byte length field.
std::string ArchiveTail(const std::function<void(TVnArchiveWriter& writer)>& fill);
// A hand-made body followed by its length field.
std::string WithLength(const std::string& body);
// Stub, tail and a 128-byte signature block of zeros: a package for the reader.
std::string UnsignedPackage(const std::string& tail, const std::string& stub = "MZ stub");

// Hand-made entries.
std::string LE32(uint32_t value);
std::string Deflate(const std::string& data); // one zlib stream, level 9
std::string RawFile(const std::string& name, uint32_t size, const std::string& packed);
std::string RawFolder(const std::string& name); // the folder start only
const char FolderEnd = '\x02';

// Stub and tail with a signature block of the test key: a package that passes the check.
std::string SignedPackage(const std::string& tail, const std::string& stub = "MZ stub");
