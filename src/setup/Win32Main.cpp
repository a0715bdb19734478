// The entry of VNT_Setup.exe: the wizard with its Windows view. The program takes no arguments;
// it reads the payload and the signature from its own file.
#include <windows.h>

#include "VnPlatform.h"
#include "VnSetupMain.h"
#include "Win32View.h"
#include "fMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TVnWin32Services services;
    TVnUIServicesScope scope(services);
    // There is no regional-settings broadcast to ignore: nothing here reads locale formats.
    return RunSetup(VnPlatform::ModuleFileName(), [&services](TfrmMain& form) {
        TVnWin32View view(form, services);
        view.Run();
    });
}
