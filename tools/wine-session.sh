#!/usr/bin/env bash
# The Wine session of one build tree: a private prefix, a persistent wineserver and a private
# Xvfb display, started before the tests of the tree and shut down after them. All of it runs
# in a network namespace of its own that has nothing but loopback, so no program of the
# session can reach another machine: not the update host, not a name server. (Wine opens
# sockets in the wineserver, so the server must be inside too.)
#
#   wine-session.sh start STATE-DIR [UPDATE-HOST SERVED-FOLDER]
#       make the prefix on first use, start the namespace, Xvfb and wineserver; with the last
#       two arguments, UPDATE-HOST resolves to 127.0.0.1 inside and tools/update-host.py serves
#       SERVED-FOLDER there on port 80
#       WINEARCH=win32 in the environment makes a 32-bit prefix (a 32-bit Windows); where Wine
#       cannot run 32-bit programs, nothing is started and the tests of that session skip
#   wine-session.sh stop STATE-DIR    stop everything of this tree's session
#   wine-session.sh can-run-32        exit 0 when Wine can run 32-bit programs here
#
# Programs run in the session through tools/wine-run.sh. Needs root (ip netns).
set -u
here=$(cd "$(dirname "$0")" && pwd)

wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver32

can_run_32() {
    [ -x /usr/lib/wine/wine ] && env -u WINEPREFIX /usr/lib/wine/wine --version >/dev/null 2>&1
}

# One namespace per state folder, so two build trees never share one.
namespace_of() {
    echo "kestrovane-$(realpath -m "$1" | md5sum | cut -c1-12)"
}

# Waits up to 20 seconds for a line in a file.
wait_for_line() {
    local file=$1 line=$2
    for _ in $(seq 200); do
        grep -qx "$line" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

start() {
    local state host root
    state=$(realpath -m "$1")
    host=${2:-}
    root=${3:-}
    mkdir -p "$state"
    if [ "${WINEARCH:-}" = win32 ] && ! can_run_32; then
        echo "this kernel cannot run 32-bit programs: no 32-bit prefix, its tests skip"
        return 0
    fi
    export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if can_run_32; then
        export WINELOADER=/usr/lib/wine/wine
    else
        export WINELOADER=/usr/lib/wine/wine64
    fi

    stop "$state"
    local namespace
    namespace=$(namespace_of "$state")
    ip netns add "$namespace" || return 1
    echo "$namespace" >"$state/netns"
    # ip netns exec mounts the files of /etc/netns/NAME over those of /etc.
    mkdir -p "/etc/netns/$namespace"
    printf '127.0.0.1\tlocalhost\n::1\tlocalhost\n' >"/etc/netns/$namespace/hosts"
    [ -n "$host" ] && printf '127.0.0.1\t%s\n' "$host" >>"/etc/netns/$namespace/hosts"
    : >"/etc/netns/$namespace/resolv.conf"
    inside() { ip netns exec "$namespace" "$@"; }
    inside ip link set lo up || return 1

    if [ -n "$root" ]; then
        mkdir -p "$root"
        inside python3 "$here/update-host.py" "$root" >"$state/update-host.log" 2>&1 </dev/null &
        echo $! >"$state/update-host.pid"
        if ! wait_for_line "$state/update-host.log" ready; then
            echo "the update host did not start; see $state/update-host.log" >&2
            return 1
        fi
    fi

    # Xvfb writes the display number it took to the descriptor named by -displayfd.
    exec {fd}<> <(:)
    inside Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
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
    inside "$wineserver" -p </dev/null >"$state/wineserver.log" 2>&1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "making the Wine prefix $WINEPREFIX (first use only)"
    fi
    inside "$WINELOADER" wineboot.exe --init >"$state/wineboot.log" 2>&1
    # Xvfb has no window manager: let Wine draw the window frames and captions itself.
    inside "$WINELOADER" reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
        >>"$state/wineboot.log" 2>&1
    # Text files open in Notepad, as on Windows; the prefix does not say so by itself.
    inside "$WINELOADER" reg.exe add 'HKCR\.txt' /ve /d txtfile /f >>"$state/wineboot.log" 2>&1
    return 0
}

stop() {
    local state namespace
    state=$(realpath -m "$1")
    namespace=$(namespace_of "$state")
    if [ -d "$state/prefix" ]; then
        WINEPREFIX="$state/prefix" "$wineserver" -k >/dev/null 2>&1 || true
    fi
    for service in xvfb update-host; do
        if [ -f "$state/$service.pid" ]; then
            kill "$(cat "$state/$service.pid")" >/dev/null 2>&1 || true
            rm -f "$state/$service.pid"
        fi
    done
    if ip netns list | grep -q "^$namespace\b"; then
        ip netns pids "$namespace" | xargs -r kill -9 >/dev/null 2>&1 || true
        ip netns del "$namespace" || true
    fi
    rm -rf "/etc/netns/$namespace"
    rm -f "$state/display" "$state/netns"
    return 0
}

case "${1:-}" in
    start) start "$2" "${3:-}" "${4:-}" ;;
    stop) stop "$2" ;;
    can-run-32) can_run_32 ;;
    *) echo "usage: $0 start STATE-DIR [UPDATE-HOST SERVED-FOLDER] | stop STATE-DIR | can-run-32" >&2
       exit 2 ;;
esac
