#!/usr/bin/env bash
# The Windows Installer package around VNT_Setup.exe (scripts/make_msi.sh) under Wine's msiexec,
# every exit code read in full through VnRunWait.exe:
#   1. its tables (msiinfo): per-machine, hidden from Apps, the source's UpgradeCode, version 3.8.0,
#      the public properties secure, the setup and the uninstaller deferred and not impersonated;
#      signed with osslsigncode under a throwaway certificate authority it verifies, and a signed
#      package changed afterwards does not;
#   2. failing setups (a bogus TYPE, an administrator not among the users): a non-zero code, the
#      setup's reason in its LOG and nothing left (no folder, no cached setup, no entry);
#   3. /i /qn of the signed package with all eight properties: the switches the setup gets, the
#      installation, the setup's Uninstall key, the package registered and hidden from Apps;
#   4. the package removed as a major upgrade removes it (UPGRADINGPRODUCTCODE): its registration
#      goes, the installation stays as it was; installed again without properties, the setup
#      upgrades the registered installation in its folder; removed from Apps by the setup's own
#      entry, the package run again runs the setup again;
#   5. version 3.8.1 with INSTALLDIR (ending in a backslash) and LOG in its Property table, as a
#      transform gives them: the older package's registration replaced, the password kept;
#   6. /x /qn: the programs, both entries and the cached setup gone; configuration and logs kept.
#
# usage: tests/msi/msi_e2e.sh NATIVE_BUILD WIN_BUILD
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing, or Wine cannot run here).
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
NATIVE="$(cd "${1:?native build folder}" && pwd)"
WIN="$(cd "${2:?Windows build folder}" && pwd)"
VNTSETUP="$NATIVE/src/tools/vntsetup"
STUB="$WIN/src/VNT_Setup.exe"
PAYLOAD="$WIN/payload"
RUNWAIT="$WIN/tests/deploy/VnRunWait.exe"
WORK="$(mktemp -d /tmp/vnt-msi-e2e.XXXXXX)"
source "$ROOT/tests/support/wine_build.sh"
export WINEPREFIX="$WORK/prefix"
C="$WINEPREFIX/drive_c"
DIR="$C/Vantro MSI"
# The 32-bit program-files folder of the prefix: the package's own folder, the setup's cache.
PROGRAMS32="$C/Program Files (x86)"
[ "$ARCH" = win64 ] || PROGRAMS32="$C/Program Files"
CACHE="$PROGRAMS32/VantroMS Setup"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
KEY="$UNINSTALL\\VantroMailServer"
PASSWORD='Msi pw 8'
PASSED=0 FAILED=0

pass() { echo "ok:   $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: $*"; FAILED=$((FAILED + 1)); }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }
expect_code() { check "$1: exit code $2" "[ '$3' = '$2' ]"; [ "$3" = "$2" ] || echo "      got: $3"; }

for tool in wixl msiinfo msibuild osslsigncode openssl python3 "$WINE"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for file in "$VNTSETUP" "$STUB" "$RUNWAIT" "$PAYLOAD/Setup/VantroMS.exe"; do
    [ -e "$file" ] || { echo "FAIL: $file is missing (build the Windows tree)"; exit 1; }
done
if ! timeout 300 "$WINE" wineboot -i >"$WORK/probe.log" 2>&1; then
    echo "SKIP: $WINE cannot run Windows programs on this machine:"
    sed 's/^/    /' "$WORK/probe.log" | head -5
    exit 77
fi
"$WINESERVER" -w

run() { env -u DISPLAY timeout 600 "$WINE" "$RUNWAIT" "$@" 2>/dev/null | tr -d '\r'; }
msiexec() { run msiexec "$@"; }
# property MSI NAME: a value of the package's Property table.
property() {
    msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'
}
# add_property MSI NAME VALUE: a row added to the package's Property table, as a transform adds it.
add_property() {
    msibuild "$1" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('$2', '$3')"
}
# key_value KEY NAME: a value of a key in the 32-bit view of the registry.
key_value() {
    "$WINE" reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
registered() { "$WINE" reg query "$UNINSTALL\\$1" /reg:32 >/dev/null 2>&1; }
no_default_folder() { ! ls -d "$C/Program Files"*/VantroMS >/dev/null 2>&1; }
tree_md5() { (cd "$1" && find . -type f ! -name '*.log' | sort | xargs -d '\n' md5sum); }

# --- The packages --------------------------------------------------------------------------
mkdir -p "$C/deploy" "$WORK/pki"
"$VNTSETUP" pack --stub "$STUB" --payload "$PAYLOAD" --private-key "$ROOT/keys/test_private.pem" \
    --output "$WORK/VNT_Setup.exe" >/dev/null || { echo "FAIL: pack"; exit 1; }
for version in 3.8.0 3.8.1; do
    bash "$ROOT/scripts/make_msi.sh" "$WORK/VNT_Setup.exe" "$WORK/VantroSetup-$version.msi" \
        "$version" >/dev/null || { echo "FAIL: make_msi.sh $version"; exit 1; }
done
MSI="$WORK/VantroSetup-3.8.0.msi"
FIRST=$(property "$MSI" ProductCode)
LATER=$(property "$WORK/VantroSetup-3.8.1.msi" ProductCode)
# The later version as a transform would configure it: properties in its Property table.
cp "$WORK/VantroSetup-3.8.1.msi" "$C/deploy/later.msi"
add_property "$C/deploy/later.msi" INSTALLDIR "C:\\Vantro MSI\\"
add_property "$C/deploy/later.msi" LOG 'C:\deploy\upgrade.log'

# --- 1. The tables and the signature -----------------------------------------------------------
check "Property table: per-machine, hidden from Apps, version 3.8.0, the source's UpgradeCode" \
    "[ '$(property "$MSI" ALLUSERS)' = 1 ] && [ '$(property "$MSI" ARPSYSTEMCOMPONENT)' = 1 ] &&
     [ '$(property "$MSI" ProductVersion)' = 3.8.0 ] &&
     grep -qF 'UpgradeCode=\"$(property "$MSI" UpgradeCode | tr -d '{}')\"' \
         '$ROOT/packaging/msi/VantroSetup.wxs'"
secure=";$(property "$MSI" SecureCustomProperties);"
for name in INSTALLDIR LANG TYPE TASKS ADMIN PASSWORDFILE LOADINF LOG; do
    check "Property table: $name is a secure property" "[[ '$secure' == *';$name;'* ]]"
done
deferred_system() { # deferred (0x400) and not impersonated (0x800)
    local type
    type=$(msiinfo export "$MSI" CustomAction | awk -F'\t' -v name="$1" '$1 == name { print $2 }')
    [ -n "$type" ] && [ $((type & 0xC00)) = $((0xC00)) ]
}
check "CustomAction table: the setup and the uninstaller deferred, not impersonated" \
    "deferred_system VntRunSetup && deferred_system VntRunUninstaller"

make_pki() {
    cd "$WORK/pki" &&
        openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Vantro Test Root CA" \
            -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign" \
            -keyout ca.key -out ca.pem &&
        printf '%s\n' "basicConstraints=critical,CA:false" "keyUsage=critical,digitalSignature" \
            "extendedKeyUsage=critical,codeSigning" >signer.ext &&
        openssl req -newkey rsa:2048 -nodes -subj "/CN=Vantro Test signer" -keyout signer.key \
            -out signer.csr &&
        openssl x509 -req -days 3650 -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
            -extfile signer.ext -out signer.pem
}
(make_pki) >"$WORK/pki/make.log" 2>&1 ||
    { echo "FAIL: certificates (see $WORK/pki/make.log)"; exit 1; }
SIGNED="$C/deploy/VantroSetup.msi"
osslsigncode sign -certs "$WORK/pki/signer.pem" -key "$WORK/pki/signer.key" -h sha256 \
    -n "Vantro Mail Server Setup" -in "$MSI" -out "$SIGNED" >"$WORK/sign.log" 2>&1
check "signed: osslsigncode verifies the package" \
    "osslsigncode verify -CAfile '$WORK/pki/ca.pem' -in '$SIGNED' >'$WORK/verify.log' 2>&1"
cp "$SIGNED" "$WORK/changed.msi"
add_property "$WORK/changed.msi" LANG ru
check "signed, then a property added: osslsigncode refuses it" \
    "! osslsigncode verify -CAfile '$WORK/pki/ca.pem' -in '$WORK/changed.msi' >/dev/null 2>&1"

# --- 2. Failing setups: the installation rolls back ----------------------------------------
printf '%s\r\n' "$PASSWORD" >"$C/deploy/admin.txt"
refuse() {
    local name=$1 reason=$2
    shift 2
    rm -f "$C/deploy/refused.log"
    local code
    code=$(msiexec /i 'C:\deploy\VantroSetup.msi' /qn 'INSTALLDIR=C:\Vantro MSI' \
        'PASSWORDFILE=C:\deploy\admin.txt' 'LOG=C:\deploy\refused.log' "$@")
    check "$name: a non-zero exit code ($code)" "[ -n '$code' ] && [ '$code' != 0 ]"
    check "$name: the setup's reason in its LOG" "grep -qF '$reason' '$C/deploy/refused.log'"
    check "$name: nothing left (folder, cached setup, both entries)" \
        "[ ! -e '$DIR' ] && [ ! -e '$CACHE' ] && ! registered VantroMailServer &&
         ! registered '$FIRST'"
}
refuse "a bogus TYPE" 'Type "bogus" is neither full nor console' TYPE=bogus
refuse "an administrator not among the users" 'User "nobody@nowhere" is not in the list of users' \
    ADMIN=nobody@nowhere

# --- 3. Installation with every property -----------------------------------------------------
printf '[Setup]\r\nTasks=!start\r\n' >"$C/deploy/vantro.inf"
code=$(msiexec /i 'C:\deploy\VantroSetup.msi' /qn /l*v 'C:\deploy\msi-install.log' \
    'INSTALLDIR=C:\Vantro MSI' LANG=ru TYPE=full 'TASKS=!start' ADMIN=admin@domain.local \
    'PASSWORDFILE=C:\deploy\admin.txt' 'LOADINF=C:\deploy\vantro.inf' 'LOG=C:\deploy\setup.log')
expect_code "install" 0 "$code"
switches='"/DIR=C:\Vantro MSI" "/LANG=ru" "/TYPE=full" "/TASKS=!start" "/ADMIN=admin@domain.local"'
switches+=' "/PASSWORDFILE=C:\deploy\admin.txt" "/LOADINF=C:\deploy\vantro.inf"'
switches+=' "/LOG=C:\deploy\setup.log"'
check "install: the setup's switches, one for each property" \
    "grep -qxF 'Property(S): VntSetupArgs =  $switches' <(tr -d '\r' <'$C/deploy/msi-install.log')"
check "install: the programs, the configuration and the /LOG copy" \
    "[ -e '$DIR/VantroMS.exe' ] && [ -e '$DIR/VNT_Uninstall.exe' ] && [ -e '$DIR/Config/server.cfg' ] &&
     [ -s '$C/deploy/setup.log' ]"
check "install: the setup cached" "cmp -s '$WORK/VNT_Setup.exe' '$CACHE/VNT_Setup.exe'"
check "install: the setup's Uninstall key (folder, Russian, full)" \
    "[ \"\$(key_value '$KEY' InstallLocation)\" = 'C:\\Vantro MSI' ] &&
     [ \"\$(key_value '$KEY' VntLanguage)\" = ru ] && [ \"\$(key_value '$KEY' VntType)\" = full ]"
check "install: the package registered, its entry hidden, the setup's shown" \
    "[ \"\$(key_value '$UNINSTALL\\$FIRST' SystemComponent)\" = 0x1 ] &&
     [ -z \"\$(key_value '$KEY' SystemComponent)\" ]"

# --- 4. Removed as an upgrade removes it, then installed again --------------------------------
before=$(tree_md5 "$DIR")
code=$(msiexec /x "$FIRST" /qn "UPGRADINGPRODUCTCODE=$LATER")
expect_code "removed by an upgrade" 0 "$code"
check "removed by an upgrade: the registration gone, the installation and its key untouched" \
    "! registered '$FIRST' && [ \"\$(tree_md5 '$DIR')\" = '$before' ] && registered VantroMailServer"
code=$(msiexec /i 'C:\deploy\VantroSetup.msi' /qn)
expect_code "installed again without properties" 0 "$code"
check "installed again: the registered installation upgraded in its folder" \
    "registered '$FIRST' && [ \"\$(key_value '$KEY' InstallLocation)\" = 'C:\\Vantro MSI' ] &&
     no_default_folder"
eval "set -- $(key_value "$KEY" QuietUninstallString)"
code=$(run "$@")
"$WINESERVER" -w # the uninstaller's copy ends after handing over its code
expect_code "removed from Apps by the setup's own entry" 0 "$code"
check "removed from Apps: the setup's key gone, the package still registered" \
    "! registered VantroMailServer && registered '$FIRST'"
code=$(msiexec /i 'C:\deploy\VantroSetup.msi' /qn 'INSTALLDIR=C:\Vantro MSI')
expect_code "the package run again" 0 "$code"
check "the package run again: the setup installs again" \
    "registered VantroMailServer && [ -e '$DIR/VantroMS.exe' ]"

# --- 5. A later version ------------------------------------------------------------------------
code=$(msiexec /i 'C:\deploy\later.msi' /qn)
expect_code "3.8.1 over 3.8.0" 0 "$code"
check "3.8.1 over 3.8.0: the older registration replaced" "! registered '$FIRST' && registered '$LATER'"
check "3.8.1 over 3.8.0: the setup ran in the folder given with its backslash, LOG from the table" \
    "grep -qF '\"C:\\Vantro MSI\\\"' '$C/deploy/upgrade.log' &&
     [ \"\$(key_value '$KEY' InstallLocation)\" = 'C:\\Vantro MSI' ]"
check "3.8.1 over 3.8.0: the stored password kept" \
    "grep -qF \"$("$VNTSETUP" encode-password "$PASSWORD")\" '$DIR/Config/server.cfg'"

# --- 6. Removal ------------------------------------------------------------------------------
code=$(msiexec /x "$LATER" /qn)
expect_code "uninstall" 0 "$code"
for removed in VantroMS.exe VNT_Monitor.exe VNT_Admin/VNT_Admin.exe VNT_Uninstall.exe \
    VNT_Install.rec; do
    check "uninstall: $removed removed" "[ ! -e '$DIR/$removed' ]"
done
for kept in Config/server.cfg VNT_Admin/VNT_Admin.cfg VNT_Setup.log; do
    check "uninstall: $kept kept" "[ -e '$DIR/$kept' ]"
done
check "uninstall: both entries and the cached setup gone" \
    "! registered VantroMailServer && ! registered '$LATER' && [ ! -e '$CACHE' ]"

"$WINESERVER" -k 2>/dev/null
echo "$PASSED passed, $FAILED failed"
if [ "$FAILED" = 0 ]; then
    rm -rf "$WORK"
else
    echo "work folder kept: $WORK"
fi
[ "$FAILED" = 0 ]
