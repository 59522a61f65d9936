#!/usr/bin/env bash
# Builds the benchmarks of one preset (x64 unless named) and runs them under Wine.
#
#   bench/run.sh [PRESET]
set -eu
cd "$(dirname "$0")/.."
preset=${1:-x64}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target verify_bench scan_bench
state=$PWD/build/$preset/wine
tools/wine-session.sh start "$state" >/dev/null
trap 'tools/wine-session.sh stop "$state"' EXIT
for bench in verify_bench scan_bench; do
    echo "== $bench"
    tools/wine-run.sh "$state" "$PWD/build/$preset/bin/$bench.exe"
done
