#include "VnUnattended.h"

#include <algorithm>

#include "VnCfgConvertor1.h"
#include "VnDBConvertor.h"
#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnSetupMain.h"
#include "VnSysUtils.h"
#include "fMain.h"

int TVnConsoleServices::MessageDialog(const std::string& caption, const std::string& text,
                                      unsigned flags) {
    FPrint(text);
    return 1;
}

namespace {

// The language list's entry for a code; -1 when it is not offered.
int LanguageIndex(const TfrmMain& form, const std::string& code) {
    const int index = form.cobLanguage->IndexOfData(TVnLanguage::CodeToData(code));
    return code.size() == 2 ? index : -1;
}

// Plays the answers through the pages of an initialised wizard.
class TVnDriver {
public:
    TVnDriver(TfrmMain& form, const TVnInstallAnswers& answers,
              const std::function<void(const std::string&)>& print)
        : FForm(form), FAnswers(answers), FPrint(print) {}

    void Run(const std::function<void()>& beforeWriting) {
        if (!FForm.FolderAllowed(AnswerFolder(FForm, FAnswers)))
            Refuse(Format("Folder \"%s\" is a folder of the system or a link: choose another",
                          AnswerFolder(FForm, FAnswers).c_str()));
        CheckDatabaseAnswers();
        if (beforeWriting)
            beforeWriting();
        while (!FForm.Closed()) {
            const int page = FForm.PageIndex();
            Answer(page);
            FPrint(FForm.lblStep->Caption());
            Event([&] { FForm.btnNext->Click(); });
            if (!FForm.Closed() && FForm.PageIndex() == page)
                throw EVnSetupExit(VnExitCode::Fatal, "The wizard did not leave its page");
        }
    }

private:
    // Runs a user action; a failure has been shown and stops the install: a refused field as a
    // bad answer, anything else as a failed installation.
    void Event(const std::function<void()>& action) {
        bool refused = false;
        const bool done = RunEvent([&] {
            try {
                action();
            } catch (const EVnFieldRefused&) {
                refused = true;
                throw;
            }
        });
        if (!done)
            throw EVnSetupExit(refused ? VnExitCode::BadSwitch : VnExitCode::Fatal, "");
    }
    // An answer that the wizard cannot take.
    [[noreturn]] void Refuse(const std::string& text) {
        throw EVnSetupExit(VnExitCode::BadSwitch, text);
    }

    // The answers that the databases decide, checked before anything is written: the
    // administrator must be a user, and a new database needs a password. The databases that the
    // folder step will read are read here too, and nothing is logged. Where a first-generation
    // configuration is still to be imported, its users are known only after the import: the
    // administrator's page checks then.
    void CheckDatabaseAnswers() {
        if (FAnswers.ConsoleOnly)
            return;
        const std::string folder = AnswerFolder(FForm, FAnswers);
        const std::string config = folder + "Config\\";
        if (!VnPlatform::FileExists(config + "server.cfg") &&
            !VnPlatform::FileExists(config + "state.cfg") &&
            VnPlatform::FileExists(folder + LegacyCfgFile))
            return;
        TVnDBConvertor convertor(FForm.Archive());
        std::vector<TVnAdminEntry> users;
        try {
            TVnMutedLog muted;
            convertor.ConvertDatabases(config, "en");
            convertor.GetAdminList(users);
        } catch (const std::exception&) {
            return; // the folder step reports what it cannot read, in the folder's log
        }
        if (!FAnswers.Admin.empty() &&
            std::none_of(users.begin(), users.end(), [&](const TVnAdminEntry& user) {
                return SameTextAscii(user.Text, FAnswers.Admin);
            }))
            RefuseUnknownAdmin();
        if (convertor.NewDatabase() && !FAnswers.HasPassword)
            Refuse(Format("There is no configuration in \"%s\" yet: the administrator's password "
                          "is required",
                          folder.c_str()));
    }
    [[noreturn]] void RefuseUnknownAdmin() {
        Refuse(Format("User \"%s\" is not in the list of users", FAnswers.Admin.c_str()));
    }

    void Answer(int page) {
        switch (page) {
        case TfrmMain::pgLanguage:
            if (!FAnswers.Language.empty()) {
                const int index = LanguageIndex(FForm, FAnswers.Language);
                if (index < 0)
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
            if (!FAnswers.Folder.empty())
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
                RefuseUnknownAdmin();
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

void PlayAnswers(TfrmMain& form, const TVnInstallAnswers& answers,
                 const std::function<void(const std::string&)>& print,
                 const std::function<void()>& beforeWriting) {
    TVnDriver(form, answers, print).Run(beforeWriting);
}

std::string AnswerFolder(const TfrmMain& form, const TVnInstallAnswers& answers) {
    return IncludeTrailingPathDelimiter(
        ExpandFileName(answers.Folder.empty() ? form.edtFolder->Text() : answers.Folder));
}

void PresetAnswers(TfrmMain& form, const TVnInstallAnswers& answers) {
    const int language = answers.Language.empty() ? -1 : LanguageIndex(form, answers.Language);
    if (language >= 0 && language != form.cobLanguage->ItemIndex())
        form.cobLanguage->Select(language);
    if (!answers.Folder.empty())
        form.edtFolder->SetText(answers.Folder);
    (answers.ConsoleOnly ? form.rbtConsoleSetup : form.rbtFullSetup)->SetChecked(true);
    form.chbStartServer->SetChecked(answers.StartServer);
    form.chbRegisterService->SetChecked(answers.StartServer && answers.RegisterService);
}

TVnInstallAnswers AnswersOfForm(const TfrmMain& form) {
    TVnInstallAnswers answers;
    answers.Folder = form.edtFolder->Text();
    answers.ConsoleOnly = form.rbtConsoleSetup->Checked();
    answers.Language = form.Language()->Language();
    const int admin = form.cobAdmin->ItemIndex();
    if (!answers.ConsoleOnly && admin >= 0)
        answers.Admin = form.cobAdmin->Items()[admin].Text;
    answers.StartServer = form.chbStartServer->Checked();
    answers.RegisterService =
        form.chbRegisterService->Visible() ? form.chbRegisterService->Checked() : true;
    return answers;
}

int RunUnattended(const std::string& package, const TVnInstallAnswers& answers,
                  TVnUIServices& services, const std::function<void(const std::string&)>& print) {
    TVnUIServicesScope scope(services);
    return RunSetup(package, [&](TfrmMain& form) {
        form.OnExtract = [&](const std::string& path, bool isFolder) {
            if (isFolder)
                print("Extracting " + path);
        };
        PlayAnswers(form, answers, print);
    });
}
