#include "VnRemoval.h"

#include <algorithm>

#include "VnExtraction.h"
#include "VnHeldFolders.h"
#include "VnInstallLog.h"
#include "VnPlatform.h"
#include "VnStagedFiles.h"
#include "VnSysUtils.h"

const char* const UninstallerName = "VNT_Uninstall.exe";

namespace {

bool IsAsInstalled(TVnFileStream& stream, const TVnRecordedFile& file) {
    try {
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

bool Gone(uint32_t code) {
    return code == 2 || code == 3;
}

void Log(const std::string& format, const std::string& path) {
    InstallLog().Add(FormatText(format, path));
}

// Why a file or folder stays, from the platform's error code of the failed step.
void LogKept(const TVnUninstallTexts& texts, const std::string& path, uint32_t code) {
    if (code == VnPlatform::ERROR_STOPPED_ON_SYMLINK_CODE)
        Log(texts.KeptLink, path);
    else
        InstallLog().Add(FormatText(texts.KeptUndeletable, path, SysErrorMessage(code)));
}

// Removes one recorded file through the handle that was checked, reached from held folders.
void RemoveFile(TVnHeldFolders& held, const std::string& folder, const TVnRecordedFile& file,
                const TVnUninstallTexts& texts) {
    const std::string path = folder + file.Path;
    const std::string name = TVnHeldFolders::NameOf(file.Path);
    const VnPlatform::FolderHandle parent = held.Open(TVnHeldFolders::ParentOf(file.Path));
    const VnPlatform::FileHandle handle = parent == VnPlatform::InvalidFolder
                                              ? VnPlatform::InvalidFile
                                              : VnPlatform::OpenFileForRemoval(parent, name);
    if (handle == VnPlatform::InvalidFile) {
        const uint32_t code = VnPlatform::LastError();
        if (!Gone(code))
            LogKept(texts, path, code);
        return;
    }
    TVnFileStream stream(handle, path);
    if (!IsAsInstalled(stream, file)) {
        Log(texts.KeptChanged, path);
        return;
    }
    if (RemovalCheckedHook())
        RemovalCheckedHook()(path);
    if (VnPlatform::DeleteOpenedFile(parent, name, handle))
        Log(texts.Removed, path);
    else
        LogKept(texts, path, VnPlatform::LastError());
}

void RemoveFolder(TVnHeldFolders& held, const std::string& folder, const std::string& relative,
                  const TVnUninstallTexts& texts) {
    const std::string path = folder + relative;
    held.Release(relative);
    const VnPlatform::FolderHandle parent = held.Open(TVnHeldFolders::ParentOf(relative));
    if (parent != VnPlatform::InvalidFolder &&
        VnPlatform::RemoveSubfolder(parent, TVnHeldFolders::NameOf(relative))) {
        Log(texts.Removed, path);
        return;
    }
    const uint32_t code = VnPlatform::LastError();
    if (code == VnPlatform::ERROR_STOPPED_ON_SYMLINK_CODE)
        Log(texts.KeptLink, path);
    else if (!Gone(code))
        Log(texts.KeptFolder, path);
}

} // namespace

std::function<void(const std::string& path)>& RemovalCheckedHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

std::vector<std::string> HeldRecordedFiles(const std::string& folder,
                                           const TVnInstallRecord& record) {
    std::vector<std::string> files;
    for (const TVnRecordedFile& file : record.Files)
        if (!SameTextAscii(file.Path, UninstallerName))
            files.push_back(file.Path);
    return HeldFiles(folder, files, true);
}

std::vector<std::string> RecordedPrograms(const std::string& folder,
                                          const TVnInstallRecord& record) {
    std::vector<std::string> programs;
    for (const TVnRecordedFile& file : record.Files)
        programs.push_back(folder + file.Path);
    return programs;
}

void RemoveRecorded(const std::string& folder, const TVnInstallRecord& record,
                    const TVnUninstallTexts& texts) {
    TVnHeldFolders held(folder);
    for (const TVnRecordedFile& file : record.Files)
        if (!SameTextAscii(file.Path, UninstallerName))
            RemoveFile(held, folder, file, texts);
    std::vector<std::string> folders = record.Folders;
    std::stable_sort(
        folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& relative : folders)
        RemoveFolder(held, folder, relative, texts);
    const VnPlatform::FolderHandle root = held.Open("");
    if (root != VnPlatform::InvalidFolder && DeleteFileIn(root, InstallRecordName))
        Log(texts.Removed, folder + InstallRecordName);
}

void RemoveUninstaller(const std::string& folder, const TVnUninstallTexts& texts) {
    const std::string root = ExcludeTrailingPathDelimiter(folder);
    {
        TVnHeldFolders held(folder);
        const VnPlatform::FolderHandle handle = held.Open("");
        if (handle != VnPlatform::InvalidFolder && DeleteFileIn(handle, UninstallerName))
            Log(texts.Removed, folder + UninstallerName);
    }
    TVnHeldFolders parent(ExtractFilePath(root));
    const VnPlatform::FolderHandle handle = parent.Open("");
    if (handle != VnPlatform::InvalidFolder &&
        VnPlatform::RemoveSubfolder(handle, ExtractFileName(root)))
        Log(texts.Removed, root);
}
