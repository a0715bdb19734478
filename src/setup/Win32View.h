// The Windows view of the wizard: one window per control of the model, kept in step with it after
// every event, and the user's clicks and keys handed back to the model as its events. Also the
// services of the Windows user interface (message boxes and the folder picker over the wizard,
// measurements in the dialog font, the busy cursor, repainting during a long action).
//
// The view is the boundary of two conversions. Text: the model's bytes become UTF-16 here (texts
// of the language file from Windows-1251, paths and texts of the system from the system's ANSI
// code page) and what the user types goes back as ANSI bytes. Scale: the model's coordinates are
// design units at 96 dpi; the windows are placed and their fonts made at the window's DPI, and
// measurements go back to the model in design units.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>
#include <windows.h>

#include "VnVisUtils.h"
#include "VnWin32Text.h"

class TfrmMain;
class TVnWin32View;

// The code pages of the model's texts.
constexpr UINT LanguageCodePage = 1251; // every text of the language file
constexpr UINT SystemCodePage = CP_ACP; // paths, system messages, what the user types

// The DPI of a window: GetDpiForWindow where the system has it, otherwise the screen's.
int WindowDpi(HWND handle);

class TVnWin32Services : public TVnUIServices {
public:
    TVnWin32Services();
    ~TVnWin32Services() override;
    TVnWin32Services(const TVnWin32Services&) = delete;
    TVnWin32Services& operator=(const TVnWin32Services&) = delete;

    int MessageDialog(const std::string& caption, const std::string& text, unsigned flags) override;
    // The shell's folder picker, rooted at the computer's drives.
    bool BrowseForFolder(const std::string& title, std::string& path) override;
    // In design units, whatever the DPI: measured in the scaled font, rounded up.
    TVnSize TextExtent(const std::string& text, bool bold, int wrapWidth) override;
    void SetBusy(bool busy) override;
    void Repaint() override;

    // The dialog font at the current DPI, its bold form and the underlined form of links.
    HFONT Font(bool bold, bool underline = false) const;
    int Dpi() const { return FDpi; }
    // Makes the fonts for another DPI (the old ones stay valid until the windows have the new).
    void SetDpi(int dpi);
    // Design units to pixels at the current DPI.
    int Scale(int designUnits) const { return MulDiv(designUnits, FDpi, 96); }
    bool Busy() const { return FBusy; }
    void SetView(TVnWin32View* view) { FView = view; }
    // Every message and caption in this code page from now on: the uninstaller's, whose texts,
    // its failures included, are its own in one language.
    void SetMessageCodePage(UINT codePage) { FMessageCodePage = codePage; }

private:
    struct TFonts {
        HFONT Normal = nullptr, Bold = nullptr, Link = nullptr;
    };
    static void Delete(TFonts& fonts);
    // The owner of a modal box: the wizard's window, once it shows what the model changed.
    HWND ModalOwner();

    int FDpi = 96;
    TFonts FFonts, FRetired;
    TVnWin32View* FView = nullptr;
    bool FBusy = false;
    UINT FMessageCodePage = 0; // none: the wizard's rule (MessageDialog)
};

class TVnWin32View {
public:
    // Creates the window and its controls hidden, at the window's DPI.
    TVnWin32View(TfrmMain& form, TVnWin32Services& services);
    ~TVnWin32View();
    TVnWin32View(const TVnWin32View&) = delete;
    TVnWin32View& operator=(const TVnWin32View&) = delete;

    // Shows the window and runs the message loop until the wizard closes.
    void Run();
    // Brings every window in line with the model, the focus included.
    void Sync();
    HWND Handle() const { return FHandle; }
    // The window of a control; nullptr for a control without one.
    HWND WindowOf(const TVnControl& control) const;

private:
    // The state last given to a window, so that Sync changes only what differs.
    struct TWindow {
        TVnControl* Control = nullptr;
        HWND Handle = nullptr;
        RECT Bounds = {}; // where the window was placed, in pixels
        HFONT Font = nullptr;
        bool Visible = true, Enabled = true, Checked = false;
        std::string Caption;
        std::vector<std::string> Items;
        int ItemIndex = -2, Position = -1, Max = -1;
    };

    static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateChildren(TVnWinControl& parent, HWND parentHandle);
    void CreateWindowFor(TVnControl& control, HWND parentHandle);
    void SyncWindows();
    void SyncWindow(TWindow& window);
    // The focus to the model's active control.
    void SyncFocus();
    // The code page of what a control shows.
    UINT CodePageOf(const TVnControl& control) const;
    // The place of a control's window in pixels.
    RECT WindowBounds(const TVnControl& control) const;
    // The client area of the form at the current DPI, centred on the screen or in suggested.
    void PlaceForm(const RECT* suggested);
    // A new DPI: fonts, picture, the form and every window placed again.
    void ApplyDpi(int dpi, const RECT* suggested);
    void ScalePicture();
    // The selection field of a drop-down list at its design height.
    void FitListHeight(const TWindow& window);
    // Next has the default frame unless the focus is on another push button.
    void UpdateDefaultButton();
    TWindow* Find(HWND handle);
    TVnControl* ControlOf(HWND handle);
    // Runs a user action as the message loop does, then shows its outcome.
    void Dispatch(const std::function<void()>& action);
    // Keys the form sees before its controls; true when handled.
    bool PreviewKey(const MSG& message);
    void Command(HWND control, WORD code);

    TfrmMain& FForm;
    TVnWin32Services& FServices;
    HWND FHandle = nullptr;
    std::vector<TWindow> FWindows;
    std::map<HWND, size_t> FIndex;
    HBRUSH FWindowBrush;
    std::map<TVnControl*, HBRUSH> FBrushes;
    HBITMAP FBitmap = nullptr; // the picture at design size
    HBITMAP FScaledBitmap = nullptr;
    bool FSyncing = false;
    std::string FFormCaption;
    bool FCloseEnabled = true;
    HWND FLastFocus = nullptr;   // the focus as last seen by the message loop
    HWND FActiveFocus = nullptr; // the focus to give back when the window is activated again
};
