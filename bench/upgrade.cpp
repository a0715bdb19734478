// Scale of the configuration upgrade: a server.cfg without ver holding 20,000 users and 2,000
// remote mailboxes and a state.cfg of 200,000 remote messages, upgraded to 3.08 and written
// (ConvertDatabases, then SetAdministrator), with all, half and a quarter of the messages.
// Reference: the same databases at 3.08, which pass through no step but are read and written the
// same way. At a fixed number of mailboxes the upgrade grows linearly in the number of messages:
// its ratio to the reference stays the same and each halving of the messages halves its time.
//
//   bench_upgrade [FOLDER]   the files are written in a scratch folder under FOLDER (default:
//                            the temporary folder; /dev/shm keeps the disk out of the figures)
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "VnDBConvertor.h"
#include "VnSysUtils.h"

// The test-side description of old databases builds the files.
#include "../tests/convert/VnUpgradeFixture.h"

namespace {

constexpr int Users = 20000;
constexpr int Mailboxes = 2000;
constexpr int Messages = 200000;
constexpr int Runs = 3;

struct TFolder {
    std::string Config; // ends with a separator

    void Write(const std::string& server, const std::string& state) const {
        WriteFileAtomic(Config + "server.cfg", server);
        WriteFileAtomic(Config + "state.cfg", state);
    }
};

// Processor time of the process: other work on a shared machine does not count.
double Seconds(std::clock_t start) {
    return double(std::clock() - start) / CLOCKS_PER_SEC;
}

struct TTimes {
    double Upgrade = 1e9, Reference = 1e9; // the best of the runs
};

// The databases with that many messages, read, upgraded (ConvertDatabases) and written
// (SetAdministrator): without ver (every step), and for reference at 3.08 (no step).
TTimes Measure(const TFolder& folder, int messages) {
    VnFixture::TScale scale;
    scale.Users = Users;
    scale.Mailboxes = Mailboxes;
    scale.Messages = messages;
    scale.OrphanMessages = messages / 100;
    const auto server = VnFixture::ServerTables(scale);
    const auto state = VnFixture::StateTables(scale);
    TTimes times;
    for (int version : {2039, 3089}) {
        const std::string serverText = VnFixture::WriteDatabase(server, version);
        const std::string stateText = VnFixture::WriteDatabase(state, version);
        double& best = version == 2039 ? times.Upgrade : times.Reference;
        for (int run = 0; run < Runs; ++run) {
            folder.Write(serverText, stateText);
            const std::clock_t start = std::clock();
            TVnDBConvertor convertor("");
            convertor.ConvertDatabases(folder.Config, "en");
            convertor.SetAdministrator(1, "secret");
            best = std::min(best, Seconds(start));
        }
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    const std::string scratch =
        IncludeTrailingPathDelimiter(argc > 1 ? argv[1] : VnPlatform::TempFolder()) +
        "bench_upgrade\\";
    const TFolder folder{scratch + "Config\\"};
    ForceFolders(folder.Config);
    try {
        std::printf("server.cfg without ver: %d users, %d remote mailboxes; state.cfg as below\n",
                    Users, Mailboxes);
        std::printf("reference: the same databases at 3.08, through no step\n");
        // A first run at full size grows the heap, so that the page faults of fresh memory (costly
        // on virtual machines) do not weigh on the first measurement only.
        Measure(folder, Messages);
        double previous = 0;
        for (int share : {1, 2, 4}) {
            const int messages = Messages / share;
            const TTimes times = Measure(folder, messages);
            std::printf("%6d messages: upgrade %6.3f s, reference %6.3f s (processor time), "
                        "%.2f x reference",
                        messages, times.Upgrade, times.Reference, times.Upgrade / times.Reference);
            if (previous > 0)
                std::printf(", upgrade of twice the messages %.2f x this",
                            previous / times.Upgrade);
            std::printf("\n");
            previous = times.Upgrade;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_upgrade: %s\n", e.what());
        return 1;
    }
    for (const char* name : {"server.cfg", "state.cfg", "server.cfg.bak", "state.cfg.bak"})
        VnPlatform::DeleteFile(folder.Config + name);
    VnPlatform::RemoveDirectory(folder.Config);
    VnPlatform::RemoveDirectory(scratch);
    return 0;
}
