// Peak memory of the configuration upgrade: the upgrade case (20,000 users, 2,000 remote
// mailboxes) with 100,000, 200,000 and 400,000 remote messages, read, upgraded and written as
// vntsetup upgrade does it. Each upgrade runs in a fresh process (the program starts itself with
// --one), which reports the operating system's figure for its peak memory: the peak resident set
// natively, the peak working set and peak committed memory on Windows. The ratio to the combined
// size of the two input files should stay the same from the smallest case to the largest.
//
//   bench_memory [FOLDER]             the files go to a scratch folder under FOLDER (default: the
//                                     temporary folder)
//   bench_memory --write N FOLDER     only writes the case with N messages into FOLDER\Config, for
//                                     a run of vntsetup upgrade by hand
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "VnDBConvertor.h"
#include "VnSysUtils.h"
#include "shared/VnPeakMemory.h"
#include "shared/VnUpgradeCase.h"

namespace {

struct TResult {
    VnBench::TPeakMemory Peak;
    double Seconds = 0; // processor time of the upgrade
};

// The upgrade in this process, its figures appended to the results file as one line.
int MeasureOne(const std::string& config, const std::string& resultsFile) {
    const std::clock_t start = std::clock();
    TVnDBConvertor convertor("");
    convertor.ConvertDatabases(IncludeTrailingPathDelimiter(config), "en");
    std::vector<TVnAdminEntry> list;
    const int admin = convertor.GetAdminList(list);
    convertor.SetAdministrator(admin, "");
    TResult result;
    result.Seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    result.Peak = VnBench::PeakMemory();
    WriteFileAtomic(resultsFile, Format("%.0f %.0f %.6f\n", result.Peak.WorkingSet,
                                        result.Peak.Committed, result.Seconds));
    return 0;
}

// Runs this program with the arguments; the folder arguments must not end with a separator,
// which would escape the closing quote.
void RunSelf(const std::string& arguments) {
    uint32_t exitCode = 1;
    const std::string command =
        Format("\"%s\" %s", VnPlatform::ModuleFileName().c_str(), arguments.c_str());
    if (!RunProcess(command, true, 3600 * 1000, &exitCode) || exitCode != 0)
        throw EVnException(Format("failed: %s", command.c_str()));
}

TResult RunOne(const std::string& config, const std::string& resultsFile) {
    VnPlatform::DeleteFile(resultsFile);
    RunSelf(Format("--one \"%s\" \"%s\"", ExcludeTrailingPathDelimiter(config).c_str(),
                   resultsFile.c_str()));
    TResult result;
    const std::string text = ReadFileText(resultsFile);
    VnPlatform::DeleteFile(resultsFile);
    if (std::sscanf(text.c_str(), "%lf %lf %lf", &result.Peak.WorkingSet, &result.Peak.Committed,
                    &result.Seconds) != 3)
        throw EVnException("the upgrade process reported nothing");
    return result;
}

double FileSize(const std::string& fileName) {
    TVnFileStream file(fileName, TVnFileStream::Mode::OpenRead);
    return static_cast<double>(file.Size());
}

double Megabytes(double bytes) {
    return bytes / 1048576;
}

void Measure(const std::string& parent) {
    const VnBench::TUpgradeFolder folder(parent, "bench_memory");
    const std::string resultsFile = folder.Config() + "results.txt";
    std::printf("server.cfg without ver: %d users, %d remote mailboxes; state.cfg as below\n",
                VnBench::CaseUsers, VnBench::CaseMailboxes);
    std::printf("%9s %9s %11s %7s %14s %7s %9s\n", "messages", "input MB", "peak set MB", "ratio",
                "peak commit MB", "ratio", "time s");
    for (int messages :
         {VnBench::CaseMessages / 2, VnBench::CaseMessages, VnBench::CaseMessages * 2}) {
        // The files come from a process of their own too: on Linux a process inherits the peak
        // of the one that started it, so this one stays small.
        RunSelf(Format("--write %d \"%s\"", messages,
                       ExcludeTrailingPathDelimiter(folder.Scratch()).c_str()));
        const double input =
            FileSize(folder.Config() + "server.cfg") + FileSize(folder.Config() + "state.cfg");
        const TResult r = RunOne(folder.Config(), resultsFile);
        std::printf("%9d %9.1f %11.1f %7.2f", messages, Megabytes(input),
                    Megabytes(r.Peak.WorkingSet), r.Peak.WorkingSet / input);
        if (r.Peak.Committed > 0)
            std::printf(" %14.1f %7.2f", Megabytes(r.Peak.Committed), r.Peak.Committed / input);
        else
            std::printf(" %14s %7s", "-", "-");
        std::printf(" %9.3f\n", r.Seconds);
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "--one" && argc == 4)
            return MeasureOne(argv[2], argv[3]);
        if (mode == "--write" && argc == 4) {
            const std::string config = IncludeTrailingPathDelimiter(argv[3]) + "Config\\";
            ForceFolders(config);
            VnBench::WriteUpgradeCase(
                config, VnBench::MakeUpgradeCase(std::atoi(argv[2]), VnBench::OldestVersion));
            return 0;
        }
        if (mode.compare(0, 2, "--") == 0 || argc > 2)
            throw EVnException("usage: bench_memory [FOLDER] | --write MESSAGES FOLDER");
        Measure(mode);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_memory: %s\n", e.what());
        return 1;
    }
    return 0;
}
