#include "VnUnpack.h"

#include <algorithm>
#include <memory>
#include <vector>
#include <zlib.h>

namespace {

constexpr uint32_t ChunkSize = 64 * 1024;
constexpr uint32_t MaxField = 0x7FFFFFFF; // every integer of the format is below 2^31

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

} // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 || c == '\\' || c == '/' || c == ':';
    });
}

std::string TVnBaseArchive::ReadEntryText(const std::string& path) {
    TVnStringStream stream;
    ReadEntry(path, stream);
    return stream.DataString();
}

TVnArchive::TVnArchive(const std::string& fileName, uint32_t signatureSize)
    : FFileName(fileName), FStream(fileName, TVnFileStream::Mode::OpenRead) {
    int64_t tail = FStream.Size() - int64_t(signatureSize) - 4;
    if (tail < 0)
        Corrupted();
    uint8_t field[4];
    FStream.SetPosition(tail);
    FStream.ReadBuffer(field, sizeof field);
    FPosition = tail + int64_t(sizeof field);
    uint32_t length = LoadLE32(field);
    if (length > tail)
        Corrupted();
    FBodyStart = tail - length;
    FBodyEnd = tail;
    SeekBody(FBodyStart);
}

void TVnArchive::Corrupted() const {
    throw EVnException(FileCorruptedMessage(FFileName));
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
    SeekBody(FBodyStart);
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
        SeekBody(FBodyStart);
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

void TVnArchive::UnpackEntry(uint32_t size, TVnStream& stream) {
    // The input is limited to the entry's packed bytes and the output to its size: the stream
    // must end exactly at both, or the archive is damaged.
    TInflater inflater;
    std::unique_ptr<uint8_t[]> input(new uint8_t[ChunkSize]), output(new uint8_t[ChunkSize]);
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
        inflater->next_out = output.get();
        inflater->avail_out = ChunkSize;
        status = inflate(inflater.get(), Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            Corrupted();
        uint32_t count = ChunkSize - inflater->avail_out;
        if (count > size - produced)
            Corrupted();
        stream.WriteBuffer(output.get(), count);
        produced += count;
    }
    if (produced != size || inflater->avail_in != 0 || packedLeft != 0)
        Corrupted();
}

void TVnArchive::UnpackEntryToFile(uint32_t size, const std::string& fileName) {
    TVnFileStream file(fileName, TVnFileStream::Mode::Create);
    UnpackEntry(size, file);
}

void TVnArchive::ReadEntry(const std::string& path, TVnStream& stream) {
    TVnArchiveEntry entry;
    if (FindEntry(path, entry) && !entry.IsFolder)
        UnpackEntry(entry.Size, stream);
}

void TVnArchive::ExtractFile(const std::string& path, const std::string& folder) {
    TVnArchiveEntry entry;
    if (!FindEntry(path, entry) || entry.IsFolder)
        return;
    std::string target = ExpandFileName(folder);
    if (ForceFolders(target))
        UnpackEntryToFile(entry.Size, IncludeTrailingPathDelimiter(target) +
                                          path.substr(path.rfind(PathDelim) + 1));
}

void TVnArchive::ExtractFolder(const std::string& path, const std::string& folder) {
    TVnArchiveEntry entry;
    if (FindEntry(path, entry) && entry.IsFolder)
        ExtractLevel(IncludeTrailingPathDelimiter(folder),
                     entry.Path.empty() ? 0 : entry.Path.size() + 1);
}

void TVnArchive::ExtractLevel(const std::string& folder, size_t prefixLength) {
    // Iterative like Walk: `levels` holds the target length of every enclosing folder. The
    // target grows as the entry's path does, from prefixLength at the folder extracted.
    auto force = [](const std::string& target) {
        if (!ForceFolders(target))
            RaiseLastOSError();
    };
    std::string target = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    const size_t base = target.size();
    force(target);
    std::vector<size_t> levels;
    THeader header;
    for (;;) {
        if (!ReadEntryHeader(header)) {
            if (levels.empty())
                return;
            target.resize(levels.back());
            levels.pop_back();
            continue;
        }
        if (prefixLength + target.size() - base + header.Name.size() > MaxEntryPath)
            Corrupted();
        if (header.IsFolder) {
            levels.push_back(target.size());
            target += header.Name;
            target += PathDelim;
            force(target);
        } else {
            UnpackEntryToFile(header.Size, target + header.Name);
        }
    }
}
