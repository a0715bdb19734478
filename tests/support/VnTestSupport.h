// Helpers shared by the tests: scratch folders, whole-file access, main.
#pragma once

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
std::string ReadBytes(const std::string& fileName); // the whole file; "" when it is missing
void WriteBytes(const std::string& fileName, const std::string& bytes); // creates parent folders
bool PathExists(const std::string& path);                               // file or folder
std::string SourcePath(const std::string& relative);                    // a file of the source tree
std::string RandomBytes(size_t count, unsigned seed); // deterministic pseudo-random bytes
// Every file and folder below folder by its path relative to it ("/"-separated): a file's bytes,
// or "<folder>" for a folder. Empty when folder is missing.
std::map<std::string, std::string> FolderContents(const std::string& folder);
// The running test program, which can be started as a child (see VnTestMain.cpp).
std::string TestProgramPath();

// The test key of keys/: its public record and a signer with its private exponent.
void TestPublicKey(TVnKeyRecord& key);
TVnSigner TestKeySigner();
