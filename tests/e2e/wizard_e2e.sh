#!/usr/bin/env bash
# The real wizard end to end: VNT_Setup.exe, packed with the demo payload and signed with the test
# key, runs under Wine in a virtual X server and is driven with the keyboard (xdotool):
#   1. a full install into the default folder (under "Program Files", with its blank) in English;
#   2. the same in Russian (LC_ALL=ru_RU.UTF-8);
#   3. English at 144 dpi, all by keyboard: Enter on an empty password, Enter on the message, then
#      the password typed into the field that has the focus again;
#   4. Russian chosen in the language list on an English system, and "Install only console"
#      chosen with the arrow keys;
#   5. an installation over an older one whose server another process holds open: the folder
#      page's message names the file and nothing changes; Next after the file is released
#      installs;
#   6. a package with one changed byte in its payload: the corrupted message, exit code 1603.
# It checks the installed files, the databases, the console configuration and the stand-in
# monitor's log, and keeps a screenshot (PNG) of every page under the screenshot folder.
#
# usage: tests/e2e/wizard_e2e.sh NATIVE_BUILD WIN_BUILD [SCREENSHOT_DIR]
#   NATIVE_BUILD  build folder of the native tree (its src/tools/vntsetup packs the package)
#   WIN_BUILD     build folder of a Windows cross build (src/VNT_Setup.exe and, from the
#                 payload_src target vn_payload, the staged payload/ with the stand-ins): the
#                 32-bit build runs under wine, the 64-bit one (for machines that cannot execute
#                 32-bit code) under wine64
#   SCREENSHOT_DIR  default: WIN_BUILD/e2e-screenshots
# Exit codes: 0 passed, 1 failed, 77 skipped (Wine cannot run the build's programs here).
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
NATIVE="$(cd "${1:?native build folder}" && pwd)"
WIN="$(cd "${2:?Windows build folder}" && pwd)"
SHOTS="${3:-$WIN/e2e-screenshots}"
VNTSETUP="$NATIVE/src/tools/vntsetup"
STUB="$WIN/src/VNT_Setup.exe"
PAYLOAD="$WIN/payload"
RUNWAIT="$WIN/tests/deploy/VnRunWait.exe"
WORK="$(mktemp -d /tmp/vnt-e2e.XXXXXX)"
source "$ROOT/tests/support/wine_build.sh"
FAILED=0

fail() { echo "FAIL: $*"; FAILED=1; }
pass() { echo "ok:   $*"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for tool in "$WINE" xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for file in "$VNTSETUP" "$STUB" "$RUNWAIT" "$PAYLOAD/Setup/VNT_Monitor.exe"; do
    [ -e "$file" ] || { echo "FAIL: $file is missing (build vntsetup, VNT_Setup and vn_payload)"; exit 1; }
done
# Wine's loader must be able to run here at all.
if ! WINEPREFIX="$WORK/probe" timeout 300 "$WINE" cmd /c exit >"$WORK/probe.log" 2>&1; then
    echo "SKIP: $WINE cannot run Windows programs on this machine:"
    sed 's/^/    /' "$WORK/probe.log" | head -5
    exit 77
fi
mkdir -p "$SHOTS"

"$VNTSETUP" pack --stub "$STUB" --payload "$PAYLOAD" --private-key "$ROOT/keys/test_private.pem" \
    --output "$WORK/VNT_Setup.exe" >/dev/null || { echo "FAIL: pack"; exit 1; }

# One run of the wizard in a fresh Wine prefix whose programs open in a virtual desktop "vnt".
# $1 name, $2 locale, $3 the keyboard script (a function), $4 package, $5 the display's DPI,
# $6 a function that prepares the prefix's program-files folder (given as its argument).
run_wizard() {
    local name=$1 locale=$2 script=$3 package=$4 dpi=${5:-96} prepare=${6:-}
    export WINEPREFIX="$WORK/prefix-$name"
    LC_ALL=$locale "$WINE" wineboot -i >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d vnt /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v vnt /d 1000x700 /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1
    "$WINESERVER" -w
    [ -z "$prepare" ] || $prepare "$WINEPREFIX/drive_c/Program Files"
    cat >"$WORK/inner-$name.sh" <<EOF
#!/usr/bin/env bash
export WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEARCH=$ARCH LC_ALL=$locale
cd "$WORK"
# The exit code in full: Wine's own exit status keeps its low 8 bits only.
"$WINE" "$RUNWAIT" "$(winpath "$package")" | tr -d '\r' >"$WORK/rc-$name"
"$WINESERVER" -w
EOF
    chmod +x "$WORK/inner-$name.sh"
    # A run that stalls (a window that never takes a key) fails instead of hanging the suite.
    timeout -k 30 900 xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
        '$WORK/inner-$name.sh' &
        INNER=\$!
        source '$WORK/keys.sh' '$name'
        $script '$name'
        wait \$INNER
    "
    cat "$WORK/rc-$name" 2>/dev/null || echo 255
}

# The keyboard scripts, run inside the X server beside the wizard.
TYPED_PASSWORD=typed7Pass
HOLDER_PROGRAM="$WIN/tests/test_setup.exe"
cat >"$WORK/keys.sh" <<EOF
SHOTS="$SHOTS" WORK="$WORK" WINE_PROGRAM="$WINE" HOLDER_PROGRAM="$HOLDER_PROGRAM"
PF="$WORK/prefix-\$1/drive_c/Program Files/VantroMS"
desktop() { xdotool search --name 'vnt - Wine desktop' 2>/dev/null | head -1; }
wait_desktop() {
    for i in \$(seq 1 120); do [ -n "\$(desktop)" ] && return 0; sleep 1; done
    return 1
}
shot() { sleep 2; import -window root "\$SHOTS/\$1.png"; }
key() { xdotool windowfocus --sync "\$(desktop)" 2>/dev/null; xdotool key --delay 100 "\$@"; sleep 1; }
type_text() { xdotool type --delay 100 "\$1"; sleep 1; }
wait_for() { for i in \$(seq 1 120); do [ -e "\$1" ] && return 0; sleep 1; done; return 1; }
wait_log() {
    for i in \$(seq 1 120); do grep -qE "\$1" "\$PF/VNT_Setup.log" 2>/dev/null && return 0; sleep 1; done
    return 1
}
install_pages() {
    local lang=\$1
    wait_desktop; sleep 8
    shot "\$lang-page0-welcome";  key Return
    shot "\$lang-page1-license";  key Tab space Return
    shot "\$lang-page2-folder";   key Return
    wait_for "\$PF/VNT_Admin/VNT_Admin.cfg"
    shot "\$lang-page3-admin"
    type_text secret; key Tab; type_text secret; key Return
    wait_for "\$PF/Config/server.cfg"
    shot "\$lang-page4-finish";   key Return
}
script_en() { install_pages en; }
script_ru() { install_pages ru; }
# Enter on the empty password shows the field message; Enter closes it and the keys that follow
# go into the password field again.
script_keys() {
    local shots=\$1
    wait_desktop; sleep 8
    shot "\$shots-page0-welcome";  key Return
    shot "\$shots-page1-license";  key Tab space Return
    shot "\$shots-page2-folder";   key Return
    wait_for "\$PF/VNT_Admin/VNT_Admin.cfg"
    shot "\$shots-page3-admin";    key Return
    shot "\$shots-page3-message";  key Return
    type_text "$TYPED_PASSWORD"; key Tab; type_text "$TYPED_PASSWORD"
    shot "\$shots-page3-typed";    key Return
    wait_for "\$PF/Config/server.cfg"
    shot "\$shots-page4-finish";   key Return
}
# Down in the language list chooses Russian (sorted after English); on the folder page Tab, Tab
# reaches the checked kind of installation and Down chooses the other one.
script_console() {
    local shots=\$1
    wait_desktop; sleep 8
    key Down
    shot "\$shots-page0-welcome";  key Return
    shot "\$shots-page1-license";  key Tab space Return
    key Tab Tab Down
    shot "\$shots-page2-folder";   key Return
    wait_for "\$PF/VNT_Admin/VNT_Admin.cfg"
    shot "\$shots-page4-finish";   key Return
}
# The test program holds the old server open (reading, no write sharing) until it is killed;
# the folder page refuses, Enter closes the message, and Next after the release installs.
script_inuse() {
    local shots=\$1
    "\$WINE_PROGRAM" "\$HOLDER_PROGRAM" '--child-hold=C:\Program Files\VantroMS\VantroMS.exe' \
        >/dev/null 2>&1 &
    local holder=\$!
    wait_for "\$PF/VantroMS.exe.held"; rm -f "\$PF/VantroMS.exe.held"
    wait_desktop; sleep 8
    shot "\$shots-page0-welcome";  key Return
    shot "\$shots-page1-license";  key Tab space Return
    key Return
    shot "\$shots-page2-message"
    (cd "\$PF" && find . -type f ! -name VNT_Setup.log | sort | xargs md5sum) >"\$WORK/inuse-held.md5"
    key Return
    wait_log "is in use"
    kill \$holder; wait \$holder; sleep 2
    shot "\$shots-page2-folder";   key Return
    wait_log 'Extracted "C:'
    shot "\$shots-page3-admin";    key Return
    wait_log 'Written "C:.*VNT_Admin.cfg"'
    shot "\$shots-page4-finish";   key Return
}
# Wine's virtual desktop gives the keyboard to a message box that opens before any other window
# of the program only once it is clicked (Windows brings it to the front by itself); it is centred
# on the desktop.
click_centre() {
    eval "\$(xdotool getwindowgeometry --shell "\$(desktop)")"
    xdotool mousemove --window "\$(desktop)" \$((WIDTH / 2)) \$((HEIGHT / 2)) click 1; sleep 1
}
script_corrupted() {
    wait_desktop; sleep 6
    shot corrupted-message; click_centre; key Return
}
EOF

# $1 run name, $2 language, $3 exit code, $4 the screenshots' prefix.
check_install() {
    local name=$1 lang=$2 rc=$3 shots=${4:-$2}
    local pf="$WORK/prefix-$name/drive_c/Program Files/VantroMS"
    [ "$rc" = 0 ] && pass "$name: exit code 0" || fail "$name: exit code $rc"
    for f in VantroMS.exe VNT_Monitor.exe license_en.txt WWW/vantroms_default.html \
             VNT_Admin/VNT_Admin.exe VNT_Admin/VNT_Admin_en.chm Config/server.cfg; do
        [ -e "$pf/$f" ] && pass "$name: $f installed" || fail "$name: $f missing"
    done
    [ -d "$pf/Config" ] || fail "$name: Config folder missing"
    grep -q 'ver="3.08"' "$pf/Config/server.cfg" 2>/dev/null &&
        pass "$name: server.cfg is version 3.08" || fail "$name: server.cfg version"
    grep -q "<col name=\"Language\">$lang</col>" "$pf/Config/server.cfg" 2>/dev/null &&
        pass "$name: server language $lang" || fail "$name: server language"
    local console="$pf/VNT_Admin/VNT_Admin.cfg"
    grep -q "<col name=\"Language\">$lang</col>" "$console" 2>/dev/null &&
        grep -q '<col name="User">[^<]*@[^<]*</col>' "$console" 2>/dev/null &&
        pass "$name: console configuration" || fail "$name: console configuration"
    local log="$pf/VNT_Monitor.log"
    local expected='"C:\Program Files\VantroMS\VNT_Monitor.exe" /start /service'
    if [ -f "$log" ] && tr -d '\r' <"$log" | grep -qxF "$expected"; then
        pass "$name: monitor started as $expected"
    else
        fail "$name: monitor log: $(cat "$log" 2>/dev/null || echo missing)"
    fi
    [ -e "$WORK/prefix-$name/drive_c/Program.log" ] && fail "$name: C:\\Program was started"
    for page in page0-welcome page1-license page2-folder page3-admin page4-finish; do
        [ -s "$SHOTS/$shots-$page.png" ] || fail "$name: screenshot $shots-$page missing"
    done
}

# The administrator's password in server.cfg is the encoding of $2.
check_password() {
    local name=$1 password=$2
    local cfg="$WORK/prefix-$name/drive_c/Program Files/VantroMS/Config/server.cfg"
    local encoded
    encoded=$("$VNTSETUP" encode-password "$password")
    grep -qF "<col name=\"Password\">$encoded</col>" "$cfg" 2>/dev/null &&
        pass "$name: the typed password is stored" || fail "$name: stored password is not \"$password\""
}

# A console-only installation in $2: the console, its configuration in that language, nothing of
# the server, the console started at the end.
check_console() {
    local name=$1 lang=$2 rc=$3
    local pf="$WORK/prefix-$name/drive_c/Program Files/VantroMS"
    [ "$rc" = 0 ] && pass "$name: exit code 0" || fail "$name: exit code $rc"
    for f in VNT_Admin.exe VNT_Admin_en.chm VNT_Admin_ru.chm VNT_Admin.cfg; do
        [ -e "$pf/VNT_Admin/$f" ] && pass "$name: VNT_Admin/$f installed" || fail "$name: VNT_Admin/$f missing"
    done
    for f in VantroMS.exe VNT_Monitor.exe Config; do
        [ -e "$pf/$f" ] && fail "$name: $f installed by a console-only setup"
    done
    grep -q "<col name=\"Language\">$lang</col>" "$pf/VNT_Admin/VNT_Admin.cfg" 2>/dev/null &&
        pass "$name: console language $lang" || fail "$name: console language"
    [ -s "$pf/VNT_Admin/VNT_Admin.log" ] && pass "$name: console started" ||
        fail "$name: console not started"
    for page in page0-welcome page1-license page2-folder page4-finish; do
        [ -s "$SHOTS/$name-$page.png" ] || fail "$name: screenshot $name-$page missing"
    done
}

rc=$(run_wizard en en_US.UTF-8 script_en "$WORK/VNT_Setup.exe" | tail -1)
check_install en en "$rc"

rc=$(run_wizard ru ru_RU.UTF-8 script_ru "$WORK/VNT_Setup.exe" | tail -1)
check_install ru ru "$rc"

rc=$(run_wizard keys144 en_US.UTF-8 script_keys "$WORK/VNT_Setup.exe" 144 | tail -1)
check_install keys144 en "$rc" keys144
check_password keys144 "$TYPED_PASSWORD"
for page in page3-message page3-typed; do
    [ -s "$SHOTS/keys144-$page.png" ] || fail "keys144: screenshot keys144-$page missing"
done

rc=$(run_wizard ru-on-en en_US.UTF-8 script_console "$WORK/VNT_Setup.exe" | tail -1)
check_console ru-on-en ru "$rc"

# An older installation: the demo package installed by vntsetup, its server replaced by "old".
prepare_old_installation() {
    "$VNTSETUP" install "$WORK/VNT_Setup.exe" --dir "$1/VantroMS" --password secret --no-start \
        >/dev/null && printf old >"$1/VantroMS/VantroMS.exe"
    (cd "$1/VantroMS" && find . -type f ! -name VNT_Setup.log | sort | xargs md5sum) \
        >"$WORK/inuse-before.md5"
}
if [ -e "$HOLDER_PROGRAM" ]; then
    rc=$(run_wizard inuse en_US.UTF-8 script_inuse "$WORK/VNT_Setup.exe" 96 \
        prepare_old_installation | tail -1)
    check_install inuse en "$rc" inuse
    log="$WORK/prefix-inuse/drive_c/Program Files/VantroMS/VNT_Setup.log"
    grep -qF 'Message: The file "C:\Program Files\VantroMS\VantroMS.exe" is in use' "$log" 2>/dev/null &&
        pass "inuse: the message names the held file" || fail "inuse: no message naming the file"
    cmp -s "$WORK/inuse-before.md5" "$WORK/inuse-held.md5" &&
        pass "inuse: nothing changed while the file was held" ||
        fail "inuse: files changed while held: $(diff "$WORK/inuse-before.md5" "$WORK/inuse-held.md5" | head -3)"
    cmp -s "$PAYLOAD/Setup/VantroMS.exe" "$WORK/prefix-inuse/drive_c/Program Files/VantroMS/VantroMS.exe" &&
        pass "inuse: the server replaced after the release" || fail "inuse: the old server stayed"
    [ -s "$SHOTS/inuse-page2-message.png" ] || fail "inuse: screenshot inuse-page2-message missing"
else
    echo "skip: inuse ($HOLDER_PROGRAM is not built)"
fi

# One changed byte in the middle of what is appended to the program. (A byte of the program's own
# code may break it before any check can run, on Windows as here: that is no test of the check.)
python3 - "$WORK/VNT_Setup.exe" "$WORK/Damaged.exe" "$(stat -c %s "$STUB")" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
stub = int(sys.argv[3])
data[stub + (len(data) - stub) // 2] ^= 1
open(sys.argv[2], 'wb').write(data)
EOF
rc=$(run_wizard corrupted en_US.UTF-8 script_corrupted "$WORK/Damaged.exe" | tail -1)
[ "$rc" = 1603 ] && pass "damaged package: exit code 1603" || fail "damaged package: exit code $rc"
[ -e "$WORK/prefix-corrupted/drive_c/Program Files/VantroMS" ] &&
    fail "damaged package: something was installed"
[ -s "$SHOTS/corrupted-message.png" ] || fail "damaged package: no screenshot"

echo "screenshots: $SHOTS"
if [ "$FAILED" = 0 ]; then
    echo "wizard e2e: passed"
    rm -rf "$WORK"
else
    echo "wizard e2e: FAILED (work folder kept: $WORK)"
fi
exit "$FAILED"
