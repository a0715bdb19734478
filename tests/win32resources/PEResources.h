// A small reader of Windows executables (PE32 and PE32+): the COFF header, the resource tree,
// version resources and icon groups. Independent of the Windows API, for checking built files.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum : uint16_t { ResIcon = 3, ResGroupIcon = 14, ResVersion = 16, ResManifest = 24 };

class TPEImage {
public:
    // Reads the whole file; throws std::runtime_error when it is not a well-formed image.
    explicit TPEImage(const std::string& fileName);
    bool IsPE32Plus() const { return FPE32Plus; }
    uint16_t Characteristics() const { return FCharacteristics; }
    // The data of the resource of this type and numeric id (its first language), if present.
    std::optional<std::string> Resource(uint16_t type, uint16_t id) const;

private:
    struct TSection {
        uint32_t Address, Size, FileOffset;
    };
    uint32_t FileOffset(uint32_t rva) const;
    // The offset (from the resource section's start) of the entry with this id of a directory.
    std::optional<uint32_t> DirectoryEntry(uint32_t directory, uint16_t id) const;

    std::string FBytes;
    bool FPE32Plus = false;
    uint16_t FCharacteristics = 0;
    std::vector<TSection> FSections;
    uint32_t FResourceOffset = 0; // file offset of the resource directory; 0 when there is none
};

// The fixed part and the strings (in UTF-8) of a version resource.
struct TVersionInfo {
    uint32_t FileVersionMS = 0, FileVersionLS = 0, ProductVersionMS = 0, ProductVersionLS = 0;
    std::map<std::string, std::string> Strings; // every string table merged, key to value
};
// Throws std::runtime_error when the data is not a VS_VERSIONINFO structure.
TVersionInfo ParseVersionInfo(const std::string& data);

// One entry of an icon group: its size in pixels (0 in the group stands for 256) and the id of
// the icon resource that holds the image.
struct TIconEntry {
    unsigned Width, Height;
    uint16_t IconId;
};
std::vector<TIconEntry> ParseIconGroup(const std::string& data);
// Width and height in pixels of the image of an icon resource (a device-independent bitmap with
// its mask, or a PNG image).
struct TIconSize {
    unsigned Width, Height;
};
TIconSize IconImageSize(const std::string& data);
