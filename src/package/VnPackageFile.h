// The setup's package, opened once for the whole run: read access, other readers allowed, no
// writer (on Windows the sharing mode refuses every write-open, rename and delete while it is
// held; on POSIX the descriptor keeps the checked file even when its name is replaced). The
// signature check, the archive reader and the default database all read through this one file,
// and all take its extent from here.
#pragma once

#include <string>

#include "VnLongNumbers.h"
#include "VnPackageLayout.h"
#include "VnSysUtils.h"

class TVnPackageFile {
public:
    // EFOpenError when the file cannot be opened.
    explicit TVnPackageFile(const std::string& fileName);
    TVnPackageFile(const TVnPackageFile&) = delete;
    TVnPackageFile& operator=(const TVnPackageFile&) = delete;

    const std::string& FileName() const { return FStream.FileName(); }
    // The one stream of the file; every reader positions it itself.
    TVnStream& Stream() { return FStream; }
    const TVnPackageLayout& Layout() const { return FLayout; }
    // The package signature check on this file; the end it confirms is the package's end.
    bool CheckSignature(const TVnKeyRecord& key);
    // One past the signature block: the end the check confirmed, or before a check the likely
    // one; -1 for a damaged certificate table.
    int64_t End();

private:
    TVnFileStream FStream;
    TVnPackageLayout FLayout;
    int64_t FCheckedEnd = -1;
};

// The install log's line for a package whose signature holds: whether it carries an Authenticode
// certificate table, and its size.
void LogCheckedPackage(const TVnPackageFile& package);
