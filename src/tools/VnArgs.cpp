#include "VnCommands.h"

#include "VnPlatform.h"

#include <algorithm>

#include "VnSysUtils.h"

namespace {
bool Contains(const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}
} // namespace

TVnArgs::TVnArgs(const std::vector<std::string>& words,
                 const std::vector<std::string>& valueOptions,
                 const std::vector<std::string>& flagOptions) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!StartsWith(word, "--") || word.size() == 2) {
            FPositional.push_back(word);
        } else if (Contains(flagOptions, word)) {
            FOptions[word] = "";
        } else if (Contains(valueOptions, word)) {
            if (i + 1 >= words.size())
                throw EVnException(Format("Option %s needs a value", word.c_str()));
            FOptions[word] = words[++i];
        } else {
            throw EVnException(Format("Unknown option %s", word.c_str()));
        }
    }
}

void TVnArgs::ExpectPositional(size_t count, const std::string& usage) const {
    if (FPositional.size() != count)
        throw EVnException("usage: vntsetup " + usage);
}

bool TVnArgs::Has(const std::string& option) const {
    return FOptions.count(option) != 0;
}

std::string TVnArgs::Value(const std::string& option, const std::string& fallback) const {
    auto it = FOptions.find(option);
    return it == FOptions.end() ? fallback : it->second;
}

std::string TVnArgs::Required(const std::string& option) const {
    auto it = FOptions.find(option);
    if (it == FOptions.end())
        throw EVnException(Format("Option %s is required", option.c_str()));
    return it->second;
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        const bool lineBreak = c == '\r' || c == '\n';
        if (!lineBreak)
            line += c;
        else if (line.empty() || line.back() != ' ')
            line += ' ';
    }
    return line;
}

std::string Shown(const std::string& text) {
    return VnPlatform::NativeSeparators(OneLine(text));
}
