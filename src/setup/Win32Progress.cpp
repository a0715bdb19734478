#include "Win32Progress.h"

#include <commctrl.h>

#include "VnSysUtils.h"
#include "Win32View.h"
#include "res/VnResources.h"

namespace {

const wchar_t* const ProgressClass = L"VntSetupProgress";
// The window's client area and margin in design units.
constexpr int ClientWidth = 360, ClientHeight = 64, Margin = 12;

LRESULT CALLBACK ProgressProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE)
        return 0; // a silent run is not cancelled from its progress window
    return DefWindowProcW(handle, message, wParam, lParam);
}

} // namespace

TVnWin32Progress::~TVnWin32Progress() {
    if (FWindow)
        DestroyWindow(FWindow);
}

void TVnWin32Progress::Create() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProgressProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_WAIT);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.lpszClassName = ProgressClass;
    RegisterClassW(&windowClass);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION;
    RECT frame = {0, 0, FServices.Scale(ClientWidth), FServices.Scale(ClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    FWindow = CreateWindowExW(0, ProgressClass, Widen(ApplicationTitle(), LanguageCodePage).c_str(),
                              style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                              nullptr, instance, nullptr);
    OSCheck(FWindow != nullptr);
    const int inner = FServices.Scale(ClientWidth - 2 * Margin);
    FStep = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                            FServices.Scale(Margin), FServices.Scale(Margin), inner,
                            FServices.Scale(14), FWindow, nullptr, instance, nullptr);
    SendMessageW(FStep, WM_SETFONT, reinterpret_cast<WPARAM>(FServices.Font(false)), FALSE);
    FBar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, FServices.Scale(Margin),
                           FServices.Scale(Margin + 22), inner, FServices.Scale(16), FWindow,
                           nullptr, instance, nullptr);
    ShowWindow(FWindow, SW_SHOWNORMAL);
}

void TVnWin32Progress::Show(const std::string& step, int position, int max) {
    if (!FWindow)
        Create();
    SetWindowTextW(FStep, Widen(step, LanguageCodePage).c_str());
    SendMessageW(FBar, PBM_SETRANGE32, 0, max > 0 ? max : 1);
    SendMessageW(FBar, PBM_SETPOS, max > 0 ? position : 0, 0);
    UpdateWindow(FWindow);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
