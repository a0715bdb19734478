#include "VnVCLLanguage.h"

TVnVCLLanguage::TVnVCLLanguage(TVnComponent& application, const std::string& fileName,
                               TVnLanguageLoader loader, TVnLanguageNotify onChange,
                               const std::string& language)
    : TVnVCLLanguage(TNoLoad{}, application, fileName, std::move(loader), std::move(onChange),
                     language) {
    Load();
}

TVnVCLLanguage::TVnVCLLanguage(TNoLoad, TVnComponent& application, const std::string& fileName,
                               TVnLanguageLoader loader, TVnLanguageNotify onChange,
                               const std::string& language)
    : TVnLanguage(TNoLoad{}, fileName, std::move(loader), std::move(onChange), language),
      FApplication(application) {}

void TVnVCLLanguage::Apply() {
    TVnLanguage::Apply();
    TranslateForms();
}

void TVnVCLLanguage::TranslateForms() {
    FCommon = FindSection("Common") ? Section() : nullptr;
    for (TVnComponent* component : FApplication.Components())
        if (auto* form = dynamic_cast<TVnForm*>(component))
            TranslateForm(*form);
    FCommon = nullptr;
}

void TVnVCLLanguage::TranslateForm(TVnForm& form) {
    if (!FindSection(form.Name()))
        return;
    TVnXMLElement* formSection = Section();
    SetCaptionFrom(form, "Caption");
    for (TVnComponent* component : form.Components()) {
        SetSection(formSection);
        if (dynamic_cast<TVnLabel*>(component) || dynamic_cast<TVnButton*>(component) ||
            dynamic_cast<TVnCheckBox*>(component) || dynamic_cast<TVnRadioButton*>(component)) {
            auto& control = static_cast<TVnControl&>(*component);
            SetCaptionFrom(control, control.Name());
            if (!dynamic_cast<TVnButton*>(component) && !dynamic_cast<TVnLabel*>(component))
                FitCheckWidth(control);
        } else if (auto* list = dynamic_cast<TVnComboBox*>(component)) {
            const int selected = list->ItemIndex();
            TranslateItems(list->Name(), *list);
            list->SetItemIndex(selected);
        } else if (auto* memo = dynamic_cast<TVnMemo*>(component)) {
            std::string text;
            if (LookupText(memo->Name(), text))
                memo->SetText(text);
        }
    }
}

void TVnVCLLanguage::SetCaptionFrom(TVnControl& control, const std::string& itemName) {
    std::string text;
    if (LookupText(itemName, text)) {
        control.SetCaption(text);
        return;
    }
    if (!FCommon)
        return;
    TVnXMLElement* previous = Section();
    SetSection(FCommon);
    if (LookupText(itemName, text))
        control.SetCaption(text);
    SetSection(previous);
}

bool TVnVCLLanguage::LookupText(const std::string& itemName, std::string& text) const {
    TVnXMLElement* item = nullptr;
    if (!Section() || !Section()->FindChildByAttr("name", itemName, item))
        return false;
    text = ItemText(*item);
    return true;
}

void TVnVCLLanguage::TranslateItems(const std::string& itemName, TVnComboBox& list) {
    TVnXMLElement* item = nullptr;
    if (!Section() || !Section()->FindChildByAttr("name", itemName, item))
        return;
    const bool wasEmpty = list.Count() == 0;
    for (int i = 0; i < item->ChildCount(); ++i) {
        if (i < list.Count())
            list.SetItemText(i, ItemText(*item->Child(i)));
        else if (wasEmpty)
            list.Add(ItemText(*item->Child(i)));
    }
}
