#!/bin/bash
# Creates or removes the Wine prefix (Windows 98 mode) that a test run uses.
#   wine-prefix.sh create [--desktop[=WxH]] [--arch=win32|win64] DIR
#   wine-prefix.sh remove DIR
# DIR becomes the WINEPREFIX itself; DIR/home is the HOME of every wine
# command (so Wine links nothing into the real home) and DIR/floppy-a is the
# host folder behind drive A:.
# Default: Graphics=null, so no X server is needed and windows and dialogs
# still work without being drawn (and there is no PROGMAN DDE server).
# --desktop: keep the X11 driver and preset a virtual desktop, for runs under
# Xvfb (start it with: wine explorer /desktop=Default,WxH).
# --arch (or BRIVANTA_WINEARCH): win32 is what the shipped i686 programs
# need. Some hosts cannot execute 32-bit x86 code at all (kernel without
# IA-32 emulation: the i386 loader fails with "Exec format error"); there the
# default falls back to a 64-bit prefix, which only runs x86_64 programs.
set -euo pipefail

usage() {
    echo "usage: $0 create [--desktop[=WxH]] [--arch=win32|win64] DIR | $0 remove DIR" >&2
    exit 2
}

# Debian's /usr/bin/wine always picks the 32-bit loader once wine32 is
# installed, so each prefix kind calls its own loader directly.
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64

# Marks a prefix as made by this script and records its architecture
# (tools/wine-run.sh reads it); 'remove' and a re-'create' never delete a
# folder without it.
MARKER=.brivanta-wineprefix

host_runs_i386() {
    "$WINE32" --version >/dev/null 2>&1
}

# The environment every wine command of the test run gets; tools/wine-run.sh
# sets the same.
wine_env() {
    export WINEPREFIX="$1"
    export WINEARCH="$2"
    export WINEDEBUG=-all
    # No Mono/Gecko download prompts, no menu entries written on the host.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export HOME="$1/home"
    # Derived from HOME again, so Wine's shell folders stay inside DIR.
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
    if [ "$2" = win64 ]; then
        LOADER=$WINE64
        export WINELOADER=$WINE64
    else
        LOADER=$WINE32
        unset WINELOADER
    fi
}

# Deletes DIR if it is a prefix of ours, after ending its wineserver (and
# with it every Windows process still running in it).
remove_prefix() {
    local dir=$1
    [ -e "$dir" ] || return 0
    if [ ! -e "$dir/$MARKER" ]; then
        echo "$0: $dir is not a prefix made by this script; not deleting it" >&2
        exit 1
    fi
    (
        export WINEPREFIX="$dir"
        if [ "$(id -u)" = 0 ] && [ "$(stat -c %U "$dir")" != root ]; then
            runuser -u "$(stat -c %U "$dir")" -- env WINEPREFIX="$dir" wineserver -k >/dev/null 2>&1 || true
            runuser -u "$(stat -c %U "$dir")" -- env WINEPREFIX="$dir" wineserver -w >/dev/null 2>&1 || true
        fi
        wineserver -k >/dev/null 2>&1 || true
        # -k only signals; wait so the dying server is not still writing
        # system.reg/user.reg while rm runs.
        wineserver -w >/dev/null 2>&1 || true
    )
    rm -rf -- "$dir"
}

create_prefix() {
    local dir=$1 desktop=$2 arch=$3
    if [ "$arch" = win32 ] && ! host_runs_i386; then
        echo "$0: this host cannot run the 32-bit Wine loader ($WINE32 --version fails)" >&2
        exit 1
    fi
    # Empty the folder in place (its parent may not be ours to write).
    if [ -n "$(ls -A "$dir" 2>/dev/null)" ]; then
        [ -e "$dir/$MARKER" ] || {
            echo "$0: $dir is not a prefix made by this script; not replacing it" >&2
            exit 1
        }
        WINEPREFIX="$dir" wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX="$dir" wineserver -w >/dev/null 2>&1 || true
    fi
    mkdir -p "$dir"
    find "$dir" -mindepth 1 -delete
    mkdir -p "$dir/home" "$dir/floppy-a"
    echo "$arch" > "$dir/$MARKER"

    wine_env "$dir" "$arch"
    # Never put windows on a developer's display while the prefix is built;
    # runs under Xvfb set DISPLAY themselves later.
    unset DISPLAY WAYLAND_DISPLAY

    "$LOADER" wineboot -i >/dev/null 2>&1

    # Windows 98 mode: GetVersionExA gives platform 1, version 4.10.
    "$LOADER" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null

    if [ -n "$desktop" ]; then
        # A virtual desktop must exist before the first process starts;
        # without it windows get no frames and maximising is wrong.
        "$LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
        "$LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >/dev/null
    else
        "$LOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    fi

    # Drive A: is a floppy backed by DIR/floppy-a; the drive type is read
    # when the server starts again, after the wineserver -w below.
    ln -sfn "$dir/floppy-a" "$dir/dosdevices/a:"
    "$LOADER" reg add 'HKLM\Software\Wine\Drives' /v 'a:' /d floppy /f >/dev/null

    # Debian's Wine does not find its own fonts; without them "MS Sans Serif"
    # falls back to another face and dialog metrics are wrong.
    mkdir -p "$dir/drive_c/windows/Fonts"
    cp -f /usr/share/wine/fonts/* "$dir/drive_c/windows/Fonts/"

    # Let the server exit so system.reg/user.reg hold every change above.
    wineserver -w
}

# Wine run by root ignores the read-only attribute (root may write any
# file), which Windows never does; so the prefix belongs to, and every wine
# command runs as, an ordinary user when this is started as root.
WINE_USER=brivanta-wine
as_wine_user() {
    [ "$(id -u)" = 0 ] || return 1
    id -u "$WINE_USER" >/dev/null 2>&1 ||
        useradd --system --create-home --home-dir "/var/lib/$WINE_USER" "$WINE_USER"
}

[ $# -ge 1 ] || usage
all_args=("$@")
cmd=$1
shift
desktop=""
dir=""
arch=${BRIVANTA_WINEARCH:-}
for arg in "$@"; do
    case $arg in
        --desktop) desktop=1024x768 ;;
        --desktop=*)
            desktop=${arg#--desktop=}
            [[ $desktop =~ ^[0-9]+x[0-9]+$ ]] || usage
            ;;
        --arch=*) arch=${arg#--arch=} ;;
        -*) usage ;;
        *) [ -z "$dir" ] || usage; dir=$arg ;;
    esac
done
[ -n "$dir" ] || usage
# WINEPREFIX must be absolute.
dir=$(realpath -m -- "$dir")

case $cmd in
    create)
        if [ -z "$arch" ]; then
            if host_runs_i386; then
                arch=win32
            else
                arch=win64
                echo "$0: note: this host cannot run 32-bit x86 code; creating a 64-bit prefix (x86_64 programs only)" >&2
            fi
        fi
        case $arch in win32|win64) ;; *) usage ;; esac
        if as_wine_user; then
            [ ! -e "$dir" ] || [ -e "$dir/$MARKER" ] || [ -z "$(ls -A "$dir")" ] || {
                echo "$0: $dir is not a prefix made by this script; not replacing it" >&2
                exit 1
            }
            rm -rf -- "$dir"
            mkdir -p -- "$dir"
            chown "$WINE_USER" "$dir"
            exec runuser -u "$WINE_USER" -- env BRIVANTA_WINEARCH="$arch" "$0" "${all_args[@]}"
        fi
        create_prefix "$dir" "$desktop" "$arch"
        ;;
    remove)
        [ -z "$desktop" ] || usage
        remove_prefix "$dir"
        ;;
    *) usage ;;
esac
