#include "VnVisUtils.h"

#include <algorithm>
#include <vector>

#include "VnInstallLog.h"
#include "VnSysUtils.h"

// ---- Services -----------------------------------------------------------------------------

namespace {

TVnUIServices PlatformServices;
TVnUIServices* CurrentServices = &PlatformServices;

} // namespace

int TVnUIServices::MessageDialog(const std::string& caption, const std::string& text,
                                 unsigned flags) {
    return VnPlatform::MessageBox(caption, text, flags);
}

bool TVnUIServices::BrowseForFolder(const std::string&, std::string& path) {
    path.clear();
    return false;
}

void TVnUIServices::OpenWithShell(const std::string& target) {
    ::OpenWithShell(target);
}

bool TVnUIServices::IsAdministrator() {
    return CheckAdminRights();
}

bool TVnUIServices::StartProgram(const std::string& commandLine) {
    return RunProcess(commandLine, false, 0);
}

std::string TVnUIServices::ProgramFilesFolder() {
    return VnPlatform::ProgramFilesFolder();
}

unsigned TVnUIServices::UserPrimaryLanguage() {
    return VnPlatform::UserDefaultLangID() & 0x3FF;
}

TVnUIServices& UIServices() {
    return *CurrentServices;
}

TVnUIServicesScope::TVnUIServicesScope(TVnUIServices& services)
    : FPrevious(CurrentServices), FPreviousMeasure(SetTextMeasure(services)) {
    CurrentServices = &services;
}

TVnUIServicesScope::~TVnUIServicesScope() {
    CurrentServices = FPrevious;
    SetTextMeasure(FPreviousMeasure);
}

// ---- Helpers ------------------------------------------------------------------------------

std::string GetCaption(const TVnControl& control) {
    return control.Caption();
}

bool IsShowing(const TVnControl& control) {
    for (const TVnControl* c = &control; c; c = c->Parent())
        if (!c->Visible())
            return false;
    return true;
}

TVnWinControl* FirstFocusable(TVnWinControl& container) {
    TVnWinControl* current = &container;
    while (true) {
        TVnWinControl* first = nullptr;
        for (TVnWinControl* control : current->TabList())
            if (control->Visible() && control->Enabled()) {
                first = control;
                break;
            }
        if (!first)
            return current == &container ? nullptr : current;
        if (first->TabList().empty())
            return first;
        current = first;
    }
}

void FitCheckWidth(TVnComponent& component) {
    auto* control = dynamic_cast<TVnWinControl*>(&component);
    if (control &&
        (dynamic_cast<TVnCheckBox*>(control) || dynamic_cast<TVnRadioButton*>(control))) {
        const int textWidth = UIServices().TextExtent(control->Caption(), control->Bold(), 0).Width;
        // MulDiv rounding: half away from zero.
        const int extra = (control->Height() * 112 + 50) / 100;
        control->SetWidth(textWidth + extra);
        return;
    }
    for (TVnComponent* owned : component.Components())
        FitCheckWidth(*owned);
}

std::string UserLanguageCode() {
    return UIServices().UserPrimaryLanguage() == 0x19 ? "ru" : "en";
}

int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    return UIServices().MessageDialog(caption, text, flags);
}

int ShowAppMessage(const std::string& text, unsigned flags) {
    InstallLog().Write(ltMessage, text.c_str());
    return ShowMessageBox(ApplicationTitle(), text, flags);
}

// ---- TVnMemo ------------------------------------------------------------------------------

TVnMemo::TVnMemo(TVnListBox* placeholder, bool wordWrap)
    : TVnEdit(placeholder->Owner()), FWordWrap(wordWrap) {
    SetParent(placeholder->Parent());
    const TVnRect bounds = placeholder->Bounds();
    SetBounds(bounds.Left, bounds.Top, bounds.Width, bounds.Height);
    SetTabOrder(placeholder->TabOrder());
    const std::string name = placeholder->Name();
    delete placeholder;
    SetName(name);
    SetText("");
}

uint32_t TVnMemo::WindowStyle(uint32_t baseStyle) const {
    constexpr uint32_t ES_MULTILINE_STYLE = 0x0004, ES_AUTOHSCROLL_STYLE = 0x0080;
    constexpr uint32_t WS_HSCROLL_STYLE = 0x00100000, WS_VSCROLL_STYLE = 0x00200000;
    uint32_t style = baseStyle | ES_MULTILINE_STYLE;
    if (FWordWrap)
        style &= ~(WS_HSCROLL_STYLE | ES_AUTOHSCROLL_STYLE);
    if (FScrollBars & sbHorizontal)
        style |= WS_HSCROLL_STYLE;
    if (FScrollBars & sbVertical)
        style |= WS_VSCROLL_STYLE;
    return style;
}

void TVnMemo::KeyPress(char key) {
    if (key == VK_ESCAPE_KEY)
        if (TVnForm* form = Form())
            form->Close();
}
