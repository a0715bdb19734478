#!/usr/bin/env bash
# Builds every target and runs every test: natively, the Windows build under Wine, the real
# wizard window end to end under Wine in a virtual X server, the silent deployment under Wine
# (exit codes, answer files, a running service), every fuzz target for a short run,
# the demo package in every form an Authenticode signing tool leaves, the Windows Installer package
# under Wine's msiexec, and two builds of the Windows programs compared byte for byte. The shipped setup program is 32-bit;
# where this machine cannot execute 32-bit code (no 32-bit support in the kernel), the Windows
# tests and the end-to-end run use the 64-bit build of the same sources under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
run32=OFF
# The 32-bit loader (wine32) must be there: without it, `wine` runs 64-bit programs alone.
[ -x /usr/lib/wine/wine ] && wine cmd /c exit 0 >/dev/null 2>&1 && run32=ON
WIN32_TESTS=$run32 scripts/build.sh native win32 win64

echo "== the Windows programs import system libraries only"
bash scripts/check_imports.sh build-win32 build-win64

echo "== native tests"
ctest --test-dir build --output-on-failure -j 2

echo "== fuzz targets, a short run each"
bash scripts/fuzz_smoke.sh

echo "== two builds of the Windows programs, compared"
bash scripts/reproducible.sh win32

windows=build-win64
if [ $run32 = ON ]; then
    windows=build-win32
    echo "== Windows tests (64-bit build, under wine64)"
    ctest --test-dir build-win64 --output-on-failure
else
    echo "== 32-bit programs cannot run on this machine: the 64-bit build stands in for them"
fi

echo "== the wizard window end to end ($windows; screenshots in $windows/e2e-screenshots)"
bash tests/e2e/wizard_e2e.sh build "$windows" "$windows/e2e-screenshots"

echo "== deployment: switches, answer files, exit codes and services ($windows)"
bash tests/deploy/deploy_e2e.sh build "$windows"

echo "== the demo package signed with Authenticode ($windows)"
bash tests/signing/signed_forms.sh build "$windows"

echo "== the Windows Installer package under Wine's msiexec ($windows)"
bash tests/msi/msi_e2e.sh build "$windows"

echo "== Windows tests ($windows, under Wine)"
ctest --test-dir "$windows" --output-on-failure
