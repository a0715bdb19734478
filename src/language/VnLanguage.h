// The language file: every text of the wizard in every language, in the element syntax of the
// XML module. TVnLanguage reads and parses it on every load, hands its texts out through the
// virtual Apply while the tree exists, and frees the tree again; nothing is looked up later.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VnControls.h"
#include "VnXML.h"

class TVnLanguage;

// Returns the whole language file as one string.
using TVnLanguageLoader = std::function<std::string()>;
// Called with the language object after every successful load.
using TVnLanguageNotify = std::function<void(TVnLanguage&)>;
// An ordered table of string variables filled from a string-table section.
using TVnStringTable = std::vector<std::string*>;

class TVnLanguage {
public:
    // Stores the settings (without a loader, LoadFromFile reads fileName) and loads the file.
    TVnLanguage(const std::string& fileName, TVnLanguageLoader loader, TVnLanguageNotify onChange,
                const std::string& language);
    virtual ~TVnLanguage();
    TVnLanguage(const TVnLanguage&) = delete;
    TVnLanguage& operator=(const TVnLanguage&) = delete;

    // Reads, parses and applies the file; then OnChange.
    void Load();
    // A different code (exact comparison) is stored and loaded; the current one does nothing.
    void SetLanguage(const std::string& code);
    const std::string& Language() const { return FLanguage; }
    const std::string& FileName() const { return FFileName; }
    // The default loader: the whole file FileName; EVnException MsgFileNotFound when missing.
    std::string LoadFromFile() const;

    // Codes travel with list entries as 16-bit values: first character in the low byte.
    static intptr_t CodeToData(const std::string& code);
    static std::string DataToCode(intptr_t data);

protected:
    // Tag for descendants whose own constructor runs the first load.
    struct TNoLoad {};
    TVnLanguage(TNoLoad, const std::string& fileName, TVnLanguageLoader loader,
                TVnLanguageNotify onChange, const std::string& language);

    // Pushes the texts of the loaded file into tables and controls. Base: section VnLanguage
    // into the message formats MsgFileNotFound and MsgFileCorrupted.
    virtual void Apply();

    // The lookups below are valid only inside Apply.

    // The section of that name (case ignored) becomes Section; false when there is none.
    bool FindSection(const std::string& name);
    // Entry i := text of child i of the section, for every entry of the table; a missing
    // section leaves the table unchanged, too few items raise the list-index error.
    void LoadStrings(const std::string& sectionName, const TVnStringTable& table);
    // The item's text in the current language, else in English, else its name attribute.
    std::string ItemText(const TVnXMLElement& item) const;
    // Display texts with attached codes from section Languages, in file order.
    void FillLanguageList(TVnComboBox& list);

    TVnXMLElement* Root() const { return FRoot.get(); }
    TVnXMLElement* Section() const { return FSection; }
    void SetSection(TVnXMLElement* section) { FSection = section; }

private:
    std::string FFileName;
    std::string FLanguage;
    TVnLanguageNotify FOnChange;
    TVnLanguageLoader FLoader;
    std::unique_ptr<TVnXMLElement> FRoot;
    TVnXMLElement* FSection = nullptr;
};
