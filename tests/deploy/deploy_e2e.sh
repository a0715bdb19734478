#!/usr/bin/env bash
# VNT_Setup.exe run as deployment tools run it, under Wine, every exit code read in full through
# VnRunWait.exe (Wine's own exit status keeps only the low 8 bits):
#   1. a very silent first installation with no X display at all, compared file by file with
#      what `vntsetup install` makes of the same answers, its answers saved with /SAVEINF;
#   2. those answers loaded with /LOADINF into another folder: the same installation; an answer
#      file in UTF-16 (PowerShell 5) read as such, while its /LOG is held by a viewer and appended
#      to by another writer, whose lines all stay;
#   3. the refusals: 87 for an unknown switch, a new database without a password and an
#      administrator who is not among the users; 1603 for a damaged package; nothing written;
#   4. a file held open during a silent upgrade: 1603 and nothing changed; /SILENT (the progress
#      window) over the older installation once it is released;
#   5. 1618 for a second run while the wizard's window holds the product's mutex;
#   6. /CLOSEAPPLICATIONS over a running service (VnTestService.exe registered with the Service
#      Control Manager, its program in the folder): stopped, replaced and started again;
#      without the switch the run fails with 1603 and the program stays; a mistyped /ADMIN
#      ends with 87 before the service is touched;
#   7. the entry in Apps with every value, in the 32-bit view of the registry;
#   8. the uninstaller's confirmation (screenshot) and 1618 for a second uninstall meanwhile;
#   9. the key's QuietUninstallString: program files, key, service and uninstaller gone, the data
#      and a user's file kept, and the running service of a program that the installation did not
#      make, in a subfolder of it, kept running;
#  10. the confirmation and the closing message in Russian (screenshots), confirmed with Enter;
#  11. the password in no log and no answer file, plain or encoded;
#  12. a RstrtMgr.dll planted beside the setup in a downloads folder, native first for Wine: a
#      silent /CLOSEAPPLICATIONS run never loads it;
#  13. a first installation into a new folder outside the program-files folder: the folder gives
#      others no write access, Config and the console's configuration no access at all (Wine maps
#      the access rules given at creation to the Unix mode);
#  14. the root of a drive and a folder in the system folder refused with 87, nothing written;
#  15. on an English system, the setup started from folders whose names its code page cannot hold
#      (C:\Łukasz, a Cyrillic one) with its /LOG there, and the uninstaller with such a temporary
#      folder: exit 0 each; such an installation folder refused with 87;
#  16. the events in the application log, as Wine traces ReportEventW: one each for an
#      installation, a refused installation and a removal, with the IDs of the system's installer.
# Screenshots go to WIN_BUILD/deploy-screenshots.
#
# usage: tests/deploy/deploy_e2e.sh NATIVE_BUILD WIN_BUILD
# Exit codes: 0 passed, 1 failed, 77 skipped (Wine cannot run the build's programs here).
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
NATIVE="$(cd "${1:?native build folder}" && pwd)"
WIN="$(cd "${2:?Windows build folder}" && pwd)"
VNTSETUP="$NATIVE/src/tools/vntsetup"
STUB="$WIN/src/VNT_Setup.exe"
PAYLOAD="$WIN/payload"
RUNWAIT="$WIN/tests/deploy/VnRunWait.exe"
PLANTED="$WIN/tests/deploy/RstrtMgr.dll"
SERVICE="$WIN/tests/deploy/VnTestService.exe"
HOLDER="$WIN/tests/test_setup.exe"
WORK="$(mktemp -d /tmp/vnt-deploy.XXXXXX)"
source "$ROOT/tests/support/wine_build.sh"
export WINEPREFIX="$WORK/prefix"
C="$WINEPREFIX/drive_c"
PASSWORD='Fleet pw 7'
FAILED=0

fail() { echo "FAIL: $*"; FAILED=1; }
pass() { echo "ok:   $*"; }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }

for tool in "$WINE" xvfb-run; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for file in "$VNTSETUP" "$STUB" "$RUNWAIT" "$SERVICE" "$HOLDER" "$PLANTED" \
    "$PAYLOAD/Setup/VantroMS.exe"; do
    [ -e "$file" ] || { echo "FAIL: $file is missing (build the Windows tree)"; exit 1; }
done
if ! timeout 300 "$WINE" wineboot -i >"$WORK/probe.log" 2>&1; then
    echo "SKIP: $WINE cannot run Windows programs on this machine:"
    sed 's/^/    /' "$WORK/probe.log" | head -5
    exit 77
fi
"$WINESERVER" -w

winpath() { printf 'Z:%s' "${1//\//\\}"; }
pack() { "$VNTSETUP" pack --stub "$STUB" --payload "$1" --private-key "$ROOT/keys/test_private.pem" \
    --output "$2" >/dev/null || { echo "FAIL: pack $1"; exit 1; }; }
# A Windows program with its switches, no display: prints its exit code.
run() { env -u DISPLAY timeout 600 "$WINE" "$RUNWAIT" "$@" 2>/dev/null | tr -d '\r'; }
# The setup (a path of this machine) with the switches.
setup() {
    local package=$1
    shift
    run "$(winpath "$package")" "$@"
}
# Every file below a folder with its MD5, but the logs that name times and programs started.
tree_md5() { (cd "$1" && find . -type f ! -name '*.log' | sort | xargs -d '\n' md5sum); }
# Ends every process of the prefix: a program with a display needs a server that has not made its
# desktop without one.
fresh_server() { "$WINESERVER" -k 2>/dev/null; "$WINESERVER" -w; }
expect_code() { check "$1: exit code $2" "[ '$3' = '$2' ]"; [ "$3" = "$2" ] || echo "      got: $3"; }

PKG="$WORK/VNT_Setup.exe"
pack "$PAYLOAD" "$PKG"
mkdir -p "$C/deploy"
printf '%s\r\n' "$PASSWORD" >"$C/deploy/admin.txt"
PF='C:\Program Files\VantroMS'
PFDIR="$C/Program Files/VantroMS"

# 1. Very silent, no display.
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES /NORESTART "/DIR=$PF" /LANG=en \
    '/PASSWORDFILE=C:\deploy\admin.txt' '/LOG=C:\deploy\first.log' '/SAVEINF=C:\deploy\vantro.inf')
expect_code "very silent install" 0 "$code"
check "very silent: server.cfg at 3.08" "grep -q 'ver=\"3.08\"' '$PFDIR/Config/server.cfg'"
check "very silent: the password stored encoded" \
    "grep -qF \"<col name=\\\"Password\\\">$("$VNTSETUP" encode-password "$PASSWORD")</col>\" '$PFDIR/Config/server.cfg'"
check "very silent: the monitor started as a service" \
    "tr -d '\r' <'$PFDIR/VNT_Monitor.log' | grep -qxF '\"$PF\\VNT_Monitor.exe\" /start /service'"
check "very silent: /LOG is a copy of the folder's log" "cmp -s '$PFDIR/VNT_Setup.log' '$C/deploy/first.log'"
"$VNTSETUP" install "$PKG" --dir "$WORK/reference" --lang en --password-file "$C/deploy/admin.txt" \
    --no-start >/dev/null
check "very silent: the same files as the wizard's own install" \
    "diff <(tree_md5 '$PFDIR') <(tree_md5 '$WORK/reference') >/dev/null"
check "very silent: the answers saved" \
    "tr -d '\r' <'$C/deploy/vantro.inf' | grep -qxF 'Dir=$PF\\'"

# 2. The answer file into another folder.
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES '/LOADINF=C:\deploy\vantro.inf' '/DIR=C:\Other' \
    '/PASSWORDFILE=C:\deploy\admin.txt' '/SAVEINF=C:\deploy\other.inf')
expect_code "answer file" 0 "$code"
check "answer file: the same installation" "diff <(tree_md5 '$PFDIR') <(tree_md5 '$C/Other') >/dev/null"
check "answer file: the same answers" \
    "diff <(grep -v '^Dir=' '$C/deploy/vantro.inf') <(grep -v '^Dir=' '$C/deploy/other.inf') >/dev/null"

# 2b. The answer file as PowerShell 5 writes it (UTF-16 with its mark): a Russian console-only
# installation. Its /LOG is held open by a viewer and appended to by another writer meanwhile.
printf '[Setup]\r\nDir=C:\\FromInf\r\nLang=ru\r\nType=console\r\n' | iconv -t UTF-16 >"$C/deploy/utf16.inf"
printf 'an earlier line\r\n' >"$C/deploy/shared.log"
"$WINE" "$HOLDER" '--child-view=C:\deploy\shared.log' >/dev/null 2>&1 &
viewer=$!
for _ in $(seq 1 60); do [ -e "$C/deploy/shared.log.held" ] && break; sleep 1; done
(for n in $(seq 1 100); do printf 'other writer %s\r\n' "$n" >>"$C/deploy/shared.log"; sleep 0.05; done) &
writer=$!
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES '/LOADINF=C:\deploy\utf16.inf' '/LOG=C:\deploy\shared.log')
wait "$writer"
kill "$viewer" 2>/dev/null
expect_code "UTF-16 answer file" 0 "$code"
check "UTF-16 answer file: a Russian console-only installation in C:\\FromInf" \
    "[ -e '$C/FromInf/VNT_Admin/VNT_Admin.exe' ] && [ ! -e '$C/FromInf/VantroMS.exe' ] &&
     grep -q '^Language=ru' '$C/FromInf/VNT_Install.rec'"
check "a held /LOG with another writer: every line of both kept" \
    "[ \"\$(grep -c '^other writer' '$C/deploy/shared.log')\" = 100 ] &&
     grep -q '^an earlier line' '$C/deploy/shared.log' &&
     [ -z \"\$(grep -vxF -f '$C/deploy/shared.log' '$C/FromInf/VNT_Setup.log')\" ]"

# 3. Refusals: nothing written, the reason in the log's copy.
refuse() {
    local name=$1 expected=$2 reason=$3 package=$4
    shift 4
    rm -f "$C/deploy/refused.log"
    code=$(setup "$package" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\New' '/LOG=C:\deploy\refused.log' "$@")
    expect_code "$name" "$expected" "$code"
    check "$name: nothing written" "[ ! -e '$C/New' ]"
    check "$name: the reason logged" "grep -qF '$reason' '$C/deploy/refused.log'"
}
refuse "unknown switch" 87 'Unknown switch /BOGUS' "$PKG" /BOGUS
refuse "new database without a password" 87 "password is required" "$PKG"
refuse "administrator not among the users" 87 'User "nobody@nowhere" is not in the list of users' \
    "$PKG" '/PASSWORDFILE=C:\deploy\admin.txt' /ADMIN=nobody@nowhere
python3 - "$PKG" "$WORK/Damaged.exe" "$(stat -c %s "$STUB")" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
stub = int(sys.argv[3])
data[stub + (len(data) - stub) // 2] ^= 1
open(sys.argv[2], 'wb').write(data)
EOF
refuse "damaged package" 1603 'corrupted' "$WORK/Damaged.exe" '/PASSWORDFILE=C:\deploy\admin.txt'

# 4. An older installation whose server another program holds open, then released.
printf old >"$PFDIR/VantroMS.exe"
before=$(tree_md5 "$PFDIR")
"$WINE" "$HOLDER" "--child-hold=$PF\\VantroMS.exe" >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 60); do [ -e "$PFDIR/VantroMS.exe.held" ] && break; sleep 1; done
rm -f "$PFDIR/VantroMS.exe.held"
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$PF" '/LOG=C:\deploy\held.log')
expect_code "file held open" 1603 "$code"
check "file held open: nothing changed" "[ \"\$(tree_md5 '$PFDIR')\" = '$before' ]"
check "file held open: the file named in the log" "grep -qF 'VantroMS.exe\" is in use' '$C/deploy/held.log'"
fresh_server
wait "$holder" 2>/dev/null
code=$(xvfb-run -a -s "-screen 0 1024x768x24" timeout 600 "$WINE" "$RUNWAIT" "$(winpath "$PKG")" \
    /SILENT /SUPPRESSMSGBOXES "/DIR=$PF" 2>/dev/null | tr -d '\r')
expect_code "silent upgrade" 0 "$code"
check "silent upgrade: the server replaced" "cmp -s '$PAYLOAD/Setup/VantroMS.exe' '$PFDIR/VantroMS.exe'"
check "silent upgrade: the stored password kept" \
    "grep -qF \"$("$VNTSETUP" encode-password "$PASSWORD")\" '$PFDIR/Config/server.cfg'"

fresh_server

# 5. The wizard's window holds the mutex: a second run ends with 1618 (a probe that would end
# with 87, writing nothing, if the mutex were free).
cat >"$WORK/mutex.sh" <<EOF
"$WINE" "$PKG" >/dev/null 2>&1 &
# The probe starts once the wizard shows: started together, the probe could take the mutex first.
for i in \$(seq 1 120); do
    xdotool search --name 'Vantro Mail Server 3.08' >/dev/null 2>&1 && break
    sleep 1
done
"$WINE" "$RUNWAIT" "$(winpath "$PKG")" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\\Probe' 2>/dev/null |
    tr -d '\r' >"$WORK/mutex.code"
"$WINESERVER" -k
EOF
timeout 900 xvfb-run -a -s "-screen 0 1024x768x24" bash "$WORK/mutex.sh" >/dev/null 2>&1
"$WINESERVER" -w
expect_code "second run beside the window" 1618 "$(cat "$WORK/mutex.code" 2>/dev/null)"
check "second run beside the window: nothing written" "[ ! -e '$C/Probe' ]"

# 6. A running service whose program is in the folder.
for version in 1 2; do
    cp -r "$PAYLOAD" "$WORK/payload$version"
    cp "$SERVICE" "$WORK/payload$version/Setup/VantroMS.exe"
    printf 'version %s' "$version" >>"$WORK/payload$version/Setup/VantroMS.exe"
    pack "$WORK/payload$version" "$WORK/Service$version.exe"
done
SVC='C:\Svc'
code=$(setup "$WORK/Service1.exe" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$SVC" /TASKS=!start \
    '/PASSWORDFILE=C:\deploy\admin.txt')
expect_code "service: first installation" 0 "$code"
# Wine ends its services with its server: the server stays up until the end of the test.
"$WINESERVER" -p
"$WINE" "$SVC\\VantroMS.exe" --install VntTestSvc >/dev/null 2>&1
"$WINE" net start VntTestSvc >/dev/null 2>&1
state() { "$WINE" "$SVC\\VantroMS.exe" --state VntTestSvc 2>/dev/null | tr -d '\r'; }
check "service: running before the upgrade" "[ \"\$(state)\" = running ]"
# A mistyped answer is refused before the running server is touched.
code=$(setup "$WORK/Service2.exe" /VERYSILENT /SUPPRESSMSGBOXES /CLOSEAPPLICATIONS "/DIR=$SVC" \
    /TASKS=!start /ADMIN=nobody@nowhere)
expect_code "service with a mistyped /ADMIN" 87 "$code"
check "service with a mistyped /ADMIN: never stopped" \
    "[ \"\$(tr -d '\r' <'$C/Svc/VantroMS.service.log' | tr '\n' ' ')\" = 'started ' ]"
code=$(setup "$WORK/Service2.exe" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$SVC" /TASKS=!start)
expect_code "service without /CLOSEAPPLICATIONS" 1603 "$code"
check "service without /CLOSEAPPLICATIONS: the program stays" \
    "cmp -s '$WORK/payload1/Setup/VantroMS.exe' '$C/Svc/VantroMS.exe'"
code=$(setup "$WORK/Service2.exe" /VERYSILENT /SUPPRESSMSGBOXES /CLOSEAPPLICATIONS "/DIR=$SVC" \
    /TASKS=!start)
expect_code "service with /CLOSEAPPLICATIONS" 0 "$code"
check "service: the program replaced" "cmp -s '$WORK/payload2/Setup/VantroMS.exe' '$C/Svc/VantroMS.exe'"
for _ in $(seq 1 30); do [ "$(state)" = running ] && break; sleep 1; done
check "service: running again" "[ \"\$(state)\" = running ]"
check "service: stopped once and started twice" \
    "[ \"\$(tr -d '\r' <'$C/Svc/VantroMS.service.log' | tr '\n' ' ')\" = 'started stopped started ' ]"
check "service: the steps logged" \
    "grep -q 'Service VntTestSvc stopped for the installation' '$C/Svc/VNT_Setup.log' &&
     grep -q 'Service VntTestSvc started again' '$C/Svc/VNT_Setup.log'"

# 7. The entry in Apps (the 32-bit view), now of the last installation, C:\Svc.
KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantroMailServer'
"$WINE" reg query "$KEY" /reg:32 2>/dev/null | tr -d '\r' >"$WORK/key.txt"
for value in DisplayName DisplayVersion Publisher InstallLocation DisplayIcon UninstallString \
    QuietUninstallString InstallDate VersionMajor VersionMinor EstimatedSize NoModify NoRepair \
    VntLanguage VntType; do
    check "Apps entry: $value" "grep -qE '^ +$value +REG_' '$WORK/key.txt'"
done
check "Apps entry: version 3.08 in C:\\Svc" \
    "grep -qE 'DisplayVersion +REG_SZ +3.08$' '$WORK/key.txt' &&
     grep -qE 'InstallLocation +REG_SZ +C:.Svc$' '$WORK/key.txt'"
quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' "$WORK/key.txt")

# 8. The uninstaller asks first, in the installation's language, and holds the mutex meanwhile:
# a second uninstall ends with 1618. Wine gives a program's first window the keyboard once it is
# clicked.
SHOTS="$WIN/deploy-screenshots"
mkdir -p "$SHOTS"
cat >"$WORK/keys.sh" <<'EOF'
box() {
    for _ in $(seq 1 60); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -1)
        [ -n "$w" ] && echo "$w" && return
        sleep 1
    done
}
answer() {
    xdotool mousemove --window "$1" 30 30 click 1; sleep 1
    xdotool windowfocus --sync "$1"; xdotool key Return; sleep 3
}
EOF
cat >"$WORK/confirm-en.sh" <<EOF
source "$WORK/keys.sh"
"$WINE" 'C:\\Svc\\VNT_Uninstall.exe' >/dev/null 2>&1 &
box 'Vantro Mail Server 3.08' >/dev/null; sleep 2
import -window root "$SHOTS/uninstall-confirm-en.png"
"$WINE" "$RUNWAIT" 'C:\\Svc\\VNT_Uninstall.exe' /VERYSILENT /SUPPRESSMSGBOXES 2>/dev/null |
    tr -d '\r' >"$WORK/second.code"
"$WINESERVER" -k
EOF
fresh_server
timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" bash "$WORK/confirm-en.sh" >/dev/null 2>&1
fresh_server
check "uninstall: the confirmation shown" "[ -s '$SHOTS/uninstall-confirm-en.png' ]"
expect_code "second uninstall while the first asks" 1618 "$(cat "$WORK/second.code" 2>/dev/null)"
check "uninstall not confirmed: nothing removed" "[ -e '$C/Svc/VantroMS.exe' ]"

# 9. The key's QuietUninstallString, with the service running, a user's file in a program folder
# and another program's service running from a subfolder.
"$WINESERVER" -p
"$WINE" net start VntTestSvc >/dev/null 2>&1
mkdir -p "$C/Svc/WWW/custom" "$C/Svc/Agent"
printf mine >"$C/Svc/WWW/custom/mine.html"
cp "$SERVICE" "$C/Svc/Agent/Agent.exe"
"$WINE" 'C:\Svc\Agent\Agent.exe' --install VntAgentSvc >/dev/null 2>&1
"$WINE" net start VntAgentSvc >/dev/null 2>&1
eval "set -- $quiet"
code=$(env -u DISPLAY timeout 600 "$WINE" "$RUNWAIT" "$@" 2>/dev/null | tr -d '\r')
expect_code "quiet uninstall ($quiet)" 0 "$code"
sleep 2
for removed in VantroMS.exe VNT_Monitor.exe license_en.txt WWW/vantroms_default.html \
    VNT_Admin/VNT_Admin.exe VNT_Uninstall.exe VNT_Install.rec; do
    check "quiet uninstall: $removed removed" "[ ! -e '$C/Svc/$removed' ]"
done
for kept in Config/server.cfg VNT_Admin/VNT_Admin.cfg VNT_Setup.log WWW/custom/mine.html; do
    check "quiet uninstall: $kept kept" "[ -e '$C/Svc/$kept' ]"
done
check "quiet uninstall: the key removed" "! '$WINE' reg query '$KEY' /reg:32 >/dev/null 2>&1"
check "quiet uninstall: the service deleted" \
    "! '$WINE' reg query 'HKLM\\System\\CurrentControlSet\\Services\\VntTestSvc' >/dev/null 2>&1"
agent_state=$("$WINE" 'C:\Svc\Agent\Agent.exe' --state VntAgentSvc 2>/dev/null | tr -d '\r')
check "quiet uninstall: another program's service in a subfolder kept running" \
    "[ '$agent_state' = running ]"
fresh_server

# 10. A Russian installation asks in Russian; Enter confirms, Enter closes the closing message.
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\Ru' /TYPE=console /LANG=ru)
expect_code "console installation in Russian" 0 "$code"
cat >"$WORK/confirm-ru.sh" <<EOF
source "$WORK/keys.sh"
"$WINE" "$RUNWAIT" 'C:\\Ru\\VNT_Uninstall.exe' 2>/dev/null | tr -d '\r' >"$WORK/ru.code" &
w=\$(box 'Vantro Mail Server 3.08'); sleep 2
import -window root "$SHOTS/uninstall-confirm-ru.png"
answer "\$w"
w=\$(box 'Vantro Mail Server 3.08'); sleep 2
import -window root "$SHOTS/uninstall-done-ru.png"
answer "\$w"
wait
EOF
fresh_server
LC_ALL=ru_RU.UTF-8 timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" bash "$WORK/confirm-ru.sh" \
    >/dev/null 2>&1
fresh_server
expect_code "Russian uninstall, confirmed" 0 "$(cat "$WORK/ru.code" 2>/dev/null)"
check "Russian uninstall: the console removed" "[ ! -e '$C/Ru/VNT_Admin/VNT_Admin.exe' ]"
check "Russian uninstall: the screenshots" \
    "[ -s '$SHOTS/uninstall-confirm-ru.png' ] && [ -s '$SHOTS/uninstall-done-ru.png' ]"

# 11. No password anywhere it should not be.
encoded=$("$VNTSETUP" encode-password "$PASSWORD")
leaks=$(grep -rlF -e "$PASSWORD" -e "$encoded" --include='*.log' --include='*.inf' "$C" 2>/dev/null)
check "the password in no log and no answer file" "[ -z '$leaks' ]"
[ -z "$leaks" ] || echo "      found in: $leaks"

# 12. A library planted beside the downloaded setup under the name of one it once imported.
DOWNLOADS="$C/users/Public/Downloads"
mkdir -p "$DOWNLOADS"
cp "$PKG" "$DOWNLOADS/VNT_Setup.exe"
cp "$PLANTED" "$DOWNLOADS/RstrtMgr.dll"
code=$(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rstrtmgr=n,b" setup "$DOWNLOADS/VNT_Setup.exe" \
    /VERYSILENT /SUPPRESSMSGBOXES /CLOSEAPPLICATIONS '/DIR=C:\Planted')
expect_code "setup beside a planted RstrtMgr.dll" 87 "$code"
check "setup beside a planted RstrtMgr.dll: the library not loaded" \
    "[ ! -e '$DOWNLOADS/planted.txt' ]"

# 13. A new folder of its own. With a server that has no umask, a folder or file made without
# access rules would give everyone everything.
fresh_server
code=$(umask 000 && setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\VantroData' /TASKS=!start \
    '/PASSWORDFILE=C:\deploy\admin.txt')
fresh_server
expect_code "installation into a new folder" 0 "$code"
others() { local mode; mode=$(stat -c %a "$1") && echo "${mode: -1}"; } # the octal digit of others
check "new folder: others may not write to it" "[ \$((\$(others '$C/VantroData') & 2)) = 0 ]"
for private in Config VNT_Admin/VNT_Admin.cfg; do
    check "new folder: $private closed to others" "[ \$(others '$C/VantroData/$private') = 0 ]"
done

# 14. Folders that belong to the system.
before=$(ls -A "$C")
for dir in 'C:\' 'C:\windows\system32\x'; do
    code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$dir" \
        '/PASSWORDFILE=C:\deploy\admin.txt')
    expect_code "refused folder $dir" 87 "$code"
done
check "refused folders: nothing written" \
    "[ \"\$(ls -A '$C')\" = '$before' ] && [ ! -e '$C/windows/system32/x' ]"

# 15. Names outside the code page of an English system (Windows-1252). Last: it moves TEMP.
export LC_ALL=en_US.UTF-8
for dir in 'Łukasz' 'Папка'; do
    mkdir -p "$C/$dir"
    cp "$PKG" "$C/$dir/VNT_Setup.exe"
    code=$(run "C:\\$dir\\VNT_Setup.exe" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\Unicode' \
        /TYPE=console "/LOG=C:\\$dir\\setup.log")
    expect_code "setup started from C:\\$dir" 0 "$code"
    check "setup started from C:\\$dir: its /LOG written there" \
        "grep -q Unicode '$C/$dir/setup.log' && [ -e '$C/Unicode/VNT_Uninstall.exe' ]"
done
"$WINE" reg add 'HKCU\Environment' /v TEMP /d 'C:\Папка' /f >/dev/null 2>&1
code=$(run 'C:\Unicode\VNT_Uninstall.exe' /VERYSILENT /SUPPRESSMSGBOXES)
expect_code "uninstaller with its copy in C:\\Папка" 0 "$code"
check "uninstaller with its copy in C:\\Папка: the programs removed" \
    "[ ! -e '$C/Unicode/VNT_Admin/VNT_Admin.exe' ]"
code=$(setup "$PKG" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\Папка\Vantro' /TYPE=console)
expect_code "installation folder C:\\Папка refused" 87 "$code"
check "installation folder C:\\Папка refused: nothing written" "[ ! -e '$C/Папка/Vantro' ]"
unset LC_ALL

# 16. The application log. The IDs carry the severity of the message table in their top bits.
# Prints the IDs of the events a run wrote, and its event's text to the output.
events() {
    local trace="$WORK/events.trace"
    WINEDEBUG=fixme+advapi,+eventlog env -u DISPLAY timeout 600 "$WINE" "$RUNWAIT" "$@" \
        2>"$trace" >/dev/null
    grep -o 'eventlog:ReportEventW .*' "$trace" | sed 's/^/      /' >&2
    sed -n 's/.*fixme:advapi:ReportEventW ([^,]*,[^,]*,[^,]*,\(0x[0-9a-f]*\),.*/\1/p' "$trace" | xargs
}
check_events() { check "$1: the events $2" "[ '$3' = '$2' ]"; [ "$3" = "$2" ] || echo "      got: $3"; }
check_events "installation" 0x40002dbb "$(events "$(winpath "$PKG")" /VERYSILENT /SUPPRESSMSGBOXES \
    '/DIR=C:\Events' /TYPE=console)"
check_events "refused installation" 0xc0002dbc "$(events "$(winpath "$PKG")" /VERYSILENT \
    /SUPPRESSMSGBOXES '/DIR=C:\Events' /TYPE=bogus)"
check_events "removal" 0x40002dcc "$(events 'C:\Events\VNT_Uninstall.exe' /VERYSILENT \
    /SUPPRESSMSGBOXES)"

"$WINESERVER" -k 2>/dev/null
if [ "$FAILED" = 0 ]; then
    echo "deployment e2e: passed"
    rm -rf "$WORK"
else
    echo "deployment e2e: FAILED (work folder kept: $WORK)"
fi
exit "$FAILED"
