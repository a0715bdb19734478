// Translation of forms: sets the captions, list entries and texts of every form's controls from
// the form's section of the language file, matching controls by their component names.
#pragma once

#include "VnLanguage.h"
#include "VnVisUtils.h"

class TVnVCLLanguage : public TVnLanguage {
public:
    // application owns the forms to translate; it must outlive the language object.
    TVnVCLLanguage(TVnComponent& application, const std::string& fileName, TVnLanguageLoader loader,
                   TVnLanguageNotify onChange, const std::string& language);

protected:
    TVnVCLLanguage(TNoLoad, TVnComponent& application, const std::string& fileName,
                   TVnLanguageLoader loader, TVnLanguageNotify onChange,
                   const std::string& language);

    // The message formats, then TranslateForms.
    void Apply() override;
    // Finds section Common, then translates every form owned by the application, in order.
    virtual void TranslateForms();
    // The form's caption from its item "Caption", then every component the form owns.
    void TranslateForm(TVnForm& form);
    // The caption from the item of the current section, else from Common; else unchanged.
    void SetCaptionFrom(TVnControl& control, const std::string& itemName);
    // The text of the item with that name in the current section.
    bool LookupText(const std::string& itemName, std::string& text) const;
    // Entries of the list from the children of the item: a list with entries keeps its length,
    // an empty list takes them all.
    void TranslateItems(const std::string& itemName, TVnComboBox& list);

private:
    TVnComponent& FApplication;
    TVnXMLElement* FCommon = nullptr;
};
