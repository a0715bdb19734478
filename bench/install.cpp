// Install benchmark: the unattended console install (the wizard's own extraction) of a signed
// package whose Setup\VNT_Admin folder holds 10,000 and then 40,000 empty files, the removal of
// each installation (the code path of `vntsetup uninstall`), and the reading of installation
// records of 10,000 and 40,000 files. Prints the best time of each and the ratios 40,000 / 10,000;
// linear code gives about 4. A work folder on a memory file system keeps the disk out of it.
//
// usage: bench_install [WORK_FOLDER]      e.g. bench_install /dev/shm/vnt-bench-install
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "VnArchiveWriter.h"
#include "VnInstallRecord.h"
#include "VnRemoval.h"
#include "VnSetupProgram.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

constexpr int Runs = 3;
constexpr int ReadingRuns = 15;
constexpr int Counts[2] = {10000, 40000};

std::string SourceFile(const std::string& relative) {
    return ReadFileText(std::string(VNT_SOURCE_DIR) + "/" + relative);
}

// The test key of the source tree, which the program checks packages against in this build.
TVnSigner TestKeySigner() {
    const std::string record = SourceFile("keys/test_public.key");
    const std::string exponent = SourceFile("keys/test_private_exponent.bin");
    TVnLongNumber modulus, privateExponent;
    LongFromBytes(modulus, reinterpret_cast<const uint8_t*>(record.data()));
    LongFromBytes(privateExponent, reinterpret_cast<const uint8_t*>(exponent.data()));
    return ExponentSigner(modulus, privateExponent);
}

std::string FileName(int i) {
    return Format("file%05d.txt", i);
}

void WritePackage(const std::string& fileName, int files) {
    TVnFileStream package(fileName, TVnFileStream::Mode::Create);
    package.WriteBuffer("MZ", 2);
    TVnArchiveWriter writer(package);
    writer.AddFile("VNT_Setup.lng", SourceFile("payload/VNT_Setup.lng"));
    writer.AddFile("vnt64.bmp", SourceFile("payload/vnt64.bmp"));
    writer.BeginFolder("Setup");
    writer.BeginFolder("VNT_Admin");
    for (int i = 0; i < files; ++i)
        writer.AddFile(FileName(i), "");
    writer.EndFolder();
    writer.EndFolder();
    writer.Finish();
    AppendSignature(package, TestKeySigner());
}

// The record an installation of `files` empty files into VNT_Admin writes.
std::string RecordText(int files) {
    TVnInstallRecord record;
    record.Language = "en";
    record.ConsoleOnly = true;
    record.AddFolder("VNT_Admin");
    const std::string emptyDigest = BytesDigestText("");
    for (int i = 0; i < files; ++i)
        record.AddFile({"VNT_Admin\\" + FileName(i), 0, emptyDigest});
    return record.Text();
}

[[noreturn]] void Fail(const char* what, const std::string& messages) {
    std::fprintf(stderr, "%s failed: %s\n", what, messages.c_str());
    std::exit(1);
}

double Seconds(const std::function<void()>& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Install(const std::string& package, const std::string& folder) {
    TVnInstallAnswers answers;
    answers.Folder = folder;
    answers.ConsoleOnly = true;
    answers.Language = "en";
    answers.StartServer = false;
    std::string messages;
    TVnConsoleServices services([&](const std::string& line) { messages += line + "\n"; });
    if (RunUnattended(package, answers, services, [](const std::string&) {}) != 0)
        Fail("install", messages);
}

// What `vntsetup uninstall` runs.
void Uninstall(const std::string& folder) {
    std::string messages;
    TVnConsoleServices services([&](const std::string& line) { messages += line + "\n"; });
    TVnSetupFrontEnd frontEnd;
    frontEnd.WindowServices = &services;
    if (RunUninstallProgram(folder, {"/VERYSILENT"}, frontEnd) != 0)
        Fail("uninstall", messages);
    RemoveUninstaller(folder, UninstallTexts("en"));
}

struct TBest {
    double Seconds[2] = {1e9, 1e9};
    void Add(int i, double seconds) { Seconds[i] = std::min(Seconds[i], seconds); }
    void Print(const char* what) const {
        std::printf("%-15s %6d: %7.3f s   %6d: %7.3f s   ratio %.2f (linear: 4)\n", what, Counts[0],
                    Seconds[0], Counts[1], Seconds[1], Seconds[1] / Seconds[0]);
    }
};

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path work =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vnt-bench-install";
    fs::create_directories(work);
    const std::string folder = IncludeTrailingPathDelimiter(fs::absolute(work / "target").string());
    for (int count : Counts)
        WritePackage((work / Format("setup%d.exe", count)).string(), count);

    TBest install, uninstall, reading;
    for (int run = 0; run < Runs; ++run)
        for (int i = 0; i < 2; ++i) {
            const std::string package = (work / Format("setup%d.exe", Counts[i])).string();
            install.Add(i, Seconds([&] { Install(package, folder); }));
            uninstall.Add(i, Seconds([&] { Uninstall(folder); }));
            fs::remove_all(folder); // the install log stays
        }
    // Taken in turns like the installations; each record is freed outside the time measured.
    const std::string records[2] = {RecordText(Counts[0]), RecordText(Counts[1])};
    for (int run = 0; run < ReadingRuns; ++run)
        for (int i = 0; i < 2; ++i) {
            std::optional<TVnInstallRecord> record;
            reading.Add(
                i, Seconds([&] { record = ParseInstallRecord(records[i], InstallRecordName); }));
        }
    install.Print("install");
    uninstall.Print("uninstall");
    reading.Print("record reading");
    fs::remove_all(work);
    return 0;
}
