// The exit codes of the setup: the Windows Installer codes that deployment tools read, and the
// failure that carries one of them.
#pragma once

#include <string>

#include "VnSysUtils.h"

namespace VnExitCode {
constexpr int Success = 0;
constexpr int BadSwitch = 87; // a bad switch or answer
constexpr int Cancelled = 1602;
constexpr int Fatal = 1603;
constexpr int AnotherSetupRunning = 1618;
constexpr int RestartNeeded = 3010;
} // namespace VnExitCode

// A failure that ends the setup with its exit code; the message is a one-line reason.
class EVnSetupExit : public EVnException {
public:
    EVnSetupExit(int exitCode, std::string reason)
        : EVnException(std::move(reason)), FExitCode(exitCode) {}
    int ExitCode() const { return FExitCode; }

private:
    int FExitCode;
};
