// Install benchmark: the unattended console install (the wizard's own extraction) of a signed
// package whose Setup\VNT_Admin folder holds 10,000 and then 40,000 empty files. Prints the best
// time of each and their ratio; a linear extraction gives about 4.
//
// usage: bench_install [WORK_FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "VnArchiveWriter.h"
#include "VnSysUtils.h"
#include "VnUnattended.h"

namespace {

constexpr int Runs = 3;

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

void WritePackage(const std::string& fileName, int files) {
    TVnFileStream package(fileName, TVnFileStream::Mode::Create);
    package.WriteBuffer("MZ", 2);
    TVnArchiveWriter writer(package);
    writer.AddFile("VNT_Setup.lng", SourceFile("payload/VNT_Setup.lng"));
    writer.AddFile("vnt64.bmp", SourceFile("payload/vnt64.bmp"));
    writer.BeginFolder("Setup");
    writer.BeginFolder("VNT_Admin");
    for (int i = 0; i < files; ++i)
        writer.AddFile(Format("file%05d.txt", i), "");
    writer.EndFolder();
    writer.EndFolder();
    writer.Finish();
    AppendSignature(package, TestKeySigner());
}

double InstallSeconds(const std::string& package, const std::string& target) {
    TVnInstallAnswers answers;
    answers.Folder = target;
    answers.ConsoleOnly = true;
    answers.Language = "en";
    answers.StartServer = false;
    std::string messages;
    TVnConsoleServices services([&](const std::string& line) { messages += line + "\n"; });
    const auto start = std::chrono::steady_clock::now();
    const int exitCode = RunUnattended(package, answers, services, [](const std::string&) {});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (exitCode != 0) {
        std::fprintf(stderr, "install failed: %s\n", messages.c_str());
        std::exit(1);
    }
    std::filesystem::remove_all(target);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path work =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::temp_directory_path() / "vnt-bench-install";
    std::filesystem::create_directories(work);
    double best[2] = {1e9, 1e9};
    const int counts[2] = {10000, 40000};
    for (int i = 0; i < 2; ++i)
        WritePackage((work / Format("setup%d.exe", counts[i])).string(), counts[i]);
    for (int run = 0; run < Runs; ++run)
        for (int i = 0; i < 2; ++i)
            best[i] =
                std::min(best[i], InstallSeconds((work / Format("setup%d.exe", counts[i])).string(),
                                                 (work / "target").string()));
    std::printf("install of %d empty entries: %.3f s\n", counts[0], best[0]);
    std::printf("install of %d empty entries: %.3f s\n", counts[1], best[1]);
    std::printf("ratio 40,000 / 10,000: %.2f (linear: 4)\n", best[1] / best[0]);
    std::filesystem::remove_all(work);
    return 0;
}
