// The language object of the wizard: the translation of its forms, its own text table and the
// list of languages on the welcome page.
#pragma once

#include <array>

#include "VnExtraction.h"
#include "VnVCLLanguage.h"

// The wizard's own texts, in the order of section VnTLanguage.
enum TVnSetupText {
    stTitle,        // title format, filled with the product name and version
    stStep,         // step label format: current, total
    stNext,         // Next caption on pages 0, 1 and 3
    stInstall,      // Next caption on page 2
    stFinish,       // Next caption on page 4
    stFieldError,   // field validation message format
    stStartConsole, // caption of the server-start box after a console-only installation
    stCount
};

class TVnTLanguage : public TVnVCLLanguage {
public:
    // languageList receives the languages on every load; both it and application must outlive
    // the language object.
    TVnTLanguage(TVnComponent& application, TVnComboBox& languageList, const std::string& fileName,
                 TVnLanguageLoader loader, TVnLanguageNotify onChange, const std::string& language);

    // Empty until the first load.
    const std::string& Text(TVnSetupText index) const { return FTexts[index]; }
    // The refusals of the extraction's preflight: sections VnDiskSpace (free space) and
    // VnFilesInUse (a file in use, without and with the programs that hold it), English when the
    // file has none.
    const TVnExtractionTexts& ExtractionTexts() const { return FExtractionTexts; }

protected:
    // Forms, then the text table (7 entries), then the language list.
    void Apply() override;

private:
    TVnComboBox& FLanguageList;
    std::array<std::string, stCount> FTexts;
    TVnExtractionTexts FExtractionTexts;
};
