#include "VnSetupProgram.h"

#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnPlatform.h"
#include "VnRegistration.h"
#include "VnRemoval.h"
#include "VnRunEvents.h"
#include "VnSetupMain.h"
#include "VnSetupOptions.h"
#include "VnStoppedServices.h"
#include "VnSysUtils.h"
#include "fMain.h"

const char* const SetupMutexName = "Global\\VantroMailServerSetup";

namespace {

// The services of a silent run: the window's, with no folder picker, no busy cursor, and message
// boxes only when they may wait for a person (every message is logged before it is shown).
class TVnSilentServices : public TVnUIServices {
public:
    TVnSilentServices(TVnUIServices& window, bool suppressMessageBoxes)
        : FWindow(window), FSuppress(suppressMessageBoxes) {}
    int MessageDialog(const std::string& caption, const std::string& text,
                      unsigned flags) override {
        // The first button is the default answer: OK, or Yes.
        return !FSuppress                     ? FWindow.MessageDialog(caption, text, flags)
               : (flags & MB_YESNO_FLAG) != 0 ? MB_IDYES
                                              : MB_IDOK;
    }
    void OpenWithShell(const std::string& target) override {}
    bool IsAdministrator() override { return FWindow.IsAdministrator(); }
    bool StartProgram(const std::string& commandLine) override {
        return FWindow.StartProgram(commandLine);
    }
    std::string ProgramFilesFolder() override { return FWindow.ProgramFilesFolder(); }
    unsigned UserPrimaryLanguage() override { return FWindow.UserPrimaryLanguage(); }

private:
    TVnUIServices& FWindow;
    bool FSuppress;
};

// A run that ends before the wizard: its reason logged and shown, its exit code.
int EndEarly(const EVnSetupExit& exit) {
    InstallLog().Begin();
    ShowException(exit);
    InstallLog().End();
    return exit.ExitCode();
}

// The product's global mutex, held for the object's lifetime.
class TVnSetupLock {
public:
    TVnSetupLock() : FMutex(VnPlatform::HoldNamedMutex(SetupMutexName)) {}
    ~TVnSetupLock() { VnPlatform::ReleaseNamedMutex(FMutex); }
    TVnSetupLock(const TVnSetupLock&) = delete;
    TVnSetupLock& operator=(const TVnSetupLock&) = delete;
    bool Held() const { return FMutex != VnPlatform::InvalidMutex; }
    // The refusal of a run while another holds the mutex.
    static int Refuse() {
        return EndEarly(EVnSetupExit(VnExitCode::AnotherSetupRunning,
                                     Format("Another setup of %s is running", ProductVersionName)));
    }

private:
    VnPlatform::MutexHandle FMutex;
};

// The log's copy (/LOG) for the object's lifetime. Absolute: the installation changes the
// current directory.
class TVnLogCopy {
public:
    explicit TVnLogCopy(const std::string& fileName) {
        InstallLog().SetCopy(fileName.empty() ? "" : ExpandFileName(fileName));
    }
    ~TVnLogCopy() { InstallLog().SetCopy(""); }
    TVnLogCopy(const TVnLogCopy&) = delete;
    TVnLogCopy& operator=(const TVnLogCopy&) = delete;
};

// What every run sets up from the switches that decide how it is shown and logged: the log's
// copy, and the services in force, silent ones for /SILENT and /VERYSILENT.
class TVnRunSettings {
public:
    TVnRunSettings(const std::vector<std::string>& words, const TVnSetupFrontEnd& frontEnd)
        : FSwitches(ParseRunSwitches(words)), FLogCopy(FSwitches.LogFile),
          FSilentServices(*frontEnd.WindowServices, FSwitches.SuppressMessageBoxes),
          FScope(Silent() ? FSilentServices : *frontEnd.WindowServices) {}
    bool Silent() const { return FSwitches.Mode != TVnRunMode::Window; }

private:
    TVnSetupOptions FSwitches;
    TVnLogCopy FLogCopy;
    TVnSilentServices FSilentServices;
    TVnUIServicesScope FScope;
};

// The installation's own program files in folder: those its record lists and those the package
// puts there. Only their services are stopped.
std::vector<std::string> InstallationPrograms(TfrmMain& form, const std::string& folder) {
    TVnInstallRecord record;
    try {
        ReadInstallRecord(folder, record);
    } catch (const std::exception&) {
        // A damaged record names nothing: the package's files still do.
    }
    std::vector<std::string> programs = RecordedPrograms(folder, record);
    TVnFolderSurvey survey;
    if (form.Archive().SurveyFolder("Setup", survey))
        for (const std::string& file : survey.FilePaths)
            programs.push_back(folder + file);
    return programs;
}

// The silent run of an initialised wizard: the services of the folder stopped and other holders
// of its files closed when asked, then the answers played through the pages.
void RunSilently(TfrmMain& form, const TVnSetupOptions& options, const TVnSetupFrontEnd& frontEnd) {
    const bool shown = options.Mode == TVnRunMode::Silent && frontEnd.ShowProgress;
    const auto progress = [&](const std::string& step) {
        if (shown)
            frontEnd.ShowProgress(step, form.prgInstall->Position(), form.prgInstall->Max());
    };
    form.OnExtract = [&](const std::string&, bool) { progress(form.lblStep->Caption()); };
    TVnStoppedServices stopped(InstallServiceTexts());
    PlayAnswers(form, options.Answers, progress, [&] {
        if (!options.CloseApplications)
            return;
        stopped.Stop(InstallationPrograms(form, AnswerFolder(form, options.Answers)));
        form.OnFilesInUse = CloseFileHolders;
    });
}

} // namespace

int RunSetupProgram(const std::string& programFile, const std::vector<std::string>& words,
                    const TVnSetupFrontEnd& frontEnd) {
    ApplicationTitle() = Format("Setup of %s", ProductVersionName);
    const TVnRunSettings settings(words, frontEnd);
    const bool silent = settings.Silent();
    TVnSetupOptions options;
    const auto reported = [&](int code) {
        return ReportRunEnd(TVnRunKind::Installation, code, options.Answers.Folder);
    };
    try {
        options = ParseSetupOptions(words);
        if (options.Help) {
            ShowMessageBox(ApplicationTitle(), SetupUsage, MB_OK_FLAG);
            return VnExitCode::Success;
        }
        CheckOutputFiles(options);
    } catch (const EVnSetupExit& e) {
        return reported(EndEarly(e));
    }
    const std::string saveInf = options.SaveInf.empty() ? "" : ExpandFileName(options.SaveInf);
    TVnSetupLock lock;
    if (!lock.Held())
        return reported(TVnSetupLock::Refuse());

    return reported(RunSetup(programFile, [&](TfrmMain& form) {
        if (silent) {
            RunSilently(form, options, frontEnd);
        } else {
            PresetAnswers(form, options.Answers);
            frontEnd.MessageLoop(form);
        }
        if (!form.Finished() || saveInf.empty())
            return;
        // The installation is complete: an answer file that cannot be written now is said in
        // the log, and the run still succeeded.
        try {
            SaveAnswers(saveInf, AnswersOfForm(form));
            InstallLog().Write(ltAnswersSaved, saveInf);
        } catch (const std::exception& e) {
            InstallLog().Write(ltMessage, e.what());
        }
    }));
}

namespace {

// The removal after the confirmation, in the record's language.
int RemoveInstallation(const std::string& folder, const TVnInstallRecord& record,
                       const TVnUninstallTexts& texts) {
    InstallLog().Add(FormatText(texts.Start, folder));
    TVnStoppedServices services({texts.ServiceStopped, texts.ServiceNotStopped,
                                 texts.ServiceStarted, texts.ServiceNotStarted,
                                 texts.ServiceDeleted, texts.ServiceNotDeleted});
    const std::vector<std::string> programs = RecordedPrograms(folder, record);
    services.Stop(programs);
    const std::vector<std::string> held = HeldRecordedFiles(folder, record);
    if (!held.empty())
        throw EVnSetupExit(VnExitCode::Fatal, FormatText(texts.InUse, held[0]));
    services.DeleteAll(programs);
    RemoveRecorded(folder, record, texts);
    if (RemoveRegistration(folder))
        InstallLog().Add(FormatText(texts.KeyRemoved, UninstallKeyName));
    return VnExitCode::Success;
}

} // namespace

int RunUninstallProgram(const std::string& folder, const std::vector<std::string>& words,
                        const TVnSetupFrontEnd& frontEnd) {
    const TVnRunSettings settings(words, frontEnd);
    const bool silent = settings.Silent();
    TVnInstallRecord record;
    bool recorded = false;
    try {
        recorded = ReadInstallRecord(folder, record);
    } catch (const std::exception&) {
    }
    const std::string language = recorded ? record.Language : UserLanguageCode();
    if (frontEnd.UseLanguage)
        frontEnd.UseLanguage(language);
    const TVnUninstallTexts& texts = UninstallTexts(language);
    ApplicationTitle() = FormatText(texts.Title, ProductVersionName);
    const auto reported = [&](int code) { return ReportRunEnd(TVnRunKind::Removal, code, folder); };
    try {
        const TVnSetupOptions options = ParseUninstallOptions(words);
        if (options.Help) {
            ShowMessageBox(ApplicationTitle(), UninstallUsage, MB_OK_FLAG);
            return VnExitCode::Success;
        }
    } catch (const EVnSetupExit& e) {
        return reported(EndEarly(e));
    }
    TVnSetupLock lock;
    if (!lock.Held())
        return reported(TVnSetupLock::Refuse());
    InstallLog().Begin();
    InstallLog().SetFolder(folder);
    int code = VnExitCode::Cancelled;
    try {
        if (!recorded)
            throw EVnSetupExit(VnExitCode::Fatal,
                               FormatText(texts.NoRecord, folder + InstallRecordName));
        const std::string shown = ExcludeTrailingPathDelimiter(folder);
        if (silent ||
            ShowMessageBox(ApplicationTitle(), FormatText(texts.Confirm, ProductVersionName, shown),
                           MB_YESNO_FLAG | MB_ICONQUESTION_FLAG) == MB_IDYES)
            code = RemoveInstallation(folder, record, texts);
        if (code == VnExitCode::Success && !silent)
            ShowAppMessage(FormatText(texts.Done, ProductVersionName, shown), MB_OK_FLAG);
    } catch (const EVnSetupExit& e) {
        ShowException(e);
        code = e.ExitCode();
    } catch (const std::exception& e) {
        ShowException(e);
        code = VnExitCode::Fatal;
    }
    InstallLog().End();
    return reported(code);
}
