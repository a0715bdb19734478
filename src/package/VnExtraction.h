// Extraction of a package folder with its preflight, a layer above the archive reader: every
// entry is checked and the sizes are summed before anything is written, the sum must fit the free
// space of the target volume, and no file that the extraction replaces may be in use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "VnUnpack.h"

// The refusals of the preflight; every "%s" of a format is filled in turn, nothing else in it is
// interpreted. English unless the language file gives others.
struct TVnExtractionTexts {
    // folder, kilobytes needed, kilobytes free
    std::string NoSpace = "Not enough disk space for \"%s\": %s KB needed, %s KB free";
    // file
    std::string InUse = "The file \"%s\" is in use. Stop the program that uses it and press "
                        "Install again.";
    // file, the programs that hold it
    std::string InUseBy = "The file \"%s\" is in use by %s. Stop it and press Install again.";
};

// Answers the bytes free on the volume of an existing folder. The platform's by default; tests
// put their own in place to stand for a small volume.
using TVnFreeSpaceQuery = std::function<bool(const std::string& folder, uint64_t& bytes)>;
TVnFreeSpaceQuery& FreeSpaceQuery();

// Raises EVnException with texts.NoSpace filled in when `needed` bytes do not fit the volume of
// folder (the nearest existing folder on its path is asked).
void CheckFreeSpace(const std::string& folder, uint64_t needed, const TVnExtractionTexts& texts);

// Opens every existing file of folder + relative path for writing, shared with no one, and closes
// it again. Answers the full paths of the files that another program holds. A link is passed by
// (never opened: it is moved aside as it is); so is a file that may not be written when
// passUnwritable is set (a removal keeps it); any other failure raises EFCreateError.
std::vector<std::string> HeldFiles(const std::string& folder, const std::vector<std::string>& files,
                                   bool passUnwritable = false);
// HeldFiles, where the first held file raises EVnException with texts.InUse (or InUseBy, when
// the system names the programs).
void CheckFilesNotInUse(const std::string& folder, const std::vector<std::string>& files,
                        const TVnExtractionTexts& texts);

// What an extraction calls on its way; each may be left unset.
struct TVnExtractionHooks {
    // Given the held files before they are refused; may close the programs that hold them.
    std::function<void(const std::vector<std::string>& heldFiles)> CloseHolders;
    // The survey, before the first byte is written.
    std::function<void(const TVnFolderSurvey& survey)> OnStart;
    // Every entry written.
    TVnExtractProgress OnEntry;
    // Files written into the same all-or-nothing step.
    TVnStagedExtras Extras;
};

// The folder entry `path` into folder: surveyed (the archive's checks), checked against the free
// space and for files in use, then extracted in one pass, all or nothing, with the hooks called.
// False, with nothing done, when there is no such folder entry.
bool ExtractPackageFolder(TVnArchive& archive, const std::string& path, const std::string& folder,
                          const TVnExtractionTexts& texts, const TVnExtractionHooks& hooks);
