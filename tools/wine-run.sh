#!/usr/bin/env bash
# Runs one Windows program under Wine, in the private prefix, on the private X display and in
# the private network of a build tree's Wine session (tools/wine-session.sh), so that tests
# never touch the user's own Wine set-up or screen, nor any other machine.
#
#   wine-run.sh STATE-DIR PROGRAM.exe [ARGUMENTS...]
#
# STATE-DIR holds the prefix, and the display number and network namespace written by
# wine-session.sh; without a session the program is not run (exit code 2). A 32-bit
# program on a machine whose kernel cannot run 32-bit code exits with 77, which CTest
# reports as skipped.
set -u
state=$1
program=$2
shift 2

export WINEPREFIX="$state/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -f "$state/display" ]; then
    export DISPLAY=":$(cat "$state/display")"
fi

# The PE header's machine field tells which loader the program needs.
offset=$(od -An -t u4 -j 60 -N 4 "$program" | tr -d ' ')
machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$program" | tr -d ' ')
case "$machine" in
    014c)
        if ! "$(dirname "$0")/wine-session.sh" can-run-32 ; then
            echo "SKIPPED: this kernel cannot run 32-bit programs, so Wine cannot run $program" >&2
            exit 77
        fi
        loader=/usr/lib/wine/wine ;;
    *)
        loader=/usr/lib/wine/wine64 ;;
esac
export WINELOADER=$loader
if [ ! -f "$state/netns" ]; then
    echo "no Wine session in $state: run tools/wine-session.sh start $state first" >&2
    exit 2
fi
exec ip netns exec "$(cat "$state/netns")" "$loader" "$program" "$@"
