#!/usr/bin/env bash
# Builds the benchmarks of one preset (x64 unless named) and runs them under Wine.
#
#   bench/run.sh [PRESET] [FOLDER]
set -eu
cd "$(dirname "$0")/.."
preset=${1:-x64}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target verify_bench
state=$PWD/build/$preset/wine
tools/wine-session.sh start "$state" >/dev/null
trap 'tools/wine-session.sh stop "$state"' EXIT
tools/wine-run.sh "$state" "$PWD/build/$preset/bin/verify_bench.exe" ${2:+"$2"}
