#!/bin/bash
# Starts or stops a screen for a Wine prefix: Xvfb on DISPLAY and the
# prefix's virtual desktop (wine explorer /desktop, which is also the
# Program Manager DDE server). The prefix comes from
#   tools/wine-prefix.sh create --desktop[=WxH] PREFIX
#   wine-desktop.sh start PREFIX DISPLAY [WxH]   (default 1024x768)
#   wine-desktop.sh stop PREFIX DISPLAY
# stop ends the prefix's wineserver (and every Windows program in it) and
# the Xvfb that start began; nothing else.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

die() {
    echo "wine-desktop.sh: $*" >&2
    exit 1
}

[ $# -ge 3 ] || die "usage: $0 start|stop PREFIX DISPLAY [WxH]"
cmd=$1
prefix=$(realpath -m -- "$2")
display=$3
size=${4:-1024x768}
[[ $display =~ ^:([0-9]+)$ ]] || die "DISPLAY must look like :91, not '$display'"
number=${BASH_REMATCH[1]}
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || die "size must look like 1024x768"
[ -f "$prefix/.brivanta-wineprefix" ] || die "$prefix is not a prefix made by tools/wine-prefix.sh"
pidfile="$prefix/.xvfb$number.pid"
log="$prefix/.desktop$number.log"
owner=$(stat -c %U "$prefix")

# Runs a command as the prefix's owner, as tools/wine-run.sh does.
as_owner() {
    if [ "$(id -u)" = 0 ] && [ "$owner" != root ]; then
        runuser -u "$owner" -- env WINEPREFIX="$prefix" "$@"
    else
        env WINEPREFIX="$prefix" "$@"
    fi
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

desktop_up() {
    xwininfo -display "$display" -root -tree | grep -q '"Default - Wine desktop"'
}

# A lock whose server is gone (a run killed before its stop) is stale: it and
# its socket are removed, as is a socket without a lock, so that the display
# can be used again.
clear_stale_lock() {
    local lock=/tmp/.X$number-lock pid
    if [ ! -e "$lock" ]; then
        rm -f "/tmp/.X11-unix/X$number"
        return 0
    fi
    pid=$(tr -dc 0-9 <"$lock" 2>/dev/null)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        return 0
    fi
    rm -f "$lock" "/tmp/.X11-unix/X$number"
}

start() {
    clear_stale_lock
    if [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; then
        die "display $display is in use (/tmp/.X$number-lock); pick another"
    fi
    # -ac: the Windows programs run as the prefix's owner, not as the user
    # who started the server; -nolisten tcp keeps it local.
    Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp -ac >/dev/null 2>&1 &
    echo $! >"$pidfile"
    wait_for 100 test -S "/tmp/.X11-unix/X$number" || {
        stop
        die "Xvfb did not come up on $display"
    }
    # Under CPU emulation a busy machine can take a minute to start explorer;
    # once (in a run of the whole suite) it never showed its desktop, so a
    # desktop missing after 90 s gets a second explorer, on a new wineserver.
    start_explorer
    wait_for 900 desktop_up && return 0
    echo "wine-desktop.sh: no Wine desktop on $display after 90 s; starting explorer again" >&2
    as_owner wineserver -k >/dev/null 2>&1 || true
    as_owner timeout 60 wineserver -w >/dev/null 2>&1 || true
    start_explorer
    wait_for 1200 desktop_up && return 0
    tail -n 20 "$log" >&2 2>/dev/null || true
    stop
    die "the Wine desktop did not appear on $display (explorer's output above, from $log)"
}

# explorer /desktop in the background, its output kept in $log.
start_explorer() {
    DISPLAY=$display BRIVANTA_WINEPREFIX=$prefix \
        "$here/wine-run.sh" "$prefix/drive_c/windows/explorer.exe" "/desktop=Default,$size" \
        >>"$log" 2>&1 &
}

stop() {
    as_owner wineserver -k >/dev/null 2>&1 || true
    as_owner timeout 60 wineserver -w >/dev/null 2>&1 || true
    if [ -f "$pidfile" ]; then
        local pid
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        wait_for 50 sh -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
        rm -f "$pidfile"
    fi
}

case $cmd in
    start) start ;;
    stop) stop ;;
    *) die "usage: $0 start|stop PREFIX DISPLAY [WxH]" ;;
esac
