#!/bin/bash
# Runs a Windows program in the test run's Wine prefix and exits with the
# program's exit code; CMake uses it as CMAKE_CROSSCOMPILING_EMULATOR.
#   BRIVANTA_WINEPREFIX=DIR wine-run.sh PROGRAM [ARGS...]
# DIR is a prefix made by tools/wine-prefix.sh. PROGRAM may be a Linux path,
# or a Windows path such as D:\DISK1\SETUP.EXE (a program that must see
# itself started from that drive).
# The program's stdout/stderr are the caller's (console programs write to
# them directly), so ctest and gtest output arrive unchanged.
# BRIVANTA_WINEDEBUG, when set, is Wine's trace selection (WINEDEBUG; the
# default is -all), for profiling runs.
set -euo pipefail

die() {
    echo "wine-run.sh: $*" >&2
    exit 2
}

[ $# -ge 1 ] || die "usage: BRIVANTA_WINEPREFIX=DIR $0 PROGRAM [ARGS...]"
prefix=${BRIVANTA_WINEPREFIX:-}
[ -n "$prefix" ] || die "BRIVANTA_WINEPREFIX is not set (create a prefix with tools/wine-prefix.sh create DIR)"
prefix=$(realpath -m -- "$prefix")
marker="$prefix/.brivanta-wineprefix"
[ -f "$marker" ] || die "BRIVANTA_WINEPREFIX=$prefix is not a prefix made by tools/wine-prefix.sh"
arch=$(cat "$marker")
# The prefix belongs to an ordinary user (see wine-prefix.sh): run as it.
owner=$(stat -c %U "$prefix")
if [ "$(id -u)" = 0 ] && [ "$owner" != root ]; then
    exec runuser -u "$owner" -- env BRIVANTA_WINEPREFIX="$prefix" "$0" "$@"
fi

prog=$1
shift
if [[ $prog =~ ^[A-Za-z]:\\ ]]; then
    windows_path=1
else
    windows_path=""
    [ -f "$prog" ] || die "no such program: $prog"
    # An absolute Linux path is what wine resolves most reliably (it maps it
    # to Z:\...); relative paths would depend on how Wine sees the cwd.
    prog=$(realpath -- "$prog")
fi

# Machine field of the PE header: 014c = i386, 8664 = x86_64.
pe_machine() {
    local off
    off=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((off + 4)) -N2 "$1" | tr -d ' '
}

export WINEPREFIX="$prefix"
export WINEARCH="$arch"
export WINEDEBUG=${BRIVANTA_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$prefix/home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME

# Debian's /usr/bin/wine always takes the 32-bit loader once wine32 is
# installed; call the loader that matches the prefix instead.
case $arch in
    win32)
        loader=/usr/lib/wine/wine
        unset WINELOADER
        ;;
    win64)
        loader=/usr/lib/wine/wine64
        export WINELOADER=$loader
        # Without IA-32 emulation a 32-bit program would fail deep inside
        # Wine with an unhelpful message; say what is wrong instead.
        if [ -z "$windows_path" ] && [ "$(pe_machine "$prog")" = 014c ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
            die "$prog is a 32-bit program, and this host cannot run 32-bit x86 code (64-bit prefix $prefix)"
        fi
        ;;
    *) die "unknown prefix architecture '$arch' in $marker" ;;
esac

exec "$loader" "$prog" "$@"
