// The setup's package, opened once for the whole run: read access, other readers allowed, no
// writer (on Windows the sharing mode refuses every write-open, rename and delete while it is
// held; on POSIX the descriptor keeps the checked file even when its name is replaced). The
// signature check, the archive reader and the default database all read through this one file.
#pragma once

#include <string>

#include "VnLongNumbers.h"
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
    // The package signature check on this file.
    bool CheckSignature(const TVnKeyRecord& key);

private:
    TVnFileStream FStream;
};
