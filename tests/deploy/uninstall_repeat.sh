#!/usr/bin/env bash
# The quiet uninstall of a running service's installation, repeated: each round installs the
# package whose server program is VnTestService.exe into C:\Svc, registers and starts its service,
# runs the Uninstall key's QuietUninstallString and checks that the record, the key and the
# service are gone. Not part of the test command: it looks for a failure that shows only now and
# then.
#
# usage: tests/deploy/uninstall_repeat.sh NATIVE_BUILD WIN_BUILD [ROUNDS]
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
NATIVE="$(cd "${1:?native build folder}" && pwd)"
WIN="$(cd "${2:?Windows build folder}" && pwd)"
ROUNDS=${3:-20}
WORK="$(mktemp -d /tmp/vnt-repeat.XXXXXX)"
source "$ROOT/tests/support/wine_build.sh"
export WINEPREFIX="$WORK/prefix"
C="$WINEPREFIX/drive_c"
KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantroMailServer'

"$WINE" wineboot -i >/dev/null 2>&1
cp -r "$WIN/payload" "$WORK/payload"
cp "$WIN/tests/deploy/VnTestService.exe" "$WORK/payload/Setup/VantroMS.exe"
"$NATIVE/src/tools/vntsetup" pack --stub "$WIN/src/VNT_Setup.exe" --payload "$WORK/payload" \
    --private-key "$ROOT/keys/test_private.pem" --output "$WORK/Service.exe" >/dev/null
printf 'pw 1\r\n' >"$C/admin.txt"
run() { env -u DISPLAY timeout 600 "$WINE" "$WIN/tests/deploy/VnRunWait.exe" "$@" 2>/dev/null |
    tr -d '\r'; }

passed=0
for round in $(seq 1 "$ROUNDS"); do
    "$WINESERVER" -p
    failures=()
    code=$(run "Z:${WORK//\//\\}\\Service.exe" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\Svc' \
        /TASKS=!start '/PASSWORDFILE=C:\admin.txt')
    [ "$code" = 0 ] || failures+=("install: $code")
    "$WINE" 'C:\Svc\VantroMS.exe' --install VntTestSvc >/dev/null 2>&1
    "$WINE" net start VntTestSvc >/dev/null 2>&1
    before=$("$WINE" 'C:\Svc\VantroMS.exe' --state VntTestSvc 2>/dev/null | tr -d '\r')
    quiet=$("$WINE" reg query "$KEY" /v QuietUninstallString /reg:32 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
    eval "set -- $quiet"
    code=$(run "$@")
    [ "$code" = 0 ] || failures+=("uninstall: $code")
    sleep 2
    [ ! -e "$C/Svc/VNT_Install.rec" ] || failures+=("the record stayed")
    ! "$WINE" reg query "$KEY" /reg:32 >/dev/null 2>&1 || failures+=("the key stayed")
    ! "$WINE" reg query 'HKLM\System\CurrentControlSet\Services\VntTestSvc' >/dev/null 2>&1 ||
        failures+=("the service stayed")
    if [ ${#failures[@]} -eq 0 ]; then
        passed=$((passed + 1))
        echo "round $round: passed"
    else
        echo "round $round: FAILED: ${failures[*]} (the service was $before before)"
        grep -a -i -e service -e removal "$C/Svc/VNT_Setup.log" | sed 's/^/    /'
    fi
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w
    rm -rf "$C/Svc"
done
rm -rf "$WORK"
echo "$passed passed, $((ROUNDS - passed)) failed"
[ "$passed" = "$ROUNDS" ]
