// vntsetup extract: one file or a folder tree of a package's archive into a folder, once its
// signature passed; the empty path stands for the whole archive. The setup's own extraction: the
// entries are checked and the free space too before the first byte is written.
#include <algorithm>

#include "VnCommands.h"
#include "VnExtraction.h"
#include "VnPackageFile.h"
#include "VnSignature.h"
#include "VnUnpack.h"

int CmdExtract(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--public-key"}, {"--no-verify"});
    args.ExpectPositional(3, "extract PACKAGE PATH DEST [--public-key PUBLIC.key] [--no-verify]");
    // Entry names never hold "/", so it may stand for the archive's "\".
    std::string path = args.Positional()[1];
    std::replace(path.begin(), path.end(), '/', PathDelim);
    const std::string& target = args.Positional()[2];
    TVnPackageFile package(args.Positional()[0]);
    VerifyPackage(package, args);
    TVnArchive archive(package, SignatureSize);
    TVnArchiveEntry entry;
    if (!archive.FindEntry(path, entry))
        throw EVnException(
            Format("Entry \"%s\" not found in \"%s\"", path.c_str(), package.FileName().c_str()));
    if (entry.IsFolder) {
        ExtractPackageFolder(archive, path, target, TVnExtractionTexts(), {});
    } else {
        CheckFreeSpace(target, entry.Size, TVnExtractionTexts());
        // ExtractFile itself stays silent when the folder cannot be made.
        if (!ForceFolders(ExpandFileName(target)))
            RaiseLastOSError();
        archive.ExtractFile(path, target);
    }
    return 0;
}
