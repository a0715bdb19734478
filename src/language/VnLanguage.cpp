#include "VnLanguage.h"

#include "VnInstallLog.h"
#include "VnSysUtils.h"

TVnLanguage::TVnLanguage(const std::string& fileName, TVnLanguageLoader loader,
                         TVnLanguageNotify onChange, const std::string& language)
    : TVnLanguage(TNoLoad{}, fileName, std::move(loader), std::move(onChange), language) {
    Load();
}

TVnLanguage::TVnLanguage(TNoLoad, const std::string& fileName, TVnLanguageLoader loader,
                         TVnLanguageNotify onChange, const std::string& language)
    : FFileName(fileName), FLanguage(language), FOnChange(std::move(onChange)),
      FLoader(std::move(loader)) {
    if (!FLoader)
        FLoader = [this] { return LoadFromFile(); };
}

TVnLanguage::~TVnLanguage() = default;

void TVnLanguage::Load() {
    FRoot = std::make_unique<TVnXMLElement>();
    try {
        FRoot->Parse(FLoader());
        Apply();
    } catch (...) {
        FRoot.reset();
        FSection = nullptr;
        throw;
    }
    FRoot.reset();
    FSection = nullptr;
    if (FOnChange)
        FOnChange(*this);
}

void TVnLanguage::SetLanguage(const std::string& code) {
    if (code == FLanguage)
        return;
    FLanguage = code;
    Load();
}

std::string TVnLanguage::LoadFromFile() const {
    CheckFileExists(FFileName);
    return ReadFileText(FFileName);
}

intptr_t TVnLanguage::CodeToData(const std::string& code) {
    const auto byte = [&](size_t i) {
        return i < code.size() ? static_cast<unsigned char>(code[i]) : 0u;
    };
    return static_cast<intptr_t>(byte(0) | (byte(1) << 8));
}

std::string TVnLanguage::DataToCode(intptr_t data) {
    return std::string{static_cast<char>(data & 0xFF), static_cast<char>((data >> 8) & 0xFF)};
}

void TVnLanguage::Apply() {
    LoadStrings("VnLanguage", {&MsgFileNotFound, &MsgFileCorrupted});
    LoadStrings("VnInstallLog", InstallLogTexts());
}

bool TVnLanguage::FindSection(const std::string& name) {
    return FRoot->FindChildByAttr("name", name, FSection);
}

void TVnLanguage::LoadStrings(const std::string& sectionName, const TVnStringTable& table) {
    if (!FindSection(sectionName))
        return;
    for (size_t i = 0; i < table.size(); ++i)
        *table[i] = ItemText(*FSection->Child(static_cast<int>(i)));
}

std::string TVnLanguage::ItemText(const TVnXMLElement& item) const {
    TVnXMLElement* translation = nullptr;
    if (item.FindChild(FLanguage, translation) || item.FindChild("en", translation))
        return translation->Text;
    return item.AttrValue("name");
}

void TVnLanguage::FillLanguageList(TVnComboBox& list) {
    list.Clear();
    if (!FindSection("Languages"))
        return;
    for (const TVnXMLElement* item : FSection->Children())
        list.Add(ItemText(*item), CodeToData(item->AttrValue("name")));
}
