#!/usr/bin/env bash
# Wraps a packed (and possibly Authenticode-signed) VNT_Setup.exe into a per-machine Windows
# Installer package with wixl, from packaging/msi/VantroSetup.wxs.
#
# usage: scripts/make_msi.sh SETUP.exe OUT.msi [VERSION]
#   VERSION  the package's ProductVersion, 3.8.x; default 3.8.0 from the project's 3.08. The
#            ProductCode is derived from the UpgradeCode and VERSION: a rebuild of one version
#            keeps it, every other version gets its own (a major upgrade).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SOURCE="$ROOT/packaging/msi/VantroSetup.wxs"
SETUP="$(realpath "${1:?setup program}")"
OUT="$(realpath -m "${2:?output package}")"
read -r major minor < <(sed -n 's/^project(VantroSetup VERSION \([0-9]*\)\.\([0-9]*\) .*/\1 \2/p' \
    "$ROOT/CMakeLists.txt")
VERSION=${3:-$major.$((10#$minor)).0}

[[ $VERSION =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make_msi: bad version $VERSION" >&2; exit 2; }
for tool in wixl msiinfo msibuild python3; do
    command -v "$tool" >/dev/null || { echo "make_msi: $tool is not installed" >&2; exit 2; }
done
UPGRADE_CODE=$(sed -n 's/.*UpgradeCode="\([-0-9A-F]*\)".*/\1/p' "$SOURCE")
PRODUCT_CODE=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$UPGRADE_CODE" "$VERSION")

STAGE="$(mktemp -d /tmp/vnt-msi.XXXXXX)"
trap 'rm -rf "$STAGE"' EXIT
# wixl finds a File's source only relative to the folder it runs in.
cp "$SETUP" "$STAGE/VNT_Setup.exe"
(cd "$STAGE" && wixl -a x86 -D ProductVersion="$VERSION" -D ProductCode="$PRODUCT_CODE" \
    -o package.msi "$SOURCE")

# The public properties that become switches are secure ones too (passed to the installation
# when a managed or elevated run gets them from the command line). wixl has no Secure attribute
# and writes SecureCustomProperties itself for the upgrade: the names are added to its value.
forwarded=$(msiinfo export "$STAGE/package.msi" CustomAction |
    awk -F'\t' '$3 == "VntSetupArgs" { print $4 }' | grep -o '=\[[A-Z_]*\]' | tr -d '=[]' |
    sort -u | paste -sd';')
secure=$(msiinfo export "$STAGE/package.msi" Property |
    awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')
msibuild "$STAGE/package.msi" -q "UPDATE \`Property\` SET \`Value\` = '$forwarded;$secure' \
    WHERE \`Property\` = 'SecureCustomProperties'"
mv "$STAGE/package.msi" "$OUT"
echo "$OUT: ProductVersion $VERSION, ProductCode {$PRODUCT_CODE}"
