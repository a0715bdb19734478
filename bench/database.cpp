// Scale of the database module: parse, a ForEachRow that deletes every second row, and a write,
// for databases of 12.5, 25 and 50 MB. Each step should grow linearly: the ratios against the
// 12.5 MB run should be close to 2 and 4.
//
//   bench_database [MEGABYTES]   largest size (default 50); the others are its half and quarter
//
// Every measurement runs in a fresh process (the program starts itself with --one), so that each
// size pays the same for memory that is new to the process; the times are processor times, best
// of three, so that other load on the machine counts as little as possible.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "VnDB.h"

namespace {

constexpr int Passes = 3;

// A database text of at least `bytes` bytes: one table of user-like rows.
std::string MakeDatabase(size_t bytes) {
    std::string text = "<vnt-db ver=\"3.08\">\r\n<table name=\"Users\">\r\n";
    text.reserve(bytes + 1024);
    for (long id = 1; text.size() < bytes; ++id) {
        const std::string n = std::to_string(id);
        text += "  <row>\r\n";
        text += "    <col name=\"ID\">" + n + "</col>\r\n";
        text += "    <col name=\"Domain\">1</col>\r\n";
        text += "    <col name=\"Name\">user" + n + "</col>\r\n";
        text += "    <col name=\"Password\">C00:XrXwAWktVgBy</col>\r\n";
        text += "    <col name=\"FullName\">User &amp; Co &lt;" + n + "&gt;</col>\r\n";
        text += "    <col name=\"Enabled\">1</col>\r\n";
        text += "  </row>\r\n";
    }
    text += "</table>\r\n\r\n</vnt-db>\r\n";
    return text;
}

double Seconds(std::clock_t since) {
    return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

struct TResult {
    double Megabytes = 0;
    long Rows = 0;
    double Parse = 0, Delete = 0, Write = 0;
};

// One measurement, appended to the results file as one line.
int MeasureOne(double megabytes, const std::string& resultsFile) {
    const std::string dbFile = resultsFile + ".cfg";
    const std::string text = MakeDatabase(static_cast<size_t>(megabytes * 1048576));
    TResult result;
    result.Megabytes = text.size() / 1048576.0;
    TVnXMLElement root;

    std::clock_t start = std::clock();
    root.Parse(text);
    result.Parse = Seconds(start);

    CurrentDB = &root;
    result.Rows = FindTable("Users")->ChildCount();
    bool odd = false;
    start = std::clock();
    ForEachRow("Users", [&odd] {
        odd = !odd;
        if (!odd) {
            CurrentRow->Destroy();
            CurrentRow = nullptr;
        }
    });
    result.Delete = Seconds(start);
    if (FindTable("Users")->ChildCount() != (result.Rows + 1) / 2) {
        std::fprintf(stderr, "wrong number of rows left\n");
        return 1;
    }

    start = std::clock();
    WriteDatabaseFile(dbFile, root);
    result.Write = Seconds(start);
    VnPlatform::DeleteFile(dbFile);

    const std::string previous =
        VnPlatform::FileExists(resultsFile) ? ReadFileText(resultsFile) : std::string();
    WriteFileAtomic(resultsFile,
                    previous + Format("%.3f %ld %.6f %.6f %.6f\n", result.Megabytes, result.Rows,
                                      result.Parse, result.Delete, result.Write));
    return 0;
}

std::vector<TResult> ReadResults(const std::string& resultsFile) {
    std::vector<TResult> results;
    const std::string text = ReadFileText(resultsFile);
    size_t pos = 0;
    for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        TResult r;
        if (std::sscanf(text.c_str() + pos, "%lf %ld %lf %lf %lf", &r.Megabytes, &r.Rows, &r.Parse,
                        &r.Delete, &r.Write) == 5)
            results.push_back(r);
    }
    return results;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--one")
        return MeasureOne(std::atof(argv[2]), argv[3]);

    const double largest = argc > 1 ? std::atof(argv[1]) : 50.0;
    const double sizes[] = {largest / 4, largest / 2, largest};
    const std::string resultsFile = VnPlatform::TempFolder() + "bench_database.txt";
    VnPlatform::DeleteFile(resultsFile);
    for (int pass = 0; pass < Passes; ++pass) {
        for (double megabytes : sizes) {
            uint32_t exitCode = 1;
            const std::string command =
                Format("\"%s\" --one %.4f \"%s\"", VnPlatform::ModuleFileName().c_str(), megabytes,
                       resultsFile.c_str());
            if (!RunProcess(command, true, 3600 * 1000, &exitCode) || exitCode != 0) {
                std::fprintf(stderr, "measurement of %.1f MB failed\n", megabytes);
                return 1;
            }
        }
    }
    const std::vector<TResult> all = ReadResults(resultsFile);
    VnPlatform::DeleteFile(resultsFile);
    if (all.size() != 3 * Passes) {
        std::fprintf(stderr, "incomplete results\n");
        return 1;
    }
    std::vector<TResult> best(all.begin(), all.begin() + 3);
    for (size_t i = 3; i < all.size(); ++i) {
        TResult& b = best[i % 3];
        b.Parse = std::min(b.Parse, all[i].Parse);
        b.Delete = std::min(b.Delete, all[i].Delete);
        b.Write = std::min(b.Write, all[i].Write);
    }

    const TResult& reference = best.front();
    std::printf("%8s %8s %10s %10s %10s   ratios to the first row (parse delete write)\n", "MB",
                "rows", "parse s", "delete s", "write s");
    for (const TResult& r : best)
        std::printf("%8.1f %8ld %10.3f %10.3f %10.3f   %5.2f %5.2f %5.2f  (size %.2f)\n",
                    r.Megabytes, r.Rows, r.Parse, r.Delete, r.Write, r.Parse / reference.Parse,
                    r.Delete / reference.Delete, r.Write / reference.Write,
                    r.Megabytes / reference.Megabytes);
    return 0;
}
