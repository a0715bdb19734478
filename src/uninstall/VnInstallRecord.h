// The installation record, VNT_Install.rec in the installation folder: what the installations put
// there (the folders they made, every file with its size and MD5) and the language and kind of
// the last one. It is written in the same all-or-nothing step as the files, updated by every later
// setup, and read by the uninstaller, which removes exactly what it lists. It is data about files:
// the install log is another matter.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "VnMD5.h"

extern const char* const InstallRecordName; // "VNT_Install.rec"

struct TVnRecordedFile {
    std::string Path; // relative to the installation folder, "\"-joined
    uint64_t Size = 0;
    std::string Digest; // MD5, 32 lowercase hexadecimal digits
};

struct TVnInstallRecord {
    std::string Language;
    bool ConsoleOnly = false;
    std::vector<std::string> Folders; // relative, each listed before anything it holds
    std::vector<TVnRecordedFile> Files;

    // Adds a folder once, or a file in place of one of the same path (paths ignore ASCII case),
    // in constant time: the lists are changed only through these.
    void AddFolder(const std::string& path);
    void AddFile(const TVnRecordedFile& file);
    // One line per item, closed by the MD5 of every line before it.
    std::string Text() const;

private:
    // The position of every path in its list, by the path in lower case.
    std::unordered_map<std::string, size_t> FFolderIndex, FFileIndex;
};

// The 32 hexadecimal digits of a digest; of the MD5 of bytes.
std::string DigestText(const TVnDigest& digest);
std::string BytesDigestText(const std::string& bytes);

// The record of its text. A text that is not a complete record (a missing or wrong closing digest,
// an unknown line, a path that is absolute or leaves the folder) raises EVnException naming
// fileName as damaged.
TVnInstallRecord ParseInstallRecord(const std::string& text, const std::string& fileName);

// The record in folder (ending with a separator). False when there is none; a record that cannot
// be read or is damaged raises.
bool ReadInstallRecord(const std::string& folder, TVnInstallRecord& record);
