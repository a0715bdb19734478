// vntsetup list: the entries of a package's archive in archive order.
#include <cstdio>

#include "VnCommands.h"
#include "VnSignature.h"
#include "VnUnpack.h"

int CmdList(const std::vector<std::string>& words) {
    TVnArgs args(words, {}, {});
    args.ExpectPositional(1, "list PACKAGE");
    TVnArchive archive(args.Positional()[0], SignatureSize);
    archive.ForEachEntry([](const TVnArchiveEntry& entry) {
        if (entry.IsFolder)
            std::printf("folder\t%s\n", entry.Path.c_str());
        else
            std::printf("file\t%s\t%u\t%u\n", entry.Path.c_str(), unsigned(entry.Size),
                        unsigned(entry.PackedSize));
    });
    return 0;
}
