#!/usr/bin/env bash
# The shipped Windows programs load only libraries that every Windows has. Wine brings libraries
# that Windows lacks (zlib1.dll among them), so a run under Wine cannot tell; the import tables
# can.
# usage: scripts/check_imports.sh WIN_BUILD...
set -euo pipefail
system='^(advapi32|comctl32|gdi32|kernel32|msvcrt|ole32|rstrtmgr|shell32|user32)\.dll$'
failed=0
for build in "$@"; do
    for program in "$build/src/VNT_Setup.exe" "$build/src/tools/vntsetup.exe"; do
        [ -e "$program" ] || continue
        others=$(objdump -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' |
            grep -vE "$system" || true)
        if [ -n "$others" ]; then
            echo "FAIL: $program needs $(echo $others)"
            failed=1
        else
            echo "ok:   $program imports system libraries only"
        fi
    done
done
exit "$failed"
