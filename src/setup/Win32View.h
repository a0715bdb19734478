// The Windows view of the wizard: one window per control of the model, kept in step with it after
// every event, and the user's clicks and keys handed back to the model as its events. Also the
// services of the Windows user interface (message boxes over the wizard, measurements in the
// dialog font, the busy cursor, repainting during a long action).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>
#include <windows.h>

#include "VnVisUtils.h"

class TfrmMain;
class TVnWin32View;

class TVnWin32Services : public TVnUIServices {
public:
    TVnWin32Services();
    ~TVnWin32Services() override;
    TVnWin32Services(const TVnWin32Services&) = delete;
    TVnWin32Services& operator=(const TVnWin32Services&) = delete;

    int MessageDialog(const std::string& caption, const std::string& text, unsigned flags) override;
    TVnSize TextExtent(const std::string& text, bool bold, int wrapWidth) override;
    void SetBusy(bool busy) override;
    void Repaint() override;

    // The default dialog font, its bold form and the underlined form of links.
    HFONT Font(bool bold, bool underline = false) const;
    bool Busy() const { return FBusy; }
    void SetView(TVnWin32View* view) { FView = view; }

private:
    HFONT FFont, FBoldFont, FLinkFont;
    TVnWin32View* FView = nullptr;
    bool FBusy = false;
};

class TVnWin32View {
public:
    TVnWin32View(TfrmMain& form, TVnWin32Services& services);
    ~TVnWin32View();
    TVnWin32View(const TVnWin32View&) = delete;
    TVnWin32View& operator=(const TVnWin32View&) = delete;

    // The message loop: runs until the wizard closes.
    void Run();
    // Brings every window in line with the model.
    void Sync();
    HWND Handle() const { return FHandle; }

private:
    // The state last given to a window, so that Sync changes only what differs.
    struct TWindow {
        TVnControl* Control = nullptr;
        HWND Handle = nullptr;
        TVnRect Bounds; // where the window was placed
        bool Visible = true, Enabled = true, Bold = false, Checked = false;
        std::string Caption;
        std::vector<std::string> Items;
        int ItemIndex = -2, Position = -1, Max = -1;
    };

    static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateChildren(TVnWinControl& parent, HWND parentHandle);
    void CreateWindowFor(TVnControl& control, HWND parentHandle);
    void SyncWindow(TWindow& window);
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
    HBITMAP FBitmap = nullptr;
    bool FSyncing = false;
    std::string FFormCaption;
    bool FCloseEnabled = true;
};
