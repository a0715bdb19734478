// vntsetup encode-password TEXT: prints the encoded form of TEXT, its bytes taken as given.
#include <cstdio>

#include "VnCommands.h"
#include "VnCrypt.h"
#include "VnSysUtils.h"

int CmdEncodePassword(const std::vector<std::string>& words) {
    // No option parsing: a password may well begin with "--".
    if (words.size() != 1)
        throw EVnException("usage: encode-password TEXT");
    std::printf("%s\n", EncodePassword(words[0]).c_str());
    return 0;
}
