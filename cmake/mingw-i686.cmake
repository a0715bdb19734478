# Cross build for 32-bit Windows (the shipped setup program) with MinGW-w64, posix thread model,
# static run time. Its programs run on Windows, or under Wine where the machine can run 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# 4 GB of address space on 64-bit Windows (large databases).
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
