#!/bin/sh
# Builds the package benchmark in a Release tree and runs it.
# usage: bench/run_package.sh [BUILD_DIR] [PAYLOAD_MEGABYTES]
set -e
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build-bench}
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --target vntsetup bench_package -j2 >/dev/null
"$build_dir/bench/bench_package" "$build_dir/src/tools/vntsetup" "$source_dir/keys" ${2:+"$2"}
