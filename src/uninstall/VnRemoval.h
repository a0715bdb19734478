// The removal of what an installation record lists, and nothing else: a file only while it is
// still what was installed (a file of the recorded size and MD5, reached from the installation
// folder without a link), a folder only once it is empty, never by walking it. Everything not
// listed stays: the configuration, the console's configuration, the mail, the logs and whatever
// a user added. Every step is a line of the install log, in the texts given. Each file is checked
// and deleted through one handle, reached from folders held open step by step that no link
// leads through; a file that is a link, or that cannot be deleted (read-only), stays and is
// logged.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "VnInstallRecord.h"
#include "VnUninstallTexts.h"

extern const char* const UninstallerName; // "VNT_Uninstall.exe"

// The files of the record that another program holds open (full paths).
std::vector<std::string> HeldRecordedFiles(const std::string& folder,
                                           const TVnInstallRecord& record);

// What a recorded file is now, seen from its folder reached without a link: as installed (its
// recorded size and MD5), missing, changed, a link, or not to be opened (another reason).
enum class TVnFileState { AsInstalled, Missing, Changed, Link, Unreadable };
// The state of every recorded file, by its path relative to folder, in the record's order.
std::vector<std::pair<std::string, TVnFileState>> CompareWithRecord(const std::string& folder,
                                                                    const TVnInstallRecord& record);

// The full paths of the recorded files: the programs whose services are the installation's own.
std::vector<std::string> RecordedPrograms(const std::string& folder,
                                          const TVnInstallRecord& record);

// Called with a file's path after it has been checked and before it is deleted; unset outside
// tests, which change the file system there to show that the check and the deletion concern the
// same file.
std::function<void(const std::string& path)>& RemovalCheckedHook();

// Removes the recorded files but the uninstaller, the recorded folders that are then empty
// (deepest first), and the record. folder ends with a separator.
void RemoveRecorded(const std::string& folder, const TVnInstallRecord& record,
                    const TVnUninstallTexts& texts);

// Removes the uninstaller of folder, when it is a file and no link, and folder itself when it is
// then empty.
void RemoveUninstaller(const std::string& folder, const TVnUninstallTexts& texts);
