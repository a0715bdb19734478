#include "VnRemoval.h"

#include <algorithm>

#include "VnExtraction.h"
#include "VnInstallLog.h"
#include "VnPlatform.h"
#include "VnSysUtils.h"

const char* const UninstallerName = "VNT_Uninstall.exe";

namespace {

// Every step from folder down to relative is no link.
bool ReachedWithoutLink(const std::string& folder, const std::string& relative) {
    for (size_t end = relative.find(PathDelim);; end = relative.find(PathDelim, end + 1)) {
        if (VnPlatform::IsLink(folder + relative.substr(0, end)))
            return false;
        if (end == std::string::npos)
            return true;
    }
}

bool IsAsInstalled(const std::string& path, const TVnRecordedFile& file) {
    try {
        TVnFileStream stream(path, TVnFileStream::Mode::OpenRead);
        if (static_cast<uint64_t>(stream.Size()) != file.Size)
            return false;
        TVnDigest digest;
        DigestStream(stream, stream.Size(), digest);
        return DigestText(digest) == file.Digest;
    } catch (const std::exception&) {
        return false;
    }
}

size_t Depth(const std::string& path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), PathDelim));
}

void Log(const std::string& format, const std::string& path) {
    InstallLog().Add(FormatText(format, path));
}

} // namespace

std::vector<std::string> HeldRecordedFiles(const std::string& folder,
                                           const TVnInstallRecord& record) {
    std::vector<std::string> files;
    for (const TVnRecordedFile& file : record.Files)
        if (!SameTextAscii(file.Path, UninstallerName))
            files.push_back(file.Path);
    return HeldFiles(folder, files);
}

void RemoveRecorded(const std::string& folder, const TVnInstallRecord& record,
                    const TVnUninstallTexts& texts) {
    for (const TVnRecordedFile& file : record.Files) {
        const std::string path = folder + file.Path;
        if (SameTextAscii(file.Path, UninstallerName) || !VnPlatform::FileExists(path))
            continue;
        if (!ReachedWithoutLink(folder, file.Path))
            Log(texts.KeptLink, path);
        else if (!IsAsInstalled(path, file))
            Log(texts.KeptChanged, path);
        else if (VnPlatform::DeleteFile(path))
            Log(texts.Removed, path);
        else
            throw EFCreateError(path, VnPlatform::LastError());
    }
    std::vector<std::string> folders = record.Folders;
    std::stable_sort(
        folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& relative : folders) {
        const std::string path = folder + relative;
        if (!VnPlatform::DirectoryExists(path))
            continue;
        if (!ReachedWithoutLink(folder, relative))
            Log(texts.KeptLink, path);
        else if (VnPlatform::RemoveDirectory(path))
            Log(texts.Removed, path);
        else
            Log(texts.KeptFolder, path);
    }
    const std::string recordFile = folder + InstallRecordName;
    if (VnPlatform::DeleteFile(recordFile))
        Log(texts.Removed, recordFile);
}

void RemoveUninstaller(const std::string& folder, const TVnUninstallTexts& texts) {
    const std::string path = folder + UninstallerName;
    if (VnPlatform::FileExists(path) && !VnPlatform::IsLink(path) && VnPlatform::DeleteFile(path))
        Log(texts.Removed, path);
    const std::string root = ExcludeTrailingPathDelimiter(folder);
    if (!VnPlatform::IsLink(root) && VnPlatform::RemoveDirectory(root))
        Log(texts.Removed, root);
}
