#include "VnExtraction.h"

#include <initializer_list>

#include "VnSysUtils.h"

namespace {

// Kilobytes with a blank between groups of three digits.
std::string KilobyteText(uint64_t kilobytes) {
    std::string digits = std::to_string(kilobytes);
    for (size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, 1, ' ');
    return digits;
}

std::string ExistingFolder(const std::string& folder) {
    std::string path = ExcludeTrailingPathDelimiter(ExpandFileName(folder));
    while (!VnPlatform::DirectoryExists(path)) {
        const std::string parent = ExtractFileDir(path);
        if (parent.empty() || parent == path)
            break;
        path = parent;
    }
    return IncludeTrailingPathDelimiter(path);
}

} // namespace

TVnFreeSpaceQuery& FreeSpaceQuery() {
    static TVnFreeSpaceQuery query = VnPlatform::FreeDiskSpace;
    return query;
}

void CheckFreeSpace(const std::string& folder, uint64_t needed, const TVnExtractionTexts& texts) {
    uint64_t available = 0;
    if (!FreeSpaceQuery()(ExistingFolder(folder), available))
        RaiseLastOSError();
    if (needed <= available)
        return;
    throw EVnException(FormatText(texts.NoSpace, ExcludeTrailingPathDelimiter(folder),
                                  KilobyteText((needed + 1023) / 1024),
                                  KilobyteText(available / 1024)));
}

std::vector<std::string> HeldFiles(const std::string& folder, const std::vector<std::string>& files,
                                   bool passUnwritable) {
    const std::string base = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    std::vector<std::string> held;
    for (const std::string& file : files) {
        const std::string target = base + file;
        if (!VnPlatform::FileExists(target))
            continue;
        const VnPlatform::FileHandle handle = VnPlatform::OpenFileExclusive(target);
        if (handle != VnPlatform::InvalidFile) {
            VnPlatform::CloseFile(handle);
            continue;
        }
        const uint32_t code = VnPlatform::LastError();
        if (code == VnPlatform::ERROR_STOPPED_ON_SYMLINK_CODE ||
            (passUnwritable && code == VnPlatform::ERROR_ACCESS_DENIED_CODE))
            continue;
        if (code != VnPlatform::ERROR_SHARING_VIOLATION_CODE &&
            code != VnPlatform::ERROR_LOCK_VIOLATION_CODE)
            throw EFCreateError(target, code);
        held.push_back(target);
    }
    return held;
}

void CheckFilesNotInUse(const std::string& folder, const std::vector<std::string>& files,
                        const TVnExtractionTexts& texts) {
    const std::vector<std::string> held = HeldFiles(folder, files);
    if (held.empty())
        return;
    const std::string holders = VnPlatform::FileHolders(held[0]);
    throw EVnException(holders.empty() ? FormatText(texts.InUse, held[0])
                                       : FormatText(texts.InUseBy, held[0], holders));
}

bool ExtractPackageFolder(TVnArchive& archive, const std::string& path, const std::string& folder,
                          const TVnExtractionTexts& texts, const TVnExtractionHooks& hooks) {
    TVnFolderSurvey survey;
    if (!archive.SurveyFolder(path, survey))
        return false;
    CheckFreeSpace(folder, survey.Bytes, texts);
    if (hooks.CloseHolders) {
        const std::vector<std::string> held = HeldFiles(folder, survey.FilePaths);
        if (!held.empty())
            hooks.CloseHolders(held);
    }
    CheckFilesNotInUse(folder, survey.FilePaths, texts);
    if (hooks.OnStart)
        hooks.OnStart(survey);
    archive.ExtractFolder(path, folder, hooks.OnEntry, hooks.Extras);
    return true;
}
