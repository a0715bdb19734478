// The packaging subcommands of vntsetup, run as a program (natively, where OpenSSL signs).
#ifdef VNT_HAVE_OPENSSL

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "VnPackageFormat.h"
#include "VnPlatform.h"
#include "VnProgramImages.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"

namespace {

// What vntsetup prints: paths with the system's separators.
std::string Shown(const std::string& text) {
    return VnPlatform::NativeSeparators(text);
}

class VntsetupTest : public testing::Test {
protected:
    struct TResult {
        int ExitCode;
        std::string Out, Err;
    };

    // Runs vntsetup with arguments, each quoted for the shell.
    TResult Run(const std::vector<std::string>& args) {
        std::string command = "'" VNT_VNTSETUP "'";
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        const std::string out = FFolder / "stdout", err = FFolder / "stderr", rc = FFolder / "rc";
        command += " >'" + ExpandFileName(out) + "' 2>'" + ExpandFileName(err) + "'; echo $? >'" +
                   ExpandFileName(rc) + "'";
        std::system(command.c_str());
        return {std::atoi(ReadBytes(rc).c_str()), ReadBytes(out), ReadBytes(err)};
    }

    void SetUp() override {
        WriteBytes(FFolder / "stub.exe", "MZ" + RandomBytes(4000, 1));
        WriteBytes(FFolder / "payload\\vnt64.bmp", RandomBytes(2166, 2));
        WriteBytes(FFolder / "payload\\Setup\\readme.txt", "Read me.\r\n");
        WriteBytes(FFolder / "payload\\Setup\\WWW\\index.html", "<html></html>");
        ForceFolders(FFolder / "payload\\Setup\\Config");
    }

    TResult Pack(const std::string& key, const std::string& output) {
        return Run({"pack", "--stub", FFolder / "stub.exe", "--payload", FFolder / "payload",
                    "--private-key", key, "--output", output});
    }

    std::string TestKey() { return SourcePath("keys/test_private.pem"); }

    TTempFolder FFolder;
};

} // namespace

TEST_F(VntsetupTest, KeygenPackAndVerifyWithTheNewKey) {
    const std::string privateKey = FFolder / "new.pem", publicKey = FFolder / "new.key";
    TResult result = Run({"keygen", "--private", privateKey, "--public", publicKey});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::string record = ReadBytes(publicKey);
    ASSERT_EQ(record.size(), 256u);
    EXPECT_EQ(uint8_t(record[127]) & 0x80, 0x80); // a full-width modulus
    EXPECT_EQ(record.substr(128), std::string("\x01\x00\x01", 3) + std::string(125, '\0'));
    EXPECT_NE(ReadBytes(privateKey).find("PRIVATE KEY-----"), std::string::npos);

    result = Run({"keygen", "--private", privateKey, "--public", FFolder / "other.key"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("already exists"), std::string::npos) << result.Err;

    const std::string package = FFolder / "setup.exe";
    result = Pack(privateKey, package);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    result = Run({"verify", package, "--public-key", publicKey});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out, "OK\n");

    // The compiled-in key is the test key, not this one.
    result = Run({"verify", package});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(result.Err, "File \"" + ExpandFileName(package) + "\" corrupted.\n");
}

TEST_F(VntsetupTest, PackIsByteIdenticalAndPassesTheCompiledInKey) {
    const std::string first = FFolder / "first.exe", second = FFolder / "second.exe";
    ASSERT_EQ(Pack(TestKey(), first).ExitCode, 0);
    ASSERT_EQ(Pack(TestKey(), second).ExitCode, 0);
    EXPECT_EQ(ReadBytes(first), ReadBytes(second));
    EXPECT_EQ(ReadBytes(first).substr(0, 4002), ReadBytes(FFolder / "stub.exe"));
    EXPECT_EQ(Run({"verify", first}).Out, "OK\n");

    std::string damaged = ReadBytes(first);
    damaged[4100] ^= 0x20;
    WriteBytes(second, damaged);
    TResult result = Run({"verify", second});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "File \"" + ExpandFileName(second) + "\" corrupted.\n");
}

TEST_F(VntsetupTest, ListShowsEntriesInArchiveOrder) {
    const std::string package = FFolder / "setup.exe";
    ASSERT_EQ(Pack(TestKey(), package).ExitCode, 0);
    TResult result = Run({"list", package});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    // Sizes as packed: the packed size of each stream is whatever level 9 gives.
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = result.Out.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(result.Out.substr(start, end - start));
    ASSERT_EQ(lines.size(), 6u) << result.Out;
    EXPECT_EQ(lines[0], "folder\tSetup");
    EXPECT_EQ(lines[1], "folder\tSetup\\Config");
    EXPECT_EQ(lines[2], "folder\tSetup\\WWW");
    EXPECT_TRUE(StartsWith(lines[3], "file\tSetup\\WWW\\index.html\t13\t")) << lines[3];
    EXPECT_TRUE(StartsWith(lines[4], "file\tSetup\\readme.txt\t10\t")) << lines[4];
    EXPECT_TRUE(StartsWith(lines[5], "file\tvnt64.bmp\t2166\t")) << lines[5];
}

TEST_F(VntsetupTest, ExtractFoldersFilesAndMissingEntries) {
    const std::string package = FFolder / "setup.exe";
    ASSERT_EQ(Pack(TestKey(), package).ExitCode, 0);
    TResult result = Run({"extract", package, "setup", FFolder / "out"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadBytes(FFolder / "out\\WWW\\index.html"), "<html></html>");
    EXPECT_TRUE(PathExists(FFolder / "out\\Config"));
    EXPECT_FALSE(PathExists(FFolder / "out\\vnt64.bmp"));

    result = Run({"extract", package, "Setup\\readme.txt", FFolder / "one\\two"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadBytes(FFolder / "one\\two\\readme.txt"), "Read me.\r\n");

    result = Run({"extract", package, "Setup\\none.txt", FFolder / "none"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, Shown("vntsetup extract: Entry \"Setup\\none.txt\" not found in \"" +
                                package + "\"\n"));
    EXPECT_FALSE(PathExists(FFolder / "none"));
}

TEST_F(VntsetupTest, FailuresAreOneLineOnStandardError) {
    const std::string package = FFolder / "setup.exe";
    WriteBytes(package, "MZ" + std::string(200, '\x01'));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", package},
          {"extract", package, "Setup", FFolder / "out"},
          {"verify", FFolder / "missing.exe"},
          {"verify", package, "--public-key", package},
          {"pack", "--stub", FFolder / "stub.exe"},
          {"pack", "--stub", FFolder / "stub.exe", "--payload", FFolder / "payload",
           "--private-key", FFolder / "stub.exe", "--output", FFolder / "p.exe"},
          {"list"}}) {
        TResult result = Run(args);
        EXPECT_NE(result.ExitCode, 0) << args[0];
        EXPECT_EQ(result.Out, "") << args[0];
        ASSERT_FALSE(result.Err.empty()) << args[0];
        EXPECT_EQ(result.Err.find('\n'), result.Err.size() - 1) << result.Err;
    }
    EXPECT_EQ(Run({"list", package}).Err,
              Shown("vntsetup list: File \"" + package + "\" corrupted\n"));
    EXPECT_FALSE(PathExists(FFolder / "p.exe"));
}

TEST_F(VntsetupTest, ListAndExtractCheckTheSignatureFirst) {
    const std::string signedPackage = FFolder / "setup.exe", other = FFolder / "other.exe";
    ASSERT_EQ(Pack(TestKey(), signedPackage).ExitCode, 0);
    // The same archive with its signature block zeroed: no longer the publisher's.
    std::string bytes = ReadBytes(signedPackage);
    bytes.replace(bytes.size() - 128, 128, std::string(128, '\0'));
    WriteBytes(other, bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", other},
          {"extract", other, "Setup", FFolder / "out"},
          {"list", signedPackage, "--public-key", FFolder / "payload\\vnt64.bmp"}}) {
        TResult result = Run(args);
        EXPECT_EQ(result.ExitCode, 1) << args[0];
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(result.Err.find('\n'), result.Err.size() - 1) << result.Err;
    }
    EXPECT_EQ(Run({"list", other}).Err, Shown("vntsetup list: File \"" + other + "\" corrupted\n"));
    EXPECT_FALSE(PathExists(FFolder / "out"));

    // For inspection, --no-verify reads the archive anyway.
    EXPECT_EQ(Run({"list", other, "--no-verify"}).Out, Run({"list", signedPackage}).Out);
    TResult result = Run({"extract", other, "Setup", FFolder / "out", "--no-verify"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadBytes(FFolder / "out\\readme.txt"), "Read me.\r\n");
}

TEST_F(VntsetupTest, PackRefusesNamesThatWindowsAltersOrTakesForDevices) {
    for (const char* name : {"Setup\\COM1", "Setup\\aux.log", "Setup\\x.", "Setup\\x ",
                             "Setup\\a<b", "Setup\\WWW\\INDEX.HTML"}) {
        const std::string bad = FFolder / "payload\\" + name;
        WriteBytes(bad, "data");
        TResult result = Pack(TestKey(), FFolder / "p.exe");
        EXPECT_EQ(result.ExitCode, 1) << name;
        // Of two names that differ in case only, the second in byte order is named.
        EXPECT_NE(AsciiLowerCase(result.Err)
                      .find(AsciiLowerCase(Shown("Cannot pack \"" + std::string(name) + "\""))),
                  std::string::npos)
            << result.Err;
        EXPECT_FALSE(PathExists(FFolder / "p.exe"));
        std::remove(ExpandFileName(bad).c_str());
    }
}

TEST_F(VntsetupTest, TheUninstallerSignedByThePublisherGoesIntoThePackage) {
    WriteBytes(FFolder / "stub.exe", MinimalProgram(VnPackageFormat::PE32Magic, 509));
    const std::string uninstaller = FFolder / "uninstaller.exe",
                      signedUninstaller = FFolder / "signed.exe";
    TResult result = Run({"uninstaller", "--stub", FFolder / "stub.exe", "--output", uninstaller});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    WriteBytes(signedUninstaller,
               WithCertificateTable(ReadBytes(uninstaller), VnPackageFormat::PE32Magic));
    const auto pack = [&](const std::string& file, const std::string& output) {
        return Run({"pack", "--stub", FFolder / "stub.exe", "--payload", FFolder / "payload",
                    "--private-key", TestKey(), "--output", output, "--signed-uninstaller", file});
    };
    const std::string package = FFolder / "setup.exe";
    result = pack(signedUninstaller, package);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(ReadBytes(package).substr(0, 1021) == ReadBytes(uninstaller));
    EXPECT_EQ(Run({"verify", package}).Out,
              "OK\nSigned uninstaller: Authenticode certificate table of 1512 bytes, written with "
              "every VNT_Uninstall.exe (check an installed one with signtool verify /pa or "
              "osslsigncode verify)\n");

    result = pack(uninstaller, FFolder / "refused.exe");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err,
              Shown("vntsetup pack: \"" + uninstaller + "\" is not the signed uninstaller of \"" +
                    FFolder / "stub.exe" + "\": it carries no Authenticode signature\n"));
    EXPECT_FALSE(PathExists(FFolder / "refused.exe"));
}

TEST_F(VntsetupTest, KeygenNeverFollowsALinkAndCreatesTheKeyPrivate) {
    namespace fs = std::filesystem;
    const fs::path folder = ExpandFileName(FFolder / "keys");
    fs::create_directories(folder);
    const fs::path elsewhere = ExpandFileName(FFolder / "elsewhere.pem");
    fs::create_symlink(elsewhere, folder / "new.pem"); // a dangling link at the key's name
    TResult result = Run({"keygen", "--private", (folder / "new.pem").string(), "--public",
                          (folder / "new.key").string()});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("already exists"), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_FALSE(fs::exists(folder / "new.key"));

    // A link at the public name: the private key made first is removed again.
    fs::create_symlink(elsewhere, folder / "b.key");
    result = Run({"keygen", "--private", (folder / "b.pem").string(), "--public",
                  (folder / "b.key").string()});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_FALSE(fs::exists(folder / "b.pem"));

    // Created owner-only, whatever the umask lets through.
    const mode_t saved = umask(0);
    result = Run({"keygen", "--private", (folder / "c.pem").string(), "--public",
                  (folder / "c.key").string()});
    umask(saved);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(fs::status(folder / "c.pem").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b.key", "c.key", "c.pem", "new.pem"}));
}

TEST_F(VntsetupTest, ASystemMessageStaysOnOneLine) {
    // The target folder cannot be made: a file is in its way.
    const std::string package = FFolder / "setup.exe";
    ASSERT_EQ(Pack(TestKey(), package).ExitCode, 0);
    WriteBytes(FFolder / "file", "x");
    TResult result = Run({"extract", package, "Setup", FFolder / "file\\sub"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err.find_first_of("\r\n"), result.Err.size() - 1) << result.Err;
}

#endif // VNT_HAVE_OPENSSL
