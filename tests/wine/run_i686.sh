#!/bin/bash
# Runs an i686 Windows program (the Win32 API tests) in a fresh 32-bit
# prefix of its own, in Windows 98 mode, under i386 Wine: the host's own, or
# where this host cannot run 32-bit x86 code, under emulation
# (tools/i386-env.sh). Exits with the program's exit code.
#   run_i686.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
if [ "${1:-}" != --inside ]; then
    exec bash "$tools/i386-env.sh" auto bash "$0" --inside "$@"
fi
prefix=$2
shift 2
"$tools/wine-prefix.sh" create --arch=win32 "$prefix" >/dev/null
code=0
BRIVANTA_WINEPREFIX=$prefix "$tools/wine-run.sh" "$@" || code=$?
"$tools/wine-prefix.sh" remove "$prefix" >/dev/null 2>&1 || true
exit $code
