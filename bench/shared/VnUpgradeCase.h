// The upgrade case of the benchmarks: a server.cfg holding 20,000 users and 2,000 remote
// mailboxes and a state.cfg of remote messages (200,000 in the full case; a hundredth more belong
// to mailboxes that no longer exist), in a scratch folder.
#pragma once

#include <string>

namespace VnBench {

constexpr int CaseUsers = 20000;
constexpr int CaseMailboxes = 2000;
constexpr int CaseMessages = 200000;

// Version numbers of the files: without ver (every step runs), and the current one (none runs).
constexpr int OldestVersion = 2039;
constexpr int CurrentVersion = 3089;

struct TUpgradeCase {
    std::string Server, State; // the texts of server.cfg and state.cfg
};

// The case with that many messages, written as the program of that version wrote it.
TUpgradeCase MakeUpgradeCase(int messages, int version);
// Writes server.cfg and state.cfg into the folder (ending with a separator), which must exist.
void WriteUpgradeCase(const std::string& config, const TUpgradeCase& files);

// A scratch folder under a parent folder (the temporary folder when empty), holding Config\ with
// the two files; removed, with the backups of the upgrade, when the object goes.
class TUpgradeFolder {
public:
    TUpgradeFolder(const std::string& parent, const std::string& name);
    ~TUpgradeFolder();
    TUpgradeFolder(const TUpgradeFolder&) = delete;
    TUpgradeFolder& operator=(const TUpgradeFolder&) = delete;

    void Write(const TUpgradeCase& files) const;
    const std::string& Scratch() const { return FScratch; } // ends with a separator
    const std::string& Config() const { return FConfig; }   // Scratch() + "Config\\"

private:
    std::string FScratch, FConfig;
};

} // namespace VnBench
