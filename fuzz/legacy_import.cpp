// Arbitrary bytes as VantroMS.cfg through the whole legacy import: header, object stream, both
// databases and the folder moves. A damaged file must end in EVnException with nothing written;
// the legacy file must stay as it was; a converted server.cfg must read back as a database.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VnCfgConvertor1.h"
#include "VnDB.h"
#include "VnXML.h"

namespace {

// A scratch installation folder of this process.
const std::string& ScratchFolder() {
    static const std::string folder = [] {
        for (unsigned n = 0;; ++n) {
            const std::string name =
                VnPlatform::TempFolder() + "vnt-fuzz-legacy-" + std::to_string(n);
            if (VnPlatform::CreateDirectory(name))
                return name;
        }
    }();
    return folder;
}

// The import works on the current directory: the scratch folder while one input runs. The
// fuzzer's own directory comes back before it writes to a corpus given by a relative path.
class TScratchDirectory {
public:
    TScratchDirectory() : FPrevious(VnPlatform::CurrentDirectory()) {
        if (FPrevious.empty() || !VnPlatform::SetCurrentDirectory(ScratchFolder()))
            std::abort();
    }
    ~TScratchDirectory() {
        if (!VnPlatform::SetCurrentDirectory(FPrevious))
            std::abort();
    }

private:
    const std::string FPrevious;
};

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TScratchDirectory scratch;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        TVnFileStream file(LegacyCfgFile, TVnFileStream::Mode::Create);
        file.WriteBuffer(bytes.data(), bytes.size());
    }
    bool converted = false;
    try {
        converted = ConvertLegacyConfig().Outcome == TVnLegacyImport::Converted;
    } catch (const EVnException&) {
    }
    Check(ReadFileText(LegacyCfgFile) == bytes);
    Check(converted == VnPlatform::FileExists(ServerCfgFile));
    Check(converted == VnPlatform::FileExists(StateCfgFile));
    if (converted) {
        int version = 0;
        std::string text;
        TVnXMLElement root;
        Check(ReadDatabaseFile(ServerCfgFile, version, text) && version == 2039);
        root.Parse(text);
        Check(root.ChildCount() == 25);
        VnPlatform::DeleteFile(ServerCfgFile);
        VnPlatform::DeleteFile(StateCfgFile);
    }
    return 0;
}
