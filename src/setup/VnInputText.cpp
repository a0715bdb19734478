#include "VnInputText.h"

#include "VnCp1251.h"
#include "VnExitCodes.h"
#include "VnSysUtils.h"

namespace {

[[noreturn]] void Refuse(const std::string& fileName, const char* reason) {
    throw EVnSetupExit(VnExitCode::BadSwitch, Format("File \"%s\" %s", fileName.c_str(), reason));
}

bool StartsWithBytes(const std::string& bytes, const char* mark, size_t length) {
    return bytes.compare(0, length, mark, length) == 0;
}

// One character of UTF-8 at `at`, which moves past it; false for a malformed or overlong form.
bool NextUtf8(const std::string& bytes, size_t& at, char32_t& cp) {
    const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead < 0x80    ? 1
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC2 ? 2
                                         : 0;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size())
        return false;
    cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    at += length;
    return cp >= smallest[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

TVnInputText DecodeUtf8(const std::string& bytes, const std::string& fileName) {
    TVnInputText text;
    for (size_t at = 3; at < bytes.size();) {
        char32_t cp = 0;
        if (!NextUtf8(bytes, at, cp))
            Refuse(fileName, "is not valid UTF-8");
        text += cp;
    }
    return text;
}

TVnInputText DecodeUtf16(const std::string& bytes, bool bigEndian, const std::string& fileName) {
    if (bytes.size() % 2 != 0)
        Refuse(fileName, "is not valid UTF-16");
    const auto unit = [&](size_t i) -> char32_t {
        const unsigned char a = static_cast<unsigned char>(bytes[i]);
        const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    TVnInputText text;
    for (size_t at = 2; at < bytes.size(); at += 2) {
        char32_t cp = unit(at);
        if (cp >= 0xD800 && cp <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
            unit(at + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            Refuse(fileName, "is not valid UTF-16");
        }
        text += cp;
    }
    return text;
}

} // namespace

TVnInputText DecodeInputText(const std::string& bytes, const std::string& fileName) {
    TVnInputText text;
    if (StartsWithBytes(bytes, "\xEF\xBB\xBF", 3))
        text = DecodeUtf8(bytes, fileName);
    else if (StartsWithBytes(bytes, "\xFF\xFE", 2) || StartsWithBytes(bytes, "\xFE\xFF", 2))
        text = DecodeUtf16(bytes, bytes[0] == '\xFE', fileName);
    else
        for (const char byte : bytes)
            text += VnCp1251::ToCodePoint(static_cast<unsigned char>(byte));
    if (text.find(U'\0') != TVnInputText::npos)
        Refuse(fileName, "holds a NUL character: it is no text file");
    return text;
}

bool ToModelText(const TVnInputText& text, std::string& model) {
    model.clear();
    for (const char32_t cp : text) {
        unsigned char byte = 0;
        if (!VnCp1251::FromCodePoint(cp, byte))
            return false;
        model += static_cast<char>(byte);
    }
    return true;
}

std::string ReadInputFile(const std::string& fileName, size_t limit, bool& complete) {
    try {
        TVnFileStream stream(fileName, TVnFileStream::Mode::OpenRead);
        std::string bytes(limit + 1, '\0');
        bytes.resize(stream.Read(&bytes[0], bytes.size()));
        complete = bytes.size() <= limit;
        bytes.resize(std::min(bytes.size(), limit));
        return bytes;
    } catch (const std::exception&) {
        Refuse(fileName, "cannot be read");
    }
}
