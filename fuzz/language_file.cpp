// Arbitrary bytes as the language file of the wizard: the parse and a full load in both
// languages, applied to the wizard's own form and its language list. A damaged file must end in
// an exception; a file that loads must leave the form usable, and every text that the setup
// uses as a format must format safely with the arguments the setup gives it, and with others.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "VnInstallLog.h"
#include "VnTLanguage.h"
#include "fMain.h"

namespace {

// The process-wide formats that a load replaces, put back after each input.
class TSavedFormats {
public:
    TSavedFormats() {
        for (std::string* text : Formats())
            FSaved.push_back(*text);
    }
    ~TSavedFormats() {
        const std::vector<std::string*> formats = Formats();
        for (size_t i = 0; i < formats.size(); ++i)
            *formats[i] = FSaved[i];
    }
    static std::vector<std::string*> Formats() {
        std::vector<std::string*> formats = InstallLogTexts();
        formats.push_back(&MsgFileNotFound);
        formats.push_back(&MsgFileCorrupted);
        return formats;
    }

private:
    std::vector<std::string> FSaved;
};

// The argument lists of the setup's own calls (texts, two step numbers) and a mixed one.
void FormatWithSamples(const std::string& format) {
    const std::string path = "C:\\Program Files\\VantroMS\\";
    FormatText(format);
    FormatText(format, path);
    FormatText(format, path, path);
    FormatText(format, path, "12", "34567");
    FormatText(format, 2, 5);
    FormatText(format, -1, path, 4294967295u, static_cast<long long>(INT64_MIN));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    {
        TVnXMLElement root;
        try {
            root.Parse(file);
        } catch (const Exception&) {
        }
    }
    const TSavedFormats saved;
    TVnComponent application(nullptr);
    auto* form = new TfrmMain(application);
    try {
        TVnTLanguage language(
            application, *form->cobLanguage, "", [&file] { return file; }, nullptr, "en");
        language.SetLanguage("ru");
        for (int text = 0; text < stCount; ++text)
            FormatWithSamples(language.Text(static_cast<TVnSetupText>(text)));
        for (const std::string* format : TSavedFormats::Formats())
            FormatWithSamples(*format);
        FileCorruptedMessage(file);
        FreeSpaceQuery() = [](const std::string&, uint64_t& bytes) {
            bytes = 1024;
            return true;
        };
        CheckFreeSpace("C:\\", 1 << 20, language.ExtractionTexts());
    } catch (const Exception&) {
    }
    return 0;
}
