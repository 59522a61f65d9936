#!/usr/bin/env bash
# The Wine session of one build tree: a private prefix, a persistent wineserver and a private
# Xvfb display, started before the tests of the tree and shut down after them.
#
#   wine-session.sh start STATE-DIR   make the prefix on first use, start Xvfb and wineserver
#   wine-session.sh stop STATE-DIR    stop this tree's wineserver and Xvfb
#   wine-session.sh can-run-32        exit 0 when Wine can run 32-bit programs here
set -u

wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver32

can_run_32() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

start() {
    local state=$1
    mkdir -p "$state"
    export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if can_run_32; then
        export WINELOADER=/usr/lib/wine/wine
    else
        export WINELOADER=/usr/lib/wine/wine64
    fi

    stop "$state"
    # Xvfb writes the display number it took to the descriptor named by -displayfd.
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    local display=""
    read -r -t 20 display <&"$fd" || true
    exec {fd}>&-
    if [ -z "$display" ]; then
        echo "Xvfb did not start; see $state/xvfb.log" >&2
        return 1
    fi
    echo "$display" >"$state/display"
    export DISPLAY=":$display"

    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >"$state/wineserver.log" 2>&1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "making the Wine prefix $WINEPREFIX (first use only)"
    fi
    "$WINELOADER" wineboot.exe --init >"$state/wineboot.log" 2>&1
    # Xvfb has no window manager: let Wine draw the window frames and captions itself.
    "$WINELOADER" reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
        >>"$state/wineboot.log" 2>&1
    # Text files open in Notepad, as on Windows; the prefix does not say so by itself.
    "$WINELOADER" reg.exe add 'HKCR\.txt' /ve /d txtfile /f >>"$state/wineboot.log" 2>&1
    return 0
}

stop() {
    local state=$1
    if [ -d "$state/prefix" ]; then
        WINEPREFIX="$state/prefix" "$wineserver" -k >/dev/null 2>&1 || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    return 0
}

case "${1:-}" in
    start) start "$2" ;;
    stop) stop "$2" ;;
    can-run-32) can_run_32 ;;
    *) echo "usage: $0 start|stop STATE-DIR | can-run-32" >&2; exit 2 ;;
esac
