// The setup's command line and answer files: switches such as /VERYSILENT /DIR="path" parsed into
// the wizard's answers and the run's settings, and the checks of the answers that need no
// database, shared with vntsetup install. Every refusal raises EVnSetupExit with
// VnExitCode::BadSwitch and a one-line reason.
#pragma once

#include <string>
#include <vector>

#include "VnUnattended.h"

enum class TVnRunMode { Window, Silent, VerySilent };

struct TVnSetupOptions {
    TVnInstallAnswers Answers;
    TVnRunMode Mode = TVnRunMode::Window;
    bool SuppressMessageBoxes = false;
    bool NoRestart = false;
    bool CloseApplications = false;
    bool Help = false;   // /?: show the usage and end
    std::string LogFile; // /LOG: a copy of the install log
    std::string SaveInf; // /SAVEINF: where the answers are to be saved
};

// The words after the program's name. Switch names ignore case; a value follows "=", optionally
// in double quotes. The answer files of /LOADINF are read first, then the other switches apply
// in their order (of /SILENT and /VERYSILENT the quieter wins). The answers are checked with
// CheckAnswers.
TVnSetupOptions ParseSetupOptions(const std::vector<std::string>& words);

// The files that switches name for writing, tried before anything is stopped or written: /LOG's
// folder is made (one level) and its file opened for appending; in /SAVEINF's folder a file is
// made and removed again. One that cannot be written is refused.
void CheckOutputFiles(const TVnSetupOptions& options);

// The uninstaller's switches: /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES, /NORESTART, /LOG and /?;
// any other is refused as ParseSetupOptions refuses it.
TVnSetupOptions ParseUninstallOptions(const std::vector<std::string>& words);

// Only the switches that decide how a run is shown and logged (/SILENT, /VERYSILENT,
// /SUPPRESSMSGBOXES and /LOG), with every other word and every fault skipped: how to report the
// refusals of ParseSetupOptions.
TVnSetupOptions ParseRunSwitches(const std::vector<std::string>& words);

// True for a switch whose value names a file that the run only reads or writes, a path kept
// nowhere: any form of it that reaches the same file will do (/LOG, /LOADINF, /SAVEINF,
// /PASSWORDFILE).
bool IsFileSwitch(const std::string& name);

// The usage shown for /?, by the setup and by the uninstaller.
extern const char* const SetupUsage;
extern const char* const UninstallUsage;

// The answer file: a [Setup] section with the keys Dir, Lang, Type, Tasks and Admin, whose values
// are read as the switches of those names. Never holds a password.
void LoadAnswers(const std::string& fileName, TVnInstallAnswers& answers);
// Writes every answer but the password; raises the file system's failures.
void SaveAnswers(const std::string& fileName, const TVnInstallAnswers& answers);

// The first line of the file, without its line break.
std::string ReadPasswordFile(const std::string& fileName);

// How the caller names each answer in a refusal, e.g. "Option --dir" or "Switch /DIR".
struct TVnAnswerNames {
    std::string Folder, Language, Password;
};
// The rules of the wizard's pages that need no database: the lengths of its fields, a folder
// name without '?' (what a character the code page of the configuration cannot hold arrives as),
// a password that is not empty, and the languages it offers.
void CheckAnswers(const TVnInstallAnswers& answers, const TVnAnswerNames& names);
