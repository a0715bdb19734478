// A database file as the setup reads it: ReadDatabaseFile (the head's version, the repair of the
// older entity form), then the parse of the whole text and a walk over its tables and rows.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "VnDB.h"

namespace {

// One file per fuzzing process, so that parallel jobs do not share it; removed at exit.
struct TScratchFile {
    const std::string Name = VnPlatform::TempFolder() + "fuzz_database_file." +
                             std::to_string(std::random_device{}()) + ".cfg";
    ~TScratchFile() { VnPlatform::DeleteFile(Name); }
};

const std::string& FileName() {
    static const TScratchFile file;
    return file.Name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        TVnFileStream file(FileName(), TVnFileStream::Mode::Create);
        file.WriteBuffer(data, size);
    }
    int version = 0;
    std::string text;
    TVnXMLElement root;
    try {
        if (!ReadDatabaseFile(FileName(), version, text))
            return 0;
        root.Parse(text);
    } catch (const EVnException&) {
        return 0;
    }
    CurrentDB = &root;
    for (TVnXMLElement* table : root.Children()) {
        const std::string name = table->AttrValue("name");
        try {
            ForEachRow(name, [] { CurField("ID"); });
            NextID(name);
        } catch (const Exception&) {
            // Missing columns and values that are no numbers are reported, not crashed on.
        }
    }
    CurrentDB = CurrentRow = nullptr;
    root.WriteText(size <= 65536 ? -1 : -static_cast<int>(size));
    return 0;
}
