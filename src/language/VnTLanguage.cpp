#include "VnTLanguage.h"

TVnTLanguage::TVnTLanguage(TVnComponent& application, TVnComboBox& languageList,
                           const std::string& fileName, TVnLanguageLoader loader,
                           TVnLanguageNotify onChange, const std::string& language)
    : TVnVCLLanguage(TNoLoad{}, application, fileName, std::move(loader), std::move(onChange),
                     language),
      FLanguageList(languageList) {
    Load();
}

void TVnTLanguage::Apply() {
    TVnVCLLanguage::Apply();
    TVnStringTable table;
    for (std::string& text : FTexts)
        table.push_back(&text);
    LoadStrings("VnTLanguage", table);
    LoadStrings("VnDiskSpace", {&FExtractionTexts.NoSpace});
    LoadStrings("VnFilesInUse", {&FExtractionTexts.InUse, &FExtractionTexts.InUseBy});
    FillLanguageList(FLanguageList);
}
