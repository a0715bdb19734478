// Package benchmark: builds a signed package of about 100 MB (160 MB of payload) and times
// `vntsetup verify` against `md5sum` of the same file, `vntsetup verify` of the same package with
// an Authenticode certificate table appended against the plain one, and `vntsetup extract` against
// `gzip -dc` of the same payload bytes to a file, without and with a sync of that file (extraction
// flushes every file it writes). Prints the best of several runs of each, taken in turns, and
// their ratios: below 1 is faster than the reference.
//
// usage: bench_package VNTSETUP KEYS_FOLDER [PAYLOAD_MEGABYTES] [WORK_FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "VnArchiveWriter.h"
#include "VnPackageFormat.h"
#include "VnProgramImages.h"
#include "VnSysUtils.h"

namespace {

constexpr int VerifyRuns = 15; // a verify takes a fraction of a second: more runs, less noise
constexpr int ExtractRuns = 5;
constexpr size_t FileSize = 1000000; // the largest shipped entry is just under 1 MB

// Program-like content: a mix of incompressible runs and text from a small vocabulary.
std::string PayloadFile(std::mt19937& random) {
    std::vector<std::string> words;
    for (int i = 0; i < 300; ++i) {
        std::string word;
        for (size_t n = 2 + random() % 9; n > 0; --n)
            word += char('a' + random() % 26);
        words.push_back(word);
    }
    std::string data;
    while (data.size() < FileSize) {
        if (random() % 10 < 4) {
            for (int i = 0; i < 4096; ++i)
                data += char(random());
        } else {
            for (size_t start = data.size(); data.size() - start < 4096;)
                data += words[random() % words.size()] + (random() % 12 ? " " : "\r\n");
        }
    }
    data.resize(FileSize);
    return data;
}

double Seconds(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best time of each command over several runs, taken in turns so that all of them see the
// same load on the machine.
std::vector<double> BestOf(int runs, const std::vector<std::string>& commands) {
    std::vector<double> best(commands.size(), 1e9);
    for (int run = 0; run < runs; ++run)
        for (size_t i = 0; i < commands.size(); ++i)
            best[i] = std::min(best[i], Seconds(commands[i]));
    return best;
}

TVnSigner KeySigner(const std::string& keys) {
    std::string record = ReadFileText(keys + "/test_public.key");
    std::string d = ReadFileText(keys + "/test_private_exponent.bin");
    TVnLongNumber n, e;
    LongFromBytes(n, reinterpret_cast<const uint8_t*>(record.data()));
    LongFromBytes(e, reinterpret_cast<const uint8_t*>(d.data()));
    return ExponentSigner(n, e);
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_package VNTSETUP KEYS_FOLDER [MEGABYTES] [WORK]\n");
        return 2;
    }
    const std::string vntsetup = ExpandFileName(argv[1]), keys = ExpandFileName(argv[2]);
    const int megabytes = argc > 3 ? std::atoi(argv[3]) : 160;
    const std::string work =
        ExpandFileName(argc > 4 ? argv[4] : VnPlatform::TempFolder() + "vnt-bench-package");
    namespace fs = std::filesystem;
    fs::remove_all(work);
    try {
        std::mt19937 random(308);
        const std::string payload = work + "/payload", data = payload + "/Data";
        ForceFolders(data);
        for (int i = 0; i < megabytes; ++i)
            WriteFileAtomic(Format("%s/file%03d.bin", data.c_str(), i), PayloadFile(random));
        WriteFileAtomic(work + "/stub.exe",
                        MinimalProgram(VnPackageFormat::PE32Magic, 60000, '\x90'));

        auto start = std::chrono::steady_clock::now();
        const std::string package = work + "/setup.exe";
        WritePackage(work + "/stub.exe", payload, package, KeySigner(keys));
        double packTime =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string signedPackage = work + "/signed.exe";
        WriteFileAtomic(signedPackage,
                        WithCertificateTable(ReadFileText(package), VnPackageFormat::PE32Magic));
        const std::string cat = "cat " + Quoted(data) + "/*.bin";
        if (std::system((cat + " | gzip -9 >" + Quoted(work + "/payload.gz")).c_str()) != 0)
            throw EVnException("gzip failed");
        std::printf("package: %.1f MB, %d files, packed in %.2f s\n",
                    double(fs::file_size(package)) / 1e6, megabytes, packTime);

        const auto verifyCommand = [&](const std::string& file) {
            return Quoted(vntsetup) + " verify " + Quoted(file) + " --public-key " +
                   Quoted(keys + "/test_public.key") + " >/dev/null";
        };
        const std::vector<double> verify = BestOf(
            VerifyRuns, {"md5sum " + Quoted(package) + " >/dev/null", verifyCommand(package)});
        const std::vector<double> verifySigned =
            BestOf(VerifyRuns, {verifyCommand(package), verifyCommand(signedPackage)});
        // Extraction flushes every file before it puts them in place: the second reference syncs
        // its output too.
        const std::string gunzip =
            "gzip -dc " + Quoted(work + "/payload.gz") + " >" + Quoted(work + "/all.bin");
        const std::vector<double> extract =
            BestOf(ExtractRuns, {gunzip, gunzip + " && sync " + Quoted(work + "/all.bin"),
                                 Quoted(vntsetup) + " extract " + Quoted(package) + " Data " +
                                     Quoted(work + "/out")});
        if (std::system(
                ("cat " + Quoted(work + "/out") + "/*.bin | cmp -s - " + Quoted(work + "/all.bin"))
                    .c_str()) != 0)
            throw EVnException("extracted files differ from the payload");

        std::printf("verify   %.3f s   md5sum    %.3f s   ratio %.2f   (best of %d)\n", verify[1],
                    verify[0], verify[1] / verify[0], VerifyRuns);
        std::printf("verify with a certificate table %.3f s   without %.3f s   ratio %.2f   "
                    "(best of %d)\n",
                    verifySigned[1], verifySigned[0], verifySigned[1] / verifySigned[0],
                    VerifyRuns);
        std::printf("extract  %.3f s   gzip -dc  %.3f s   ratio %.2f   (best of %d)\n", extract[2],
                    extract[0], extract[2] / extract[0], ExtractRuns);
        std::printf("extract  %.3f s   gzip -dc + sync  %.3f s   ratio %.2f   (best of %d)\n",
                    extract[2], extract[1], extract[2] / extract[1], ExtractRuns);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_package: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
