#include "VnRemoval.h"

#include <algorithm>
#include <memory>

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

// A recorded file opened through held folders for its check and its removal.
struct TVnOpenedFile {
    VnPlatform::FolderHandle Parent = VnPlatform::InvalidFolder;
    std::string Name;
    VnPlatform::FileHandle Handle = VnPlatform::InvalidFile;
    std::unique_ptr<TVnFileStream> Stream; // owns Handle; null when it could not be opened
    uint32_t Error = 0;                    // then the platform's reason
    TVnFileState State = TVnFileState::AsInstalled;
};

TVnOpenedFile OpenRecorded(TVnHeldFolders& held, const std::string& folder,
                           const TVnRecordedFile& file) {
    TVnOpenedFile opened;
    opened.Name = TVnHeldFolders::NameOf(file.Path);
    opened.Parent = held.Open(TVnHeldFolders::ParentOf(file.Path));
    opened.Handle = opened.Parent == VnPlatform::InvalidFolder
                        ? VnPlatform::InvalidFile
                        : VnPlatform::OpenFileForRemoval(opened.Parent, opened.Name);
    if (opened.Handle == VnPlatform::InvalidFile) {
        opened.Error = VnPlatform::LastError();
        opened.State = Gone(opened.Error) ? TVnFileState::Missing
                       : opened.Error == VnPlatform::ERROR_STOPPED_ON_SYMLINK_CODE
                           ? TVnFileState::Link
                           : TVnFileState::Unreadable;
        return opened;
    }
    opened.Stream = std::make_unique<TVnFileStream>(opened.Handle, folder + file.Path);
    if (!IsAsInstalled(*opened.Stream, file))
        opened.State = TVnFileState::Changed;
    return opened;
}

// Removes one recorded file through the handle that was checked, reached from held folders.
void RemoveFile(TVnHeldFolders& held, const std::string& folder, const TVnRecordedFile& file,
                const TVnUninstallTexts& texts) {
    const std::string path = folder + file.Path;
    TVnOpenedFile opened = OpenRecorded(held, folder, file);
    switch (opened.State) {
    case TVnFileState::Missing:
        return;
    case TVnFileState::Changed:
        Log(texts.KeptChanged, path);
        return;
    case TVnFileState::Link:
    case TVnFileState::Unreadable:
        LogKept(texts, path, opened.Error);
        return;
    case TVnFileState::AsInstalled:
        break;
    }
    if (RemovalCheckedHook())
        RemovalCheckedHook()(path);
    if (VnPlatform::DeleteOpenedFile(opened.Parent, opened.Name, opened.Handle))
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

std::vector<std::pair<std::string, TVnFileState>>
CompareWithRecord(const std::string& folder, const TVnInstallRecord& record) {
    TVnHeldFolders held(folder);
    std::vector<std::pair<std::string, TVnFileState>> states;
    for (const TVnRecordedFile& file : record.Files)
        states.emplace_back(file.Path, OpenRecorded(held, folder, file).State);
    return states;
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
