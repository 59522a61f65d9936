#!/usr/bin/env bash
# Sets up a Debian machine, builds the program and runs it under Wine, in the private network
# of a Wine session (tools/wine-session.sh). With a display ($DISPLAY set, a local X server)
# the window opens there. Without one, the program runs on a private Xvfb display until its
# scan has completed; a screenshot of the window is written to build/run/screenshot.png and the
# report (as Copy Log gives it) to build/run/report.txt, and the program is closed.
set -eu
cd "$(dirname "$0")/.."
root=$PWD

tools/setup-debian.sh
if tools/wine-session.sh can-run-32; then
    preset=x86
else
    preset=x64
    echo "note: this kernel cannot run 32-bit programs, so Wine runs the 64-bit build of the same sources"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

bin=$root/build/$preset/bin
state=$root/build/$preset/wine
out=$root/build/run
mkdir -p "$out"
cd "$out"

# The session's private network has no way out: the update host's name does not resolve, so
# the update check ends at once and the scan starts.
"$root/tools/wine-session.sh" start "$state" >/dev/null
trap '"$root/tools/wine-session.sh" stop "$state"' EXIT
if [ -n "${DISPLAY:-}" ]; then
    rm -f "$state/display"
    "$root/tools/wine-run.sh" "$state" "$bin/Kestrovane.exe"
    exit $?
fi
"$root/tools/wine-run.sh" "$state" "$bin/Kestrovane.exe" &
program=$!

rectangle=$("$root/tools/wine-run.sh" "$state" "$bin/ProgramDriver.exe" wait 300 | tr -d '\r')
read -r x y width height <<<"$rectangle"
DISPLAY=":$(cat "$state/display")" import -window root -crop "${width}x${height}+${x}+${y}" +repage \
    "$out/screenshot.png"
echo "screenshot: $out/screenshot.png"
"$root/tools/wine-run.sh" "$state" "$bin/ProgramDriver.exe" report "Z:${out//\//\\}\\report.txt"
echo "report: $out/report.txt"

"$root/tools/wine-run.sh" "$state" "$bin/ProgramDriver.exe" close
wait "$program"
echo "Kestrovane ended with exit code $?"
