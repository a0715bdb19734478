// vntsetup list: the entries of a package's archive in archive order, once its signature passed.
#include <cstdio>

#include "VnCommands.h"
#include "VnPackageFile.h"
#include "VnSignature.h"
#include "VnUnpack.h"

int CmdList(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--public-key"}, {"--no-verify"});
    args.ExpectPositional(1, "list PACKAGE [--public-key PUBLIC.key] [--no-verify]");
    TVnPackageFile package(args.Positional()[0]);
    VerifyPackage(package, args);
    TVnArchive archive(package, SignatureSize);
    archive.ForEachEntry([](const TVnArchiveEntry& entry) {
        if (entry.IsFolder)
            std::printf("folder\t%s\n", entry.Path.c_str());
        else
            std::printf("file\t%s\t%u\t%u\n", entry.Path.c_str(), unsigned(entry.Size),
                        unsigned(entry.PackedSize));
    });
    return 0;
}
