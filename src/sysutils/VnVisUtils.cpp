#include "VnVisUtils.h"

#include <algorithm>
#include <vector>

#include "VnInstallLog.h"
#include "VnSysUtils.h"

// ---- Services -----------------------------------------------------------------------------

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

TVnUIServices PlatformServices;
TVnUIServices* CurrentServices = &PlatformServices;

} // namespace

int TVnUIServices::MessageDialog(const std::string& caption, const std::string& text,
                                 unsigned flags) {
    return VnPlatform::MessageBox(caption, text, flags);
}

bool TVnUIServices::BrowseForFolder(const std::string& title, std::string& path) {
    return ::BrowseForFolder(title, path);
}

TVnSize TVnUIServices::TextExtent(const std::string& text, bool bold, int wrapWidth) {
    TVnSize size;
    const std::vector<std::string> lines = WrapText(text, wrapWidth, bold);
    for (const std::string& line : lines)
        size.Width = std::max(size.Width, StandInWidth(line, bold));
    size.Height = static_cast<int>(lines.size()) * LineHeight;
    return size;
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

TVnUIServicesScope::TVnUIServicesScope(TVnUIServices& services) : FPrevious(CurrentServices) {
    CurrentServices = &services;
}

TVnUIServicesScope::~TVnUIServicesScope() {
    CurrentServices = FPrevious;
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
            if (control->TabStop() && control->Visible() && control->Enabled()) {
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
