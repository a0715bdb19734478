// Exceptions, the error reporter, processes, and the string, path, number, Base64, stream and
// file helpers that every module leans on. All text is 8-bit: Windows ANSI bytes.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "VnPlatform.h"

#if defined(__GNUC__)
#define VN_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VN_PRINTF(fmt, args)
#endif

// ---- Formatting ---------------------------------------------------------------------------

std::string Format(const char* format, ...) VN_PRINTF(1, 2);

// One argument of FormatText: a text (referred to, not copied), or an integer of any type.
class TVnFormatArg {
public:
    TVnFormatArg(const char* text) : FIsText(true), FText(text ? text : "") {}
    TVnFormatArg(const std::string& text) : FIsText(true), FText(text.c_str()) {}
    template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    TVnFormatArg(T value)
        : FSigned(static_cast<long long>(value)),
          FUnsigned(static_cast<unsigned long long>(value)) {}

    bool IsText() const { return FIsText; }
    const char* Text() const { return FText; }
    long long Signed() const { return FSigned; }
    unsigned long long Unsigned() const { return FUnsigned; }

private:
    bool FIsText = false;
    const char* FText = "";
    long long FSigned = 0;
    unsigned long long FUnsigned = 0;
};

// A format that the program does not own (a text of the language file) filled with typed
// arguments. Each conversion must suit its argument: %s a text, %d %i %u %x %X %o an integer;
// flags, a width and a precision of up to three digits are allowed where printf defines them,
// and %% is a percent sign. When a conversion does not suit its argument, or there are more or
// fewer conversions than arguments, the format comes back as it is.
std::string FormatChecked(const std::string& format, const std::vector<TVnFormatArg>& args);
template <class... TArgs> std::string FormatText(const std::string& format, const TArgs&... args) {
    return FormatChecked(format, {TVnFormatArg(args)...});
}

// The system's text for an error code without trailing blanks, line breaks and full stops.
std::string SysErrorMessage(uint32_t code);

// ---- Exceptions ---------------------------------------------------------------------------

// Base of every exception the program raises; carries one message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }

private:
    std::string FMessage;
};

// The silent abort: ends an event handler without a message.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// A failed operating-system call: "System Error.  Code: %d.\r\n%s".
class EOSError : public Exception {
public:
    explicit EOSError(uint32_t code);
    uint32_t ErrorCode() const { return FErrorCode; }

private:
    uint32_t FErrorCode;
};

class EStreamError : public Exception {
    using Exception::Exception;
};
class EFOpenError : public EStreamError { // "Cannot open file \"%s\". %s"
public:
    EFOpenError(const std::string& fileName, uint32_t code);
};
class EFCreateError : public EStreamError { // "Cannot create file \"%s\". %s"
public:
    EFCreateError(const std::string& fileName, uint32_t code);
    uint32_t ErrorCode() const { return FErrorCode; }

private:
    uint32_t FErrorCode;
};
class EReadError : public EStreamError { // "Stream read error"
public:
    EReadError() : EStreamError("Stream read error") {}
};
class EWriteError : public EStreamError { // "Stream write error"
public:
    EWriteError() : EStreamError("Stream write error") {}
};
class EListError : public Exception { // "List index out of bounds (%d)"
public:
    explicit EListError(long index);
};
class EConvertError : public Exception { // "'%s' is not a valid integer value"
    using Exception::Exception;
};

// The system's own exceptions; never silent.
class EVnBaseException : public Exception {
    using Exception::Exception;
};
class EVnException : public EVnBaseException {
    using EVnBaseException::EVnBaseException;
};
class EVnAbort : public EVnException {
    using EVnException::EVnException;
};

// The platform's last-error exception: "A call to an OS function failed" for code 0.
[[noreturn]] void RaiseLastOSError();
void OSCheck(bool ok);

// ---- Process-wide messages and the error reporter ----------------------------------------

// Message formats in the current language (replaced by every load of the language file).
extern std::string MsgFileNotFound;  // "File \"%s\" not found"
extern std::string MsgFileCorrupted; // "File \"%s\" corrupted"
// MsgFileCorrupted filled with a file name.
std::string FileCorruptedMessage(const std::string& fileName);

// The error reporter receives the finished text. The default one shows it in a message box with
// the application title and the error icon (on POSIX: standard error).
using TVnErrorReporter = std::function<void(const std::string& text)>;
void SetErrorReporter(TVnErrorReporter reporter);
void ReportError(const char* format, ...) VN_PRINTF(1, 2);

// The application title: caption of every message box.
std::string& ApplicationTitle();

// ---- Operating-system services ------------------------------------------------------------

// Shows "Error %u at %u: %s" through the reporter when ok is false; returns ok.
bool ReportOSFailure(bool ok, unsigned step);
// Starts a command line; waits up to timeoutMs (0: no wait). See the contract in the source.
bool RunProcess(const std::string& commandLine, bool hidden, uint32_t timeoutMs,
                uint32_t* exitCode = nullptr);
bool CheckAdminRights();
void OpenWithShell(const std::string& target);

// ---- Strings ------------------------------------------------------------------------------

template <class T> const T& Choose(bool flag, const T& a, const T& b) {
    return flag ? a : b;
}
std::string WithFullStop(const std::string& s);
// Positions count from 1; 0 means none.
size_t FindDelimiter(const std::string& s, const std::string& delimiters, size_t start);
void CutToken(std::string& s, const std::string& delimiters, bool skipRuns, std::string& token,
              bool remove);
void TokenAt(const std::string& s, size_t& pos, const std::string& delimiters, std::string& token,
             bool skipRuns);
std::string CutQuoted(std::string& s, char quote);
bool TryStrToInt(const std::string& s, long& value);
long StrToInt(const std::string& s); // raises EConvertError
std::string IntToStr(long value);
bool ParseByte(const std::string& s, uint8_t& b);
bool ParseIPv4(const std::string& s, uint32_t& value);
std::string FormatIPv4(uint32_t value);
uint32_t SwapBytes32(uint32_t value);
size_t Base64Length(size_t n);
std::string Base64Encode(const std::string& bytes);
char AsciiLower(char c);
std::string AsciiLowerCase(std::string s);
bool SameTextAscii(const std::string& a, const std::string& b);
bool StartsWith(const std::string& s, const std::string& prefix);
bool EndsWith(const std::string& s, const std::string& suffix);
// Every occurrence of `from`, compared without regard to ASCII case, replaced by `to`.
std::string ReplaceAllIgnoreCase(const std::string& s, const std::string& from,
                                 const std::string& to);

// ---- Paths --------------------------------------------------------------------------------

constexpr char PathDelim = '\\';
bool IsPathDelimiter(char c);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
std::string ExtractFileName(const std::string& path); // after the last separator
std::string ExtractFilePath(const std::string& path); // up to and with the last separator
std::string ExtractFileDir(const std::string& path);  // ExtractFilePath without the separator
std::string ExpandFileName(const std::string& path);
bool ForceFolders(const std::string& path);

// ---- Streams ------------------------------------------------------------------------------

class TVnStream {
public:
    virtual ~TVnStream() = default;
    // Transfer up to count bytes; answer how many moved.
    virtual size_t Read(void* buffer, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual int64_t Seek(int64_t offset, VnPlatform::SeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, VnPlatform::SeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, VnPlatform::SeekOrigin::Begin); }
    int64_t Size();
    void ReadBuffer(void* buffer, size_t count);        // short read: EReadError
    void WriteBuffer(const void* buffer, size_t count); // short write: EWriteError
};

// A file stream over a platform handle. Reads go through an internal buffer, so small reads do
// not cost one system call each; writes go straight to the file.
class TVnFileStream : public TVnStream {
public:
    // Create truncates an existing file; CreateNew fails when the name exists.
    enum class Mode { OpenRead, Create, CreateNew };
    TVnFileStream(const std::string& fileName, Mode mode); // EFOpenError / EFCreateError
    // Takes over a file the caller has opened; fileName names it in messages.
    TVnFileStream(VnPlatform::FileHandle handle, std::string fileName)
        : FFileName(std::move(fileName)), FHandle(handle) {}
    ~TVnFileStream() override;
    TVnFileStream(const TVnFileStream&) = delete;
    TVnFileStream& operator=(const TVnFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, VnPlatform::SeekOrigin origin) override;
    void Flush(); // FlushFileBuffers; raises EOSError
    const std::string& FileName() const { return FFileName; }

private:
    void DropReadBuffer();

    std::string FFileName;
    VnPlatform::FileHandle FHandle;
    std::unique_ptr<char[]> FBuffer;
    size_t FBufferPos = 0, FBufferLen = 0; // unread bytes are [FBufferPos, FBufferLen)
};

// An in-memory stream over a string.
class TVnStringStream : public TVnStream {
public:
    TVnStringStream() = default;
    explicit TVnStringStream(std::string data) : FData(std::move(data)) {}
    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, VnPlatform::SeekOrigin origin) override;
    const std::string& DataString() const { return FData; }

private:
    std::string FData;
    size_t FPosition = 0;
};

// ---- Files --------------------------------------------------------------------------------

// count bytes from the current position (-1: to the end); a short read raises EReadError.
std::string ReadStreamText(TVnStream& stream, int64_t count);
std::string ReadFilePart(const std::string& fileName, int64_t offset, int64_t count);
std::string ReadFileText(const std::string& fileName);
void CheckFileExists(const std::string& fileName); // EVnException with MsgFileNotFound

// Writes a whole file safely: the text goes to a temporary file beside the target, every write
// is checked, the file is flushed and closed, and only then moved over the target. On failure
// the target is unchanged and the temporary file is gone. Raises EFCreateError / EWriteError /
// EOSError.
void WriteFileAtomic(const std::string& fileName, const std::string& text);
// Writes the contents through the stream, so that a large file need not be built in memory first.
using TVnContentsWriter = std::function<void(TVnStream& stream)>;
void WriteFileAtomic(const std::string& fileName, const TVnContentsWriter& writeContents);

// A temporary file beside `fileName` that holds `text` (or what the writer wrote), ready to be
// moved into place with CommitTempFile; removed again by DiscardTempFile. The two-step form of
// WriteFileAtomic for callers that must complete several files before replacing any.
std::string WriteTempFileBeside(const std::string& fileName, const std::string& text);
std::string WriteTempFileBeside(const std::string& fileName,
                                const TVnContentsWriter& writeContents);
void CommitTempFile(const std::string& tempName, const std::string& fileName);
void DiscardTempFile(const std::string& tempName);
