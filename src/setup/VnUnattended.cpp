#include "VnUnattended.h"

#include "VnSetupMain.h"
#include "VnSysUtils.h"
#include "fMain.h"

int TVnConsoleServices::MessageDialog(const std::string& caption, const std::string& text,
                                      unsigned flags) {
    FPrint(text);
    return 1;
}

namespace {

// Plays the answers through the pages of an initialised wizard.
class TVnDriver {
public:
    TVnDriver(TfrmMain& form, const TVnInstallAnswers& answers,
              const std::function<void(const std::string&)>& print)
        : FForm(form), FAnswers(answers), FPrint(print) {}

    void Run() {
        while (!FForm.Closed()) {
            const int page = FForm.PageIndex();
            Answer(page);
            FPrint(FForm.lblStep->Caption());
            Event([&] { FForm.btnNext->Click(); });
            if (!FForm.Closed() && FForm.PageIndex() == page)
                throw EAbort(); // the page's action failed and has shown why
        }
    }

private:
    // Runs a user action; a failure has been shown and stops the install.
    void Event(const std::function<void()>& action) {
        if (!RunEvent(action))
            throw EAbort();
    }
    // An answer that the wizard cannot take: shown like the wizard's own messages.
    [[noreturn]] void Refuse(const std::string& text) {
        ShowAppMessage(text, MB_ICONERROR_FLAG);
        throw EAbort();
    }

    void Answer(int page) {
        switch (page) {
        case TfrmMain::pgLanguage:
            if (!FAnswers.Language.empty()) {
                const int index =
                    FForm.cobLanguage->IndexOfData(TVnLanguage::CodeToData(FAnswers.Language));
                if (index < 0 || FAnswers.Language.size() != 2)
                    Refuse(Format("Language \"%s\" is not offered", FAnswers.Language.c_str()));
                if (index != FForm.cobLanguage->ItemIndex())
                    Event([&] { FForm.cobLanguage->Select(index); });
            }
            break;
        case TfrmMain::pgLicense:
            if (!FForm.chbAccept->Checked())
                Event([&] { FForm.chbAccept->Click(); });
            break;
        case TfrmMain::pgFolder:
            FForm.edtFolder->Type(FAnswers.Folder);
            Event([&] {
                (FAnswers.ConsoleOnly ? FForm.rbtConsoleSetup : FForm.rbtFullSetup)->Click();
            });
            break;
        case TfrmMain::pgAdmin:
            AnswerAdmin();
            break;
        case TfrmMain::pgFinish:
            if (!FAnswers.StartServer && FForm.chbStartServer->Checked())
                Event([&] { FForm.chbStartServer->Click(); });
            if (!FAnswers.RegisterService && FForm.chbRegisterService->Visible() &&
                FForm.chbRegisterService->Checked())
                Event([&] { FForm.chbRegisterService->Click(); });
            break;
        }
    }

    void AnswerAdmin() {
        TVnComboBox& admins = *FForm.cobAdmin;
        if (!FAnswers.Admin.empty()) {
            int index = -1;
            for (int i = 0; i < admins.Count() && index < 0; ++i)
                if (SameTextAscii(admins.Items()[i].Text, FAnswers.Admin))
                    index = i;
            if (index < 0)
                Refuse(Format("User \"%s\" is not in the list of users", FAnswers.Admin.c_str()));
            if (index != admins.ItemIndex())
                Event([&] { admins.Select(index); });
        }
        if (!FAnswers.HasPassword)
            return;
        if (!FForm.chbPassword->Checked())
            Event([&] { FForm.chbPassword->Click(); });
        FForm.edtPassword->Type(FAnswers.Password);
        FForm.edtConfirm->Type(FAnswers.Password);
    }

    TfrmMain& FForm;
    const TVnInstallAnswers& FAnswers;
    const std::function<void(const std::string&)>& FPrint;
};

} // namespace

int RunUnattended(const std::string& package, const TVnInstallAnswers& answers,
                  TVnUIServices& services, const std::function<void(const std::string&)>& print) {
    TVnUIServicesScope scope(services);
    return RunSetup(package, [&](TfrmMain& form) {
        form.OnExtract = [&](const std::string& path, bool isFolder) {
            if (isFolder)
                print("Extracting " + path);
        };
        TVnDriver(form, answers, print).Run();
    });
}
