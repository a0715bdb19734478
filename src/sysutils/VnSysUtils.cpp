#include "VnSysUtils.h"

#include "VnAccessRules.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

// ---- Formatting ---------------------------------------------------------------------------

namespace {
std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

std::string SysErrorMessage(uint32_t code) {
    std::string text = VnPlatform::ErrorText(code);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

namespace {

// One conversion of a checked format: '%', flags, width, precision (with its dot) and letter.
struct TVnConversion {
    std::string Flags, Width, Precision;
    char Letter = '\0';
};

// The characters of `set` from `at` on, at most `most` of them; false when there are more.
bool TakeSpan(const std::string& format, size_t& at, const char* set, size_t most,
              std::string& span) {
    const size_t end = std::min(format.find_first_not_of(set, at), format.size());
    span = format.substr(at, end - at);
    at = end;
    return span.size() <= most;
}

// Reads the conversion whose '%' lies just before `at`; false when it is incomplete or its
// width or precision is too long.
bool ParseConversion(const std::string& format, size_t& at, TVnConversion& conversion) {
    const size_t maxDigits = 3;
    TakeSpan(format, at, "-+ #0", std::string::npos, conversion.Flags);
    if (!TakeSpan(format, at, "0123456789", maxDigits, conversion.Width))
        return false;
    if (at < format.size() && format[at] == '.') {
        if (!TakeSpan(format, ++at, "0123456789", maxDigits, conversion.Precision))
            return false;
        conversion.Precision.insert(0, 1, '.');
    }
    if (at == format.size())
        return false;
    conversion.Letter = format[at++];
    return true;
}

bool Suits(const TVnConversion& conversion, const TVnFormatArg& arg) {
    const auto oneOf = [&](const std::string& letters) {
        return letters.find(conversion.Letter) != std::string::npos;
    };
    if (arg.IsText())
        return conversion.Letter == 's' &&
               conversion.Flags.find_first_not_of('-') == std::string::npos;
    return oneOf("diuxXo") && (conversion.Flags.find('#') == std::string::npos || oneOf("xXo"));
}

std::string Render(const TVnConversion& conversion, const TVnFormatArg& arg) {
    // The conversion up to its letter.
    const std::string head = "%" + conversion.Flags + conversion.Width + conversion.Precision;
    if (arg.IsText())
        return Format((head + 's').c_str(), arg.Text());
    const std::string integer = head + "ll" + conversion.Letter;
    if (conversion.Letter == 'd' || conversion.Letter == 'i')
        return Format(integer.c_str(), arg.Signed());
    return Format(integer.c_str(), arg.Unsigned());
}

} // namespace

std::string FormatChecked(const std::string& format, const std::vector<TVnFormatArg>& args) {
    std::string text;
    size_t next = 0;
    for (size_t at = 0; at < format.size();) {
        const size_t percent = format.find('%', at);
        text.append(format, at, percent - at);
        if (percent == std::string::npos)
            break;
        at = percent + 1;
        if (at < format.size() && format[at] == '%') {
            text += '%';
            ++at;
            continue;
        }
        TVnConversion conversion;
        if (next == args.size() || !ParseConversion(format, at, conversion) ||
            !Suits(conversion, args[next]))
            return format;
        text += Render(conversion, args[next++]);
    }
    return next == args.size() ? text : format;
}

// ---- Exceptions ---------------------------------------------------------------------------

namespace {
std::string OSErrorMessage(uint32_t code) {
    if (code == 0)
        return "A call to an OS function failed";
    return Format("System Error.  Code: %u.\r\n%s", code, SysErrorMessage(code).c_str());
}
} // namespace

EOSError::EOSError(uint32_t code) : Exception(OSErrorMessage(code)), FErrorCode(code) {}

EFOpenError::EFOpenError(const std::string& fileName, uint32_t code)
    : EStreamError(
          Format("Cannot open file \"%s\". %s", fileName.c_str(), SysErrorMessage(code).c_str())) {}

EFCreateError::EFCreateError(const std::string& fileName, uint32_t code)
    : EStreamError(
          Format("Cannot create file \"%s\". %s", fileName.c_str(), SysErrorMessage(code).c_str())),
      FErrorCode(code) {}

EListError::EListError(long index) : Exception(Format("List index out of bounds (%ld)", index)) {}

void RaiseLastOSError() {
    throw EOSError(VnPlatform::LastError());
}

void OSCheck(bool ok) {
    if (!ok)
        RaiseLastOSError();
}

// ---- Process-wide messages and the error reporter ----------------------------------------

std::string MsgFileNotFound = "File \"%s\" not found";
std::string MsgFileCorrupted = "File \"%s\" corrupted";

namespace {
TVnErrorReporter& Reporter() {
    static TVnErrorReporter reporter;
    return reporter;
}
} // namespace

std::string FileCorruptedMessage(const std::string& fileName) {
    return FormatText(MsgFileCorrupted, fileName);
}

void SetErrorReporter(TVnErrorReporter reporter) {
    Reporter() = std::move(reporter);
}

void ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    if (Reporter())
        Reporter()(text);
    else
        VnPlatform::MessageBox(ApplicationTitle(), WithFullStop(text), 16);
}

std::string& ApplicationTitle() {
    static std::string title;
    return title;
}

// ---- Operating-system services ------------------------------------------------------------

bool ReportOSFailure(bool ok, unsigned step) {
    if (!ok) {
        const uint32_t code = VnPlatform::LastError();
        ReportError("Error %u at %u: %s", code, step, SysErrorMessage(code).c_str());
    }
    return ok;
}

// Starts commandLine (window hidden or shown normally). With timeoutMs 0 it does not wait and
// answers true unless an exit code was asked for. Otherwise it waits; a process that ends in time
// answers true (and its exit code when asked); one that does not is terminated and answers false.
// Every failure is reported through ReportOSFailure with its step; nothing raises.
bool RunProcess(const std::string& commandLine, bool hidden, uint32_t timeoutMs,
                uint32_t* exitCode) {
    VnPlatform::ProcessInfo info;
    if (!ReportOSFailure(VnPlatform::CreateProcess(commandLine, hidden, info), 1))
        return false;
    struct TCloser {
        VnPlatform::ProcessInfo& Info;
        ~TCloser() { VnPlatform::CloseProcess(Info); }
    } closer{info};
    if (timeoutMs == 0)
        return exitCode == nullptr;
    const VnPlatform::WaitResult waited = VnPlatform::WaitForProcess(info, timeoutMs);
    ReportOSFailure(waited != VnPlatform::WaitResult::Failed, 2);
    if (waited == VnPlatform::WaitResult::Ended) {
        if (exitCode == nullptr)
            return true;
        return ReportOSFailure(VnPlatform::GetExitCodeProcess(info, *exitCode), 3);
    }
    ReportOSFailure(VnPlatform::TerminateProcess(info, 0), 4);
    return false;
}

bool CheckAdminRights() {
    bool member = false;
    OSCheck(VnPlatform::CheckAdministrators(member));
    return member;
}

void OpenWithShell(const std::string& target) {
    VnPlatform::ShellOpen(target);
}

// ---- Strings ------------------------------------------------------------------------------

std::string WithFullStop(const std::string& s) {
    if (s.empty() || s.back() == '.')
        return s;
    return s + '.';
}

size_t FindDelimiter(const std::string& s, const std::string& delimiters, size_t start) {
    if (start == 0)
        start = 1;
    for (size_t i = start; i <= s.size(); ++i)
        if (delimiters.find(s[i - 1]) != std::string::npos)
            return i;
    return 0;
}

void CutToken(std::string& s, const std::string& delimiters, bool skipRuns, std::string& token,
              bool remove) {
    const size_t pos = FindDelimiter(s, delimiters, 1);
    const size_t length = pos == 0 ? s.size() : pos - 1;
    token = s.substr(0, length);
    if (!remove)
        return;
    size_t cut = length;
    if (skipRuns)
        while (cut < s.size() && delimiters.find(s[cut]) != std::string::npos)
            ++cut;
    s.erase(0, cut);
}

void TokenAt(const std::string& s, size_t& pos, const std::string& delimiters, std::string& token,
             bool skipRuns) {
    if (pos == 0)
        pos = 1;
    size_t q = pos;
    while (q <= s.size() && delimiters.find(s[q - 1]) == std::string::npos)
        ++q;
    token = pos <= s.size() ? s.substr(pos - 1, q - pos) : std::string();
    if (skipRuns)
        while (q <= s.size() && delimiters.find(s[q - 1]) != std::string::npos)
            ++q;
    pos = q;
}

std::string CutQuoted(std::string& s, char quote) {
    std::string result;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                result += quote;
                i += 2;
                continue;
            }
            ++i; // the closing quote
            break;
        }
        result += s[i++];
    }
    s.erase(0, i);
    return result;
}

// The platform's integer syntax: optional leading blanks, an optional sign, then decimal digits
// or "$" / "0x" followed by hexadecimal digits; the value must fit 32 signed bits.
bool TryStrToInt(const std::string& s, long& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    unsigned base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    long long result = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        result = result * base + digit;
        if (result > 0xFFFFFFFFLL)
            return false;
    }
    if (base == 10) {
        if (negative ? result > 0x80000000LL : result > 0x7FFFFFFFLL)
            return false;
    } else if (result > 0x7FFFFFFFLL) {
        result -= 0x100000000LL; // hexadecimal wraps to the signed range
    }
    value = static_cast<long>(negative ? -result : result);
    return true;
}

long StrToInt(const std::string& s) {
    long value = 0;
    if (!TryStrToInt(s, value))
        throw EConvertError(Format("'%s' is not a valid integer value", s.c_str()));
    return value;
}

std::string IntToStr(long value) {
    return Format("%ld", value);
}

bool ParseByte(const std::string& s, uint8_t& b) {
    long value = 0;
    if (!TryStrToInt(s, value) || value < 0 || value > 255)
        return false;
    b = static_cast<uint8_t>(value);
    return true;
}

bool ParseIPv4(const std::string& s, uint32_t& value) {
    std::string rest = s;
    uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        std::string token;
        CutToken(rest, ".", true, token, true);
        uint8_t b = 0;
        if (!ParseByte(token, b))
            return false;
        result = (result << 8) | b;
    }
    if (!rest.empty())
        return false;
    value = result;
    return true;
}

std::string FormatIPv4(uint32_t value) {
    return Format("%u.%u.%u.%u", value >> 24, (value >> 16) & 0xFF, (value >> 8) & 0xFF,
                  value & 0xFF);
}

uint32_t SwapBytes32(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

size_t Base64Length(size_t n) {
    return (n + 2) / 3 * 4;
}

std::string Base64Encode(const std::string& bytes) {
    static const char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(Base64Length(bytes.size()));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = (group << 8) | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        for (size_t j = 0; j < 4; ++j)
            out += j <= n ? Alphabet[(group >> (18 - 6 * j)) & 0x3F] : '=';
    }
    return out;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string AsciiLowerCase(std::string s) {
    for (char& c : s)
        c = AsciiLower(c);
    return s;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string ReplaceAllIgnoreCase(const std::string& s, const std::string& from,
                                 const std::string& to) {
    if (from.empty())
        return s;
    const std::string lowerText = AsciiLowerCase(s);
    const std::string lowerFrom = AsciiLowerCase(from);
    std::string out;
    out.reserve(s.size());
    size_t start = 0;
    for (size_t hit; (hit = lowerText.find(lowerFrom, start)) != std::string::npos;
         start = hit + from.size()) {
        out.append(s, start, hit - start);
        out += to;
    }
    out.append(s, start, std::string::npos);
    return out;
}

// ---- Paths --------------------------------------------------------------------------------

bool IsPathDelimiter(char c) {
    return c == '\\' || c == '/';
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
    if (!path.empty() && IsPathDelimiter(path.back()))
        return path;
    return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
    if (!path.empty() && IsPathDelimiter(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

namespace {
// Position just after the last separator (or drive colon); 0 when there is none.
size_t NameStart(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsPathDelimiter(path[i - 1]) || path[i - 1] == ':')
            return i;
    return 0;
}
} // namespace

std::string ExtractFileName(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string ExtractFilePath(const std::string& path) {
    return path.substr(0, NameStart(path));
}

std::string ExtractFileDir(const std::string& path) {
    std::string dir = ExtractFilePath(path);
    if (dir.size() > 1 && IsPathDelimiter(dir.back()) && dir[dir.size() - 2] != ':')
        dir.pop_back();
    return dir;
}

std::string ExpandFileName(const std::string& path) {
    return VnPlatform::FullPathName(path);
}

bool ForceFolders(const std::string& path) {
    const std::string folder = ExcludeTrailingPathDelimiter(path);
    if (folder.empty() || VnPlatform::DirectoryExists(folder))
        return true;
    const std::string parent = ExtractFileDir(folder);
    if (!parent.empty() && parent != folder && !ForceFolders(parent))
        return false;
    return VnPlatform::CreateDirectory(folder);
}

// ---- Streams ------------------------------------------------------------------------------

int64_t TVnStream::Size() {
    const int64_t position = Position();
    const int64_t size = Seek(0, VnPlatform::SeekOrigin::End);
    SetPosition(position);
    return size;
}

void TVnStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TVnStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
}

namespace {
constexpr size_t FileReadBufferSize = 64 * 1024;
constexpr uint32_t MaxTransfer = 1u << 30;
} // namespace

TVnFileStream::TVnFileStream(const std::string& fileName, Mode mode) : FFileName(fileName) {
    if (mode == Mode::OpenRead) {
        FHandle = VnPlatform::OpenFileRead(fileName);
        if (FHandle == VnPlatform::InvalidFile)
            throw EFOpenError(fileName, VnPlatform::LastError());
    } else {
        FHandle = mode == Mode::Create ? VnPlatform::CreateFileRW(fileName)
                                       : VnPlatform::CreateNewFile(fileName);
        if (FHandle == VnPlatform::InvalidFile)
            throw EFCreateError(fileName, VnPlatform::LastError());
    }
}

TVnFileStream::~TVnFileStream() {
    VnPlatform::CloseFile(FHandle);
}

size_t TVnFileStream::Read(void* buffer, size_t count) {
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (FBufferPos == FBufferLen) {
            // A large read takes what the buffer holds and reads the rest straight into the
            // caller's memory; small ones refill the buffer.
            if (count >= FileReadBufferSize) {
                uint32_t got = 0;
                const uint32_t want =
                    static_cast<uint32_t>(std::min<size_t>(count - done, MaxTransfer));
                if (!VnPlatform::ReadFile(FHandle, out + done, want, got) || got == 0)
                    break;
                done += got;
                continue;
            }
            if (!FBuffer)
                FBuffer.reset(new char[FileReadBufferSize]);
            uint32_t got = 0;
            FBufferPos = FBufferLen = 0;
            if (!VnPlatform::ReadFile(FHandle, FBuffer.get(), FileReadBufferSize, got) || got == 0)
                break;
            FBufferLen = got;
        }
        const size_t n = std::min(count - done, FBufferLen - FBufferPos);
        std::memcpy(out + done, FBuffer.get() + FBufferPos, n);
        FBufferPos += n;
        done += n;
    }
    return done;
}

void TVnFileStream::DropReadBuffer() {
    if (FBufferPos != FBufferLen) {
        int64_t position = 0;
        VnPlatform::SeekFile(FHandle, -static_cast<int64_t>(FBufferLen - FBufferPos),
                             VnPlatform::SeekOrigin::Current, position);
    }
    FBufferPos = FBufferLen = 0;
}

size_t TVnFileStream::Write(const void* buffer, size_t count) {
    DropReadBuffer();
    const char* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        uint32_t wrote = 0;
        const uint32_t want = static_cast<uint32_t>(std::min<size_t>(count - done, MaxTransfer));
        if (!VnPlatform::WriteFile(FHandle, in + done, want, wrote) || wrote == 0)
            break;
        done += wrote;
    }
    return done;
}

int64_t TVnFileStream::Seek(int64_t offset, VnPlatform::SeekOrigin origin) {
    const int64_t unread = static_cast<int64_t>(FBufferLen - FBufferPos);
    if (origin == VnPlatform::SeekOrigin::Current) {
        int64_t handlePosition = 0;
        if (!VnPlatform::SeekFile(FHandle, 0, VnPlatform::SeekOrigin::Current, handlePosition))
            return -1;
        const int64_t logical = handlePosition - unread;
        if (offset == 0)
            return logical;
        if (offset > 0 && offset <= unread) { // a short skip forward stays in the buffer
            FBufferPos += static_cast<size_t>(offset);
            return logical + offset;
        }
        offset += logical;
        origin = VnPlatform::SeekOrigin::Begin;
    }
    FBufferPos = FBufferLen = 0;
    int64_t position = 0;
    if (!VnPlatform::SeekFile(FHandle, offset, origin, position))
        return -1;
    return position;
}

void TVnFileStream::Flush() {
    OSCheck(VnPlatform::FlushFile(FHandle));
}

size_t TVnStringStream::Read(void* buffer, size_t count) {
    const size_t n = FPosition < FData.size() ? std::min(count, FData.size() - FPosition) : 0;
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

size_t TVnStringStream::Write(const void* buffer, size_t count) {
    if (FPosition > FData.size())
        FData.resize(FPosition);
    const size_t overlap = std::min(count, FData.size() - FPosition);
    FData.replace(FPosition, overlap, static_cast<const char*>(buffer), count);
    FPosition += count;
    return count;
}

int64_t TVnStringStream::Seek(int64_t offset, VnPlatform::SeekOrigin origin) {
    int64_t base = 0;
    if (origin == VnPlatform::SeekOrigin::Current)
        base = static_cast<int64_t>(FPosition);
    else if (origin == VnPlatform::SeekOrigin::End)
        base = static_cast<int64_t>(FData.size());
    const int64_t position = base + offset;
    if (position < 0)
        return -1;
    FPosition = static_cast<size_t>(position);
    return position;
}

// ---- Files --------------------------------------------------------------------------------

std::string ReadStreamText(TVnStream& stream, int64_t count) {
    if (count < 0)
        count = std::max<int64_t>(0, stream.Size() - stream.Position());
    std::string text(static_cast<size_t>(count), '\0');
    stream.ReadBuffer(&text[0], text.size());
    return text;
}

std::string ReadFilePart(const std::string& fileName, int64_t offset, int64_t count) {
    TVnFileStream stream(fileName, TVnFileStream::Mode::OpenRead);
    stream.SetPosition(offset);
    return ReadStreamText(stream, count);
}

std::string ReadFileText(const std::string& fileName) {
    return ReadFilePart(fileName, 0, -1);
}

void CheckFileExists(const std::string& fileName) {
    if (!VnPlatform::FileExists(fileName))
        throw EVnException(FormatText(MsgFileNotFound, fileName));
}

std::string WriteTempFileBeside(const std::string& fileName, const std::string& text) {
    return WriteTempFileBeside(
        fileName, [&text](TVnStream& stream) { stream.WriteBuffer(text.data(), text.size()); });
}

std::string WriteTempFileBeside(const std::string& fileName,
                                const TVnContentsWriter& writeContents) {
    // A name that nobody can foresee, created only when it does not exist in any form: a file or
    // link that someone put in a folder they may write is never opened in its place.
    std::string tempName;
    VnPlatform::FileHandle handle = VnPlatform::InvalidFile;
    for (unsigned attempt = 0; handle == VnPlatform::InvalidFile; ++attempt) {
        uint32_t random[2] = {};
        if (!VnPlatform::RandomBytes(random, sizeof random))
            throw EFCreateError(fileName, VnPlatform::LastError());
        tempName = Format("%s.%08x%08x.tmp", fileName.c_str(), random[0], random[1]);
        handle = VnPlatform::CreateNewFile(tempName, InstallAccess().FileRules(fileName));
        const uint32_t code = VnPlatform::LastError();
        if (handle == VnPlatform::InvalidFile &&
            (attempt == 16 || (code != VnPlatform::ERROR_ALREADY_EXISTS_CODE &&
                               code != VnPlatform::ERROR_FILE_EXISTS_CODE)))
            throw EFCreateError(fileName, code);
    }
    try {
        TVnFileStream stream(handle, tempName);
        writeContents(stream);
        stream.Flush();
    } catch (...) {
        VnPlatform::DeleteFile(tempName);
        throw;
    }
    return tempName;
}

void CommitTempFile(const std::string& tempName, const std::string& fileName) {
    if (!VnPlatform::ReplaceFile(tempName, fileName)) {
        const uint32_t code = VnPlatform::LastError();
        VnPlatform::DeleteFile(tempName);
        throw EOSError(code);
    }
}

void DiscardTempFile(const std::string& tempName) {
    VnPlatform::DeleteFile(tempName);
}

void WriteFileAtomic(const std::string& fileName, const std::string& text) {
    CommitTempFile(WriteTempFileBeside(fileName, text), fileName);
}

void WriteFileAtomic(const std::string& fileName, const TVnContentsWriter& writeContents) {
    CommitTempFile(WriteTempFileBeside(fileName, writeContents), fileName);
}
