#include "VnInstallRecord.h"

#include <algorithm>

#include "VnSysUtils.h"
#include "VnUnpack.h"

const char* const InstallRecordName = "VNT_Install.rec";

namespace {

const char* const Header = "VNT-INSTALL-RECORD 1";
const char* const LineEnd = "\r\n";

// A path of checked names below the folder: nothing absolute, no "." or "..", no drive.
bool IsRecordedPath(const std::string& path) {
    if (path.empty())
        return false;
    for (size_t begin = 0; begin <= path.size();) {
        const size_t end = std::min(path.find(PathDelim, begin), path.size());
        if (!IsSafeEntryName(path.substr(begin, end - begin)))
            return false;
        begin = end + 1;
    }
    return true;
}

bool IsDigestText(const std::string& text) {
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// "<digest> <size> <path>"
template <class TDamaged>
TVnRecordedFile ParseFileLine(const std::string& value, TDamaged damaged) {
    const size_t blank = value.find(' ', 33);
    if (value.size() < 33 || value[32] != ' ' || blank == std::string::npos)
        throw damaged();
    const std::string digest = value.substr(0, 32), size = value.substr(33, blank - 33);
    const std::string path = value.substr(blank + 1);
    if (!IsDigestText(digest) || size.empty() || size.size() > 19 ||
        size.find_first_not_of("0123456789") != std::string::npos || !IsRecordedPath(path))
        throw damaged();
    return {path, std::stoull(size), digest};
}

} // namespace

std::string DigestText(const TVnDigest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string BytesDigestText(const std::string& bytes) {
    TVnDigestContext context;
    DigestInit(context);
    DigestUpdate(context, bytes.data(), bytes.size());
    TVnDigest digest;
    DigestFinal(context, digest);
    return DigestText(digest);
}

void TVnInstallRecord::AddFolder(const std::string& path) {
    if (FFolderIndex.emplace(AsciiLowerCase(path), Folders.size()).second)
        Folders.push_back(path);
}

void TVnInstallRecord::AddFile(const TVnRecordedFile& file) {
    const auto [found, added] = FFileIndex.emplace(AsciiLowerCase(file.Path), Files.size());
    if (added)
        Files.push_back(file);
    else
        Files[found->second] = file;
}

std::string TVnInstallRecord::Text() const {
    std::string text = std::string(Header) + LineEnd;
    text += "Language=" + Language + LineEnd;
    text += std::string("Type=") + (ConsoleOnly ? "console" : "full") + LineEnd;
    for (const std::string& folder : Folders)
        text += "Folder=" + folder + LineEnd;
    for (const TVnRecordedFile& file : Files)
        text += "File=" + file.Digest + " " + std::to_string(file.Size) + " " + file.Path + LineEnd;
    return text + "Digest=" + BytesDigestText(text) + LineEnd;
}

TVnInstallRecord ParseInstallRecord(const std::string& text, const std::string& fileName) {
    const auto damaged = [&]() {
        return EVnException(Format("Installation record \"%s\" is damaged", fileName.c_str()));
    };
    const size_t last = text.rfind("Digest=");
    if (last == std::string::npos || (last > 0 && text[last - 1] != '\n') ||
        text.compare(last, std::string::npos,
                     "Digest=" + BytesDigestText(text.substr(0, last)) + LineEnd) != 0)
        throw damaged();
    TVnInstallRecord record;
    bool header = false, type = false, language = false;
    for (size_t begin = 0; begin < last;) {
        const size_t end = text.find(LineEnd, begin);
        const std::string line = text.substr(begin, end - begin);
        begin = end + 2;
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (!header) {
            header = line == Header;
            if (!header)
                throw damaged();
        } else if (key == "Language" && !language) {
            record.Language = value;
            language = true;
        } else if (key == "Type" && !type && (value == "full" || value == "console")) {
            record.ConsoleOnly = value == "console";
            type = true;
        } else if (key == "Folder" && IsRecordedPath(value)) {
            record.AddFolder(value);
        } else if (key == "File") {
            record.AddFile(ParseFileLine(value, damaged));
        } else {
            throw damaged();
        }
    }
    if (!header || !type || !language)
        throw damaged();
    return record;
}

bool ReadInstallRecord(const std::string& folder, TVnInstallRecord& record) {
    const std::string fileName = folder + InstallRecordName;
    if (!VnPlatform::FileExists(fileName))
        return false;
    record = ParseInstallRecord(ReadFileText(fileName), fileName);
    return true;
}
