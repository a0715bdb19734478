// vntsetup extract: one file or a folder tree of a package's archive into a folder; the empty
// path stands for the whole archive.
#include <algorithm>

#include "VnCommands.h"
#include "VnSignature.h"
#include "VnUnpack.h"

int CmdExtract(const std::vector<std::string>& words) {
    TVnArgs args(words, {}, {});
    args.ExpectPositional(3, "extract PACKAGE PATH DEST");
    const std::string& package = args.Positional()[0];
    // Entry names never hold "/", so it may stand for the archive's "\".
    std::string path = args.Positional()[1];
    std::replace(path.begin(), path.end(), '/', PathDelim);
    const std::string& target = args.Positional()[2];
    TVnArchive archive(package, SignatureSize);
    TVnArchiveEntry entry;
    if (!archive.FindEntry(path, entry))
        throw EVnException(
            Format("Entry \"%s\" not found in \"%s\"", path.c_str(), package.c_str()));
    if (entry.IsFolder) {
        archive.ExtractFolder(path, target);
    } else {
        // ExtractFile itself stays silent when the folder cannot be made.
        if (!ForceFolders(ExpandFileName(target)))
            RaiseLastOSError();
        archive.ExtractFile(path, target);
    }
    return 0;
}
