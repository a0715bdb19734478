#!/usr/bin/env bash
# Builds the native tree (build/), the shipped 32-bit Windows programs (build-win32/) and the
# 64-bit Windows test build (build-win64/). Usage: scripts/build.sh [native|win32|win64]...
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native win32 win64)
for target in "${targets[@]}"; do
    case $target in
    native) cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null ;;
    win32) cmake -S . -B build-win32 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVNT_BUILD_TESTS=${WIN32_TESTS:-ON} >/dev/null ;;
    win64) cmake -S . -B build-win64 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null ;;
    *) echo "unknown build $target" >&2; exit 2 ;;
    esac
    dir=build; [ "$target" = native ] || dir=build-$target
    echo "== building $target in $dir"
    cmake --build "$dir" -j "$jobs"
done
