// The payload archive appended to the setup executable. From the file's end backwards: the
// signature block, the 4-byte body length L, and the archive body of L bytes: a sequence of file
// entries (zlib streams), folder starts and end-of-folder bytes. The reader is sequential; every
// operation positions the package file's stream from the body start, and entries are inflated
// straight from the file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VnMD5.h"
#include "VnSysUtils.h"

class TVnPackageFile;
class TVnStagedFiles;
class TVnWritePipeline;

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

// The largest entry that is read into memory (the language file, the image, the default
// database).
constexpr uint32_t MaxMemoryEntry = 16 * 1024 * 1024;

// A name of 1 to 255 bytes that Windows stores as given, in a file of its own, inside the folder
// it is extracted into: no character that Windows refuses in a name (<>:"/\|?* and the bytes
// below 32), no trailing dot or blank (Windows drops them, so only-dots-and-blanks names and "."
// and ".." fail too), and no reserved device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9,
// CONIN$, CONOUT$, COM and LPT with a superscript digit), in any letter case and with any
// extension.
bool IsSafeEntryName(const std::string& name);
// Two names that Windows takes for the same file: equal without regard to ASCII case.
std::string EntryNameKey(const std::string& name);

// One entry of the archive, its path the names joined with "\".
struct TVnArchiveEntry {
    std::string Path;
    bool IsFolder = false;
    uint32_t Size = 0;       // unpacked
    uint32_t PackedSize = 0; // of the zlib stream
    TVnDigest Digest{};      // MD5 of the file as written, for a file an extraction wrote
};

// What a folder entry holds, all levels below it counted.
struct TVnFolderSurvey {
    uint64_t Bytes = 0; // unpacked size of every file
    uint32_t Files = 0, Folders = 0;
    std::vector<std::string> FilePaths; // every file's path below the folder, "\"-joined
};

// Called for every entry that an extraction has written (a file flushed), in archive order, in the
// thread that extracts.
using TVnExtractProgress = std::function<void(const TVnArchiveEntry& entry)>;

// Files that join an extraction's all-or-nothing step: their full target paths, known before it
// starts, and the writer that creates each (TVnStagedFiles::Create) once every entry is written.
// Root: the folder that holds the extracted folder and the extras, below which no link is
// followed; empty: the extracted folder itself.
struct TVnStagedExtras {
    std::string Root;
    std::vector<std::string> Targets;
    std::function<void(TVnStagedFiles& staged)> Write;
};

// Lookups compare whole paths without regard to ASCII case; an entry that does not exist makes
// every operation do nothing. A damaged archive (a length or header outside the body, a name that
// IsSafeEntryName refuses, a path longer than MaxEntryPath, a zlib stream that does not inflate to
// exactly its size within its packed bytes, an entry over MaxMemoryEntry read into memory, two
// entries of one name in a folder before anything of it is extracted) raises EVnException with
// MsgFileCorrupted.
//
// Extraction never lets the system interpret an entry path: the target is the absolute target
// folder joined with checked names, and every file or folder is created only after its full path
// (as the system resolves it) has been confirmed to lie inside the target folder. It is all or
// nothing: the files are written beside their targets and put in place together (TVnStagedFiles),
// so that a failure leaves the target folder as it was. The writing, digesting and flushing run
// beside the inflation (TVnWritePipeline); every file is flushed before the targets are replaced.
// The package's own entry (VnPackageFormat::SignedUninstallerEntry) is no payload: extracting the
// whole archive passes it by.
class TVnArchive : public TVnBaseArchive {
public:
    // Opens and keeps its own package file.
    TVnArchive(const std::string& fileName, uint32_t signatureSize);
    // Reads through an open package file, which must outlive the archive.
    TVnArchive(TVnPackageFile& file, uint32_t signatureSize);
    ~TVnArchive() override;

    void ReadEntry(const std::string& path, TVnStream& stream) override;
    void ExtractFile(const std::string& path, const std::string& folder) override;
    void ExtractFolder(const std::string& path, const std::string& folder) override;
    // One walk: the folder is surveyed (every check above, nothing written), then extracted with
    // onEntry called after every entry written, and the extras written into the same step.
    void ExtractFolder(const std::string& path, const std::string& folder,
                       const TVnExtractProgress& onEntry, const TVnStagedExtras& extras = {});
    // Where the program that carries the archive ends: the start of the archive body.
    int64_t ProgramEnd() const { return FBodyStart; }
    // Checks the folder entry path as ExtractFolder does; false when it is not a folder.
    bool SurveyFolder(const std::string& path, TVnFolderSurvey& survey);

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

    TVnArchive(std::unique_ptr<TVnPackageFile> owned, uint32_t signatureSize);
    void Open(uint32_t signatureSize);
    // The body start again, wherever other readers of the package file left the stream.
    void Rewind();
    bool Walk(const TVisitor& visit);
    // False at the body end or on an end-of-folder byte.
    bool ReadEntryHeader(THeader& header);
    // Inflates the file entry whose header was read last, exactly size bytes, into the room that
    // output.Room(roomSize) gives, telling output.Filled(count) what it put there.
    template <class TOutput> void UnpackEntry(uint32_t size, TOutput& output);
    // Raises the corrupted message unless target, resolved by the system, is itself and lies
    // inside the folder base.
    void ConfirmInside(const std::string& base, const std::string& target) const;
    // From the first entry inside a folder to its end.
    void SurveyLevel(TVnFolderSurvey& survey, size_t prefixLength);
    // Hands the file entry whose header was read last to the pipeline.
    void AddEntryFile(TVnWritePipeline& pipeline, const TVnArchiveEntry& entry,
                      const std::string& target);
    // base: the absolute target folder; prefix: the archive path of the folder extracted.
    void ExtractLevel(TVnWritePipeline& pipeline, const std::string& base,
                      const std::string& prefix);
    void ReadBody(void* buffer, uint32_t count);
    void SeekBody(int64_t position);
    [[noreturn]] void Corrupted() const;

    std::unique_ptr<TVnPackageFile> FOwnedFile;
    TVnPackageFile& FPackage;
    TVnStream& FStream;
    int64_t FBodyStart = 0, FBodyEnd = 0;
    int64_t FPosition = 0;    // of FStream, kept here so that reads need no seek
    uint32_t FPackedSize = 0; // of the file entry whose header was read last
};
