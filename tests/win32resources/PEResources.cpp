#include "PEResources.h"

#include <stdexcept>

#include "VnTestSupport.h"

namespace {

uint32_t Read(const std::string& bytes, size_t offset, size_t size) {
    if (offset > bytes.size() || bytes.size() - offset < size)
        throw std::runtime_error("read beyond the end of the data at " + std::to_string(offset));
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}
uint16_t U16(const std::string& bytes, size_t offset) {
    return static_cast<uint16_t>(Read(bytes, offset, 2));
}
uint32_t U32(const std::string& bytes, size_t offset) {
    return Read(bytes, offset, 4);
}

void Require(bool condition, const char* what) {
    if (!condition)
        throw std::runtime_error(what);
}

size_t Align4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

void AppendUtf8(std::string& text, uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The UTF-16 text from offset up to its terminating zero (or end); offset moves past the zero.
std::string Utf16Text(const std::string& bytes, size_t& offset, size_t end) {
    std::string text;
    while (offset + 2 <= end) {
        uint32_t code = U16(bytes, offset);
        offset += 2;
        if (code == 0)
            break;
        if (code >= 0xD800 && code < 0xDC00 && offset + 2 <= end) {
            const uint32_t low = U16(bytes, offset);
            Require(low >= 0xDC00 && low < 0xE000, "unpaired surrogate in a version string");
            offset += 2;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(text, code);
    }
    return text;
}

// One node of the version tree: length, value length, type, key, value, children.
struct TVersionNode {
    std::string Key;
    size_t ValueOffset, ValueEnd;
    uint16_t Type;
    std::vector<TVersionNode> Children;
};

TVersionNode ParseVersionNode(const std::string& data, size_t offset, size_t limit) {
    const size_t length = U16(data, offset);
    Require(length >= 6 && offset + length <= limit, "version node outside its parent");
    const size_t end = offset + length;
    const size_t valueLength = U16(data, offset + 2);
    TVersionNode node;
    node.Type = U16(data, offset + 4);
    size_t position = offset + 6;
    node.Key = Utf16Text(data, position, end);
    node.ValueOffset = Align4(position);
    // A text value counts UTF-16 characters, a binary one bytes.
    node.ValueEnd = node.ValueOffset + (node.Type == 1 ? valueLength * 2 : valueLength);
    Require(node.ValueEnd <= end, "version value beyond its node");
    for (position = Align4(node.ValueEnd); position < end;) {
        node.Children.push_back(ParseVersionNode(data, position, end));
        position = Align4(position + U16(data, position));
    }
    return node;
}

} // namespace

TPEImage::TPEImage(const std::string& fileName) : FBytes(ReadBytes(fileName)) {
    Require(FBytes.size() >= 64 && FBytes.compare(0, 2, "MZ") == 0, "no MZ header");
    const uint32_t pe = U32(FBytes, 0x3C);
    Require(U32(FBytes, pe) == 0x00004550, "no PE signature");
    const size_t coff = pe + 4;
    const unsigned sectionCount = U16(FBytes, coff + 2);
    const size_t optionalSize = U16(FBytes, coff + 16);
    FCharacteristics = U16(FBytes, coff + 18);
    const size_t optional = coff + 20;
    const uint16_t magic = U16(FBytes, optional);
    Require(magic == 0x10B || magic == 0x20B, "unknown optional header");
    FPE32Plus = magic == 0x20B;
    // The data directories follow the fixed fields; entry 2 is the resource table.
    const size_t directories = optional + (FPE32Plus ? 112 : 96);
    const uint32_t directoryCount = U32(FBytes, directories - 4);
    for (size_t s = 0; s < sectionCount; ++s) {
        const size_t header = optional + optionalSize + s * 40;
        FSections.push_back(
            {U32(FBytes, header + 12), U32(FBytes, header + 16), U32(FBytes, header + 20)});
    }
    if (directoryCount > 2 && U32(FBytes, directories + 2 * 8) != 0)
        FResourceOffset = FileOffset(U32(FBytes, directories + 2 * 8));
}

uint32_t TPEImage::FileOffset(uint32_t rva) const {
    for (const TSection& section : FSections)
        if (rva >= section.Address && rva - section.Address < section.Size)
            return section.FileOffset + (rva - section.Address);
    throw std::runtime_error("address outside every section: " + std::to_string(rva));
}

std::optional<uint32_t> TPEImage::DirectoryEntry(uint32_t directory, uint16_t id) const {
    const size_t table = FResourceOffset + directory;
    const unsigned named = U16(FBytes, table + 12), numbered = U16(FBytes, table + 14);
    for (unsigned i = named; i < named + numbered; ++i) {
        const size_t entry = table + 16 + i * 8;
        if (U32(FBytes, entry) == id)
            return U32(FBytes, entry + 4);
    }
    return std::nullopt;
}

std::optional<std::string> TPEImage::Resource(uint16_t type, uint16_t id) const {
    if (FResourceOffset == 0)
        return std::nullopt;
    const uint32_t subdirectory = 0x80000000;
    const std::optional<uint32_t> types = DirectoryEntry(0, type);
    if (!types || !(*types & subdirectory))
        return std::nullopt;
    const std::optional<uint32_t> names = DirectoryEntry(*types & ~subdirectory, id);
    if (!names || !(*names & subdirectory))
        return std::nullopt;
    const size_t languages = FResourceOffset + (*names & ~subdirectory);
    Require(U16(FBytes, languages + 12) + U16(FBytes, languages + 14) > 0, "no language entry");
    const uint32_t data = U32(FBytes, languages + 16 + 4);
    Require(!(data & subdirectory), "a fourth directory level");
    const size_t entry = FResourceOffset + data;
    const uint32_t offset = FileOffset(U32(FBytes, entry)), size = U32(FBytes, entry + 4);
    Require(offset <= FBytes.size() && FBytes.size() - offset >= size, "resource beyond the file");
    return FBytes.substr(offset, size);
}

TVersionInfo ParseVersionInfo(const std::string& data) {
    const TVersionNode root = ParseVersionNode(data, 0, data.size());
    Require(root.Key == "VS_VERSION_INFO", "not a version resource");
    Require(root.ValueEnd - root.ValueOffset >= 52 && U32(data, root.ValueOffset) == 0xFEEF04BD,
            "no fixed file information");
    TVersionInfo info;
    info.FileVersionMS = U32(data, root.ValueOffset + 8);
    info.FileVersionLS = U32(data, root.ValueOffset + 12);
    info.ProductVersionMS = U32(data, root.ValueOffset + 16);
    info.ProductVersionLS = U32(data, root.ValueOffset + 20);
    for (const TVersionNode& block : root.Children) {
        if (block.Key != "StringFileInfo")
            continue;
        for (const TVersionNode& table : block.Children)
            for (const TVersionNode& text : table.Children) {
                size_t position = text.ValueOffset;
                info.Strings[text.Key] = Utf16Text(data, position, text.ValueEnd);
            }
    }
    return info;
}

std::vector<TIconEntry> ParseIconGroup(const std::string& data) {
    Require(U16(data, 0) == 0 && U16(data, 2) == 1, "not an icon group");
    std::vector<TIconEntry> entries;
    for (unsigned i = 0, count = U16(data, 4); i < count; ++i) {
        const size_t entry = 6 + i * 14; // GRPICONDIRENTRY
        const unsigned width = static_cast<unsigned char>(Read(data, entry, 1));
        const unsigned height = static_cast<unsigned char>(Read(data, entry + 1, 1));
        entries.push_back({width ? width : 256, height ? height : 256, U16(data, entry + 12)});
    }
    return entries;
}

TIconSize IconImageSize(const std::string& data) {
    if (data.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) {
        const auto bigEndian = [&](size_t offset) {
            const uint32_t value = U32(data, offset);
            return value >> 24 | (value >> 8 & 0xFF00) | (value << 8 & 0xFF0000) | value << 24;
        };
        return {bigEndian(16), bigEndian(20)}; // the IHDR chunk
    }
    Require(U32(data, 0) >= 40, "no bitmap header");
    // The bitmap's height counts the colour image and the mask.
    return {U32(data, 4), U32(data, 8) / 2};
}
