#!/usr/bin/env bash
# The shipped Windows programs (VNT_Setup.exe, which is also VNT_Uninstall.exe, and vntsetup.exe)
# import only KnownDLLs, which Windows maps from the system folder whatever lies beside the
# program (the list of HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows
# 10 and 11), and comctl32, which the manifest binds to the system's side-by-side copy. Any other
# import would be looked for in the program's own folder first, before the program runs: in a
# Downloads folder, beside whatever was downloaded with it. Wine brings libraries that Windows
# lacks (zlib1.dll among them), so a run under Wine cannot tell; the import tables can.
# usage: scripts/check_imports.sh WIN_BUILD...
set -euo pipefail
known='advapi32|clbcatq|combase|comdlg32|coml2|difxapi|gdi32|gdiplus|imagehlp|imm32|kernel32'
known+='|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32'
known+='|shlwapi|user32|wldap32|ws2_32'
allowed="^($known|comctl32)\.dll$"
failed=0
for build in "$@"; do
    for program in "$build/src/VNT_Setup.exe" "$build/src/tools/vntsetup.exe"; do
        [ -e "$program" ] || continue
        imports=$(objdump -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort)
        others=$(grep -vE "$allowed" <<<"$imports" || true)
        if [ -n "$others" ]; then
            echo "FAIL: $program imports libraries that are not KnownDLLs: $(echo $others)"
            failed=1
        else
            echo "ok:   $program imports KnownDLLs and comctl32 only: $(echo $imports)"
        fi
    done
done
exit "$failed"
