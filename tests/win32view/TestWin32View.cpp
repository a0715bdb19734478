// The wizard's real windows (never shown): what they say, read back in UTF-16, and where they lie
// at other DPIs.
#include <algorithm>
#include <windows.h>

#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "VnCp1251.h"
#include "VnSysUtils.h"
#include "Win32View.h"
#include "fMain.h"

namespace {

// Windows-1251 decoded by its table, independently of the system's conversions.
std::wstring FromCp1251(const std::string& text) {
    std::wstring wide;
    for (unsigned char c : text)
        wide += static_cast<wchar_t>(VnCp1251::ToCodePoint(c));
    return wide;
}

std::wstring TextOf(HWND handle) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(handle, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> ItemsOf(HWND list) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
        items.push_back(item);
    }
    return items;
}

// A window's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND handle) {
    RECT rect;
    GetWindowRect(handle, &rect);
    MapWindowPoints(nullptr, GetParent(handle), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool ShowsOneLine(const TVnControl& control) {
    if (auto* label = dynamic_cast<const TVnLabel*>(&control))
        return !label->WordWrap();
    return dynamic_cast<const TVnButton*>(&control) || dynamic_cast<const TVnCheckBox*>(&control) ||
           dynamic_cast<const TVnRadioButton*>(&control);
}

// Real measurements; no message may open a box.
class TViewServices : public TVnWin32Services {
public:
    std::vector<std::string> Messages;
    int MessageDialog(const std::string&, const std::string& text, unsigned) override {
        Messages.push_back(text);
        return IDOK;
    }
    unsigned UserPrimaryLanguage() override { return 0x09; }
};

class Win32ViewTest : public testing::Test {
protected:
    void TearDown() override {
        View.reset();
        Application.reset();
        Scope.reset();
        SetErrorReporter(nullptr);
        MsgFileNotFound = "File \"%s\" not found";
        MsgFileCorrupted = "File \"%s\" corrupted";
        EXPECT_TRUE(Services.Messages.empty()) << Services.Messages.front();
    }
    // The form measured at measureDpi, its windows laid out at viewDpi as after a DPI change.
    void Start(int measureDpi, int viewDpi) {
        Services.SetDpi(measureDpi);
        Scope = std::make_unique<TVnUIServicesScope>(Services);
        Application = std::make_unique<TVnComponent>(nullptr);
        Form = new TfrmMain(*Application);
        Form->InitForm(DemoPackage());
        View = std::make_unique<TVnWin32View>(*Form, Services);
        RECT suggested = {10, 10, 800, 600};
        SendMessageW(View->Handle(), WM_DPICHANGED, MAKEWPARAM(viewDpi, viewDpi),
                     reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(viewDpi, Services.Dpi());
    }
    // The user's choice in the language list, as the list reports it to the form.
    void ChooseLanguage(const std::wstring& name) {
        HWND list = View->WindowOf(*Form->cobLanguage);
        const std::vector<std::wstring> items = ItemsOf(list);
        const auto found = std::find(items.begin(), items.end(), name);
        ASSERT_NE(items.end(), found);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(found - items.begin()), 0);
        SendMessageW(View->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    std::wstring Text(const TVnControl& control) { return TextOf(View->WindowOf(control)); }
    std::vector<TVnControl*> Controls() {
        std::vector<TVnControl*> controls;
        for (TVnComponent* component : Form->Components())
            if (auto* control = dynamic_cast<TVnControl*>(component);
                control && View->WindowOf(*control))
                controls.push_back(control);
        return controls;
    }
    // Every window says in UTF-16 what its control holds: the folder and the users of the
    // database in the system's code page, everything else in Windows-1251.
    void ExpectEveryText() {
        EXPECT_EQ(FromCp1251(Form->Caption()), TextOf(View->Handle()));
        for (TVnControl* control : Controls()) {
            HWND handle = View->WindowOf(*control);
            if (auto* list = dynamic_cast<TVnComboBox*>(control)) {
                std::vector<std::wstring> expected;
                for (const TVnListItem& item : list->Items())
                    expected.push_back(FromCp1251(item.Text));
                EXPECT_EQ(expected, ItemsOf(handle)) << control->Name();
            } else if (control == Form->edtFolder) {
                const std::string& folder = Form->edtFolder->Text();
                EXPECT_EQ(std::wstring(folder.begin(), folder.end()), TextOf(handle));
            } else if (ShowsOneLine(*control) || dynamic_cast<TVnLabel*>(control) ||
                       dynamic_cast<TVnEdit*>(control)) {
                EXPECT_EQ(FromCp1251(control->Caption()), TextOf(handle)) << control->Name();
            }
        }
    }

    TViewServices Services;
    std::unique_ptr<TVnUIServicesScope> Scope;
    std::unique_ptr<TVnComponent> Application;
    TfrmMain* Form = nullptr;
    std::unique_ptr<TVnWin32View> View;
};

TEST_F(Win32ViewTest, BothLanguagesReadBackAsTheirUtf16Texts) {
    Start(96, 96);
    ASSERT_NE(1251u, GetACP()) << "the system code page must differ from the language file's";
    EXPECT_EQ(L"Setup of Vantro Mail Server 3.08", TextOf(View->Handle()));
    EXPECT_EQ(L"Full install", Text(*Form->rbtFullSetup));
    EXPECT_EQ((std::vector<std::wstring>{L"English", L"Русский"}),
              ItemsOf(View->WindowOf(*Form->cobLanguage)));
    ExpectEveryText();

    ChooseLanguage(L"Русский");
    EXPECT_EQ(L"Установка Vantro Mail Server 3.08", TextOf(View->Handle()));
    EXPECT_EQ(L"Установка только консоли", Text(*Form->rbtConsoleSetup));
    EXPECT_EQ(L"Папка для размещения программы:", Text(*Form->lblFolder));
    EXPECT_EQ(L"< Назад", Text(*Form->btnBack));
    EXPECT_EQ(L"Шаг 1 из 5", Text(*Form->lblStep));
    EXPECT_EQ(L"Сменить пароль", Text(*Form->chbPassword));
    EXPECT_EQ(L"Русский", ItemsOf(View->WindowOf(*Form->cobLanguage))[SendMessageW(
                              View->WindowOf(*Form->cobLanguage), CB_GETCURSEL, 0, 0)]);
    ExpectEveryText();

    ChooseLanguage(L"English");
    EXPECT_EQ(L"Language:", Text(*Form->lblLanguage));
    ExpectEveryText();
}

TEST_F(Win32ViewTest, FolderTypedInTheWindowReachesTheModelInTheSystemCodePage) {
    Start(96, 96);
    HWND edit = View->WindowOf(*Form->edtFolder);
    const std::wstring typed = L"C:\\Programme\\Vantro Ä\\";
    SetWindowTextW(edit, typed.c_str()); // EN_CHANGE hands the text to the model
    char expected[64] = {};
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, typed.c_str(), -1, expected, 64, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(expected), Form->edtFolder->Text());
    EXPECT_EQ(typed, TextOf(edit));
}

// Design rectangles × dpi / 96 (a centred picture: its own size in the middle of its box), one
// pixel either way; a one-line caption may have a little room on the right.
void ExpectScaledPlaces(const std::vector<TVnControl*>& controls, const TVnWin32View& view,
                        int dpi) {
    const auto scale = [dpi](int value) { return MulDiv(value, dpi, 96); };
    for (TVnControl* control : controls) {
        TVnRect design = control->Bounds();
        if (auto* image = dynamic_cast<TVnImage*>(control); image && image->Center()) {
            const int left = scale(design.Left), top = scale(design.Top);
            const int width = scale(image->PictureWidth()), height = scale(image->PictureHeight());
            const RECT place = PlaceOf(view.WindowOf(*control));
            EXPECT_NEAR(left + (scale(design.Right()) - left - width) / 2, place.left, 1);
            EXPECT_NEAR(top + (scale(design.Bottom()) - top - height) / 2, place.top, 1);
            EXPECT_EQ(width, place.right - place.left);
            EXPECT_EQ(height, place.bottom - place.top);
            continue;
        }
        const RECT place = PlaceOf(view.WindowOf(*control));
        const std::string name = control->Name();
        EXPECT_NEAR(scale(design.Left), place.left, 1) << name;
        EXPECT_NEAR(scale(design.Top), place.top, 1) << name;
        EXPECT_NEAR(scale(design.Bottom()), place.bottom, 1) << name;
        const bool room = ShowsOneLine(*control) && !dynamic_cast<TVnButton*>(control);
        EXPECT_GE(place.right, scale(design.Right()) - 1) << name;
        EXPECT_LE(place.right, scale(design.Right()) + (room ? scale(8) : 1)) << name;
    }
}

// No caption is wider than its window, and no wrapped text taller.
void ExpectNothingClipped(const std::vector<TVnControl*>& controls, const TVnWin32View& view,
                          int dpi) {
    HDC dc = GetDC(nullptr);
    for (TVnControl* control : controls) {
        HWND handle = view.WindowOf(*control);
        const std::wstring text = TextOf(handle);
        auto* label = dynamic_cast<TVnLabel*>(control);
        if (text.empty() || !(label || ShowsOneLine(*control)))
            continue;
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(handle, WM_GETFONT, 0, 0)));
        RECT client;
        GetClientRect(handle, &client);
        // A check box's mark and a button's frame take room beside the caption.
        const int beside = label ? 0 : MulDiv(dynamic_cast<TVnButton*>(control) ? 6 : 16, dpi, 96);
        RECT extent = {0, 0, label && label->WordWrap() ? client.right : 0, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS |
                      (label && label->WordWrap() ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, old);
        EXPECT_LE(extent.right + beside, client.right) << control->Name() << " at " << dpi;
        EXPECT_LE(extent.bottom, client.bottom) << control->Name() << " at " << dpi;
    }
    ReleaseDC(nullptr, dc);
}

// On the folder page the bold word ends before the first word of the note that it lies on.
void ExpectBoldWordBeforeNote(TfrmMain& form, TVnWin32View& view, int dpi) {
    form.ShowPage(TfrmMain::pgFolder);
    view.Sync();
    const auto extent = [](HWND handle, const std::wstring& text) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(handle, WM_GETFONT, 0, 0)));
        SIZE size = {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return size.cx;
    };
    HWND note = view.WindowOf(*form.lblFolderInfo), word = view.WindowOf(*form.lblFolderImportant);
    const std::wstring text = TextOf(note);
    const size_t blanks = text.find_first_not_of(L' ');
    ASSERT_NE(std::wstring::npos, blanks);
    EXPECT_LT(extent(word, TextOf(word)), extent(note, text.substr(0, blanks))) << "at " << dpi;
    form.ShowPage(TfrmMain::pgLanguage);
    view.Sync();
}

TEST_F(Win32ViewTest, At144DpiEveryWindowIsItsDesignRectangleTimesOneAndAHalf) {
    Start(144, 144);
    RECT client;
    GetClientRect(View->Handle(), &client);
    EXPECT_NEAR(Form->Width() * 3 / 2, client.right, 1);
    EXPECT_NEAR(Form->Height() * 3 / 2, client.bottom, 1);
    for (const std::wstring language : {L"English", L"Русский"}) {
        ChooseLanguage(language);
        ExpectScaledPlaces(Controls(), *View, 144);
        ExpectNothingClipped(Controls(), *View, 144);
        ExpectBoldWordBeforeNote(*Form, *View, 144);
    }
}

TEST_F(Win32ViewTest, NoCaptionIsClippedAtAnyDpi) {
    for (int dpi : {96, 120, 192}) {
        Start(dpi, dpi);
        for (const std::wstring language : {L"Русский", L"English"}) {
            ChooseLanguage(language);
            ExpectScaledPlaces(Controls(), *View, dpi);
            ExpectNothingClipped(Controls(), *View, dpi);
            ExpectBoldWordBeforeNote(*Form, *View, dpi);
        }
        TearDown();
    }
}

TEST_F(Win32ViewTest, ACaptionMeasuredAtAnotherDpiKeepsItsRoomAfterTheChange) {
    Start(96, 192);
    ExpectNothingClipped(Controls(), *View, 192);
    ChooseLanguage(L"Русский"); // measured at 192 from now on
    ExpectNothingClipped(Controls(), *View, 192);
}

} // namespace
