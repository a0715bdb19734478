// Test main. The test program doubles as a child process for the process tests:
//   --child-exit=N     exits with code N
//   --child-sleep=MS   sleeps MS milliseconds, then exits with 0
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
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
