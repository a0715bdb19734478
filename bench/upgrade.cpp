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
#include "shared/VnUpgradeCase.h"

namespace {

constexpr int Runs = 3;

// Processor time of the process: other work on a shared machine does not count.
double Seconds(std::clock_t start) {
    return double(std::clock() - start) / CLOCKS_PER_SEC;
}

struct TTimes {
    double Upgrade = 1e9, Reference = 1e9; // the best of the runs
};

// The databases with that many messages, read, upgraded (ConvertDatabases) and written
// (SetAdministrator): without ver (every step), and for reference at 3.08 (no step).
TTimes Measure(const VnBench::TUpgradeFolder& folder, int messages) {
    TTimes times;
    for (int version : {VnBench::OldestVersion, VnBench::CurrentVersion}) {
        const VnBench::TUpgradeCase files = VnBench::MakeUpgradeCase(messages, version);
        double& best = version == VnBench::OldestVersion ? times.Upgrade : times.Reference;
        for (int run = 0; run < Runs; ++run) {
            folder.Write(files);
            const std::clock_t start = std::clock();
            TVnDBConvertor convertor("");
            convertor.ConvertDatabases(folder.Config(), "en");
            convertor.SetAdministrator(1, "secret");
            best = std::min(best, Seconds(start));
        }
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const VnBench::TUpgradeFolder folder(argc > 1 ? argv[1] : "", "bench_upgrade");
        std::printf("server.cfg without ver: %d users, %d remote mailboxes; state.cfg as below\n",
                    VnBench::CaseUsers, VnBench::CaseMailboxes);
        std::printf("reference: the same databases at 3.08, through no step\n");
        // A first run at full size grows the heap, so that the page faults of fresh memory (costly
        // on virtual machines) do not weigh on the first measurement only.
        Measure(folder, VnBench::CaseMessages);
        double previous = 0;
        for (int share : {1, 2, 4}) {
            const int messages = VnBench::CaseMessages / share;
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
    return 0;
}
