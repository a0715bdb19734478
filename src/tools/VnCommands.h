// The subcommands of vntsetup and the small argument parser they share.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "VnLongNumbers.h"

class TVnPackageFile;

// Parsed arguments of one subcommand: positional words and "--name value" / "--flag" options.
class TVnArgs {
public:
    // valueOptions take a value, flagOptions do not; anything else starting with "--" is an error.
    TVnArgs(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions,
            const std::vector<std::string>& flagOptions);

    const std::vector<std::string>& Positional() const { return FPositional; }
    // Raises EVnException "usage: ..." unless there are exactly `count` positional words.
    void ExpectPositional(size_t count, const std::string& usage) const;
    bool Has(const std::string& option) const;
    std::string Value(const std::string& option, const std::string& fallback = "") const;
    // The value of an option that must be given; raises EVnException naming it otherwise.
    std::string Required(const std::string& option) const;

private:
    std::vector<std::string> FPositional;
    std::map<std::string, std::string> FOptions;
};

// A message on one line: every run of line breaks becomes one blank.
std::string OneLine(const std::string& text);
// A message for a person: OneLine, with the system's separators in the paths it names.
std::string Shown(const std::string& text);

// The key record of --public-key, else the compiled-in key.
void CommandPublicKey(const TVnArgs& args, TVnKeyRecord& key);
// The signature check of a package that a command reads, unless --no-verify is given: a package
// that fails raises EVnException with the corrupted message.
void VerifyPackage(TVnPackageFile& package, const TVnArgs& args);

// Every command takes the words after its name and answers the exit code; failures raise.
using TVnCommand = int (*)(const std::vector<std::string>& words);

struct TVnCommandEntry {
    const char* Name;
    TVnCommand Run;
    const char* Usage;
};

int CmdKeygen(const std::vector<std::string>& words);
int CmdUninstaller(const std::vector<std::string>& words);
int CmdPack(const std::vector<std::string>& words);
int CmdVerify(const std::vector<std::string>& words);
int CmdList(const std::vector<std::string>& words);
int CmdExtract(const std::vector<std::string>& words);
int CmdInstall(const std::vector<std::string>& words);
int CmdUninstall(const std::vector<std::string>& words);
int CmdCheck(const std::vector<std::string>& words);
int CmdEncodePassword(const std::vector<std::string>& words);
int CmdUpgrade(const std::vector<std::string>& words);
int CmdImportLegacy(const std::vector<std::string>& words);
