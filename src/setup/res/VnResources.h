// Resource ids of VNT_Setup.exe, shared by its resource script and the window view.
#pragma once

#define IDI_APP 1 // the application icon (16, 32 and 48 pixels)
