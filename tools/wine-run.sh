#!/usr/bin/env bash
# Runs one Windows program under Wine, in the private prefix and on the private X display of
# a build tree, so that tests never touch the user's own Wine set-up or screen.
#
#   wine-run.sh STATE-DIR PROGRAM.exe [ARGUMENTS...]
#
# STATE-DIR holds the prefix and the display number written by wine-session.sh. A 32-bit
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
exec "$loader" "$program" "$@"
