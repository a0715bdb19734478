#include <gtest/gtest.h>

#include "VnCp1251.h"
#include "VnTLanguage.h"
#include "VnTestSupport.h"

namespace {

// A language file in the compact form: sections of items of translations, no line breaks.
std::string Item(const std::string& name, const std::string& en, const std::string& ru) {
    std::string s = name.empty() ? "<>" : "< name=\"" + name + "\">";
    if (!en.empty())
        s += "<en>" + en + "</en>";
    if (!ru.empty())
        s += "<ru>" + ru + "</ru>";
    return s + "</>";
}
std::string Section(const std::string& name, const std::string& items) {
    return "< name=\"" + name + "\">" + items + "</>";
}
std::string File(const std::string& sections) {
    return "<>" + sections + "</>";
}

const std::string Languages =
    Section("Languages", Item("en", "English", "") + Item("ru", VN_CP1251("Русский"), ""));
const std::string SetupTexts = Section(
    "VnTLanguage",
    Item("", "Setup of %s", VN_CP1251("Установка %s")) + Item("", "Step %d of %d", "") +
        Item("", "Next &gt;", "") + Item("", "Install", "") + Item("", "Finish", "") +
        Item("", "Field \"%s\" contains incorrect value.", "") + Item("", "Start the console", ""));

// Restores the process-wide message formats after each test.
class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override {
        MsgFileNotFound = "File \"%s\" not found";
        MsgFileCorrupted = "File \"%s\" corrupted";
    }
};

// A form with one control of each translated kind, owned by an application component.
struct TTestForm {
    TVnComponent application{nullptr};
    TVnForm* form = new TVnForm(&application);
    TVnLabel* label = Make<TVnLabel>("lblName", "designed");
    TVnCheckBox* check = Make<TVnCheckBox>("chbBox", "box");
    TVnButton* button = Make<TVnButton>("btnGo", "go");
    TVnComboBox* list = Make<TVnComboBox>("cobList", "");
    TVnComboBox* languages = Make<TVnComboBox>("cobLanguage", "");
    TVnEdit* edit = Make<TVnEdit>("edtName", "typed");
    TVnMemo* memo;

    TTestForm() {
        form->SetName("frmTest");
        check->SetHeight(17);
        auto* placeholder = Make<TVnListBox>("memText", "");
        memo = new TVnMemo(placeholder, true);
    }
    template <class T> T* Make(const std::string& name, const std::string& caption) {
        T* control = new T(form);
        control->SetName(name);
        control->SetParent(form);
        control->SetCaption(caption);
        return control;
    }
};

std::unique_ptr<TVnTLanguage> MakeLanguage(TTestForm& f, const std::string& file,
                                           const std::string& code, int* changes = nullptr) {
    return std::make_unique<TVnTLanguage>(
        f.application, *f.languages, "", [file] { return file; },
        [changes](TVnLanguage&) {
            if (changes)
                ++*changes;
        },
        code);
}

TEST_F(LanguageTest, ItemTextFallsBackToEnglishThenToTheName) {
    TTestForm f;
    const std::string file =
        File(Section("frmTest", Item("lblName", "Name:", "") + Item("chbBox", "", "") +
                                    Item("btnGo", "Go", VN_CP1251("Вперёд"))) +
             SetupTexts);
    auto language = MakeLanguage(f, file, "ru");
    EXPECT_EQ("Name:", f.label->Caption());
    EXPECT_EQ("chbBox", f.check->Caption()); // no translation at all: the item's name
    EXPECT_EQ(VN_CP1251("Вперёд"), f.button->Caption());
    EXPECT_EQ(VN_CP1251("Установка %s"), language->Text(stTitle));
    EXPECT_EQ("Next >", language->Text(stNext)); // unescaped, English fallback
    EXPECT_EQ("typed", f.edit->Text());          // edits are not translated
}

TEST_F(LanguageTest, TagsAreComparedExactlyAndUnnamedItemsFallBackToEmpty) {
    TTestForm f;
    const std::string compact = File(
        Section("VnTLanguage", "<><EN>upper</EN></><><fr>x</fr></><><en>3</en></>"
                               "<><en>4</en></><><en>5</en></><><en>6</en></><><en>7</en></>"));
    auto language = MakeLanguage(f, compact, "en");
    EXPECT_EQ("", language->Text(stTitle));
    EXPECT_EQ("", language->Text(stStep));
    EXPECT_EQ("3", language->Text(stNext));
    EXPECT_EQ("7", language->Text(stStartConsole));
}

TEST_F(LanguageTest, MessageFormatsComeFromTheFileOrStayBuiltIn) {
    TTestForm f;
    auto language = MakeLanguage(f, File(SetupTexts), "ru");
    EXPECT_EQ("File \"%s\" not found", MsgFileNotFound);
    language.reset();
    const std::string file =
        File(Section("VnLanguage",
                     Item("", "File \"%s\" not found", VN_CP1251("Файл \"%s\" не найден")) +
                         Item("", "File \"%s\" corrupted", VN_CP1251("Файл \"%s\" повреждён"))) +
             SetupTexts);
    language = MakeLanguage(f, file, "ru");
    EXPECT_EQ(VN_CP1251("Файл \"%s\" не найден"), MsgFileNotFound);
    EXPECT_EQ(VN_CP1251("Файл \"%s\" повреждён"), MsgFileCorrupted);
}

TEST_F(LanguageTest, ShortStringTableRaisesAfterFillingTheEntriesBeforeTheGap) {
    TTestForm f;
    const std::string file = File(Section("VnTLanguage", Item("", "T", "") + Item("", "S", "")));
    try {
        MakeLanguage(f, file, "en");
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_STREQ("List index out of bounds (2)", e.what());
    }
}

TEST_F(LanguageTest, SetLanguageReloadsOnlyForANewCode) {
    TTestForm f;
    int changes = 0;
    const std::string file =
        File(Section("frmTest", Item("lblName", "Name:", VN_CP1251("Имя:"))) + SetupTexts);
    auto language = MakeLanguage(f, file, "en", &changes);
    EXPECT_EQ(1, changes);
    f.label->SetCaption("changed");
    language->SetLanguage("en");
    EXPECT_EQ(1, changes);
    EXPECT_EQ("changed", f.label->Caption());
    language->SetLanguage("ru");
    EXPECT_EQ(2, changes);
    EXPECT_EQ(VN_CP1251("Имя:"), f.label->Caption());
    language->SetLanguage("en");
    EXPECT_EQ("Name:", f.label->Caption());
    EXPECT_EQ("en", language->Language());
}

TEST_F(LanguageTest, FailedLoadSkipsOnChangeAndKeepsTheNewCode) {
    TTestForm f;
    int changes = 0;
    bool broken = false;
    const std::string good = File(SetupTexts);
    TVnTLanguage language(
        f.application, *f.languages, "", [&] { return broken ? std::string("<><") : good; },
        [&](TVnLanguage&) { ++changes; }, "en");
    broken = true;
    EXPECT_THROW(language.SetLanguage("ru"), EVnException);
    EXPECT_EQ(1, changes);
    EXPECT_EQ("ru", language.Language());
}

TEST_F(LanguageTest, DefaultLoaderReportsAMissingFileInTheCurrentLanguage) {
    TTempFolder folder;
    TTestForm f;
    WriteBytes(folder / "t.lng",
               File(Section("VnLanguage", Item("", "Missing %s", "") + Item("", "Bad %s", "")) +
                    SetupTexts));
    TVnTLanguage language(f.application, *f.languages, folder / "t.lng", nullptr, nullptr, "en");
    EXPECT_EQ("Missing %s", MsgFileNotFound);
    try {
        TVnLanguage gone(folder / "none.lng", nullptr, nullptr, "en");
        FAIL() << "no exception";
    } catch (const EVnException& e) {
        EXPECT_EQ("Missing " + (folder / "none.lng"), e.what());
    }
}

TEST_F(LanguageTest, LanguageListKeepsFileOrderAndCodes) {
    TTestForm f;
    f.languages->SetSorted(true);
    auto language = MakeLanguage(f, File(SetupTexts + Languages), "ru");
    ASSERT_EQ(2, f.languages->Count());
    EXPECT_EQ("English", f.languages->Items()[0].Text);
    EXPECT_EQ("en", TVnLanguage::DataToCode(f.languages->Items()[0].Data));
    EXPECT_EQ(VN_CP1251("Русский"), f.languages->Items()[1].Text);
    EXPECT_EQ("ru", TVnLanguage::DataToCode(f.languages->Items()[1].Data));
    EXPECT_EQ(0x7572, TVnLanguage::CodeToData("ru"));
}

TEST_F(LanguageTest, CommonSectionServesCaptionsOnly) {
    TTestForm f;
    const std::string file = File(SetupTexts + Section("Common", Item("lblName", "Common", "") +
                                                                     Item("memText", "memo", "")));
    auto language = MakeLanguage(f, file, "en");
    EXPECT_EQ("designed", f.label->Caption()); // no section for the form: nothing changes
    const std::string withForm =
        File(SetupTexts + Section("frmTest", Item("btnGo", "Go", "")) +
             Section("Common", Item("lblName", "Common", "") + Item("memText", "memo", "")));
    language = MakeLanguage(f, withForm, "en");
    EXPECT_EQ("Common", f.label->Caption());
    EXPECT_EQ("Go", f.button->Caption());
    EXPECT_EQ("", f.memo->Text()); // memo texts come from the form's section only
}

TEST_F(LanguageTest, FormCaptionMemoTextAndOtherFormsUntouched) {
    TTestForm f;
    auto* other = new TVnForm(&f.application);
    other->SetName("frmOther");
    auto* otherLabel = new TVnLabel(other);
    otherLabel->SetName("lblName");
    otherLabel->SetCaption("other");
    const std::string file =
        File(SetupTexts + Section("FRMTEST", Item("Caption", "Window", "") +
                                                 Item("memText", "line 1\r\nline 2", "")));
    auto language = MakeLanguage(f, file, "en");
    EXPECT_EQ("Window", f.form->Caption());
    EXPECT_EQ("line 1\r\nline 2", f.memo->Text());
    EXPECT_EQ("other", otherLabel->Caption());
    EXPECT_EQ("typed", f.edit->Text());
}

TEST_F(LanguageTest, CheckBoxesAreFittedToTheirCaptions) {
    TTestForm f;
    const int extra = (17 * 112 + 50) / 100;
    auto language =
        MakeLanguage(f, File(SetupTexts + Section("frmTest", Item("btnGo", "Go", ""))), "en");
    const int plain = UIServices().TextExtent("box", false, 0).Width;
    EXPECT_EQ(plain + extra, f.check->Width()); // item missing: still fitted
    language = MakeLanguage(
        f, File(SetupTexts + Section("frmTest", Item("chbBox", "a longer box", ""))), "en");
    const int longer = UIServices().TextExtent("a longer box", false, 0).Width;
    EXPECT_EQ(longer + extra, f.check->Width());
    EXPECT_GT(longer, plain);
}

TEST_F(LanguageTest, TranslatedListKeepsItsLengthAndSelection) {
    TTestForm f;
    for (const char* text : {"a", "b", "c"})
        f.list->Add(text);
    f.list->SetItemIndex(1);
    const std::string five =
        Section("frmTest", "< name=\"cobList\">" + Item("", "1", "") + Item("", "2", "") +
                               Item("", "3", "") + Item("", "4", "") + Item("", "5", "") + "</>");
    auto language = MakeLanguage(f, File(SetupTexts + five), "en");
    ASSERT_EQ(3, f.list->Count());
    EXPECT_EQ("1", f.list->Items()[0].Text);
    EXPECT_EQ("3", f.list->Items()[2].Text);
    EXPECT_EQ(1, f.list->ItemIndex());
    f.list->Clear();
    language = MakeLanguage(f, File(SetupTexts + five), "en");
    EXPECT_EQ(5, f.list->Count());
    EXPECT_EQ(-1, f.list->ItemIndex());
}

} // namespace
