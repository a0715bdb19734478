#!/usr/bin/env bash
# Builds the Windows programs twice from the same sources and checks that both builds give the
# same bytes: VNT_Setup.exe, vntsetup.exe and the payload stand-ins. The two source trees lie in
# folders of different path lengths; the first build runs without SOURCE_DATE_EPOCH, the second
# with it set to the commit's date and in another time zone, so a build that reads the clock or
# records its folder differs. Prints the programs' sha256; exits non-zero on any difference.
# Usage: scripts/reproducible.sh [--working-tree] [--keep] [win32|win64]
#   --working-tree  build the working tree's files, tracked or not ignored (default: HEAD)
#   --keep          keep the two trees for inspection
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source=HEAD
keep=no
arch=win32
for argument in "$@"; do
    case $argument in
    --working-tree) source="working tree" ;;
    --keep) keep=yes ;;
    win32 | win64) arch=$argument ;;
    *) echo "usage: $0 [--working-tree] [--keep] [win32|win64]" >&2; exit 2 ;;
    esac
done
toolchain=mingw-i686.cmake
[ "$arch" = win32 ] || toolchain=mingw-x86_64.cmake
programs=(src/VNT_Setup.exe src/tools/vntsetup.exe payload/Setup/VantroMS.exe
          payload/Setup/VNT_Monitor.exe payload/Setup/VNT_Admin/VNT_Admin.exe)
commitDate=$(git -C "$root" log -1 --format=%ct)

work=$(mktemp -d /tmp/repro-XXXXXX)
[ $keep = yes ] || trap 'rm -rf "$work"' EXIT
trees=("$work/a" "$work/second-tree-with-a-longer-path")

mkdir -p "${trees[0]}"
if [ "$source" = HEAD ]; then
    git -C "$root" archive HEAD | tar -x -C "${trees[0]}"
else
    cd "$root"
    git ls-files -z --cached --others --exclude-standard |
        tar -c --null --ignore-failed-read -T - 2>/dev/null | tar -x -C "${trees[0]}"
fi
cp -a "${trees[0]}" "${trees[1]}"

build() { # build TREE
    echo "== building $arch ($source) in $1"
    cmake -S "$1" -B "$1/build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$toolchain" -DVNT_BUILD_TESTS=OFF -DVNT_BUILD_BENCH=OFF \
        >"$work/log" 2>&1 &&
        cmake --build "$1/build" -j "${JOBS:-2}" --target VNT_Setup vntsetup vn_payload \
            >>"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
}
(unset SOURCE_DATE_EPOCH; TZ=UTC build "${trees[0]}")
SOURCE_DATE_EPOCH=$commitDate TZ=Asia/Kolkata build "${trees[1]}"

status=0
for program in "${programs[@]}"; do
    first=${trees[0]}/build/$program
    second=${trees[1]}/build/$program
    if ! cmp -s "$first" "$second"; then
        echo "DIFFERENT: $program ($(cmp -l "$first" "$second" | wc -l) bytes differ)"
        status=1
    elif grep -q -a -F "$work" "$first" "$second"; then
        echo "BUILD PATH: $program names its build folder"
        status=1
    else
        echo "$(sha256sum <"$first" | cut -d' ' -f1)  $program"
    fi
done
[ $keep = no ] || echo "trees kept in $work"
exit $status
