// The small progress window of a silent run (/SILENT): the setup's title, the step being taken
// and a progress bar, with no button and no way to close it.
#pragma once

#include <string>
#include <windows.h>

class TVnWin32Services;

class TVnWin32Progress {
public:
    explicit TVnWin32Progress(TVnWin32Services& services) : FServices(services) {}
    ~TVnWin32Progress();
    TVnWin32Progress(const TVnWin32Progress&) = delete;
    TVnWin32Progress& operator=(const TVnWin32Progress&) = delete;

    // Shows the window (made on the first call), the step (a text of the language file) and the
    // bar at position of max, and handles the messages that wait so that it repaints.
    void Show(const std::string& step, int position, int max);

private:
    void Create();

    TVnWin32Services& FServices;
    HWND FWindow = nullptr, FStep = nullptr, FBar = nullptr;
};
