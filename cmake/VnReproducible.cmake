# Reproducible builds: the same sources give the same bytes in any folder, at any time.
# - No build folder in the objects (__FILE__, debug information): paths are relative to the
#   source tree (".") and the build tree ("build").
# - Static libraries without timestamps, owners or modes.
# - Windows images without a link time and with a zero CheckSum, which the GNU linker always
#   writes. VN_PREFIX_MAP_FLAGS, VN_PE_LINK_FLAGS and VN_CLEAR_PE_CHECKSUM serve the programs
#   built by custom commands.
set(VN_PREFIX_MAP_FLAGS -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                        -ffile-prefix-map=${CMAKE_BINARY_DIR}=build) # the last match wins
set(VN_PE_LINK_FLAGS -Wl,--no-insert-timestamp)
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(VN_CLEAR_PE_CHECKSUM ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/VnClearPeChecksum.py)

if(CMAKE_C_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(${VN_PREFIX_MAP_FLAGS})
    foreach(lang C CXX)
        set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
        set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
        set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
    endforeach()
endif()

if(WIN32)
    add_link_options(${VN_PE_LINK_FLAGS})
    list(JOIN VN_CLEAR_PE_CHECKSUM "\" \"" clearChecksum)
    foreach(lang C CXX)
        list(APPEND CMAKE_${lang}_LINK_EXECUTABLE "\"${clearChecksum}\" <TARGET>")
    endforeach()
endif()
