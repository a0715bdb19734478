// User-interface helpers over the controls model, the multi-line text control of the licence, and
// the user-interface services: the one door through which the wizard reaches the user (message
// boxes, the folder picker, text measurement, the busy cursor and repainting) and the two system
// questions it asks (administrator rights, starting a program).
#pragma once

#include <cstdint>
#include <string>

#include "VnControls.h"

// The services of the platform. The defaults use VnPlatform and measure text in the controls
// model's fixed-width stand-in font; the Windows view measures with its real font; tests script
// the answers.
class TVnUIServices : public TVnTextMeasure {
public:
    // Answers the id of the pressed button (1 = OK).
    virtual int MessageDialog(const std::string& caption, const std::string& text, unsigned flags);
    // True and a path with a trailing separator when the user picks a folder. The picker belongs
    // to the window's services: the default has none.
    virtual bool BrowseForFolder(const std::string& title, std::string& path);
    // Opens a document or address with the shell.
    virtual void OpenWithShell(const std::string& target);
    // A long action begins or ends: the hourglass cursor.
    virtual void SetBusy(bool busy) {}
    // Paints the window now (during a long action), without handling input.
    virtual void Repaint() {}
    // Membership in the administrators group (CheckAdminRights).
    virtual bool IsAdministrator();
    // Starts a program with a normal window and does not wait (RunProcess).
    virtual bool StartProgram(const std::string& commandLine);
    // The program-files folder without a trailing separator; may be empty.
    virtual std::string ProgramFilesFolder();
    // The primary language of the user's default language (GetUserDefaultLangID, low 10 bits).
    virtual unsigned UserPrimaryLanguage();
};

// The services in force (the platform's defaults until another is installed).
TVnUIServices& UIServices();
// Installs services, and their text measure, for the lifetime of the object and puts the
// previous ones back after it.
class TVnUIServicesScope {
public:
    explicit TVnUIServicesScope(TVnUIServices& services);
    ~TVnUIServicesScope();
    TVnUIServicesScope(const TVnUIServicesScope&) = delete;
    TVnUIServicesScope& operator=(const TVnUIServicesScope&) = delete;

private:
    TVnUIServices* FPrevious;
    TVnTextMeasure& FPreviousMeasure;
};

// "ru" for a user whose primary language is Russian, else "en".
std::string UserLanguageCode();

// Message box flags of the platform.
constexpr unsigned MB_OK_FLAG = 0x00;
constexpr unsigned MB_YESNO_FLAG = 0x04;
constexpr unsigned MB_ICONERROR_FLAG = 0x10;
constexpr unsigned MB_ICONQUESTION_FLAG = 0x20;
// The buttons a message box answers.
constexpr int MB_IDOK = 1;
constexpr int MB_IDYES = 6;

std::string GetCaption(const TVnControl& control);
// The control and every parent up to the top window are visible.
bool IsShowing(const TVnControl& control);
// The first control of the container's tab order that can take the focus, descending into the
// first child container while it has children; nullptr for an empty container.
TVnWinControl* FirstFocusable(TVnWinControl& container);
// Check boxes and radio buttons: width := caption width + height * 112 / 100 (rounded). Any
// other component: applied to every component it owns.
void FitCheckWidth(TVnComponent& component);
int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags);
// ShowMessageBox with the application title as caption.
int ShowAppMessage(const std::string& text, unsigned flags);

// The multi-line, read-only-capable text box of the licence. It takes the place of a placeholder
// list box: same owner, parent, bounds and tab position, and, once the list box is gone, its
// name, so that translations addressed to that name reach the memo.
class TVnMemo : public TVnEdit {
public:
    enum TScrollBars { sbNone = 0, sbHorizontal = 1, sbVertical = 2, sbBoth = 3 };
    // Deletes placeholder.
    TVnMemo(TVnListBox* placeholder, bool wordWrap);
    bool WordWrap() const { return FWordWrap; }
    TScrollBars ScrollBars() const { return FScrollBars; }
    // The platform's edit style (ES_* and WS_*SCROLL bits) for these settings.
    uint32_t WindowStyle(uint32_t baseStyle) const;
    // Esc typed in the memo asks the window that holds it to close.
    void KeyPress(char key);

private:
    bool FWordWrap;
    TScrollBars FScrollBars = sbVertical;
};
