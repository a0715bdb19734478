#include "VnTestSupport.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "VnSysUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

fs::path NativePath(const std::string& path) {
#ifdef _WIN32
    return fs::path(path);
#else
    std::string native = path;
    for (char& c : native)
        if (c == '\\')
            c = '/';
    return fs::path(native);
#endif
}

TTempFolder::TTempFolder() {
    // random_device may be deterministic (MinGW), and test programs run side by side: the seed
    // mixes in the clock, and create_directory claims a name atomically.
    static std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path base = fs::temp_directory_path();
    fs::path path;
    do {
        path = base / ("vnt-test-" + std::to_string(random()));
    } while (!fs::create_directory(path));
    FPath = IncludeTrailingPathDelimiter(path.string());
}

TTempFolder::~TTempFolder() {
    std::error_code error;
    fs::remove_all(NativePath(ExcludeTrailingPathDelimiter(FPath)), error);
}

std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(NativePath(fileName), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& fileName, const std::string& bytes) {
    const fs::path path = NativePath(fileName);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
}

bool PathExists(const std::string& path) {
    return fs::exists(NativePath(path));
}

bool MakeLink(const std::string& target, const std::string& link) {
    const bool folder = fs::is_directory(NativePath(target));
#ifdef _WIN32
    // MinGW's library makes no links on Windows; Wine answers success and makes none.
    const DWORD flags =
        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    const DWORD attributes =
        ::CreateSymbolicLinkW(NativePath(link).c_str(), NativePath(target).c_str(), flags)
            ? ::GetFileAttributesW(NativePath(link).c_str())
            : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    std::error_code refused;
    if (folder)
        fs::create_directory_symlink(NativePath(target), NativePath(link), refused);
    else
        fs::create_symlink(NativePath(target), NativePath(link), refused);
    return !refused;
#endif
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    const fs::path root = NativePath(ExcludeTrailingPathDelimiter(folder));
    if (!fs::is_directory(root))
        return contents;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = entry.path().lexically_relative(root).generic_string();
        contents[relative] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path().string());
    }
    return contents;
}

std::string SourcePath(const std::string& relative) {
    return (fs::path(VNT_SOURCE_DIR) / relative).string();
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

void TestPublicKey(TVnKeyRecord& key) {
    std::string record = ReadBytes(SourcePath("keys/test_public.key"));
    if (record.size() != sizeof key)
        throw std::runtime_error("keys/test_public.key is missing");
    std::memcpy(key, record.data(), sizeof key);
}

TVnSigner TestKeySigner() {
    TVnKeyRecord key;
    TestPublicKey(key);
    std::string d = ReadBytes(SourcePath("keys/test_private_exponent.bin"));
    if (d.size() != LongBytes)
        throw std::runtime_error("keys/test_private_exponent.bin is missing");
    TVnLongNumber modulus, exponent;
    LongFromBytes(modulus, key);
    LongFromBytes(exponent, reinterpret_cast<const uint8_t*>(d.data()));
    return ExponentSigner(modulus, exponent);
}
