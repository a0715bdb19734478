#include "VnPackageFile.h"

#include "VnInstallLog.h"
#include "VnSignature.h"

TVnPackageFile::TVnPackageFile(const std::string& fileName)
    : FStream(fileName, TVnFileStream::Mode::OpenRead), FLayout(FStream) {}

bool TVnPackageFile::CheckSignature(const TVnKeyRecord& key) {
    FCheckedEnd = SignedPackageEnd(key, FStream, FLayout);
    return FCheckedEnd >= 0;
}

int64_t TVnPackageFile::End() {
    return FCheckedEnd >= 0 ? FCheckedEnd : FLayout.LikelyEnd(FStream);
}

void LogCheckedPackage(const TVnPackageFile& package) {
    const TVnPackageLayout& layout = package.Layout();
    if (layout.HasCertificateTable())
        InstallLog().Write(ltPackageAuthenticode, package.FileName().c_str(),
                           IntToStr(layout.CertificateTable().Size).c_str());
    else
        InstallLog().Write(ltPackageValid, package.FileName().c_str());
}
