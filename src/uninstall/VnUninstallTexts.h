// The uninstaller's texts in English and Russian. The uninstaller carries no language file: it
// speaks the language that the installation record names, and its log lines are in that
// language too. Each "%s" is filled in turn (FormatText).
#pragma once

#include <string>

struct TVnUninstallTexts {
    std::string Title;             // product
    std::string Confirm;           // product, folder
    std::string Done;              // product, folder
    std::string NoRecord;          // record file
    std::string InUse;             // file
    std::string Start;             // folder: the first log line
    std::string Removed;           // file or folder
    std::string KeptChanged;       // file
    std::string KeptLink;          // file or folder
    std::string KeptUndeletable;   // file, reason
    std::string KeptFolder;        // folder that still holds something
    std::string ServiceStopped;    // service
    std::string ServiceNotStopped; // service, reason
    std::string ServiceStarted;    // service
    std::string ServiceNotStarted; // service, reason
    std::string ServiceDeleted;    // service
    std::string ServiceNotDeleted; // service, reason
    std::string KeyRemoved;        // key
};

// The texts of a language code; English for any code but "ru".
const TVnUninstallTexts& UninstallTexts(const std::string& language);
