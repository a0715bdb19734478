// The program's start and end: the title, the signature check of the program's own file, the
// wizard form with its objects, the message loop, the teardown, and the one handler that shows
// every failure that escapes.
#pragma once

#include <exception>
#include <functional>
#include <string>

class TfrmMain;

// Shows an exception as the message loop does: its message, with a full stop when the last
// character sorts after ".", captioned with the application title, with the error icon. The
// silent abort is not shown.
void ShowException(const std::exception& e);

// Runs an event handler as the message loop does: an exception is shown and answers false.
bool RunEvent(const std::function<void()>& handler);

// The whole program over programFile (the executable, or a package). messageLoop runs the
// initialised wizard until it closes. Answers the exit code (VnExitCode): Success when the wizard
// ran to its end, Cancelled when it closed before; for a failure that reached the top-level
// handler (shown there, unless it was shown before), the code of an EVnSetupExit, else Fatal.
int RunSetup(const std::string& programFile, const std::function<void(TfrmMain&)>& messageLoop);
