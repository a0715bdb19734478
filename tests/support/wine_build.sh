# Sourced by the tests that run a Windows build under Wine. WIN names the build folder: sets WINE
# and WINESERVER to the loader and server that run its programs (wine64 for a 64-bit build) and
# ARCH to the prefix's architecture, and exports Wine's settings for the tests.
if grep -q 'x86_64-w64-mingw32' "$WIN/CMakeCache.txt" 2>/dev/null; then
    WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ARCH=win64
else
    WINE=wine WINESERVER=wineserver ARCH=win32
fi
export WINEDEBUG=-all WINEARCH=$ARCH WINEDLLOVERRIDES="mscoree,mshtml="
