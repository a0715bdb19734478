// The toolkit-neutral controls model of the wizard: a component tree (name, owner, owned
// components) and the controls that live in it (parent, bounds, visibility, enabled state,
// caption, font weight, tab order). The wizard's rules and the translation of its controls are
// written against this model; a view mirrors it into real windows and feeds user input back
// through the "user" operations (Click, Select, Type), which fire the events.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Components ---------------------------------------------------------------------------

// A named node of the ownership tree. The owner deletes its components (last first) when it is
// deleted; deleting a component removes it from its owner.
class TVnComponent {
public:
    explicit TVnComponent(TVnComponent* owner);
    virtual ~TVnComponent();
    TVnComponent(const TVnComponent&) = delete;
    TVnComponent& operator=(const TVnComponent&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }
    TVnComponent* Owner() const { return FOwner; }
    // The owned components in creation order.
    const std::vector<TVnComponent*>& Components() const { return FComponents; }
    // The owned component of that name (ASCII case ignored); nullptr when there is none.
    TVnComponent* FindComponent(const std::string& name) const;

private:
    std::string FName;
    TVnComponent* FOwner;
    std::vector<TVnComponent*> FComponents;
};

// ---- Controls -----------------------------------------------------------------------------

struct TVnRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
};

struct TVnSize {
    int Width = 0, Height = 0;
};

// Measures text in the window's font; labels size themselves with the measure in force. This
// base measures a fixed-width stand-in font; the user-interface services (VnVisUtils) are a
// measure and put themselves in force.
class TVnTextMeasure {
public:
    virtual ~TVnTextMeasure() = default;
    // The extent of a text in the window's font (bold or not). wrapWidth > 0 wraps the text at
    // word boundaries within that width; line breaks in the text always start a new line.
    virtual TVnSize TextExtent(const std::string& text, bool bold, int wrapWidth);
};

// The measure in force (the stand-in until another is put in force).
TVnTextMeasure& TextMeasure();
// Puts measure in force and answers the one it replaces.
TVnTextMeasure& SetTextMeasure(TVnTextMeasure& measure);

class TVnWinControl;
class TVnForm;

using TVnNotify = std::function<void()>;

// A visual element placed in a parent container.
class TVnControl : public TVnComponent {
public:
    explicit TVnControl(TVnComponent* owner);
    ~TVnControl() override;

    TVnWinControl* Parent() const { return FParent; }
    void SetParent(TVnWinControl* parent);
    // The form at the top of the parent chain (the control itself for a form); may be nullptr.
    TVnForm* Form();

    const TVnRect& Bounds() const { return FBounds; }
    void SetBounds(int left, int top, int width, int height);
    int Left() const { return FBounds.Left; }
    int Top() const { return FBounds.Top; }
    int Width() const { return FBounds.Width; }
    int Height() const { return FBounds.Height; }
    int Right() const { return FBounds.Right(); }
    int Bottom() const { return FBounds.Bottom(); }
    void SetLeft(int value) { SetBounds(value, FBounds.Top, FBounds.Width, FBounds.Height); }
    void SetTop(int value) { SetBounds(FBounds.Left, value, FBounds.Width, FBounds.Height); }
    void SetWidth(int value) { SetBounds(FBounds.Left, FBounds.Top, value, FBounds.Height); }
    void SetHeight(int value) { SetBounds(FBounds.Left, FBounds.Top, FBounds.Width, value); }

    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { FVisible = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    bool Bold() const { return FBold; }
    void SetBold(bool value);

    // The caption of labels and buttons, the text of edits and memos.
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);

protected:
    // Called after the caption or the font changed (labels size themselves).
    virtual void TextChanged() {}

private:
    TVnWinControl* FParent = nullptr;
    TVnRect FBounds;
    bool FVisible = true;
    bool FEnabled = true;
    bool FBold = false;
    std::string FCaption;
};

// A control that can take the focus and hold child controls.
class TVnWinControl : public TVnControl {
public:
    using TVnControl::TVnControl;
    ~TVnWinControl() override;

    // Child controls in insertion order.
    const std::vector<TVnControl*>& Controls() const { return FControls; }
    // Windowed children in tab order.
    const std::vector<TVnWinControl*>& TabList() const { return FTabList; }

    // Position in the parent's tab order; -1 without a parent.
    int TabOrder() const;
    void SetTabOrder(int order);
    // Visible and enabled together with every parent.
    bool CanFocus() const;
    // Makes this control the form's active control.
    void SetFocus();

private:
    friend class TVnControl;
    void InsertControl(TVnControl* control);
    void RemoveControl(TVnControl* control);

    std::vector<TVnControl*> FControls;
    std::vector<TVnWinControl*> FTabList;
};

// A caption that sizes itself to its text: its width and height follow the text; with WordWrap,
// the width stays and the height follows the wrapped text.
class TVnLabel : public TVnControl {
public:
    explicit TVnLabel(TVnComponent* owner);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // A link look: blue, underlined, hand cursor.
    bool Link() const { return FLink; }
    void SetLink(bool value) { FLink = value; }
    void Click();
    TVnNotify OnClick;

protected:
    void TextChanged() override;

private:
    bool FWordWrap = false;
    bool FLink = false;
};

// A push button. Click does nothing while the button is disabled or hidden.
class TVnButton : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    // The default button is pressed by Enter.
    bool Default() const { return FDefault; }
    void SetDefault(bool value) { FDefault = value; }
    void Click();
    TVnNotify OnClick;

private:
    bool FDefault = false;
};

class TVnCheckBox : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    bool Checked() const { return FChecked; }
    void SetChecked(bool value) { FChecked = value; }
    // The user's click: toggles the mark and fires OnClick (nothing while disabled or hidden).
    void Click();
    TVnNotify OnClick;

private:
    bool FChecked = false;
};

// Radio buttons of one parent form a group: checking one unchecks the others.
class TVnRadioButton : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    // The user's click: checks the button and fires OnClick.
    void Click();
    TVnNotify OnClick;

private:
    bool FChecked = false;
};

class TVnEdit : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
    // 0: no limit.
    size_t MaxLength() const { return FMaxLength; }
    void SetMaxLength(size_t value) { FMaxLength = value; }
    // 0: shown plainly.
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char value) { FPasswordChar = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    // The user's typing: replaces the text, cut to MaxLength, and fires OnChange.
    void Type(const std::string& text);
    TVnNotify OnChange;

private:
    size_t FMaxLength = 0;
    char FPasswordChar = 0;
    bool FReadOnly = false;
};

// An entry of a list with an attached value (a code, an id).
struct TVnListItem {
    std::string Text;
    intptr_t Data = 0;
};

// Comparison of list texts without regard to case (ASCII and Windows-1251 Cyrillic letters).
int CompareListText(const std::string& a, const std::string& b);

// A drop-down list. When Sorted, entries stand in CompareListText order, also after a change.
class TVnComboBox : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    const std::vector<TVnListItem>& Items() const { return FItems; }
    int Count() const { return static_cast<int>(FItems.size()); }
    void Clear();
    // Adds an entry (in sorted position when Sorted) and answers its index.
    int Add(const std::string& text, intptr_t data = 0);
    // Replaces the text of entry index, keeping its value.
    void SetItemText(int index, const std::string& text);
    // -1: no selection. An index outside the list selects nothing.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index);
    // The index of the first entry with that value; -1 when none.
    int IndexOfData(intptr_t data) const;
    void SetSorted(bool value);
    // Only choosing from the list, no typing.
    bool DropDownList() const { return FDropDownList; }
    void SetDropDownList(bool value) { FDropDownList = value; }
    // The user's choice: selects the entry and fires OnChange.
    void Select(int index);
    TVnNotify OnChange;

private:
    void Sort();

    std::vector<TVnListItem> FItems;
    int FItemIndex = -1;
    bool FSorted = false;
    bool FDropDownList = false;
};

// A list box; the form description uses one as the placeholder of the agreement memo.
class TVnListBox : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
};

// A framed or ruled shape without contents.
class TVnBevel : public TVnControl {
public:
    enum class TShape { Frame, TopLine };
    using TVnControl::TVnControl;
    TShape Shape() const { return FShape; }
    void SetShape(TShape shape) { FShape = shape; }

private:
    TShape FShape = TShape::Frame;
};

// A plain filled rectangle.
class TVnShape : public TVnControl {
public:
    using TVnControl::TVnControl;
    uint32_t Color() const { return FColor; } // 0x00BBGGRR
    void SetColor(uint32_t color) { FColor = color; }

private:
    uint32_t FColor = 0xFFFFFF;
};

// A picture: the bytes of a bitmap file, optionally centred in the control's box.
class TVnImage : public TVnControl {
public:
    using TVnControl::TVnControl;
    const std::string& Picture() const { return FPicture; }
    // Raises EVnException when the bytes are not a bitmap file.
    void SetPicture(const std::string& bitmapFile);
    bool Center() const { return FCenter; }
    void SetCenter(bool value) { FCenter = value; }
    int PictureWidth() const { return FPictureWidth; }
    int PictureHeight() const { return FPictureHeight; }

private:
    std::string FPicture;
    int FPictureWidth = 0, FPictureHeight = 0;
    bool FCenter = false;
};

// A bar that shows how far a long action has come.
class TVnProgressBar : public TVnControl {
public:
    using TVnControl::TVnControl;
    int Max() const { return FMax; }
    void SetMax(int value) { FMax = value; }
    int Position() const { return FPosition; }
    void SetPosition(int value) { FPosition = value; }

private:
    int FMax = 100;
    int FPosition = 0;
};

// A page of a notebook.
class TVnPage : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
};

// A stack of pages of which one is visible.
class TVnNotebook : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    // A new page owned by the notebook's owner, placed to fill the notebook.
    TVnPage* AddPage(const std::string& name);
    const std::vector<TVnPage*>& Pages() const { return FPages; }
    int PageIndex() const { return FPageIndex; }
    void SetPageIndex(int index);

private:
    std::vector<TVnPage*> FPages;
    int FPageIndex = -1;
};

// The top-level window. Its caption is the window title; its bounds are the client area.
class TVnForm : public TVnWinControl {
public:
    using TVnWinControl::TVnWinControl;
    TVnWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TVnWinControl* control) { FActiveControl = control; }
    // The system menu's Close item (and the close box).
    bool CloseEnabled() const { return FCloseEnabled; }
    void SetCloseEnabled(bool value) { FCloseEnabled = value; }
    bool Closed() const { return FClosed; }
    // Closes the window: marks it closed and fires OnClose once.
    void Close();
    // A key pressed anywhere in the window, seen by the form before its controls.
    void KeyDown(int key);
    std::function<void(int key)> OnKeyDown;
    TVnNotify OnClose;

private:
    TVnWinControl* FActiveControl = nullptr;
    bool FCloseEnabled = true;
    bool FClosed = false;
};

constexpr int VK_ESCAPE_KEY = 27;
