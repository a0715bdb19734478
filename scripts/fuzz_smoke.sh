#!/usr/bin/env bash
# Builds every libFuzzer target of fuzz/ with clang (in build-fuzz) and runs each for a fixed
# number of inputs over seeds made from the repository's own files, so that a target that no
# longer builds, or crashes near its seeds, fails the test run. Prints one line per target and
# "N passed, M failed"; exits 1 when any target failed.
#   scripts/fuzz_smoke.sh [RUNS]    (RUNS per target, default 4000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-4000}
build=build-fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command with its output in a log; shows the end of the log when it fails.
quiet() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 || {
        tail -n 40 "$log"
        return 1
    }
}

quiet "$work/configure.log" cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVNT_BUILD_FUZZERS=ON \
    -DVNT_BUILD_TESTS=OFF -DVNT_BUILD_BENCH=OFF
quiet "$work/seeds.log" cmake --build "$build" --target make_fuzz_seeds -j 2
seeds="$work/seeds"
mkdir -p "$seeds"
cp payload/VNT_Setup.lng payload/server.cfg "$seeds/"
"$build/fuzz/make_fuzz_seeds" "$seeds"

# Crash inputs are kept in the build folder, beside the targets.
artifacts="$PWD/$build/fuzz-artifacts"
mkdir -p "$artifacts"
passed=0 failed=0
for source in fuzz/*.cpp; do
    target=fuzz_$(basename "$source" .cpp)
    mkdir -p "$work/$target"
    if ! quiet "$work/$target.build.log" cmake --build "$build" --target "$target" -j 2; then
        echo "$target: FAILED to build"
        failed=$((failed + 1))
    # New inputs go to the target's own folder; the shared seeds stay as they are.
    elif quiet "$work/$target.log" "$build/fuzz/$target" -runs="$runs" -seed=1 \
        -artifact_prefix="$artifacts/$target-" "$work/$target" "$seeds"; then
        echo "$target: passed ($runs runs from $(ls "$seeds" | wc -l) seeds)"
        passed=$((passed + 1))
    else
        echo "$target: FAILED; the input is in $artifacts"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
