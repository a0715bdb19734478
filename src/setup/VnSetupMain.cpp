#include "VnSetupMain.h"

#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnPackageFile.h"
#include "VnPublicKey.h"
#include "VnSysUtils.h"
#include "VnVisUtils.h"
#include "fMain.h"

void ShowException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e))
        return;
    std::string text = e.what();
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    ShowAppMessage(text, MB_ICONERROR_FLAG);
}

bool RunEvent(const std::function<void()>& handler) {
    bool done = true;
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(e);
        done = false;
    }
    // The event's lines go to the log once its outcome is known (and its folder exists).
    InstallLog().Flush();
    return done;
}

int RunSetup(const std::string& programFile, const std::function<void(TfrmMain&)>& messageLoop) {
    InstallLog().Begin();
    try {
        // Absolute: the install actions change the current directory.
        const std::string program = ExpandFileName(programFile);
        ApplicationTitle() = Format("Setup of %s", ProductVersionName);
        // One open file from the check to the last read: nobody can change what was checked.
        TVnPackageFile package(program);
        if (!package.CheckSignature(VnPublicKeyRecord))
            throw EVnAbort(FileCorruptedMessage(program));
        TVnComponent application(nullptr);
        auto* form = new TfrmMain(application);
        try {
            form->InitForm(package);
            LogCheckedPackage(package);
            messageLoop(*form);
        } catch (...) {
            form->DoneForm();
            throw;
        }
        const bool finished = form->Finished();
        form->DoneForm();
        InstallLog().End();
        return finished ? VnExitCode::Success : VnExitCode::Cancelled;
    } catch (const EVnSetupExit& e) {
        if (*e.what())
            ShowException(e);
        InstallLog().End();
        return e.ExitCode();
    } catch (const std::exception& e) {
        ShowException(e);
        InstallLog().End();
        return VnExitCode::Fatal;
    }
}
