// Arbitrary bytes as a package file through the setup's signature check (the PE header and its
// certificate table included) and the archive reader: the listing, lookups, the in-memory read
// and the setup's extraction into a scratch target folder. A damaged archive must end in an
// exception; whatever is written lies inside the target, under names that Windows stores as
// given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "VnExtraction.h"
#include "VnPackageFile.h"
#include "VnPublicKey.h"
#include "VnUnpack.h"

namespace fs = std::filesystem;

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// scratch/package and scratch/a/b/target: the extraction may create nothing but the target.
struct TScratch {
    const fs::path Root =
        fs::temp_directory_path() / ("vnt-fuzz-package-" + std::to_string(std::random_device{}()));
    const fs::path Package = Root / "package.exe";
    const fs::path Target = Root / "a" / "b" / "target";
    TScratch() { fs::create_directories(Target.parent_path()); }
    ~TScratch() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
};

const TScratch& Scratch() {
    static const TScratch scratch;
    return scratch;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Everything below the target: a file or folder under a checked name.
void CheckTarget(const fs::path& target) {
    if (!fs::exists(target))
        return;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(target)) {
        Check(IsSafeEntryName(entry.path().filename().string()));
        Check(entry.is_regular_file() || entry.is_directory());
        Check(!entry.is_symlink());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TScratch& scratch = Scratch();
    {
        TVnFileStream file(scratch.Package.string(), TVnFileStream::Mode::Create);
        file.WriteBuffer(data, size);
    }
    // A small volume: a truthful large size must be refused before it is written.
    FreeSpaceQuery() = [](const std::string&, uint64_t& bytes) {
        bytes = 64 * 1024 * 1024;
        return true;
    };
    try {
        TVnPackageFile package(scratch.Package.string());
        if (package.CheckSignature(VnPublicKeyRecord))
            Check(package.End() <= static_cast<int64_t>(size));
        TVnArchive archive(package, 128);
        std::string firstFile;
        archive.ForEachEntry([&](const TVnArchiveEntry& entry) {
            Check(entry.Path.size() <= MaxEntryPath);
            if (!entry.IsFolder && firstFile.empty())
                firstFile = entry.Path;
        });
        TVnArchiveEntry entry;
        if (!firstFile.empty()) {
            Check(archive.FindEntry(firstFile, entry) && !entry.IsFolder);
            Check(archive.ReadEntryText(firstFile).size() <= MaxMemoryEntry);
        }
        archive.ReadEntryText("VNT_Setup.lng");
        ExtractPackageFolder(archive, "", scratch.Target.string(), TVnExtractionTexts(), {});
    } catch (const Exception&) {
    }
    Check(Names(scratch.Root).size() == 2 &&
          Names(scratch.Root / "a") == std::vector<std::string>{"b"});
    const std::vector<std::string> below = Names(scratch.Target.parent_path());
    Check(below.empty() || below == std::vector<std::string>{"target"});
    CheckTarget(scratch.Target);
    std::error_code ignored;
    fs::remove_all(scratch.Target, ignored);
    return 0;
}
