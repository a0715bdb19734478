#include "VnSetupMain.h"

#include "VnPublicKey.h"
#include "VnSignature.h"
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
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ShowException(e);
        return false;
    }
}

int RunSetup(const std::string& programFile, const std::function<void(TfrmMain&)>& messageLoop) {
    try {
        // Absolute: the install actions change the current directory.
        const std::string program = ExpandFileName(programFile);
        ApplicationTitle() = Format("Setup of %s", ProductVersionName);
        if (!CheckFileSignature(VnPublicKeyRecord, program))
            throw EVnAbort(FileCorruptedMessage(program));
        TVnComponent application(nullptr);
        auto* form = new TfrmMain(application);
        try {
            form->InitForm(program);
            messageLoop(*form);
        } catch (...) {
            form->DoneForm();
            throw;
        }
        form->DoneForm();
        return 0;
    } catch (const std::exception& e) {
        ShowException(e);
        return 1;
    }
}
