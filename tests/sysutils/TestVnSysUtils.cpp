#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnCp1251.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"

namespace {

// Collects what the error reporter is given during one test.
class TReportedErrors {
public:
    TReportedErrors() {
        SetErrorReporter([this](const std::string& text) { Texts.push_back(text); });
    }
    ~TReportedErrors() { SetErrorReporter(nullptr); }
    std::vector<std::string> Texts;
};

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(ExcludeTrailingPathDelimiter(folder)))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Strings, TokensAndDelimiters) {
    std::string s = "a..b";
    std::string token;
    CutToken(s, ".", true, token, true);
    EXPECT_EQ(token, "a");
    EXPECT_EQ(s, "b");
    s = "a..b";
    CutToken(s, ".", false, token, true);
    EXPECT_EQ(s, "..b");
    s = "abc";
    CutToken(s, ".", true, token, true);
    EXPECT_EQ(token, "abc");
    EXPECT_EQ(s, "");

    size_t pos = 1;
    TokenAt("ab  cd", pos, " ", token, true);
    EXPECT_EQ(token, "ab");
    EXPECT_EQ(pos, 5u);
    TokenAt("ab  cd", pos, " ", token, false);
    EXPECT_EQ(token, "cd");
    EXPECT_EQ(pos, 7u); // past the end: length + 1
    pos = 3;
    TokenAt("ab  cd", pos, " ", token, false);
    EXPECT_EQ(token, "");
    EXPECT_EQ(pos, 3u); // left on the delimiter

    EXPECT_EQ(FindDelimiter("abc;d", ";,", 1), 4u);
    EXPECT_EQ(FindDelimiter("abc;d", ";,", 5), 0u);
}

TEST(Strings, CutQuotedTakesDoubledQuotes) {
    std::string s = "a\"\"b\"c";
    EXPECT_EQ(CutQuoted(s, '"'), "a\"b");
    EXPECT_EQ(s, "c");
    s = "no closing quote";
    EXPECT_EQ(CutQuoted(s, '"'), "no closing quote");
    EXPECT_EQ(s, "");
}

TEST(Strings, FullStops) {
    EXPECT_EQ(WithFullStop("Done."), "Done.");
    EXPECT_EQ(WithFullStop("Done"), "Done.");
    EXPECT_EQ(WithFullStop(""), "");
}

TEST(Numbers, IntegerSyntax) {
    long value = 0;
    EXPECT_TRUE(TryStrToInt("  -12", value));
    EXPECT_EQ(value, -12);
    EXPECT_TRUE(TryStrToInt("$FF", value));
    EXPECT_EQ(value, 255);
    EXPECT_TRUE(TryStrToInt("0x10", value));
    EXPECT_EQ(value, 16);
    EXPECT_TRUE(TryStrToInt("2147483647", value));
    EXPECT_TRUE(TryStrToInt("-2147483648", value));
    EXPECT_EQ(value, -2147483647L - 1);
    EXPECT_FALSE(TryStrToInt("2147483648", value));
    EXPECT_FALSE(TryStrToInt("", value));
    EXPECT_FALSE(TryStrToInt("12 ", value));
    EXPECT_FALSE(TryStrToInt("-", value));
    try {
        StrToInt("x1");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
    }
}

TEST(Numbers, IPv4) {
    uint32_t value = 0;
    ASSERT_TRUE(ParseIPv4("10.0.0.1", value));
    EXPECT_EQ(value, 10u * 16777216u + 1u);
    EXPECT_FALSE(ParseIPv4("10.0.0.256", value));
    EXPECT_FALSE(ParseIPv4("10.0.0", value));
    EXPECT_FALSE(ParseIPv4("10.0.0.1.5", value));
    ASSERT_TRUE(ParseIPv4("192..168.1.2", value)); // a run of dots counts as one
    EXPECT_EQ(FormatIPv4(value), "192.168.1.2");
    EXPECT_EQ(FormatIPv4(10u * 16777216u + 1u), "10.0.0.1");
    EXPECT_EQ(SwapBytes32(0x01020304u), 0x04030201u);
    uint8_t b = 0;
    EXPECT_TRUE(ParseByte("255", b));
    EXPECT_FALSE(ParseByte("-1", b));
}

TEST(Base64, PaddingAndLength) {
    EXPECT_EQ(Base64Encode("abc"), "YWJj");
    EXPECT_EQ(Base64Encode("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("a"), "YQ==");
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\x00", 3)), "+/8A");
    for (size_t n = 0; n < 10; ++n)
        EXPECT_EQ(Base64Encode(std::string(n, 'x')).size(), Base64Length(n));
}

TEST(Text, CaseFolding) {
    EXPECT_TRUE(SameTextAscii("Setup\\VNT_Admin", "setup\\vnt_admin"));
    EXPECT_FALSE(SameTextAscii(VN_CP1251("Я"), VN_CP1251("я")));
    EXPECT_TRUE(VnPlatform::SameTextLocale("Admin@Domain.Local", "admin@domain.local"));
#ifdef _WIN32
    // Windows folds Cyrillic in a Cyrillic locale; the stand-in folds it always.
    const bool cyrillic = (VnPlatform::UserDefaultLangID() & 0x3FF) == 0x19;
#else
    const bool cyrillic = true;
#endif
    if (cyrillic) {
        EXPECT_TRUE(VnPlatform::SameTextLocale(VN_CP1251("Домен Ёлка"), VN_CP1251("дОМЕН ёЛКА")));
    }
    EXPECT_FALSE(VnPlatform::SameTextLocale("abc", "abd"));
    EXPECT_EQ(ReplaceAllIgnoreCase("a&LT b &lt", "&lt", "&lt;"), "a&lt; b &lt;");
    EXPECT_EQ(VN_CP1251("Шаг %d"), std::string("\xD8\xE0\xE3 %d"));
}

TEST(Paths, Components) {
    EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter("x"), "x\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter("x/"), "x/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("x\\"), "x");
}

TEST(Files, ForceFoldersCreatesTheChain) {
    TTempFolder temp;
    const std::string deep = temp / "a\\b\\c\\";
    EXPECT_TRUE(ForceFolders(deep));
    EXPECT_TRUE(VnPlatform::DirectoryExists(temp / "a\\b\\c"));
    EXPECT_TRUE(ForceFolders(deep)); // existing: true again
    WriteBytes(temp / "file", "x");
    EXPECT_FALSE(ForceFolders(temp / "file\\sub")); // a file in the way
}

TEST(Files, ReadHelpersAndErrors) {
    TTempFolder temp;
    const std::string name = temp / "data.bin";
    WriteBytes(name, "0123456789");
    EXPECT_EQ(ReadFileText(name), "0123456789");
    EXPECT_EQ(ReadFilePart(name, 3, 4), "3456");
    EXPECT_THROW(ReadFilePart(name, 8, 4), EReadError);
    EXPECT_NO_THROW(CheckFileExists(name));
    try {
        CheckFileExists(temp / "missing.txt");
        FAIL();
    } catch (const EVnException& e) {
        EXPECT_EQ(e.Message(), "File \"" + temp / "missing.txt" + "\" not found");
    }
    try {
        ReadFileText(temp / "missing.txt");
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(),
                  "Cannot open file \"" + temp / "missing.txt" + "\". " + SysErrorMessage(2));
    }
}

TEST(Files, BufferedStreamKeepsItsPositionAcrossSeeksAndWrites) {
    TTempFolder temp;
    const std::string name = temp / "stream.bin";
    const std::string data = RandomBytes(200000, 7);
    WriteBytes(name, data);
    TVnFileStream stream(name, TVnFileStream::Mode::OpenRead);
    EXPECT_EQ(stream.Size(), 200000);
    char small[64];
    stream.ReadBuffer(small, 64);
    EXPECT_EQ(std::string(small, 64), data.substr(0, 64));
    EXPECT_EQ(stream.Position(), 64);
    stream.Seek(100, VnPlatform::SeekOrigin::Current);
    stream.ReadBuffer(small, 10);
    EXPECT_EQ(std::string(small, 10), data.substr(164, 10));
    stream.Seek(100000, VnPlatform::SeekOrigin::Current);
    EXPECT_EQ(stream.Position(), 100174);
    std::string big(90000, '\0');
    stream.ReadBuffer(&big[0], big.size());
    EXPECT_EQ(big, data.substr(100174, 90000));
    std::string rest(20000, '\0');
    EXPECT_EQ(stream.Read(&rest[0], rest.size()), 200000u - 190174u);
    EXPECT_THROW(stream.ReadBuffer(small, 1), EReadError);

    TVnFileStream created(temp / "created.bin", TVnFileStream::Mode::Create);
    created.WriteBuffer("abcdef", 6);
    created.SetPosition(2);
    created.ReadBuffer(small, 2);
    created.WriteBuffer("XY", 2); // written at the logical position, after the two bytes read
    created.SetPosition(0);
    EXPECT_EQ(ReadStreamText(created, -1), "abcdXY");
}

TEST(Files, AtomicWriteReplacesOrLeavesTheOldFile) {
    TTempFolder temp;
    const std::string name = temp / "db.cfg";
    WriteBytes(name, "old");
    WriteFileAtomic(name, "new contents");
    EXPECT_EQ(ReadBytes(name), "new contents");

    // A target that is a folder cannot be replaced: the error names the target, nothing stays.
    const std::string folder = temp / "folder";
    ASSERT_TRUE(ForceFolders(folder));
    EXPECT_THROW(WriteFileAtomic(folder, "x"), EOSError);
    // A missing parent folder: the create error names the target.
    try {
        WriteFileAtomic(temp / "missing\\db.cfg", "x");
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message().find("Cannot create file \"" + temp / "missing\\db.cfg" + "\". "),
                  0u);
    }
    EXPECT_EQ(ReadBytes(name), "new contents");
    EXPECT_EQ(FolderEntries(temp.Path()), (std::vector<std::string>{"db.cfg", "folder"}));
}

TEST(Files, TempFilesCommitTogether) {
    TTempFolder temp;
    WriteBytes(temp / "a", "old a");
    WriteBytes(temp / "b", "old b");
    const std::string tempA = WriteTempFileBeside(temp / "a", "new a");
    const std::string tempB = WriteTempFileBeside(temp / "b", "new b");
    EXPECT_NE(tempA, tempB);
    EXPECT_EQ(ReadBytes(temp / "a"), "old a");
    CommitTempFile(tempA, temp / "a");
    DiscardTempFile(tempB);
    EXPECT_EQ(ReadBytes(temp / "a"), "new a");
    EXPECT_EQ(ReadBytes(temp / "b"), "old b");
    EXPECT_FALSE(PathExists(tempA));
    EXPECT_FALSE(PathExists(tempB));
}

TEST(Exceptions, FrameworkMessages) {
    EXPECT_STREQ(EListError(5).what(), "List index out of bounds (5)");
    EXPECT_STREQ(EReadError().what(), "Stream read error");
    EXPECT_STREQ(EOSError(0).what(), "A call to an OS function failed");
    EXPECT_EQ(std::string(EOSError(2).what()), "System Error.  Code: 2.\r\n" + SysErrorMessage(2));
    VnPlatform::SetLastError(3);
    try {
        OSCheck(false);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), 3u);
    }
    EXPECT_EQ(FileCorruptedMessage("C:\\x.exe"), "File \"C:\\x.exe\" corrupted");
    const std::string saved = MsgFileCorrupted;
    MsgFileCorrupted = "%d %s %n%%"; // formats from a language file are not trusted as printf's
    EXPECT_EQ(FileCorruptedMessage("f"), "%d %s %n%%");
    MsgFileCorrupted = saved;
}

TEST(Formatting, ConversionsMustSuitTheirArguments) {
    struct TCase {
        const char* Format;
        std::vector<TVnFormatArg> Args;
    };
    const std::string uv = "uv";
    const std::pair<TCase, std::string> formatted[] = {
        {{"File \"%s\" corrupted", {"a.exe"}}, "File \"a.exe\" corrupted"},
        {{"Step %d of %i", {2, 5u}}, "Step 2 of 5"},
        {{"[%5s|%-4s|%.2s|%-3.1s]", {"ab", "c", "xyz", uv}}, "[   ab|c   |xy|u  ]"},
        {{"%03d %+i % d %x %X %#o %#x %u", {7, 8, 9, 255, 255, 8, 16, 42}},
         "007 +8  9 ff FF 010 0x10 42"},
        {{"%d %u %d", {-1, 4294967295u, INT64_MIN}}, "-1 4294967295 -9223372036854775808"},
        {{"%u %x", {-1, -1}}, "18446744073709551615 ffffffffffffffff"},
        {{"100%% %s, no %%d", {"sure"}}, "100% sure, no %d"},
        {{"no conversion", {}}, "no conversion"},
        {{"%999d|%.999s", {0, "x"}}, std::string(998, ' ') + "0|x"},
    };
    // Shown as they are: a text for a number, a number for a text, one conversion too many or
    // too few, and whatever printf could be made to misbehave with.
    const TCase raw[] = {
        {"Step %s of %d", {2, 5}},
        {"File %d", {"a.exe"}},
        {"%s and %s", {"one"}},
        {"%s", {"one", "two"}},
        {"no conversion", {"one"}},
        {"%n%s", {"a"}},
        {"%*d", {3, 4}},
        {"%.*s", {3, "abcd"}},
        {"%1$s", {"a"}},
        {"%ld %s", {1, "a"}},
        {"%p", {1}},
        {"%c", {65}},
        {"%f", {1}},
        {"%1000s", {"a"}},
        {"%.1000d", {1}},
        {"%0s", {"a"}},
        {"%#s", {"a"}},
        {"% s", {"a"}},
        {"%#d", {1}},
        {"100%", {}},
        {"%s 100%", {"a"}},
        {"%-", {"a"}},
    };
    for (const auto& [c, expected] : formatted)
        EXPECT_EQ(expected, FormatChecked(c.Format, c.Args)) << c.Format;
    for (const TCase& c : raw)
        EXPECT_EQ(c.Format, FormatChecked(c.Format, c.Args));
    EXPECT_EQ("Step 2 of 5 in C:\\", FormatText("Step %d of %d in %s", 2, 5L, std::string("C:\\")));
}

TEST(Processes, MissingProgramReportsCodeTwoAtStepOne) {
    TReportedErrors errors;
    TTempFolder temp;
    EXPECT_FALSE(RunProcess(Quote(temp / "no such program.exe"), true, 1000));
    ASSERT_EQ(errors.Texts.size(), 1u);
    EXPECT_EQ(errors.Texts[0], "Error 2 at 1: " + SysErrorMessage(2));
}

TEST(Processes, ExitCodesAndWaiting) {
    TReportedErrors errors;
    const std::string program = Quote(TestProgramPath());
    uint32_t code = 99;
    EXPECT_TRUE(RunProcess(program + " --child-exit=7", true, 60000, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(RunProcess(program + " --child-exit=0", true, 60000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(RunProcess(program + " --child-exit=3", true, 60000));
    // No waiting: true without an exit code, false when one is asked for.
    EXPECT_TRUE(RunProcess(program + " --child-exit=0", true, 0));
    EXPECT_FALSE(RunProcess(program + " --child-exit=0", true, 0, &code));
    EXPECT_TRUE(errors.Texts.empty());
}

TEST(Processes, TimeOutTerminates) {
    TReportedErrors errors;
    uint32_t code = 99;
    EXPECT_FALSE(RunProcess(Quote(TestProgramPath()) + " --child-sleep=30000", true, 200, &code));
    EXPECT_EQ(code, 99u);
    EXPECT_TRUE(errors.Texts.empty());
}

TEST(Processes, ReportOSFailurePassesOkThrough) {
    TReportedErrors errors;
    EXPECT_TRUE(ReportOSFailure(true, 9));
    VnPlatform::SetLastError(5);
    EXPECT_FALSE(ReportOSFailure(false, 4));
    ASSERT_EQ(errors.Texts.size(), 1u);
    EXPECT_EQ(errors.Texts[0], "Error 5 at 4: " + SysErrorMessage(5));
}

TEST(Exceptions, SystemTextsAreTrimmed) {
    // The texts carry no trailing full stop or line break, so messages can append their own.
    for (uint32_t code : {2u, 3u, 5u}) {
        const std::string text = SysErrorMessage(code);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '.');
        EXPECT_NE(text.back(), '\n');
    }
#ifndef _WIN32
    EXPECT_EQ(SysErrorMessage(2), "The system cannot find the file specified");
#endif
}
