// The controls model and the user-interface helpers.
#include <gtest/gtest.h>

#include "VnCp1251.h"
#include "VnSysUtils.h"
#include "VnVisUtils.h"

namespace {

template <class T> T* Make(TVnForm& form, TVnWinControl* parent, const std::string& name) {
    T* control = new T(&form);
    control->SetName(name);
    control->SetParent(parent);
    return control;
}

TEST(Controls, OwnerDeletesItsComponentsAndFindsThemByName) {
    auto* form = new TVnForm(nullptr);
    auto* label = Make<TVnLabel>(*form, form, "lblOne");
    EXPECT_EQ(label, form->FindComponent("LBLONE"));
    delete label;
    EXPECT_EQ(nullptr, form->FindComponent("lblOne"));
    EXPECT_TRUE(form->Controls().empty());
    Make<TVnEdit>(*form, form, "edtTwo")->SetFocus();
    delete form; // deletes the edit, which is the active control
}

TEST(Controls, ShowingFocusAndTabOrder) {
    TVnForm form(nullptr);
    auto* book = Make<TVnNotebook>(form, &form, "ntb");
    TVnPage* first = book->AddPage("one");
    TVnPage* second = book->AddPage("two");
    book->SetPageIndex(1);
    auto* a = Make<TVnEdit>(form, first, "a");
    auto* b = Make<TVnButton>(form, second, "b");
    auto* c = Make<TVnCheckBox>(form, second, "c");
    EXPECT_FALSE(IsShowing(*a));
    EXPECT_TRUE(IsShowing(*b));
    EXPECT_FALSE(a->CanFocus());
    EXPECT_EQ(b, FirstFocusable(*second));
    c->SetTabOrder(0);
    EXPECT_EQ(c, FirstFocusable(*second));
    c->SetEnabled(false);
    EXPECT_EQ(b, FirstFocusable(*second));
    EXPECT_EQ(b, FirstFocusable(form)); // descends through notebook and page
    TVnPage* empty = book->AddPage("three");
    EXPECT_EQ(nullptr, FirstFocusable(*empty));
}

TEST(Controls, RadioButtonsOfOneParentExcludeEachOther) {
    TVnForm form(nullptr);
    auto* x = Make<TVnRadioButton>(form, &form, "x");
    auto* y = Make<TVnRadioButton>(form, &form, "y");
    int clicks = 0;
    y->OnClick = [&] { ++clicks; };
    x->SetChecked(true);
    y->Click();
    EXPECT_FALSE(x->Checked());
    EXPECT_TRUE(y->Checked());
    y->SetEnabled(false);
    y->Click();
    EXPECT_EQ(1, clicks);
}

TEST(Controls, SortedListKeepsItsSelectionAndValues) {
    TVnForm form(nullptr);
    auto* list = Make<TVnComboBox>(form, &form, "cob");
    list->Add("beta", 2);
    list->Add(VN_CP1251("яблоко"), 3);
    list->Add("Alpha", 1);
    list->SetItemIndex(1);
    list->SetSorted(true);
    EXPECT_EQ("Alpha", list->Items()[0].Text);
    EXPECT_EQ(VN_CP1251("яблоко"), list->Items()[2].Text);
    EXPECT_EQ(3, list->Items()[list->ItemIndex()].Data);
    EXPECT_EQ(2, list->Add("Beta", 4)); // equal texts: after the first
    EXPECT_EQ(2, list->IndexOfData(4));
    EXPECT_EQ(0, CompareListText(VN_CP1251("ЯБЛОКО"), VN_CP1251("яблоко")));
    list->SetItemIndex(7);
    EXPECT_EQ(-1, list->ItemIndex());
}

TEST(Controls, EditTypingIsCutToItsLimit) {
    TVnForm form(nullptr);
    auto* edit = Make<TVnEdit>(form, &form, "edt");
    edit->SetMaxLength(4);
    edit->Type("abcdef");
    EXPECT_EQ("abcd", edit->Text());
    edit->SetReadOnly(true);
    edit->Type("x");
    EXPECT_EQ("abcd", edit->Text());
}

TEST(Controls, BitmapsAreCheckedWhenSet) {
    TVnForm form(nullptr);
    auto* image = Make<TVnImage>(form, &form, "img");
    EXPECT_THROW(image->SetPicture("not a bitmap"), EVnException);
    std::string bmp(62, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = 3, bmp[22] = static_cast<char>(0xFE);
    bmp[23] = bmp[24] = bmp[25] = static_cast<char>(0xFF); // height -2: top-down
    image->SetPicture(bmp);
    EXPECT_EQ(3, image->PictureWidth());
    EXPECT_EQ(2, image->PictureHeight());
}

TEST(VisUtils, FitCheckWidthFollowsTheCaptionAndRecurses) {
    TVnForm form(nullptr);
    auto* box = Make<TVnCheckBox>(form, &form, "chb");
    auto* button = Make<TVnButton>(form, &form, "btn");
    box->SetBounds(0, 0, 10, 17);
    button->SetBounds(0, 0, 10, 23);
    box->SetCaption("short");
    FitCheckWidth(form);
    const int first = box->Width();
    EXPECT_EQ(UIServices().TextExtent("short", false, 0).Width + 19, first); // 17 * 1.12
    box->SetCaption("a good deal longer");
    FitCheckWidth(*box);
    EXPECT_EQ(first + UIServices().TextExtent("a good deal longer", false, 0).Width -
                  UIServices().TextExtent("short", false, 0).Width,
              box->Width());
    EXPECT_EQ(10, button->Width());
}

TEST(VisUtils, LabelsSizeToTheirText) {
    TVnForm form(nullptr);
    auto* label = Make<TVnLabel>(form, &form, "lbl");
    label->SetCaption("one line");
    const TVnSize one = UIServices().TextExtent("one line", false, 0);
    EXPECT_EQ(one.Width, label->Width());
    label->SetBold(true);
    EXPECT_GT(label->Width(), one.Width);
    label->SetBold(false);
    label->SetWidth(one.Width);
    label->SetWordWrap(true);
    label->SetCaption("one line one line");
    EXPECT_EQ(one.Width, label->Width());
    EXPECT_EQ(2 * one.Height, label->Height());
    label->SetCaption("a\r\n\r\nb");
    EXPECT_EQ(3 * one.Height, label->Height());
}

TEST(VisUtils, LabelsMeasureWithTheServicesInForce) {
    struct TWideServices : TVnUIServices {
        TVnSize TextExtent(const std::string& text, bool, int) override {
            return {static_cast<int>(text.size()) * 10, 20};
        }
    } wide;
    TVnForm form(nullptr);
    auto* label = Make<TVnLabel>(form, &form, "lbl");
    {
        TVnUIServicesScope scope(wide);
        label->SetCaption("abc");
        EXPECT_EQ(30, label->Width());
        EXPECT_EQ(20, label->Height());
    }
    label->SetCaption("abcd");
    EXPECT_EQ(TextMeasure().TextExtent("abcd", false, 0).Width, label->Width());
    EXPECT_NE(40, label->Width());
}

TEST(VisUtils, MemoTakesThePlaceAndNameOfItsPlaceholder) {
    TVnForm form(nullptr);
    auto* first = Make<TVnEdit>(form, &form, "first");
    auto* placeholder = Make<TVnListBox>(form, &form, "memText");
    Make<TVnEdit>(form, &form, "last");
    placeholder->SetBounds(1, 2, 3, 4);
    placeholder->SetCaption("items");
    auto* memo = new TVnMemo(placeholder, true);
    EXPECT_EQ(memo, form.FindComponent("memText"));
    EXPECT_EQ(1, memo->TabOrder());
    EXPECT_EQ(first, form.TabList()[0]);
    EXPECT_EQ(4, memo->Height());
    EXPECT_EQ("", memo->Text());
    EXPECT_EQ(3u, form.Controls().size());
    // Base style with automatic horizontal scrolling and a horizontal bar: both go with wrap.
    EXPECT_EQ(0x50200004u, memo->WindowStyle(0x50100080u));
    memo->KeyPress(VK_ESCAPE_KEY);
    EXPECT_TRUE(form.Closed());
}

} // namespace
