#!/usr/bin/env bash
# Sets up a Debian machine, builds the 32-bit product and the 64-bit build, and runs every test
# of both under Wine. Exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."

tools/setup-debian.sh
status=0
for preset in x86 x64; do
    echo "== $preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" || status=1
done
exit $status
