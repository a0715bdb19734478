#include "Win32View.h"

#include <algorithm>
#include <windows.h>

#include <commctrl.h>

#include "VnSetupMain.h"
#include "VnSysUtils.h"
#include "fMain.h"

namespace {

const char* const FormClass = "VntSetupForm";
const char* const ContainerClass = "VntSetupContainer";
TVnWin32View* CurrentView = nullptr;

std::string WindowText(HWND handle) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(handle)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(handle, &text[0], static_cast<int>(text.size()))));
    return text;
}

// A bitmap from the bytes of a bitmap file.
HBITMAP BitmapFromFile(const std::string& file) {
    const auto* header = reinterpret_cast<const BITMAPFILEHEADER*>(file.data());
    const auto* info = reinterpret_cast<const BITMAPINFO*>(file.data() + sizeof(BITMAPFILEHEADER));
    if (file.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) ||
        header->bfOffBits >= file.size())
        return nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                                    file.data() + header->bfOffBits, info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// The extra width of a window that shows its caption on one line (a label, a check box, a radio
// button) over the width the caption measures: a static or button control under Wine draws a line
// wider than it measures (up to a pixel per ten characters) and drops a last character that does
// not fit, and the ink of the last character may reach past its advance (a negative C width;
// twice that leaves room for smoothed edges). The spare stays small: a label may lie over the
// blanks at the start of another one.
int CaptionSpare(const TVnControl& control, const TVnWin32Services& services) {
    const auto* label = dynamic_cast<const TVnLabel*>(&control);
    const bool oneLine = label ? !label->WordWrap()
                               : dynamic_cast<const TVnCheckBox*>(&control) ||
                                     dynamic_cast<const TVnRadioButton*>(&control);
    if (!oneLine || control.Caption().empty())
        return 0;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, services.Font(control.Bold(), label && label->Link()));
    const UINT last = static_cast<unsigned char>(control.Caption().back());
    ABC widths = {};
    if (!GetCharABCWidthsA(dc, last, last, &widths))
        widths.abcC = 0;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int length = static_cast<int>(control.Caption().size());
    return 1 + length / 10 + 2 * std::max(0, -widths.abcC);
}

// The place of a control's window: a centred picture takes just its own size in the middle of
// the control's box (what lies around it shows through), a drop-down list is tall enough for its
// opened list, and a one-line caption gets the room its last character needs.
TVnRect WindowBounds(const TVnControl& control, const TVnWin32Services& services) {
    TVnRect bounds = control.Bounds();
    bounds.Width += CaptionSpare(control, services);
    if (auto* image = dynamic_cast<const TVnImage*>(&control); image && image->Center()) {
        bounds.Left += (bounds.Width - image->PictureWidth()) / 2;
        bounds.Top += (bounds.Height - image->PictureHeight()) / 2;
        bounds.Width = image->PictureWidth();
        bounds.Height = image->PictureHeight();
    } else if (dynamic_cast<const TVnComboBox*>(&control)) {
        bounds.Height = 200;
    }
    return bounds;
}

// The edit window procedure under the memo's own.
WNDPROC EditProc = nullptr;

// A multi-line edit keeps every key for itself; the memo lets Tab and Shift+Tab move the focus on,
// as a memo that does not want tabs.
LRESULT CALLBACK MemoProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(EditProc, handle, message, wParam, lParam);
    if (message == WM_GETDLGCODE) {
        result &= ~DLGC_WANTTAB;
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
            result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    }
    return result;
}

} // namespace

// ---- Services -----------------------------------------------------------------------------

TVnWin32Services::TVnWin32Services() {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    const auto make = [height](int weight, BOOL underline) {
        return CreateFontA(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, "MS Shell Dlg");
    };
    FFont = make(FW_NORMAL, FALSE);
    FBoldFont = make(FW_BOLD, FALSE);
    FLinkFont = make(FW_NORMAL, TRUE);
}

TVnWin32Services::~TVnWin32Services() {
    DeleteObject(FFont);
    DeleteObject(FBoldFont);
    DeleteObject(FLinkFont);
}

HFONT TVnWin32Services::Font(bool bold, bool underline) const {
    return underline ? FLinkFont : bold ? FBoldFont : FFont;
}

int TVnWin32Services::MessageDialog(const std::string& caption, const std::string& text,
                                    unsigned flags) {
    HWND owner = FView ? FView->Handle() : nullptr;
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

TVnSize TVnWin32Services::TextExtent(const std::string& text, bool bold, int wrapWidth) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font(bold));
    RECT rect = {0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    const std::string measured = text.empty() ? " " : text;
    DrawTextA(dc, measured.c_str(), static_cast<int>(measured.size()), &rect,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : 0));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return TVnSize{text.empty() ? 0 : rect.right - rect.left, rect.bottom - rect.top};
}

void TVnWin32Services::SetBusy(bool busy) {
    FBusy = busy;
    SetCursor(LoadCursor(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TVnWin32Services::Repaint() {
    if (!FView)
        return;
    FView->Sync();
    RedrawWindow(FView->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// ---- The view -----------------------------------------------------------------------------

TVnWin32View::TVnWin32View(TfrmMain& form, TVnWin32Services& services)
    : FForm(form), FServices(services), FWindowBrush(GetSysColorBrush(COLOR_WINDOW)) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = FormClass;
    RegisterClassA(&windowClass);
    windowClass.hIcon = nullptr;
    windowClass.lpszClassName = ContainerClass;
    RegisterClassA(&windowClass);

    CurrentView = this;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
    RECT rect = {0, 0, form.Width(), form.Height()};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    FHandle = CreateWindowExA(exStyle, FormClass, form.Caption().c_str(), style,
                              (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                              nullptr, instance, nullptr);
    OSCheck(FHandle != nullptr);
    CreateChildren(form, FHandle);
    FServices.SetView(this);
    Sync();
    ShowWindow(FHandle, SW_SHOWNORMAL);
    for (TWindow& window : FWindows)
        if (window.Control == FForm.ActiveControl())
            SetFocus(window.Handle);
}

TVnWin32View::~TVnWin32View() {
    FServices.SetView(nullptr);
    if (IsWindow(FHandle))
        DestroyWindow(FHandle);
    for (auto& brush : FBrushes)
        DeleteObject(brush.second);
    if (FBitmap)
        DeleteObject(FBitmap);
    CurrentView = nullptr;
}

void TVnWin32View::CreateChildren(TVnWinControl& parent, HWND parentHandle) {
    // The first window made is the first in tab order and on top; windowed controls lie above
    // the drawn ones, and of these the one added last lies on top.
    for (TVnWinControl* child : parent.TabList())
        CreateWindowFor(*child, parentHandle);
    for (auto it = parent.Controls().rbegin(); it != parent.Controls().rend(); ++it)
        if (!dynamic_cast<TVnWinControl*>(*it))
            CreateWindowFor(**it, parentHandle);
}

void TVnWin32View::CreateWindowFor(TVnControl& control, HWND parentHandle) {
    const char* windowClass = "STATIC";
    // Overlapping windows (a picture over its ground, a bold word over a paragraph) paint in
    // their stacking order.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    bool container = false;
    if (auto* label = dynamic_cast<TVnLabel*>(&control)) {
        style |= SS_NOPREFIX | (label->WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP) |
                 (label->Link() ? SS_NOTIFY : 0);
    } else if (auto* button = dynamic_cast<TVnButton*>(&control)) {
        windowClass = "BUTTON";
        style |= WS_TABSTOP | (button->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    } else if (dynamic_cast<TVnCheckBox*>(&control)) {
        windowClass = "BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX;
    } else if (auto* radio = dynamic_cast<TVnRadioButton*>(&control)) {
        windowClass = "BUTTON";
        const auto& siblings = radio->Parent()->TabList();
        const auto first = std::find_if(siblings.begin(), siblings.end(), [](auto* c) {
            return dynamic_cast<TVnRadioButton*>(c) != nullptr;
        });
        const bool leader = first != siblings.end() && *first == radio;
        style |= BS_RADIOBUTTON | (leader ? WS_TABSTOP | WS_GROUP : 0);
    } else if (auto* memo = dynamic_cast<TVnMemo*>(&control)) {
        windowClass = "EDIT";
        style = memo->WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_LEFT |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_HSCROLL);
        style |= memo->ReadOnly() ? ES_READONLY : 0;
        exStyle = WS_EX_CLIENTEDGE;
    } else if (auto* edit = dynamic_cast<TVnEdit*>(&control)) {
        windowClass = "EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | (edit->PasswordChar() ? ES_PASSWORD : 0);
        exStyle = WS_EX_CLIENTEDGE;
    } else if (dynamic_cast<TVnComboBox*>(&control)) {
        windowClass = "COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    } else if (auto* bevel = dynamic_cast<TVnBevel*>(&control)) {
        style |= bevel->Shape() == TVnBevel::TShape::Frame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ;
    } else if (dynamic_cast<TVnImage*>(&control)) {
        style |= SS_BITMAP;
    } else if (dynamic_cast<TVnProgressBar*>(&control)) {
        windowClass = PROGRESS_CLASSA;
    } else if (dynamic_cast<TVnWinControl*>(&control)) {
        windowClass = ContainerClass; // notebook and pages
        exStyle = WS_EX_CONTROLPARENT;
        container = true;
    }
    const int id = static_cast<int>(FWindows.size()) + 100;
    const TVnRect bounds = WindowBounds(control, FServices);
    HWND handle = CreateWindowExA(exStyle, windowClass, "", style, bounds.Left, bounds.Top,
                                  bounds.Width, bounds.Height, parentHandle,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleA(nullptr), nullptr);
    OSCheck(handle != nullptr);
    auto* label = dynamic_cast<TVnLabel*>(&control);
    SendMessageA(handle, WM_SETFONT,
                 reinterpret_cast<WPARAM>(FServices.Font(control.Bold(), label && label->Link())),
                 FALSE);
    if (auto* edit = dynamic_cast<TVnEdit*>(&control)) {
        SendMessageA(handle, EM_LIMITTEXT, edit->MaxLength(), 0);
        if (edit->PasswordChar())
            SendMessageA(handle, EM_SETPASSWORDCHAR, static_cast<WPARAM>(edit->PasswordChar()), 0);
    }
    if (auto* image = dynamic_cast<TVnImage*>(&control); image && !image->Picture().empty()) {
        FBitmap = BitmapFromFile(image->Picture());
        OSCheck(FBitmap != nullptr);
        SendMessageA(handle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FBitmap));
        MoveWindow(handle, bounds.Left, bounds.Top, bounds.Width, bounds.Height, FALSE);
    }
    if (dynamic_cast<TVnMemo*>(&control)) {
        EditProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MemoProc)));
    }
    if (auto* shape = dynamic_cast<TVnShape*>(&control)) {
        const uint32_t c = shape->Color();
        FBrushes[&control] = CreateSolidBrush(RGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    TWindow window;
    window.Control = &control;
    window.Handle = handle;
    window.Bounds = bounds;
    window.Visible = false;
    window.Enabled = true;
    window.Bold = control.Bold();
    FIndex[handle] = FWindows.size();
    FWindows.push_back(window);
    if (container)
        CreateChildren(static_cast<TVnWinControl&>(control), handle);
}

TVnWin32View::TWindow* TVnWin32View::Find(HWND handle) {
    auto it = FIndex.find(handle);
    return it == FIndex.end() ? nullptr : &FWindows[it->second];
}

TVnControl* TVnWin32View::ControlOf(HWND handle) {
    // The focus may lie in a part of a control (the edit of a combo box).
    for (; handle && handle != FHandle; handle = GetParent(handle))
        if (TWindow* window = Find(handle))
            return window->Control;
    return nullptr;
}

void TVnWin32View::Sync() {
    FSyncing = true;
    for (TWindow& window : FWindows)
        SyncWindow(window);
    if (FFormCaption != FForm.Caption()) {
        FFormCaption = FForm.Caption();
        SetWindowTextA(FHandle, FFormCaption.c_str());
    }
    if (FCloseEnabled != FForm.CloseEnabled()) {
        FCloseEnabled = FForm.CloseEnabled();
        EnableMenuItem(GetSystemMenu(FHandle, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (FCloseEnabled ? MF_ENABLED : MF_GRAYED));
    }
    FSyncing = false;
}

void TVnWin32View::SyncWindow(TWindow& window) {
    TVnControl& control = *window.Control;
    HWND handle = window.Handle;
    const TVnRect bounds = WindowBounds(control, FServices);
    if (bounds.Left != window.Bounds.Left || bounds.Top != window.Bounds.Top ||
        bounds.Width != window.Bounds.Width || bounds.Height != window.Bounds.Height) {
        MoveWindow(handle, bounds.Left, bounds.Top, bounds.Width, bounds.Height, TRUE);
        window.Bounds = bounds;
    }
    if (control.Bold() != window.Bold) {
        window.Bold = control.Bold();
        SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FServices.Font(window.Bold)),
                     TRUE);
    }
    const bool isEdit = dynamic_cast<TVnEdit*>(&control) != nullptr;
    if (dynamic_cast<TVnComboBox*>(&control) == nullptr && !dynamic_cast<TVnImage*>(&control) &&
        !dynamic_cast<TVnProgressBar*>(&control) && !dynamic_cast<TVnBevel*>(&control) &&
        !dynamic_cast<TVnShape*>(&control) && !dynamic_cast<TVnNotebook*>(&control) &&
        !dynamic_cast<TVnPage*>(&control)) {
        const std::string& caption = control.Caption();
        if (isEdit ? WindowText(handle) != caption : window.Caption != caption) {
            SetWindowTextA(handle, caption.c_str());
            window.Caption = caption;
        }
    }
    bool checked = window.Checked;
    if (auto* box = dynamic_cast<TVnCheckBox*>(&control))
        checked = box->Checked();
    else if (auto* radio = dynamic_cast<TVnRadioButton*>(&control))
        checked = radio->Checked();
    if (checked != window.Checked) {
        SendMessageA(handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        window.Checked = checked;
    }
    if (auto* list = dynamic_cast<TVnComboBox*>(&control)) {
        std::vector<std::string> items;
        for (const TVnListItem& item : list->Items())
            items.push_back(item.Text);
        if (items != window.Items) {
            SendMessageA(handle, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : items)
                SendMessageA(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            window.Items = items;
            window.ItemIndex = -2;
        }
        if (list->ItemIndex() != window.ItemIndex) {
            SendMessageA(handle, CB_SETCURSEL, static_cast<WPARAM>(list->ItemIndex()), 0);
            window.ItemIndex = list->ItemIndex();
        }
    }
    if (auto* bar = dynamic_cast<TVnProgressBar*>(&control)) {
        if (bar->Max() != window.Max) {
            SendMessageA(handle, PBM_SETRANGE32, 0, bar->Max());
            window.Max = bar->Max();
        }
        if (bar->Position() != window.Position) {
            SendMessageA(handle, PBM_SETPOS, static_cast<WPARAM>(bar->Position()), 0);
            window.Position = bar->Position();
        }
    }
    if (control.Enabled() != window.Enabled) {
        EnableWindow(handle, control.Enabled());
        window.Enabled = control.Enabled();
    }
    if (control.Visible() != window.Visible) {
        ShowWindow(handle, control.Visible() ? SW_SHOWNA : SW_HIDE);
        window.Visible = control.Visible();
    }
}

void TVnWin32View::Dispatch(const std::function<void()>& action) {
    TVnControl* focused = ControlOf(GetFocus());
    auto* before = dynamic_cast<TVnWinControl*>(focused);
    if (before)
        FForm.SetActiveControl(before);
    RunEvent(action);
    if (FForm.Closed()) {
        DestroyWindow(FHandle);
        return;
    }
    Sync();
    TVnWinControl* after = FForm.ActiveControl();
    if (after && after != before)
        for (const TWindow& window : FWindows)
            if (window.Control == after)
                SetFocus(window.Handle);
}

void TVnWin32View::Command(HWND handle, WORD code) {
    TVnControl* control = ControlOf(handle);
    if (!control || FSyncing)
        return;
    if (code == BN_CLICKED) {
        if (auto* button = dynamic_cast<TVnButton*>(control))
            Dispatch([button] { button->Click(); });
        else if (auto* box = dynamic_cast<TVnCheckBox*>(control))
            Dispatch([box] { box->Click(); });
        else if (auto* radio = dynamic_cast<TVnRadioButton*>(control))
            Dispatch([radio] { radio->Click(); });
    } else if (code == STN_CLICKED) {
        if (auto* label = dynamic_cast<TVnLabel*>(control))
            Dispatch([label] { label->Click(); });
    } else if (code == CBN_SELCHANGE) {
        if (auto* list = dynamic_cast<TVnComboBox*>(control)) {
            const int index = static_cast<int>(SendMessageA(handle, CB_GETCURSEL, 0, 0));
            Dispatch([list, index] { list->Select(index); });
        }
    } else if (code == EN_CHANGE) {
        if (auto* edit = dynamic_cast<TVnEdit*>(control)) {
            edit->SetText(WindowText(handle));
            if (TWindow* window = Find(handle))
                window->Caption = edit->Text();
            if (edit->OnChange)
                Dispatch(edit->OnChange);
        }
    }
}

LRESULT CALLBACK TVnWin32View::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CurrentView)
        return CurrentView->HandleMessage(handle, message, wParam, lParam);
    return DefWindowProcA(handle, message, wParam, lParam);
}

LRESULT TVnWin32View::HandleMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam)
            Command(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC: {
        TVnControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (auto* label = dynamic_cast<TVnLabel*>(control); label && label->Link()) {
            SetTextColor(dc, RGB(0, 0, 0xFF));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        if (dynamic_cast<TVnMemo*>(control)) { // read-only, yet white as a text
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(FWindowBrush);
        }
        auto brush = FBrushes.find(control);
        if (brush != FBrushes.end())
            return reinterpret_cast<LRESULT>(brush->second);
        break;
    }
    case WM_SETCURSOR: {
        if (FServices.Busy()) {
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            return TRUE;
        }
        auto* label = dynamic_cast<TVnLabel*>(ControlOf(reinterpret_cast<HWND>(wParam)));
        if (label && label->Link()) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_CLOSE:
        if (handle == FHandle) {
            if (FForm.CloseEnabled())
                Dispatch([this] { FForm.Close(); });
            return 0;
        }
        break;
    case WM_DESTROY:
        if (handle == FHandle)
            PostQuitMessage(0);
        break;
    }
    return DefWindowProcA(handle, message, wParam, lParam);
}

bool TVnWin32View::PreviewKey(const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        (message.wParam != VK_ESCAPE && message.wParam != VK_RETURN))
        return false;
    TVnControl* focused = ControlOf(message.hwnd);
    if (dynamic_cast<TVnComboBox*>(focused)) {
        HWND combo = message.hwnd;
        while (combo && !Find(combo))
            combo = GetParent(combo);
        if (combo && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0))
            return false; // the open list takes its own Enter and Esc
    }
    if (message.wParam == VK_ESCAPE) {
        Dispatch([this] { FForm.KeyDown(VK_ESCAPE_KEY); });
        if (auto* memo = dynamic_cast<TVnMemo*>(focused); memo && !FForm.Closed())
            Dispatch([memo] { memo->KeyPress(VK_ESCAPE_KEY); });
        return true;
    }
    if (dynamic_cast<TVnMemo*>(focused))
        return false;
    TVnButton* button = dynamic_cast<TVnButton*>(focused);
    if (!button)
        for (TWindow& window : FWindows)
            if (auto* candidate = dynamic_cast<TVnButton*>(window.Control);
                candidate && candidate->Default())
                button = candidate;
    if (button)
        Dispatch([button] { button->Click(); });
    return true;
}

void TVnWin32View::Run() {
    MSG message;
    while (IsWindow(FHandle) && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (PreviewKey(message) || IsDialogMessageA(FHandle, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
