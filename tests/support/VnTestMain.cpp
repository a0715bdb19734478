// Test main. The test program doubles as a child process for the process tests:
//   --child-exit=N     exits with code N
//   --child-sleep=MS   sleeps MS milliseconds, then exits with 0
//   --child-hold=FILE  holds FILE open for reading (no write sharing), writes FILE.held, and
//                      waits a minute for its parent to end it
//   --child-view=FILE  the same, but sharing reading and writing as a viewer that follows a log
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "VnTestSupport.h"

#include "VnPlatform.h"

std::string TestProgramPath() {
    return VnPlatform::ModuleFileName();
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], "--child-exit=", 13) == 0)
        return std::atoi(argv[1] + 13);
    if (argc == 2 && std::strncmp(argv[1], "--child-sleep=", 14) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[1] + 14)));
        return 0;
    }
    const bool view = argc == 2 && std::strncmp(argv[1], "--child-view=", 13) == 0;
    if (view || (argc == 2 && std::strncmp(argv[1], "--child-hold=", 13) == 0)) {
        const std::string file = argv[1] + 13;
        const VnPlatform::FileHandle held =
            view ? VnPlatform::OpenFileAppend(file) : VnPlatform::OpenFileRead(file);
        if (held == VnPlatform::InvalidFile)
            return 1;
        WriteBytes(file + ".held", "");
        std::this_thread::sleep_for(std::chrono::minutes(1));
        VnPlatform::CloseFile(held);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
