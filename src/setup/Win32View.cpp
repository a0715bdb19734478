#include "Win32View.h"

#include <algorithm>
#include <memory>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "VnSetupMain.h"
#include "VnSysUtils.h"
#include "fMain.h"
#include "res/VnResources.h"

namespace {

const wchar_t* const FormClass = L"VntSetupForm";
const wchar_t* const ContainerClass = L"VntSetupContainer";
TVnWin32View* CurrentView = nullptr;

std::wstring WideWindowText(HWND handle) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(handle, &text[0], static_cast<int>(text.size()))));
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

// The extra width, in pixels, of a window that shows its caption on one line (a label, a check
// box, a radio button) over its scaled design width: a static or button control under Wine draws a
// line wider than it measures (up to a design unit per ten characters) and drops a last character
// that does not fit, and the ink of the last character may reach past its advance (a negative C
// width; twice that leaves room for smoothed edges). The spare stays small: a label may lie over
// the blanks at the start of another one. A caption the model measured at another DPI, wider now
// than its scaled width, gets the room it needs as well.
int CaptionRoom(const TVnControl& control, const TVnWin32Services& services, int width) {
    const auto* label = dynamic_cast<const TVnLabel*>(&control);
    const bool oneLine = label ? !label->WordWrap()
                               : dynamic_cast<const TVnCheckBox*>(&control) ||
                                     dynamic_cast<const TVnRadioButton*>(&control);
    if (!oneLine || control.Caption().empty())
        return 0;
    const std::wstring caption = Widen(control.Caption(), LanguageCodePage);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, services.Font(control.Bold(), label && label->Link()));
    const UINT last = caption.back();
    ABC widths = {};
    if (!GetCharABCWidthsW(dc, last, last, &widths))
        widths.abcC = 0;
    SIZE extent = {};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int mark = label ? 0 : services.Scale(control.Height()); // the box of a check box
    const int length = static_cast<int>(caption.size());
    return std::max(0, static_cast<int>(extent.cx) + mark - width) +
           services.Scale(1 + length / 10) + 2 * std::max(0, -widths.abcC);
}

// The edit window procedure under the memo's own.
WNDPROC EditProc = nullptr;

// A multi-line edit keeps every key for itself; the memo lets Tab and Shift+Tab move the focus on,
// as a memo that does not want tabs.
LRESULT CALLBACK MemoProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(EditProc, handle, message, wParam, lParam);
    if (message == WM_GETDLGCODE) {
        result &= ~DLGC_WANTTAB;
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
            result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    }
    return result;
}

bool IsFollowingRadio(const TVnControl& control) {
    const auto* radio = dynamic_cast<const TVnRadioButton*>(&control);
    if (!radio || radio->TabOrder() <= 0)
        return false;
    const auto& siblings = radio->Parent()->TabList();
    return dynamic_cast<TVnRadioButton*>(siblings[static_cast<size_t>(radio->TabOrder()) - 1]);
}

// Gives the focus back, once a modal box has closed, to the window that had it.
class TFocusKeeper {
public:
    TFocusKeeper() : FFocus(GetFocus()) {}
    ~TFocusKeeper() {
        if (FFocus && IsWindow(FFocus))
            SetFocus(FFocus);
    }
    TFocusKeeper(const TFocusKeeper&) = delete;
    TFocusKeeper& operator=(const TFocusKeeper&) = delete;

private:
    HWND FFocus;
};

// The calling thread in a single-threaded COM apartment for the object's lifetime, as the shell's
// dialogs require; a thread already in COM stays as it is.
class TComApartment {
public:
    TComApartment()
        : FJoined(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~TComApartment() {
        if (FJoined)
            CoUninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool FJoined;
};

struct TShellMemoryFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
// An item of the shell's namespace, in memory that the shell allocated.
using TItemIdList = std::unique_ptr<ITEMIDLIST, TShellMemoryFree>;

// The file-system folder that the user picks under the computer's drives; empty when the user
// cancels or the item is no file-system folder.
std::wstring PickFolder(HWND owner, const std::wstring& title) {
    ITEMIDLIST* drives = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives);
    const TItemIdList root(drives);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = root.get();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    const TItemIdList picked(SHBrowseForFolderW(&info));
    wchar_t folder[MAX_PATH] = {};
    return picked && SHGetPathFromIDListW(picked.get(), folder) ? folder : L"";
}

} // namespace

// ---- Text and scale -----------------------------------------------------------------------

int WindowDpi(HWND handle) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<TGetDpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (handle && getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(handle))
            return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// ---- Services -----------------------------------------------------------------------------

TVnWin32Services::TVnWin32Services() {
    SetDpi(WindowDpi(nullptr));
}

TVnWin32Services::~TVnWin32Services() {
    Delete(FFonts);
    Delete(FRetired);
}

void TVnWin32Services::Delete(TFonts& fonts) {
    for (HFONT font : {fonts.Normal, fonts.Bold, fonts.Link})
        if (font)
            DeleteObject(font);
    fonts = TFonts();
}

void TVnWin32Services::SetDpi(int dpi) {
    Delete(FRetired);
    FRetired = FFonts;
    FDpi = dpi;
    const int height = -MulDiv(8, dpi, 72);
    const auto make = [height](int weight, BOOL underline) {
        return CreateFontW(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
    };
    FFonts.Normal = make(FW_NORMAL, FALSE);
    FFonts.Bold = make(FW_BOLD, FALSE);
    FFonts.Link = make(FW_NORMAL, TRUE);
}

HFONT TVnWin32Services::Font(bool bold, bool underline) const {
    return underline ? FFonts.Link : bold ? FFonts.Bold : FFonts.Normal;
}

int TVnWin32Services::MessageDialog(const std::string& caption, const std::string& text,
                                    unsigned flags) {
    // A message with the error icon reports a failure, told in paths and texts of the system;
    // every other message, and every caption, is a text of the wizard.
    const bool failure = (flags & MB_ICONMASK) == MB_ICONERROR;
    HWND owner = ModalOwner();
    const TFocusKeeper focus;
    const UINT textPage = FMessageCodePage ? FMessageCodePage
                          : failure        ? SystemCodePage
                                           : LanguageCodePage;
    return MessageBoxW(
        owner, Widen(text, textPage).c_str(),
        Widen(caption, FMessageCodePage ? FMessageCodePage : LanguageCodePage).c_str(), flags);
}

// The title is the label of the folder field, a text of the language file; the folder is a path.
bool TVnWin32Services::BrowseForFolder(const std::string& title, std::string& path) {
    const TComApartment com;
    HWND owner = ModalOwner();
    const TFocusKeeper focus;
    const std::wstring folder = PickFolder(owner, Widen(title, LanguageCodePage));
    path = folder.empty() ? "" : IncludeTrailingPathDelimiter(Narrow(folder, SystemCodePage));
    return !folder.empty();
}

HWND TVnWin32Services::ModalOwner() {
    if (!FView)
        return nullptr;
    FView->Sync();
    return FView->Handle();
}

TVnSize TVnWin32Services::TextExtent(const std::string& text, bool bold, int wrapWidth) {
    // The model measures its captions, texts of the language file. A wrapped text is measured a
    // pixel narrower than its window may come out after rounding, so that it breaks no later.
    const std::wstring measured = Widen(text.empty() ? " " : text, LanguageCodePage);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font(bold));
    RECT rect = {0, 0, wrapWidth > 0 ? std::max(1, Scale(wrapWidth) - 1) : 0, 0};
    DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rect,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : 0));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    // Design units round up, so that nothing measured clips; but blanks are a unit of spacing
    // (the folder note makes room for its bold word with them), and a unit counted wide leaves too
    // few of them: blanks round down.
    const bool blanks = text.find_first_not_of(' ') == std::string::npos;
    const auto design = [this](LONG pixels, bool down) {
        return static_cast<int>(down ? pixels * 96 / FDpi : (pixels * 96 + FDpi - 1) / FDpi);
    };
    return TVnSize{text.empty() ? 0 : std::max(1, design(rect.right - rect.left, blanks)),
                   design(rect.bottom - rect.top, false)};
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
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.lpszClassName = FormClass;
    RegisterClassW(&windowClass);
    windowClass.hIcon = nullptr;
    windowClass.lpszClassName = ContainerClass;
    RegisterClassW(&windowClass);

    CurrentView = this;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
    FHandle = CreateWindowExW(exStyle, FormClass, L"", style, 0, 0, form.Width(), form.Height(),
                              nullptr, nullptr, instance, nullptr);
    OSCheck(FHandle != nullptr);
    if (WindowDpi(FHandle) != FServices.Dpi())
        FServices.SetDpi(WindowDpi(FHandle));
    PlaceForm(nullptr);
    CreateChildren(form, FHandle);
    ScalePicture();
    FServices.SetView(this);
    SyncWindows();
}

TVnWin32View::~TVnWin32View() {
    FServices.SetView(nullptr);
    if (IsWindow(FHandle))
        DestroyWindow(FHandle);
    for (auto& brush : FBrushes)
        DeleteObject(brush.second);
    for (HBITMAP bitmap : {FBitmap, FScaledBitmap})
        if (bitmap)
            DeleteObject(bitmap);
    CurrentView = nullptr;
}

HWND TVnWin32View::WindowOf(const TVnControl& control) const {
    for (const TWindow& window : FWindows)
        if (window.Control == &control)
            return window.Handle;
    return nullptr;
}

void TVnWin32View::PlaceForm(const RECT* suggested) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_EXSTYLE));
    RECT rect = {0, 0, FServices.Scale(FForm.Width()), FServices.Scale(FForm.Height())};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    // The system suggests where the window goes; its client size follows from the design.
    const int left = suggested ? suggested->left : (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = suggested ? suggested->top : (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TVnWin32View::ApplyDpi(int dpi, const RECT* suggested) {
    FServices.SetDpi(dpi);
    PlaceForm(suggested);
    ScalePicture();
    SyncWindows();
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TVnWin32View::ScalePicture() {
    for (TWindow& window : FWindows) {
        auto* image = dynamic_cast<TVnImage*>(window.Control);
        if (!image || !FBitmap)
            continue;
        auto* scaled = static_cast<HBITMAP>(CopyImage(FBitmap, IMAGE_BITMAP,
                                                      FServices.Scale(image->PictureWidth()),
                                                      FServices.Scale(image->PictureHeight()), 0));
        OSCheck(scaled != nullptr);
        SendMessageW(window.Handle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled));
        if (FScaledBitmap)
            DeleteObject(FScaledBitmap);
        FScaledBitmap = scaled;
        window.Bounds = RECT(); // the static sized itself to the picture: place it again
    }
}

void TVnWin32View::FitListHeight(const TWindow& window) {
    const TVnRect& bounds = window.Control->Bounds();
    const int wanted = FServices.Scale(bounds.Bottom()) - FServices.Scale(bounds.Top);
    const RECT& place = window.Bounds;
    // The field's height and the window's differ by borders, and not every system answers the
    // height it was given: set, look, and correct once.
    int request = static_cast<int>(SendMessageW(window.Handle, CB_GETITEMHEIGHT, WPARAM(-1), 0));
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT rect;
        GetWindowRect(window.Handle, &rect);
        const int error = wanted - (rect.bottom - rect.top);
        if (error == 0 || request + error <= 0)
            return;
        request += error;
        SendMessageW(window.Handle, CB_SETITEMHEIGHT, WPARAM(-1), request);
        // The list takes its new height when it is placed again.
        MoveWindow(window.Handle, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
    }
}

RECT TVnWin32View::WindowBounds(const TVnControl& control) const {
    // Edges are scaled, not sizes, so that controls that touch at design size still touch.
    const TVnRect& design = control.Bounds();
    RECT rect = {FServices.Scale(design.Left), FServices.Scale(design.Top),
                 FServices.Scale(design.Right()), FServices.Scale(design.Bottom())};
    if (auto* image = dynamic_cast<const TVnImage*>(&control); image && image->Center()) {
        // A centred picture takes just its own size in the middle of its box (what lies around
        // it shows through).
        const int width = FServices.Scale(image->PictureWidth());
        const int height = FServices.Scale(image->PictureHeight());
        rect.left += (rect.right - rect.left - width) / 2;
        rect.top += (rect.bottom - rect.top - height) / 2;
        rect.right = rect.left + width;
        rect.bottom = rect.top + height;
    } else if (dynamic_cast<const TVnComboBox*>(&control)) {
        rect.bottom = rect.top + FServices.Scale(200); // room for the opened list
    }
    rect.right += CaptionRoom(control, FServices, rect.right - rect.left);
    return rect;
}

UINT TVnWin32View::CodePageOf(const TVnControl& control) const {
    // What the user types or the system names is in the system's code page: the folder, the
    // passwords, the users of the configuration database. Everything else, the licence in its
    // memo included, comes from the language file.
    if (dynamic_cast<const TVnMemo*>(&control))
        return LanguageCodePage;
    if (dynamic_cast<const TVnEdit*>(&control) || &control == FForm.cobAdmin)
        return SystemCodePage;
    return LanguageCodePage;
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
    const wchar_t* windowClass = L"STATIC";
    // Overlapping windows (a picture over its ground, a bold word over a paragraph) paint in
    // their stacking order. Every window starts a group of its own but the radio buttons that
    // follow another: the arrow keys move within such a group only.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (IsFollowingRadio(control) ? 0 : WS_GROUP);
    DWORD exStyle = 0;
    bool container = false;
    if (auto* label = dynamic_cast<TVnLabel*>(&control)) {
        style |= SS_NOPREFIX | (label->WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP) |
                 (label->Link() ? SS_NOTIFY : 0);
    } else if (auto* button = dynamic_cast<TVnButton*>(&control)) {
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | (button->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    } else if (dynamic_cast<TVnCheckBox*>(&control)) {
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX;
    } else if (dynamic_cast<TVnRadioButton*>(&control)) {
        windowClass = L"BUTTON"; // the checked one of the group takes the tab stop (Sync)
        style |= BS_AUTORADIOBUTTON;
    } else if (auto* memo = dynamic_cast<TVnMemo*>(&control)) {
        windowClass = L"EDIT";
        style = memo->WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | ES_LEFT |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_HSCROLL);
        style |= memo->ReadOnly() ? ES_READONLY : 0;
        exStyle = WS_EX_CLIENTEDGE;
    } else if (auto* edit = dynamic_cast<TVnEdit*>(&control)) {
        windowClass = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | (edit->PasswordChar() ? ES_PASSWORD : 0);
        exStyle = WS_EX_CLIENTEDGE;
    } else if (dynamic_cast<TVnComboBox*>(&control)) {
        windowClass = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    } else if (auto* bevel = dynamic_cast<TVnBevel*>(&control)) {
        style |= bevel->Shape() == TVnBevel::TShape::Frame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ;
    } else if (dynamic_cast<TVnImage*>(&control)) {
        style |= SS_BITMAP;
    } else if (dynamic_cast<TVnProgressBar*>(&control)) {
        windowClass = PROGRESS_CLASSW;
    } else if (dynamic_cast<TVnWinControl*>(&control)) {
        windowClass = ContainerClass; // notebook and pages
        exStyle = WS_EX_CONTROLPARENT;
        container = true;
    }
    const int id = static_cast<int>(FWindows.size()) + 100;
    HWND handle = CreateWindowExW(exStyle, windowClass, L"", style, 0, 0, 0, 0, parentHandle,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    OSCheck(handle != nullptr);
    if (auto* edit = dynamic_cast<TVnEdit*>(&control)) {
        SendMessageW(handle, EM_LIMITTEXT, edit->MaxLength(), 0);
        if (edit->PasswordChar())
            SendMessageW(handle, EM_SETPASSWORDCHAR, static_cast<WPARAM>(edit->PasswordChar()), 0);
    }
    if (auto* image = dynamic_cast<TVnImage*>(&control); image && !image->Picture().empty()) {
        FBitmap = BitmapFromFile(image->Picture());
        OSCheck(FBitmap != nullptr);
    }
    if (dynamic_cast<TVnMemo*>(&control)) {
        EditProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MemoProc)));
    }
    if (auto* shape = dynamic_cast<TVnShape*>(&control)) {
        const uint32_t c = shape->Color();
        FBrushes[&control] = CreateSolidBrush(RGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    TWindow window;
    window.Control = &control;
    window.Handle = handle;
    window.Visible = false;
    window.Enabled = true;
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
    SyncWindows();
    SyncFocus();
}

void TVnWin32View::SyncWindows() {
    FSyncing = true;
    for (TWindow& window : FWindows)
        SyncWindow(window);
    if (FFormCaption != FForm.Caption()) {
        FFormCaption = FForm.Caption();
        SetWindowTextW(FHandle, Widen(FFormCaption, LanguageCodePage).c_str());
    }
    if (FCloseEnabled != FForm.CloseEnabled()) {
        FCloseEnabled = FForm.CloseEnabled();
        EnableMenuItem(GetSystemMenu(FHandle, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (FCloseEnabled ? MF_ENABLED : MF_GRAYED));
    }
    FSyncing = false;
}

void TVnWin32View::SyncFocus() {
    TVnWinControl* active = FForm.ActiveControl();
    HWND wanted = active && active->CanFocus() ? WindowOf(*active) : nullptr;
    if (wanted && ControlOf(GetFocus()) != active)
        SetFocus(wanted);
}

void TVnWin32View::SyncWindow(TWindow& window) {
    TVnControl& control = *window.Control;
    HWND handle = window.Handle;
    auto* label = dynamic_cast<TVnLabel*>(&control);
    auto* list = dynamic_cast<TVnComboBox*>(&control);
    HFONT font = FServices.Font(control.Bold(), label && label->Link());
    if (font != window.Font) {
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        window.Font = font;
        window.Bounds = RECT(); // a list sizes itself to its font: place it again
    }
    const RECT bounds = WindowBounds(control);
    if (!EqualRect(&bounds, &window.Bounds)) {
        MoveWindow(handle, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, TRUE);
        window.Bounds = bounds;
        if (list)
            FitListHeight(window);
    }
    const UINT codePage = CodePageOf(control);
    const bool isEdit = dynamic_cast<TVnEdit*>(&control) != nullptr;
    if (!list && !dynamic_cast<TVnImage*>(&control) && !dynamic_cast<TVnProgressBar*>(&control) &&
        !dynamic_cast<TVnBevel*>(&control) && !dynamic_cast<TVnShape*>(&control) &&
        !dynamic_cast<TVnNotebook*>(&control) && !dynamic_cast<TVnPage*>(&control)) {
        const std::string& caption = control.Caption();
        if (isEdit ? Narrow(WideWindowText(handle), codePage) != caption
                   : window.Caption != caption) {
            SetWindowTextW(handle, Widen(caption, codePage).c_str());
            window.Caption = caption;
        }
    }
    bool checked = window.Checked;
    if (auto* box = dynamic_cast<TVnCheckBox*>(&control))
        checked = box->Checked();
    else if (auto* radio = dynamic_cast<TVnRadioButton*>(&control))
        checked = radio->Checked();
    if (checked != window.Checked) {
        SendMessageW(handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        window.Checked = checked;
        if (dynamic_cast<TVnRadioButton*>(&control)) { // as in a dialog: Tab reaches the checked
            const LONG_PTR style = GetWindowLongPtrW(handle, GWL_STYLE);
            SetWindowLongPtrW(handle, GWL_STYLE,
                              checked ? style | WS_TABSTOP : style & ~WS_TABSTOP);
        }
    }
    if (list) {
        std::vector<std::string> items;
        for (const TVnListItem& item : list->Items())
            items.push_back(item.Text);
        if (items != window.Items) {
            SendMessageW(handle, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : items)
                SendMessageW(handle, CB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(Widen(item, codePage).c_str()));
            window.Items = items;
            window.ItemIndex = -2;
        }
        if (list->ItemIndex() != window.ItemIndex) {
            SendMessageW(handle, CB_SETCURSEL, static_cast<WPARAM>(list->ItemIndex()), 0);
            window.ItemIndex = list->ItemIndex();
        }
    }
    if (auto* bar = dynamic_cast<TVnProgressBar*>(&control)) {
        if (bar->Max() != window.Max) {
            SendMessageW(handle, PBM_SETRANGE32, 0, bar->Max());
            window.Max = bar->Max();
        }
        if (bar->Position() != window.Position) {
            SendMessageW(handle, PBM_SETPOS, static_cast<WPARAM>(bar->Position()), 0);
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
    if (auto* focused = dynamic_cast<TVnWinControl*>(ControlOf(GetFocus())))
        FForm.SetActiveControl(focused);
    RunEvent(action);
    if (FForm.Closed()) {
        DestroyWindow(FHandle);
        return;
    }
    // The focus goes where the model put it: back to where it was after a message, to a field
    // that failed its check, to the first control of a new page.
    Sync();
}

void TVnWin32View::UpdateDefaultButton() {
    HWND focus = GetFocus();
    if (focus == FLastFocus)
        return;
    FLastFocus = focus;
    auto* focused = dynamic_cast<TVnButton*>(ControlOf(focus));
    for (const TWindow& window : FWindows) {
        auto* button = dynamic_cast<TVnButton*>(window.Control);
        if (!button)
            continue;
        const bool framed = focused ? button == focused : button->Default();
        const LONG_PTR style = GetWindowLongPtrW(window.Handle, GWL_STYLE);
        if (((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) != framed)
            SendMessageW(window.Handle, BM_SETSTYLE, framed ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                         TRUE);
    }
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
            const int index = static_cast<int>(SendMessageW(handle, CB_GETCURSEL, 0, 0));
            Dispatch([list, index] { list->Select(index); });
        }
    } else if (code == EN_CHANGE) {
        if (auto* edit = dynamic_cast<TVnEdit*>(control)) {
            edit->SetText(Narrow(WideWindowText(handle), CodePageOf(*edit)));
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
    return DefWindowProcW(handle, message, wParam, lParam);
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
    case WM_ACTIVATE:
        // As a dialog does: the focus leaves with the window (to a message box) and comes back.
        if (handle != FHandle)
            break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(FHandle, focus))
                FActiveFocus = focus;
            return 0;
        }
        if (FActiveFocus && IsWindow(FActiveFocus) && IsWindowEnabled(FActiveFocus)) {
            SetFocus(FActiveFocus);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        if (handle != FHandle)
            break;
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
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
    return DefWindowProcW(handle, message, wParam, lParam);
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
        if (combo && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0))
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
    ShowWindow(FHandle, SW_SHOWNORMAL);
    SyncFocus();
    MSG message;
    while (IsWindow(FHandle) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreviewKey(message) && !IsDialogMessageW(FHandle, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (IsWindow(FHandle))
            UpdateDefaultButton();
    }
}
