#!/usr/bin/env bash
# The package in every form an Authenticode signing tool gives it: the demo package is packed,
# then signed with osslsigncode under a throwaway certificate authority:
#   signed       once, SHA-256;
#   dual         SHA-1, plus a nested SHA-256 signature;
#   timestamped  SHA-256 with an RFC 3161 timestamp from a responder on 127.0.0.1;
#   resigned     signed again over the signed form;
#   removed      the signed form with its signature removed;
#   unaligned    a package whose size is no multiple of 8, signed (the tool pads it);
#   unaligned-removed  its signature removed (the padding stays).
# Each form must pass `vntsetup verify`, list, extract and install, `osslsigncode verify`, and
# start the wizard under Wine. A signed package with one changed byte in its archive is refused
# (natively, and with the corrupted message under Wine); one with a changed PE CheckSum is not.
# Then the two signatures of a release: `vntsetup uninstaller` signed, packed with
# --signed-uninstaller and the package signed; its installations (`vntsetup install`, and
# /VERYSILENT under Wine) write that signed file as VNT_Uninstall.exe, which
# `osslsigncode verify` accepts.
#
# usage: tests/signing/signed_forms.sh NATIVE_BUILD WIN_BUILD [WORK_DIR]
#   NATIVE_BUILD  native build folder (src/tools/vntsetup)
#   WIN_BUILD     Windows cross build folder (src/VNT_Setup.exe and the staged payload/); a
#                 64-bit build runs under wine64
#   WORK_DIR      kept afterwards; default: a temporary folder, removed when all passed
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing, or Wine cannot run here).
set -uo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
NATIVE="$(cd "${1:?native build folder}" && pwd)"
WIN="$(cd "${2:?Windows build folder}" && pwd)"
KEEP_WORK=${3:+yes}
WORK="${3:-$(mktemp -d /tmp/vnt-signing.XXXXXX)}"
VNTSETUP="$NATIVE/src/tools/vntsetup"
STUB="$WIN/src/VNT_Setup.exe"
PAYLOAD="$WIN/payload"
source "$ROOT/tests/support/wine_build.sh"
RUNWAIT="$WIN/tests/deploy/VnRunWait.exe"
export WINE WINESERVER RUNWAIT
PASSED=0 FAILED=0

pass() { echo "ok:   $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: $*"; FAILED=$((FAILED + 1)); }
# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() {
    local description=$1
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

for tool in osslsigncode openssl python3 "$WINE" xvfb-run xdotool xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for file in "$VNTSETUP" "$STUB" "$PAYLOAD/Setup/VantroMS.exe"; do
    [ -e "$file" ] && continue
    echo "FAIL: $file is missing (build vntsetup, VNT_Setup and vn_payload)"
    exit 1
done
mkdir -p "$WORK" && WORK="$(cd "$WORK" && pwd)"
PKI="$WORK/pki" FORMS="$WORK/forms" OUT="$WORK/out"
rm -rf "$PKI" "$FORMS" "$OUT"
mkdir -p "$PKI" "$FORMS" "$OUT"
export WINEPREFIX="$WORK/prefix"
if ! timeout 300 "$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1; then
    echo "SKIP: $WINE cannot run Windows programs on this machine:"
    sed 's/^/    /' "$WORK/wineboot.log" | head -5
    exit 77
fi
# Programs of the prefix open in a virtual desktop.
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d vntsign /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v vntsign /d 800x600 /f >/dev/null 2>&1
"$WINESERVER" -w

# --- A certificate authority, a code-signing certificate and a time-stamping authority --------
make_pki() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Vantro Test Root CA" \
        -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$PKI/ca.key" -out "$PKI/ca.pem" || return 1
    local name usage
    for name in signer:codeSigning tsa:timeStamping; do
        usage=${name#*:} name=${name%%:*}
        printf '%s\n' "basicConstraints=critical,CA:false" "keyUsage=critical,digitalSignature" \
            "extendedKeyUsage=critical,$usage" "subjectKeyIdentifier=hash" \
            "authorityKeyIdentifier=keyid" >"$PKI/$name.ext"
        openssl req -newkey rsa:2048 -nodes -subj "/CN=Vantro Test $name" \
            -keyout "$PKI/$name.key" -out "$PKI/$name.csr" &&
            openssl x509 -req -days 3650 -in "$PKI/$name.csr" -CA "$PKI/ca.pem" \
                -CAkey "$PKI/ca.key" -CAcreateserial -extfile "$PKI/$name.ext" \
                -out "$PKI/$name.pem" || return 1
    done
    echo 01 >"$PKI/tsa.serial"
    cat >"$PKI/tsa.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $PKI/tsa.serial
crypto_device = builtin
signer_cert = $PKI/tsa.pem
certs = $PKI/ca.pem
signer_key = $PKI/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
EOF
}
make_pki >"$PKI/make.log" 2>&1 || { echo "FAIL: certificates (see $PKI/make.log)"; exit 1; }

python3 "$HERE/tsa_responder.py" "$PKI/tsa.cnf" "$PKI/tsa.port" 2>"$PKI/tsa.log" &
TSA=$!
trap 'kill $TSA 2>/dev/null; "$WINESERVER" -k 2>/dev/null' EXIT
trap 'exit 1' INT TERM
for i in $(seq 1 60); do [ -s "$PKI/tsa.port" ] && break; sleep 1; done
[ -s "$PKI/tsa.port" ] || { echo "FAIL: the time-stamping responder did not start"; exit 1; }

# --- The forms ----------------------------------------------------------------------------
LOG="$OUT/osslsigncode.log"
# sign FROM TO OPTIONS..., remove FROM TO: the forms by name.
sign() {
    osslsigncode sign -certs "$PKI/signer.pem" -key "$PKI/signer.key" "${@:3}" \
        -in "$FORMS/$1.exe" -out "$FORMS/$2.exe" >>"$LOG" 2>&1
}
remove() { osslsigncode remove-signature -in "$FORMS/$1.exe" -out "$FORMS/$2.exe" >>"$LOG" 2>&1; }

"$VNTSETUP" pack --stub "$STUB" --payload "$PAYLOAD" --private-key "$ROOT/keys/test_private.pem" \
    --output "$FORMS/unsigned.exe" >/dev/null || { echo "FAIL: pack"; exit 1; }
check "pack: the package's size is a multiple of 8" \
    test $(($(stat -c %s "$FORMS/unsigned.exe") % 8)) = 0
python3 "$HERE/package_edit.py" unaligned "$STUB" "$FORMS/unsigned.exe" \
    "$FORMS/unaligned-unsigned.exe" "$ROOT/keys/test_private.pem" ||
    { echo "FAIL: the unaligned package"; exit 1; }
check "unaligned: the package's size is no multiple of 8 before signing" \
    test $(($(stat -c %s "$FORMS/unaligned-unsigned.exe") % 8)) != 0

sign unsigned signed -h sha256 &&
    sign unsigned sha1 -h sha1 &&
    sign sha1 dual -nest -h sha256 &&
    sign unsigned timestamped -h sha256 -ts "http://127.0.0.1:$(cat "$PKI/tsa.port")" &&
    sign signed resigned -h sha256 &&
    remove signed removed &&
    sign unaligned-unsigned unaligned -h sha256 &&
    remove unaligned unaligned-removed ||
    { echo "FAIL: osslsigncode (see $LOG)"; exit 1; }
edit() { python3 "$HERE/package_edit.py" "$1" "$STUB" "$FORMS/signed.exe" "$FORMS/$2.exe"; }
edit damage-archive damaged && edit change-checksum checksum ||
    { echo "FAIL: editing the signed package"; exit 1; }

# --- The checks ---------------------------------------------------------------------------
# FORM EXPECTED: what the setup shows first under Wine (setup_window.sh in a virtual X server).
check_window() {
    local shown
    shown=$(timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24" env LC_ALL=en_US.UTF-8 \
        bash "$HERE/setup_window.sh" "$FORMS/$1.exe" "$OUT/$1.png" 2>/dev/null | tail -1)
    if [ "$shown" = "$2" ]; then pass "$1: under Wine: $2"; else fail "$1: under Wine: $shown"; fi
}

# verify prints OK and, for a package with a certificate table, the line naming it.
check_verify() {
    local form=$1 table=$2 output
    output=$("$VNTSETUP" verify "$FORMS/$form.exe" 2>&1) && [ "$(head -1 <<<"$output")" = OK ] ||
        { fail "$form: verify: $output"; return; }
    if [ "$table" = table ]; then
        check "$form: verify names the certificate table" \
            grep -q '^Authenticode certificate table:' <<<"$output"
    else
        check "$form: verify prints OK alone" test "$output" = OK
    fi
}

extracts_payload() {
    "$VNTSETUP" extract "$FORMS/$1.exe" "" "$OUT/$1/extracted" >"$OUT/$1/extract.log" 2>&1 &&
        diff -r "$PAYLOAD" "$OUT/$1/extracted" >>"$OUT/$1/extract.log"
}

installs() {
    local folder="$OUT/$1/installed"
    "$VNTSETUP" install "$FORMS/$1.exe" --dir "$folder" --no-start --password x \
        >"$OUT/$1/install.log" 2>&1 &&
        cmp -s "$PAYLOAD/Setup/VantroMS.exe" "$folder/VantroMS.exe" &&
        grep -q 'ver="3.08"' "$folder/Config/server.cfg"
}

# osslsigncode verify: accepts the signature, or (no-table) finds none.
authenticode_verifies() {
    local verified=yes expected=yes
    osslsigncode verify -CAfile "$PKI/ca.pem" -TSA-CAfile "$PKI/ca.pem" "$FORMS/$1.exe" \
        >"$OUT/$1/osslsigncode.txt" 2>&1 || verified=no
    [ "$2" = table ] || expected=no
    [ $verified = $expected ]
}

check_form() {
    local form=$1 table=$2
    mkdir -p "$OUT/$form"
    check_verify "$form" "$table"
    check "$form: list" grep -qF 'Setup\VantroMS.exe' <("$VNTSETUP" list "$FORMS/$form.exe" 2>&1)
    check "$form: extract gives the payload" extracts_payload "$form"
    check "$form: install" installs "$form"
    check "$form: osslsigncode verify ($table)" authenticode_verifies "$form" "$table"
    check_window "$form" wizard
}

for form in signed dual timestamped resigned unaligned; do
    check_form "$form" table
done
for form in removed unaligned-removed; do
    check_form "$form" no-table
done
check "unaligned-removed: the padding stays" \
    test "$(stat -c %s "$FORMS/unaligned-removed.exe")" -gt \
    "$(stat -c %s "$FORMS/unaligned-unsigned.exe")"
check "dual: osslsigncode verifies two signatures" \
    grep -q 'Number of verified signatures: 2' "$OUT/dual/osslsigncode.txt"
check "timestamped: osslsigncode verifies the timestamp" \
    grep -q 'Timestamp Server Signature verification: ok' "$OUT/timestamped/osslsigncode.txt"

check "checksum: a changed PE CheckSum is accepted" \
    test "$("$VNTSETUP" verify "$FORMS/checksum.exe" 2>&1 | head -1)" = OK
output=$("$VNTSETUP" verify "$FORMS/damaged.exe" 2>&1)
rc=$?
check "damaged: verify refuses a changed archive byte (exit 1, corrupted)" \
    test "$rc:$(grep -c corrupted <<<"$output")" = 1:1
check_window damaged "message exit 1603"

# --- A release signed twice: its uninstaller, then the package -------------------------------
UNINSTALLER="$FORMS/uninstaller.exe" SIGNED_UNINSTALLER="$FORMS/uninstaller-signed.exe"
pack_with() { # pack_with SIGNED_UNINSTALLER OUTPUT
    "$VNTSETUP" pack --stub "$STUB" --payload "$PAYLOAD" --private-key "$ROOT/keys/test_private.pem" \
        --output "$2" --signed-uninstaller "$1"
}
"$VNTSETUP" uninstaller --stub "$STUB" --output "$UNINSTALLER" &&
    sign uninstaller uninstaller-signed -h sha256 &&
    pack_with "$SIGNED_UNINSTALLER" "$FORMS/release-unsigned.exe" &&
    sign release-unsigned release -h sha256 ||
    { echo "FAIL: the release signed twice (see $LOG)"; exit 1; }
# Extra zero bytes: those that align the package, which the uninstaller command leaves out.
same_program() { # same_program PROGRAM FILE: FILE is PROGRAM and 0 to 7 zero bytes
    local size extra
    size=$(stat -c %s "$1") extra=$(($(stat -c %s "$2") - $(stat -c %s "$1")))
    cmp -s -n "$size" "$1" "$2" && [ "$extra" -ge 0 ] && [ "$extra" -lt 8 ] &&
        [ -z "$(tail -c "$extra" "$2" | tr -d '\0')" ]
}
check "uninstaller: the program that an installation writes" \
    same_program "$UNINSTALLER" "$OUT/signed/installed/VNT_Uninstall.exe"
output=$(pack_with "$UNINSTALLER" "$FORMS/refused.exe" 2>&1)
rc=$?
check "release: pack refuses the unsigned uninstaller in one line, writing nothing" \
    test "$rc:$(wc -l <<<"$output"):$(grep -c 'no Authenticode signature' <<<"$output"):$(
        [ -e "$FORMS/refused.exe" ] && echo written)" = 1:1:1:
pack_with "$SIGNED_UNINSTALLER" "$FORMS/release-again.exe" >/dev/null
check "release: packing again gives the same bytes" \
    cmp -s "$FORMS/release-unsigned.exe" "$FORMS/release-again.exe"
output=$("$VNTSETUP" verify "$FORMS/release.exe" 2>&1)
check "release: verify names both certificate tables" \
    test "$(sed 's/:.*//' <<<"$output" | tr '\n' ,)" = \
    "OK,Authenticode certificate table,Signed uninstaller,"
echo "      $(tail -1 <<<"$output")"
record_matches() { "$VNTSETUP" check "$1" >/dev/null 2>&1; }
authenticode_accepts() { osslsigncode verify -CAfile "$PKI/ca.pem" -in "$1" >"$2" 2>&1; }
# installed_uninstaller NAME FOLDER: the installation's uninstaller is the signed one, its record
# says so, and osslsigncode accepts its signature.
installed_uninstaller() {
    check "$1: VNT_Uninstall.exe is the signed uninstaller" \
        cmp -s "$SIGNED_UNINSTALLER" "$2/VNT_Uninstall.exe"
    check "$1: the record matches every file" record_matches "$2"
    check "$1: osslsigncode verifies VNT_Uninstall.exe" \
        authenticode_accepts "$2/VNT_Uninstall.exe" "$OUT/$1-osslsigncode.txt"
}
mkdir -p "$OUT/release"
"$VNTSETUP" install "$FORMS/release.exe" --dir "$OUT/release/installed" --no-start --password x \
    >"$OUT/release/install.log" 2>&1
installed_uninstaller release "$OUT/release/installed"
printf 'x\r\n' >"$WINEPREFIX/drive_c/admin.txt"
code=$(env -u DISPLAY timeout 600 "$WINE" "$RUNWAIT" "Z:${FORMS//\//\\}\\release.exe" /VERYSILENT \
    /SUPPRESSMSGBOXES /NORESTART '/DIR=C:\Release' /TASKS=!start '/PASSWORDFILE=C:\admin.txt' \
    2>/dev/null | tr -d '\r')
"$WINESERVER" -w
check "release under Wine: /VERYSILENT exit code 0 ($code)" test "$code" = 0
installed_uninstaller "release-under-Wine" "$WINEPREFIX/drive_c/Release"

echo "$PASSED passed, $FAILED failed"
if [ "$FAILED" = 0 ] && [ -z "$KEEP_WORK" ]; then
    rm -rf "$WORK"
elif [ "$FAILED" != 0 ]; then
    echo "work folder kept: $WORK"
fi
[ "$FAILED" = 0 ]
