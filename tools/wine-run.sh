#!/bin/bash
# Runs a Windows program in the test run's Wine prefix and exits with the
# program's exit code; CMake uses it as CMAKE_CROSSCOMPILING_EMULATOR.
#   BRIVANTA_WINEPREFIX=DIR wine-run.sh PROGRAM [ARGS...]
# DIR is a prefix made by tools/wine-prefix.sh. PROGRAM may be a Linux path,
# or a Windows path such as D:\DISK1\SETUP.EXE (a program that must see
# itself started from that drive).
# The program's stdout/stderr reach the caller's as it writes them, so ctest
# and gtest output arrive unchanged; the script returns when the program
# ends, with its exit code, even when processes it left behind (wineserver,
# explorer, a program it started) still run.
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

# Those processes inherit the program's standard output and error and keep
# them open: a caller reading them through a pipe (wine-run.sh ... | tail)
# would wait for them too. So the program writes to files of its own, which
# are relayed until it has ended and they are read to the end.
out=$(mktemp)
err=$(mktemp)
"$loader" "$prog" "$@" <&0 >"$out" 2>"$err" &
pid=$!
trap 'kill -TERM "$pid" 2>/dev/null' TERM INT HUP
tail -q -s 0.05 --pid="$pid" -n +1 -f "$out" &
tail -q -s 0.05 --pid="$pid" -n +1 -f "$err" >&2 &
code=0
wait "$pid" || code=$?
wait
rm -f "$out" "$err"
exit "$code"
