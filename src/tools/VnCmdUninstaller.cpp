// vntsetup uninstaller: the uninstaller that installations from packages of a stub write, for the
// publisher to sign and give to pack --signed-uninstaller.
#include "VnArchiveWriter.h"
#include "VnCommands.h"
#include "VnSysUtils.h"

int CmdUninstaller(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--stub", "--output"}, {});
    args.ExpectPositional(0, "uninstaller --stub STUB --output OUT");
    const std::string stub = args.Required("--stub");
    const std::string output = args.Required("--output");
    WriteFileAtomic(output, UnsignedStub(stub));
    return 0;
}
