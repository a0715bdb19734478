#!/usr/bin/env bash
# Builds every target and runs every test: natively, and the Windows build under Wine. The
# shipped setup program is 32-bit; where this machine cannot execute 32-bit code (no 32-bit
# support in the kernel), the Windows tests run from the 64-bit build of the same sources.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
run32=OFF
wine cmd /c exit 0 >/dev/null 2>&1 && run32=ON
WIN32_TESTS=$run32 scripts/build.sh native win32 win64

echo "== native tests"
ctest --test-dir build --output-on-failure -j 2

if [ $run32 = ON ]; then
    echo "== Windows tests (32-bit, under wine)"
    ctest --test-dir build-win32 --output-on-failure
else
    echo "== 32-bit programs cannot run on this machine; Windows tests run from the 64-bit build"
fi
echo "== Windows tests (64-bit, under wine64)"
ctest --test-dir build-win64 --output-on-failure
