// Helpers shared by the tests: scratch folders, whole-file access, main.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "VnArchiveWriter.h"
#include "VnLongNumbers.h"

// A fresh empty folder under the system's temporary folder, removed with everything in it when
// the object goes. Path() ends with a separator.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

// Paths may use backslash separators, as the program writes them.
std::filesystem::path NativePath(const std::string& path); // for std::filesystem
std::string ReadBytes(const std::string& fileName);        // the whole file; "" when it is missing
void WriteBytes(const std::string& fileName, const std::string& bytes); // creates parent folders
bool PathExists(const std::string& path);                               // file or folder
std::string SourcePath(const std::string& relative);                    // a file of the source tree
std::string RandomBytes(size_t count, unsigned seed); // deterministic pseudo-random bytes
// A symbolic link at `link` to `target` (a folder or a file); false when the system refuses (on
// Windows only some accounts may make links).
bool MakeLink(const std::string& target, const std::string& link);
// Every file and folder below folder by its path relative to it ("/"-separated): a file's bytes,
// or "<folder>" for a folder. Empty when folder is missing.
std::map<std::string, std::string> FolderContents(const std::string& folder);
// The running test program, which can be started as a child (see VnTestMain.cpp).
std::string TestProgramPath();

// The test key of keys/: its public record and a signer with its private exponent.
void TestPublicKey(TVnKeyRecord& key);
TVnSigner TestKeySigner();
