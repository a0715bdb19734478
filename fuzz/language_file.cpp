// Arbitrary bytes as the language file of the wizard: the parse and a full load in both
// languages, applied to the wizard's own form and its language list. A damaged file must end in
// an exception; a file that loads must leave the form usable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "VnTLanguage.h"
#include "fMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    {
        TVnXMLElement root;
        try {
            root.Parse(file);
        } catch (const Exception&) {
        }
    }
    TVnComponent application(nullptr);
    auto* form = new TfrmMain(application);
    try {
        TVnTLanguage language(
            application, *form->cobLanguage, "", [&file] { return file; }, nullptr, "en");
        language.SetLanguage("ru");
        language.Text(stTitle);
        language.NoSpaceMessage();
    } catch (const Exception&) {
    }
    return 0;
}
