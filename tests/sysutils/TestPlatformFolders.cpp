// Folders held open and reached step by step: each step acts on its name in the held folder, and a
// link is refused, never followed.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnPlatform.h"
#include "VnStagedFiles.h"
#include "VnTestSupport.h"

using namespace VnPlatform;

// The error codes of the tables: 2 absent, 5 denied, 87 not one step, 145 not empty, 183 exists,
// 267 not a folder, 681 a link.

namespace {

// A held folder, closed as the test ends.
struct THeld {
    explicit THeld(FolderHandle folder) : Folder(folder) {}
    ~THeld() { CloseFolder(Folder); }
    operator FolderHandle() const { return Folder; }
    const FolderHandle Folder;
};

// Each opens something and closes it again: whether it opened.
bool FileOpened(FileHandle file) {
    CloseFile(file);
    return file != InvalidFile;
}
bool FolderHeld(FolderHandle folder) {
    CloseFolder(folder);
    return folder != InvalidFolder;
}

struct TStep {
    const char* What;
    std::function<bool()> Run;
    uint32_t Error; // 0: the step succeeds
};

void RunSteps(const std::vector<TStep>& steps) {
    for (const TStep& step : steps) {
        EXPECT_EQ(step.Error == 0, step.Run()) << step.What;
        if (step.Error != 0) {
            EXPECT_EQ(step.Error, LastError()) << step.What;
        }
    }
}

} // namespace

TEST(PlatformFolders, StepsActOnTheirNameInTheHeldFolder) {
    namespace fs = std::filesystem;
    const TTempFolder temp;
    const THeld root(OpenFolder(temp.Path()));
    const THeld sub(CreateSubfolder(root, "sub"));
    ASSERT_NE(InvalidFolder, sub.Folder);
    const std::string in = FolderPath(sub);
    const auto create = [&sub](const char* name) { return FileOpened(CreateNewFileIn(sub, name)); };
    WriteBytes(temp / "linked", "x");
    fs::create_hard_link(NativePath(temp / "linked"), NativePath(temp / "second"));
    RunSteps({
        {"new files", [&] { return create("a") && create("b") && create("c"); }, 0},
        {"a move onto a file", [&] { return MoveInFolder(sub, "a", "b", false); }, 183},
        {"a replacing move",
         [&] { return MoveInFolder(sub, "a", "b", true) && !PathExists(in + "a"); }, 0},
        {"a new folder", [&] { return FolderHeld(CreateSubfolder(sub, "dir")); }, 0},
        {"a move replacing a folder", [&] { return MoveInFolder(sub, "b", "dir", true); }, 5},
        {"a file held as a folder", [&] { return FolderHeld(OpenSubfolder(sub, "b")); }, 267},
        {"a folder opened for removal", [&] { return FileOpened(OpenFileForRemoval(sub, "dir")); },
         5},
        {"a name of more than one step", [&] { return create("..\\x"); }, 87},
        {"a folder not empty",
         [&] { return FileOpened(CreateNewFile(in + "dir\\f")) && RemoveSubfolder(sub, "dir"); },
         145},
        {"a file removed", [&] { return DeleteFileIn(sub, "b") && !PathExists(in + "b"); }, 0},
        {"an empty folder removed",
         [&] { return DeleteFile(in + "dir\\f") && RemoveSubfolder(sub, "dir"); }, 0},
        {"a hard-linked file removed", [&] { return DeleteFileIn(root, "linked"); }, 5},
        {"a hard-linked file appended", [&] { return FileOpened(OpenFileAppend(temp / "linked")); },
         5},
        {"a read-only file removed",
         [&] {
             fs::permissions(NativePath(in + "c"), fs::perms::owner_write,
                             fs::perm_options::remove);
             return DeleteFileIn(sub, "c");
         },
         5},
    });
    fs::permissions(NativePath(in + "c"), fs::perms::owner_write, fs::perm_options::add);
}

TEST(PlatformFolders, LinksAreRefusedNeverFollowed) {
    const TTempFolder temp;
    WriteBytes(temp / "target.txt", "kept");
    ASSERT_TRUE(CreateDirectory(temp / "real"));
    if (!MakeLink(temp / "real", temp / "dir") || !MakeLink(temp / "target.txt", temp / "file") ||
        !MakeLink(temp / "absent", temp / "dangling"))
        GTEST_SKIP() << "links cannot be made here";
    const THeld root(OpenFolder(temp.Path()));
    RunSteps({
        {"a link held", [&] { return FolderHeld(OpenFolder(temp / "dir")); }, 681},
        {"a link held in a held folder", [&] { return FolderHeld(OpenSubfolder(root, "dir")); },
         681},
        {"a folder link removed", [&] { return RemoveSubfolder(root, "dir"); }, 681},
        {"a file link removed", [&] { return DeleteFileIn(root, "file"); }, 681},
        {"a link appended", [&] { return FileOpened(OpenFileAppend(temp / "file")); }, 681},
        {"a dangling link appended", [&] { return FileOpened(OpenFileAppend(temp / "dangling")); },
         681},
    });
    EXPECT_TRUE(IsLink(temp / "dir") && IsLink(temp / "file") && DirectoryExists(temp / "real"));
    EXPECT_EQ("kept", ReadBytes(temp / "target.txt"));
    EXPECT_FALSE(PathExists(temp / "absent"));
}

TEST(PlatformFolders, AppendsKeepWhatIsThereAndRandomBytesDiffer) {
    const TTempFolder temp;
    for (const std::string line : {"one\n", "two\n"}) {
        const FileHandle log = OpenFileAppend(temp / "log");
        uint32_t done = 0;
        EXPECT_TRUE(WriteFile(log, line.data(), static_cast<uint32_t>(line.size()), done));
        CloseFile(log);
    }
    EXPECT_EQ("one\ntwo\n", ReadBytes(temp / "log"));
    std::string first(32, '\0'), second(32, '\0');
    EXPECT_TRUE(RandomBytes(&first[0], first.size()) && RandomBytes(&second[0], second.size()));
    EXPECT_NE(first, second);
}
