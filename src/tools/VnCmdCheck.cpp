// vntsetup check: an installation compared with its record, file by file.
#include <cstdio>

#include "VnCommands.h"
#include "VnInstallRecord.h"
#include "VnRemoval.h"
#include "VnSysUtils.h"

namespace {

const char* StateWord(TVnFileState state) {
    switch (state) {
    case TVnFileState::AsInstalled:
        return "ok";
    case TVnFileState::Missing:
        return "missing";
    case TVnFileState::Changed:
        return "changed";
    case TVnFileState::Link:
        return "link";
    case TVnFileState::Unreadable:
        return "unreadable";
    }
    return "";
}

} // namespace

int CmdCheck(const std::vector<std::string>& words) {
    TVnArgs args(words, {}, {});
    args.ExpectPositional(1, "check FOLDER");
    const std::string folder = IncludeTrailingPathDelimiter(ExpandFileName(args.Positional()[0]));
    TVnInstallRecord record;
    try {
        if (!ReadInstallRecord(folder, record)) {
            std::fprintf(stderr, "vntsetup check: no installation record \"%s\"\n",
                         Shown(folder + InstallRecordName).c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vntsetup check: %s\n", Shown(e.what()).c_str());
        return 2;
    }
    size_t differing = 0;
    for (const auto& [path, state] : CompareWithRecord(folder, record)) {
        if (state == TVnFileState::AsInstalled)
            continue;
        ++differing;
        std::printf("%-10s %s\n", StateWord(state), Shown(folder + path).c_str());
    }
    std::printf("%zu of %zu files as installed\n", record.Files.size() - differing,
                record.Files.size());
    return differing == 0 ? 0 : 1;
}
