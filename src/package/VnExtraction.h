// Extraction of a package folder with its preflight, a layer above the archive reader: every
// entry is checked and the sizes are summed before anything is written, and the sum must fit the
// free space of the target volume.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "VnUnpack.h"

// The English form of the free-space message: folder, kilobytes needed, kilobytes free.
extern const char* const NoSpaceFormat;

// Answers the bytes free on the volume of an existing folder. The platform's by default; tests
// put their own in place to stand for a small volume.
using TVnFreeSpaceQuery = std::function<bool(const std::string& folder, uint64_t& bytes)>;
TVnFreeSpaceQuery& FreeSpaceQuery();

// Raises EVnException with noSpaceFormat filled in when `needed` bytes do not fit the volume of
// folder (the nearest existing folder on its path is asked). Every "%s" of the format is filled
// in turn; nothing else in it is interpreted.
void CheckFreeSpace(const std::string& folder, uint64_t needed, const std::string& noSpaceFormat);

// The folder entry `path` into folder: surveyed (the archive's checks), checked against the free
// space, then extracted in one pass; onStart gets the survey before the first byte is written,
// onEntry every entry written. False, with nothing done, when there is no such folder entry.
bool ExtractPackageFolder(TVnArchive& archive, const std::string& path, const std::string& folder,
                          const std::string& noSpaceFormat,
                          const std::function<void(const TVnFolderSurvey& survey)>& onStart,
                          const TVnExtractProgress& onEntry);
