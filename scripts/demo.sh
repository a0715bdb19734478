#!/usr/bin/env bash
# The main job: builds vntsetup and the 32-bit VNT_Setup.exe with the stand-in payload programs,
# packs the demo payload into out/VNT_Setup.exe signed with the test key, verifies and lists it,
# and installs it with `vntsetup install` into the fresh folder out/installed.
set -euo pipefail
cd "$(dirname "$0")/.."
WIN32_TESTS=OFF scripts/build.sh native win32
vntsetup=build/src/tools/vntsetup
mkdir -p out
"$vntsetup" pack --stub build-win32/src/VNT_Setup.exe --payload build-win32/payload \
    --private-key keys/test_private.pem --output out/VNT_Setup.exe
echo "== vntsetup verify out/VNT_Setup.exe"
"$vntsetup" verify out/VNT_Setup.exe
echo "== vntsetup list out/VNT_Setup.exe"
"$vntsetup" list out/VNT_Setup.exe
echo "== vntsetup install out/VNT_Setup.exe --dir out/installed"
rm -rf out/installed
# The installed programs are Windows programs: on this host nothing is started (--no-start).
"$vntsetup" install out/VNT_Setup.exe --dir out/installed --lang en --password secret --no-start
echo "== installed files"
(cd out/installed && find . -type f | sort)
