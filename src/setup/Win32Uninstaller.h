// The uninstaller's two processes on Windows. A running program cannot delete its own file, so
// VNT_Uninstall.exe, started from the installation folder, copies itself to the temporary folder
// and runs the copy, which does the work. The copy lies in a new folder that only the system, the
// administrators and its creator may write, so that no library can have been put beside it. The
// copy hands the exit code back through a pipe, and once the first process has ended with it,
// deletes the uninstaller and the emptied folder. The caller (a deployment tool) thus waits for the
// real exit code of the whole removal.
#pragma once

#include <string>
#include <vector>

struct TVnSetupFrontEnd;

// The first word of the copy's command line.
bool IsUninstallerCopy(const std::vector<std::string>& words);

// The first process: program is its own file in the installation folder.
int StartUninstallerCopy(const std::string& program, const std::vector<std::string>& words);

// The copy: the words as StartUninstallerCopy gave them.
int RunUninstallerCopy(const std::string& program, const std::vector<std::string>& words,
                       const TVnSetupFrontEnd& frontEnd);
