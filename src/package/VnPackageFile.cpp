#include "VnPackageFile.h"

#include "VnSignature.h"

TVnPackageFile::TVnPackageFile(const std::string& fileName)
    : FStream(fileName, TVnFileStream::Mode::OpenRead) {}

bool TVnPackageFile::CheckSignature(const TVnKeyRecord& key) {
    FStream.SetPosition(0);
    return CheckStreamSignature(key, FStream);
}
