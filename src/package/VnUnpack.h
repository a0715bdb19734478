// The payload archive appended to the setup executable. From the file's end backwards: the
// signature block, the 4-byte body length L, and the archive body of L bytes: a sequence of file
// entries (zlib streams), folder starts and end-of-folder bytes. The reader is sequential; every
// operation moves the single file position, and entries are inflated straight from the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "VnSysUtils.h"

class TVnBaseArchive {
public:
    virtual ~TVnBaseArchive() = default;
    // Unpacks the file entry `path` into stream at its current position.
    virtual void ReadEntry(const std::string& path, TVnStream& stream) = 0;
    // Unpacks the file entry `path` into folder\<last component of path>.
    virtual void ExtractFile(const std::string& path, const std::string& folder) = 0;
    // Unpacks everything inside the folder entry `path` into folder, recreating subfolders.
    virtual void ExtractFolder(const std::string& path, const std::string& folder) = 0;

    // The bytes of a file entry; empty when there is none.
    std::string ReadEntryText(const std::string& path);
};

// Entry kinds as stored in the body.
enum : uint8_t { EntryFile = 0, EntryFolder = 1, EntryFolderEnd = 2 };

// The longest entry path (names joined with "\"): a Windows ANSI path has at most 259
// characters, so no longer entry could ever be extracted.
constexpr size_t MaxEntryPath = 259;

// A name of 1 to 255 bytes that cannot leave the folder it is extracted into: not "." or "..",
// no "\", "/", ":" and no byte below 32.
bool IsSafeEntryName(const std::string& name);

// One entry of the archive, its path the names joined with "\".
struct TVnArchiveEntry {
    std::string Path;
    bool IsFolder = false;
    uint32_t Size = 0;       // unpacked
    uint32_t PackedSize = 0; // of the zlib stream
};

// Lookups compare whole paths without regard to ASCII case; an entry that does not exist makes
// every operation do nothing. A damaged archive (a length or header outside the body, a name that
// could leave the target folder, a path longer than MaxEntryPath, a zlib stream that does not
// inflate to exactly its size within its packed bytes) raises EVnException with
// MsgFileCorrupted.
class TVnArchive : public TVnBaseArchive {
public:
    TVnArchive(const std::string& fileName, uint32_t signatureSize);

    void ReadEntry(const std::string& path, TVnStream& stream) override;
    void ExtractFile(const std::string& path, const std::string& folder) override;
    void ExtractFolder(const std::string& path, const std::string& folder) override;

    // True when the entry exists; the position then lies just after its header (at the packed
    // data of a file, at the first entry inside a folder). The empty path is the top level.
    bool FindEntry(const std::string& path, TVnArchiveEntry& entry);
    // Calls action for every entry in archive order.
    void ForEachEntry(const std::function<void(const TVnArchiveEntry& entry)>& action);

private:
    struct THeader {
        std::string Name;
        bool IsFolder = false;
        uint32_t Size = 0, PackedSize = 0;
    };
    // Called for every entry met; answering true stops the walk just after that header.
    using TVisitor = std::function<bool(const THeader& header, const std::string& path)>;

    bool Walk(const TVisitor& visit);
    // False at the body end or on an end-of-folder byte.
    bool ReadEntryHeader(THeader& header);
    // Inflates the file entry whose header was read last; exactly size bytes go to stream.
    void UnpackEntry(uint32_t size, TVnStream& stream);
    void UnpackEntryToFile(uint32_t size, const std::string& fileName);
    void ExtractLevel(const std::string& folder, size_t prefixLength);
    void ReadBody(void* buffer, uint32_t count);
    void SeekBody(int64_t position);
    [[noreturn]] void Corrupted() const;

    std::string FFileName;
    TVnFileStream FStream;
    int64_t FBodyStart = 0, FBodyEnd = 0;
    int64_t FPosition = 0;    // of FStream, kept here so that reads need no seek
    uint32_t FPackedSize = 0; // of the file entry whose header was read last
};
