#include "VnUnpack.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>
#include <zlib.h>

#include "VnPackageFile.h"
#include "VnPackageFormat.h"
#include "VnStagedFiles.h"
#include "VnWritePipeline.h"

using VnPackageFormat::LengthFieldSize;
using VnPackageFormat::MaxField;

namespace {

constexpr uint32_t ChunkSize = 64 * 1024;

uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class TInflater {
public:
    TInflater() {
        if (inflateInit(&FStream) != Z_OK)
            throw EVnException("Error");
    }
    ~TInflater() { inflateEnd(&FStream); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    z_stream* operator->() { return &FStream; }
    z_stream* get() { return &FStream; }

private:
    z_stream FStream{};
};

bool IsDeviceName(const std::string& name) {
    // Windows takes the part before the first dot, trailing blanks dropped, for the device.
    std::string base = AsciiLowerCase(name.substr(0, name.find('.')));
    base.erase(base.find_last_not_of(' ') + 1);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == device)
            return true;
    if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0))
        return false;
    // The superscript digits one, two and three of the Windows ANSI code pages.
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// The package's own file at the archive's top level, which holds no payload.
bool IsPackageEntry(const std::string& name, bool isFolder) {
    return !isFolder && SameTextAscii(name, VnPackageFormat::SignedUninstallerEntry);
}

// Inflated bytes on their way to a stream, through a buffer of its own.
class TStreamOutput {
public:
    explicit TStreamOutput(TVnStream& stream) : FStream(stream), FBuffer(new uint8_t[ChunkSize]) {}
    uint8_t* Room(uint32_t& size) {
        size = ChunkSize;
        return FBuffer.get();
    }
    void Filled(uint32_t count) { FStream.WriteBuffer(FBuffer.get(), count); }

private:
    TVnStream& FStream;
    std::unique_ptr<uint8_t[]> FBuffer;
};

} // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.back() == '.' || name.back() == ' ')
        return false;
    const bool allowed = std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c) != nullptr;
    });
    return allowed && !IsDeviceName(name);
}

std::string EntryNameKey(const std::string& name) {
    return AsciiLowerCase(name);
}

std::string TVnBaseArchive::ReadEntryText(const std::string& path) {
    TVnStringStream stream;
    ReadEntry(path, stream);
    return stream.DataString();
}

TVnArchive::TVnArchive(const std::string& fileName, uint32_t signatureSize)
    : TVnArchive(std::make_unique<TVnPackageFile>(fileName), signatureSize) {}

TVnArchive::TVnArchive(std::unique_ptr<TVnPackageFile> owned, uint32_t signatureSize)
    : FOwnedFile(std::move(owned)), FPackage(*FOwnedFile), FStream(FOwnedFile->Stream()) {
    Open(signatureSize);
}

TVnArchive::TVnArchive(TVnPackageFile& file, uint32_t signatureSize)
    : FPackage(file), FStream(file.Stream()) {
    Open(signatureSize);
}

TVnArchive::~TVnArchive() = default;

void TVnArchive::Open(uint32_t signatureSize) {
    // A damaged certificate table has no end (-1): the tail lies before the file then too.
    const int64_t tail = FPackage.End() - int64_t(signatureSize) - int64_t(LengthFieldSize);
    if (tail < 0)
        Corrupted();
    uint8_t field[4];
    FStream.SetPosition(tail);
    FStream.ReadBuffer(field, sizeof field);
    uint32_t length = LoadLE32(field);
    if (length > tail)
        Corrupted();
    FBodyStart = tail - length;
    FBodyEnd = tail;
    Rewind();
}

void TVnArchive::Rewind() {
    FStream.SetPosition(FBodyStart);
    FPosition = FBodyStart;
}

void TVnArchive::Corrupted() const {
    throw EVnException(FileCorruptedMessage(FPackage.FileName()));
}

void TVnArchive::SeekBody(int64_t position) {
    // Relative, so that a short skip forward stays within the stream's read buffer.
    FStream.Seek(position - FPosition, VnPlatform::SeekOrigin::Current);
    FPosition = position;
}

void TVnArchive::ReadBody(void* buffer, uint32_t count) {
    if (count > FBodyEnd - FPosition)
        Corrupted();
    FStream.ReadBuffer(buffer, count);
    FPosition += count;
}

bool TVnArchive::ReadEntryHeader(THeader& header) {
    if (FPosition >= FBodyEnd)
        return false;
    uint8_t kind;
    ReadBody(&kind, 1);
    if (kind == EntryFolderEnd)
        return false;
    uint8_t length;
    ReadBody(&length, 1);
    header.Name.resize(length);
    ReadBody(&header.Name[0], length);
    if (!IsSafeEntryName(header.Name))
        Corrupted();
    header.IsFolder = kind != EntryFile;
    header.Size = header.PackedSize = 0;
    if (!header.IsFolder) {
        uint8_t sizes[8];
        ReadBody(sizes, sizeof sizes);
        header.Size = LoadLE32(sizes);
        header.PackedSize = LoadLE32(sizes + 4);
        if (header.Size > MaxField || header.PackedSize > FBodyEnd - FPosition)
            Corrupted();
        FPackedSize = header.PackedSize;
    }
    return true;
}

bool TVnArchive::Walk(const TVisitor& visit) {
    // Depth-first and iterative: `levels` holds the prefix length of every enclosing folder.
    Rewind();
    std::string prefix;
    std::vector<size_t> levels;
    THeader header;
    for (;;) {
        if (!ReadEntryHeader(header)) {
            if (levels.empty())
                return false;
            prefix.resize(levels.back());
            levels.pop_back();
            continue;
        }
        if (prefix.size() + header.Name.size() > MaxEntryPath)
            Corrupted();
        if (visit(header, prefix + header.Name))
            return true;
        if (header.IsFolder) {
            levels.push_back(prefix.size());
            prefix += header.Name;
            prefix += PathDelim;
        } else {
            SeekBody(FPosition + header.PackedSize);
        }
    }
}

bool TVnArchive::FindEntry(const std::string& path, TVnArchiveEntry& entry) {
    if (path.empty()) {
        Rewind();
        entry = TVnArchiveEntry{"", true, 0, 0};
        return true;
    }
    return Walk([&](const THeader& header, const std::string& fullPath) {
        if (!SameTextAscii(fullPath, path))
            return false;
        entry = TVnArchiveEntry{fullPath, header.IsFolder, header.Size, header.PackedSize};
        return true;
    });
}

void TVnArchive::ForEachEntry(const std::function<void(const TVnArchiveEntry& entry)>& action) {
    Walk([&](const THeader& header, const std::string& fullPath) {
        action(TVnArchiveEntry{fullPath, header.IsFolder, header.Size, header.PackedSize});
        return false;
    });
}

template <class TOutput> void TVnArchive::UnpackEntry(uint32_t size, TOutput& output) {
    // The input is limited to the entry's packed bytes and the output to its size: the stream
    // must end exactly at both, or the archive is damaged.
    TInflater inflater;
    std::unique_ptr<uint8_t[]> input(new uint8_t[ChunkSize]);
    uint32_t packedLeft = FPackedSize, produced = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (inflater->avail_in == 0) {
            if (packedLeft == 0)
                Corrupted();
            uint32_t count = std::min(packedLeft, ChunkSize);
            ReadBody(input.get(), count);
            packedLeft -= count;
            inflater->next_in = input.get();
            inflater->avail_in = count;
        }
        uint32_t room = 0;
        inflater->next_out = output.Room(room);
        inflater->avail_out = room;
        status = inflate(inflater.get(), Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            Corrupted();
        uint32_t count = room - inflater->avail_out;
        if (count > size - produced)
            Corrupted();
        output.Filled(count);
        produced += count;
    }
    if (produced != size || inflater->avail_in != 0 || packedLeft != 0)
        Corrupted();
}

void TVnArchive::AddEntryFile(TVnWritePipeline& pipeline, const TVnArchiveEntry& entry,
                              const std::string& target) {
    pipeline.AddFile(entry, target,
                     [&](TVnWritePipeline::TFileBytes& bytes) { UnpackEntry(entry.Size, bytes); });
}

void TVnArchive::ReadEntry(const std::string& path, TVnStream& stream) {
    TVnArchiveEntry entry;
    if (!FindEntry(path, entry) || entry.IsFolder)
        return;
    if (entry.Size > MaxMemoryEntry)
        Corrupted();
    TStreamOutput output(stream);
    UnpackEntry(entry.Size, output);
}

void TVnArchive::ConfirmInside(const std::string& base, const std::string& target) const {
    // The system's own resolution of the path must give back the path itself, below base.
    const auto normal = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', PathDelim);
        return ExcludeTrailingPathDelimiter(path);
    };
    const std::string root = normal(base) + PathDelim, path = normal(target);
    const std::string full = normal(VnPlatform::FullPathName(path));
    if (!SameTextAscii(full, path) || full.size() <= root.size() ||
        !SameTextAscii(full.substr(0, root.size()), root))
        Corrupted();
}

void TVnArchive::ExtractFile(const std::string& path, const std::string& folder) {
    TVnArchiveEntry entry;
    if (!FindEntry(path, entry) || entry.IsFolder)
        return;
    const std::string base = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    const std::string target = base + path.substr(path.rfind(PathDelim) + 1);
    TVnStagedFiles staged(base, {target});
    if (!ForceFolders(base))
        return;
    ConfirmInside(base, target);
    TVnWritePipeline pipeline(staged, nullptr);
    AddEntryFile(pipeline, entry, target);
    pipeline.Finish();
    staged.Commit();
}

void TVnArchive::ExtractFolder(const std::string& path, const std::string& folder) {
    ExtractFolder(path, folder, nullptr);
}

void TVnArchive::ExtractFolder(const std::string& path, const std::string& folder,
                               const TVnExtractProgress& onEntry, const TVnStagedExtras& extras) {
    TVnFolderSurvey survey;
    TVnArchiveEntry entry;
    if (!SurveyFolder(path, survey) || !FindEntry(path, entry))
        return;
    const std::string base = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    std::vector<std::string> targets;
    for (const std::string& file : survey.FilePaths)
        targets.push_back(base + file);
    targets.insert(targets.end(), extras.Targets.begin(), extras.Targets.end());
    TVnStagedFiles staged(extras.Root.empty() ? base : extras.Root, targets);
    staged.CreateFolders(base);
    {
        TVnWritePipeline pipeline(staged, onEntry);
        ExtractLevel(pipeline, base, entry.Path.empty() ? "" : entry.Path + PathDelim);
        pipeline.Finish();
    }
    if (extras.Write)
        extras.Write(staged);
    staged.Commit();
}

bool TVnArchive::SurveyFolder(const std::string& path, TVnFolderSurvey& survey) {
    TVnArchiveEntry entry;
    if (!FindEntry(path, entry) || !entry.IsFolder)
        return false;
    survey = TVnFolderSurvey{};
    SurveyLevel(survey, entry.Path.empty() ? 0 : entry.Path.size() + 1);
    return true;
}

void TVnArchive::SurveyLevel(TVnFolderSurvey& survey, size_t prefixLength) {
    // Iterative like Walk; `names` holds the name keys of every open folder, `levels` the
    // length of `relative` in every enclosing one.
    std::vector<std::set<std::string>> names(1);
    std::vector<size_t> levels;
    std::string relative;
    THeader header;
    for (;;) {
        if (!ReadEntryHeader(header)) {
            if (levels.empty())
                return;
            relative.resize(levels.back());
            levels.pop_back();
            names.pop_back();
            continue;
        }
        if (prefixLength == 0 && levels.empty() && IsPackageEntry(header.Name, header.IsFolder)) {
            SeekBody(FPosition + header.PackedSize);
            continue;
        }
        if (prefixLength + relative.size() + header.Name.size() > MaxEntryPath ||
            !names.back().insert(EntryNameKey(header.Name)).second)
            Corrupted();
        if (header.IsFolder) {
            ++survey.Folders;
            levels.push_back(relative.size());
            relative += header.Name;
            relative += PathDelim;
            names.emplace_back();
        } else {
            ++survey.Files;
            survey.Bytes += header.Size;
            survey.FilePaths.push_back(relative + header.Name);
            SeekBody(FPosition + header.PackedSize);
        }
    }
}

void TVnArchive::ExtractLevel(TVnWritePipeline& pipeline, const std::string& base,
                              const std::string& prefix) {
    // Iterative like Walk: `levels` holds the length of `relative` in every enclosing folder.
    std::string relative;
    std::vector<size_t> levels;
    THeader header;
    for (;;) {
        if (!ReadEntryHeader(header)) {
            if (levels.empty())
                return;
            relative.resize(levels.back());
            levels.pop_back();
            continue;
        }
        if (prefix.empty() && levels.empty() && IsPackageEntry(header.Name, header.IsFolder)) {
            SeekBody(FPosition + header.PackedSize);
            continue;
        }
        if (prefix.size() + relative.size() + header.Name.size() > MaxEntryPath)
            Corrupted();
        const std::string target = base + relative + header.Name;
        ConfirmInside(base, target);
        const TVnArchiveEntry entry{prefix + relative + header.Name, header.IsFolder, header.Size,
                                    header.PackedSize};
        if (header.IsFolder)
            pipeline.AddFolder(entry, target);
        else
            AddEntryFile(pipeline, entry, target);
        if (header.IsFolder) {
            levels.push_back(relative.size());
            relative += header.Name;
            relative += PathDelim;
        }
    }
}
