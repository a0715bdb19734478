#include "VnControls.h"

#include <algorithm>

#include "VnCp1251.h"
#include "VnSysUtils.h"

// ---- Text measure --------------------------------------------------------------------------

namespace {

// The stand-in font: every character of a regular text is 6 pixels wide, of a bold one 7; a
// line is 13 pixels high.
constexpr int CharWidth = 6, BoldCharWidth = 7, LineHeight = 13;

int StandInWidth(const std::string& text, bool bold) {
    return static_cast<int>(text.size()) * (bold ? BoldCharWidth : CharWidth);
}

// The lines of text: a new line at every line break and, when wrapWidth > 0, wherever the next
// word would not fit.
std::vector<std::string> WrapText(const std::string& text, int wrapWidth, bool bold) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? end : end - start);
        if (!paragraph.empty() && paragraph.back() == '\r')
            paragraph.pop_back();
        if (wrapWidth <= 0) {
            lines.push_back(paragraph);
        } else {
            std::string line;
            size_t pos = 0;
            do {
                const size_t next = std::min(paragraph.find(' ', pos), paragraph.size());
                const std::string word = paragraph.substr(pos, next - pos);
                if (!line.empty() && StandInWidth(line + " " + word, bold) > wrapWidth) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = line.empty() ? word : line + " " + word;
                }
                pos = next + 1;
            } while (pos < paragraph.size());
            lines.push_back(line);
        }
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

TVnTextMeasure StandInMeasure;
TVnTextMeasure* CurrentMeasure = &StandInMeasure;

} // namespace

TVnSize TVnTextMeasure::TextExtent(const std::string& text, bool bold, int wrapWidth) {
    TVnSize size;
    const std::vector<std::string> lines = WrapText(text, wrapWidth, bold);
    for (const std::string& line : lines)
        size.Width = std::max(size.Width, StandInWidth(line, bold));
    size.Height = static_cast<int>(lines.size()) * LineHeight;
    return size;
}

TVnTextMeasure& TextMeasure() {
    return *CurrentMeasure;
}

TVnTextMeasure& SetTextMeasure(TVnTextMeasure& measure) {
    TVnTextMeasure& previous = *CurrentMeasure;
    CurrentMeasure = &measure;
    return previous;
}

// ---- TVnComponent -------------------------------------------------------------------------

TVnComponent::TVnComponent(TVnComponent* owner) : FOwner(owner) {
    if (FOwner)
        FOwner->FComponents.push_back(this);
}

TVnComponent::~TVnComponent() {
    while (!FComponents.empty())
        delete FComponents.back(); // unlinks itself
    if (FOwner) {
        auto& list = FOwner->FComponents;
        list.erase(std::find(list.begin(), list.end(), this));
    }
}

TVnComponent* TVnComponent::FindComponent(const std::string& name) const {
    for (TVnComponent* component : FComponents)
        if (SameTextAscii(component->Name(), name))
            return component;
    return nullptr;
}

// ---- TVnControl ---------------------------------------------------------------------------

TVnControl::TVnControl(TVnComponent* owner) : TVnComponent(owner) {}

TVnControl::~TVnControl() {
    SetParent(nullptr);
}

void TVnControl::SetParent(TVnWinControl* parent) {
    if (parent == FParent)
        return;
    if (FParent)
        FParent->RemoveControl(this);
    FParent = parent;
    if (FParent)
        FParent->InsertControl(this);
}

TVnForm* TVnControl::Form() {
    TVnControl* control = this;
    while (control->FParent)
        control = control->FParent;
    return dynamic_cast<TVnForm*>(control);
}

void TVnControl::SetBounds(int left, int top, int width, int height) {
    FBounds = TVnRect{left, top, width, height};
}

void TVnControl::SetBold(bool value) {
    FBold = value;
    TextChanged();
}

void TVnControl::SetCaption(const std::string& caption) {
    FCaption = caption;
    TextChanged();
}

// ---- TVnWinControl ------------------------------------------------------------------------

TVnWinControl::~TVnWinControl() {
    while (!FControls.empty())
        FControls.back()->SetParent(nullptr);
    if (TVnForm* form = Form(); form && form->ActiveControl() == this)
        form->SetActiveControl(nullptr);
}

void TVnWinControl::InsertControl(TVnControl* control) {
    FControls.push_back(control);
    if (auto* winControl = dynamic_cast<TVnWinControl*>(control))
        FTabList.push_back(winControl);
}

void TVnWinControl::RemoveControl(TVnControl* control) {
    FControls.erase(std::find(FControls.begin(), FControls.end(), control));
    auto it = std::find(FTabList.begin(), FTabList.end(), control);
    if (it != FTabList.end())
        FTabList.erase(it);
}

int TVnWinControl::TabOrder() const {
    if (!Parent())
        return -1;
    const auto& list = Parent()->FTabList;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TVnWinControl::SetTabOrder(int order) {
    if (!Parent())
        return;
    auto& list = Parent()->FTabList;
    list.erase(std::find(list.begin(), list.end(), this));
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

bool TVnWinControl::CanFocus() const {
    for (const TVnControl* control = this; control; control = control->Parent())
        if (!control->Visible() || !control->Enabled())
            return false;
    return true;
}

void TVnWinControl::SetFocus() {
    if (TVnForm* form = Form())
        form->SetActiveControl(this);
}

// ---- TVnLabel -----------------------------------------------------------------------------

TVnLabel::TVnLabel(TVnComponent* owner) : TVnControl(owner) {}

void TVnLabel::SetWordWrap(bool value) {
    FWordWrap = value;
    TextChanged();
}

void TVnLabel::TextChanged() {
    if (FWordWrap) {
        SetHeight(TextMeasure().TextExtent(Caption(), Bold(), Width()).Height);
    } else {
        const TVnSize size = TextMeasure().TextExtent(Caption(), Bold(), 0);
        SetBounds(Left(), Top(), size.Width, size.Height);
    }
}

void TVnLabel::Click() {
    if (OnClick && Enabled())
        OnClick();
}

// ---- Buttons ------------------------------------------------------------------------------

void TVnButton::Click() {
    if (OnClick && CanFocus())
        OnClick();
}

void TVnCheckBox::Click() {
    if (!CanFocus())
        return;
    FChecked = !FChecked;
    if (OnClick)
        OnClick();
}

void TVnRadioButton::SetChecked(bool value) {
    FChecked = value;
    if (!value || !Parent())
        return;
    for (TVnControl* sibling : Parent()->Controls())
        if (auto* radio = dynamic_cast<TVnRadioButton*>(sibling); radio && radio != this)
            radio->FChecked = false;
}

void TVnRadioButton::Click() {
    if (!CanFocus())
        return;
    SetChecked(true);
    if (OnClick)
        OnClick();
}

// ---- TVnEdit ------------------------------------------------------------------------------

void TVnEdit::Type(const std::string& text) {
    if (!CanFocus() || FReadOnly)
        return;
    SetText(FMaxLength && text.size() > FMaxLength ? text.substr(0, FMaxLength) : text);
    if (OnChange)
        OnChange();
}

// ---- TVnComboBox --------------------------------------------------------------------------

int CompareListText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = VnCp1251::UpperCase(static_cast<unsigned char>(a[i]));
        const unsigned char y = VnCp1251::UpperCase(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void TVnComboBox::Clear() {
    FItems.clear();
    FItemIndex = -1;
}

int TVnComboBox::Add(const std::string& text, intptr_t data) {
    auto position = FItems.end();
    if (FSorted)
        position = std::upper_bound(FItems.begin(), FItems.end(), text,
                                    [](const std::string& t, const TVnListItem& item) {
                                        return CompareListText(t, item.Text) < 0;
                                    });
    const int index = static_cast<int>(position - FItems.begin());
    FItems.insert(position, TVnListItem{text, data});
    if (FItemIndex >= index)
        ++FItemIndex;
    return index;
}

void TVnComboBox::SetItemText(int index, const std::string& text) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    FItems[index].Text = text;
    if (FSorted)
        Sort();
}

void TVnComboBox::SetItemIndex(int index) {
    FItemIndex = index >= 0 && index < Count() ? index : -1;
}

int TVnComboBox::IndexOfData(intptr_t data) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[i].Data == data)
            return i;
    return -1;
}

void TVnComboBox::SetSorted(bool value) {
    FSorted = value;
    if (FSorted)
        Sort();
}

void TVnComboBox::Sort() {
    const TVnListItem* selected = FItemIndex >= 0 ? &FItems[FItemIndex] : nullptr;
    std::vector<const TVnListItem*> order;
    for (const TVnListItem& item : FItems)
        order.push_back(&item);
    std::stable_sort(order.begin(), order.end(), [](const TVnListItem* x, const TVnListItem* y) {
        return CompareListText(x->Text, y->Text) < 0;
    });
    std::vector<TVnListItem> sorted;
    int newIndex = -1;
    for (const TVnListItem* item : order) {
        if (item == selected)
            newIndex = static_cast<int>(sorted.size());
        sorted.push_back(*item);
    }
    FItems = std::move(sorted);
    FItemIndex = newIndex;
}

void TVnComboBox::Select(int index) {
    if (!CanFocus())
        return;
    SetItemIndex(index);
    if (OnChange)
        OnChange();
}

// ---- TVnImage -----------------------------------------------------------------------------

namespace {
int32_t ReadInt32(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return static_cast<int32_t>(value);
}
} // namespace

void TVnImage::SetPicture(const std::string& bitmapFile) {
    // BITMAPFILEHEADER (14 bytes) then BITMAPINFOHEADER: size, width, height.
    const bool valid = bitmapFile.size() >= 26 && bitmapFile.compare(0, 2, "BM") == 0 &&
                       ReadInt32(bitmapFile, 14) >= 40 && ReadInt32(bitmapFile, 18) > 0 &&
                       ReadInt32(bitmapFile, 22) != 0;
    if (!valid)
        throw EVnException("Bitmap image is not valid");
    FPicture = bitmapFile;
    FPictureWidth = ReadInt32(bitmapFile, 18);
    FPictureHeight = std::abs(ReadInt32(bitmapFile, 22));
}

// ---- TVnNotebook --------------------------------------------------------------------------

TVnPage* TVnNotebook::AddPage(const std::string& name) {
    auto* page = new TVnPage(Owner());
    page->SetName(name);
    page->SetParent(this);
    page->SetBounds(0, 0, Width(), Height());
    page->SetVisible(false);
    FPages.push_back(page);
    return page;
}

void TVnNotebook::SetPageIndex(int index) {
    if (index < 0 || index >= static_cast<int>(FPages.size()))
        throw EListError(index);
    FPageIndex = index;
    for (size_t i = 0; i < FPages.size(); ++i)
        FPages[i]->SetVisible(static_cast<int>(i) == index);
}

// ---- TVnForm ------------------------------------------------------------------------------

void TVnForm::Close() {
    if (FClosed)
        return;
    FClosed = true;
    if (OnClose)
        OnClose();
}

void TVnForm::KeyDown(int key) {
    if (OnKeyDown)
        OnKeyDown(key);
}
