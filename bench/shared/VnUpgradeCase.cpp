#include "VnUpgradeCase.h"

#include "VnSysUtils.h"

// The test-side description of old databases builds the files.
#include "../../tests/convert/VnUpgradeFixture.h"

namespace VnBench {

TUpgradeCase MakeUpgradeCase(int messages, int version) {
    VnFixture::TScale scale;
    scale.Users = CaseUsers;
    scale.Mailboxes = CaseMailboxes;
    scale.Messages = messages;
    scale.OrphanMessages = messages / 100;
    return {VnFixture::WriteDatabase(VnFixture::ServerTables(scale), version),
            VnFixture::WriteDatabase(VnFixture::StateTables(scale), version)};
}

void WriteUpgradeCase(const std::string& config, const TUpgradeCase& files) {
    WriteFileAtomic(config + "server.cfg", files.Server);
    WriteFileAtomic(config + "state.cfg", files.State);
}

TUpgradeFolder::TUpgradeFolder(const std::string& parent, const std::string& name)
    : FScratch(IncludeTrailingPathDelimiter(parent.empty() ? VnPlatform::TempFolder() : parent) +
               name + "\\"),
      FConfig(FScratch + "Config\\") {
    ForceFolders(FConfig);
}

TUpgradeFolder::~TUpgradeFolder() {
    for (const char* file : {"server.cfg", "state.cfg", "server.cfg.bak", "state.cfg.bak"})
        VnPlatform::DeleteFile(FConfig + file);
    VnPlatform::RemoveDirectory(FConfig);
    VnPlatform::RemoveDirectory(FScratch);
}

void TUpgradeFolder::Write(const TUpgradeCase& files) const {
    WriteUpgradeCase(FConfig, files);
}

} // namespace VnBench
