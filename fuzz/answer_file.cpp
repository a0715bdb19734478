// Arbitrary bytes as an answer file (/LOADINF) and as a password file (/PASSWORDFILE): each is
// read into answers or refused with exit code 87, and nothing else escapes. A password that is
// taken fits the password field and holds no line end or NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VnExitCodes.h"
#include "VnPlatform.h"
#include "VnSetupOptions.h"
#include "VnSysUtils.h"
#include "fMain.h"

namespace {

// A file of the process's own in the temporary folder, for the bytes of each input.
const std::string& InputFile() {
    static const std::string file = [] {
        uint32_t random[2] = {};
        VnPlatform::RandomBytes(random, sizeof random);
        return VnPlatform::TempFolder() + Format("fuzz_answer_file_%08x%08x", random[0], random[1]);
    }();
    return file;
}

void Parse(const std::string& word) {
    try {
        const TVnSetupOptions options = ParseSetupOptions({word + InputFile()});
        const std::string& password = options.Answers.Password;
        if (password.size() > TfrmMain::PasswordMaxLength ||
            password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            std::abort();
    } catch (const EVnSetupExit& e) {
        if (e.ExitCode() != VnExitCode::BadSwitch)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFileAtomic(InputFile(), std::string(reinterpret_cast<const char*>(data), size));
    Parse("/LOADINF=");
    Parse("/PASSWORDFILE=");
    return 0;
}
