#!/usr/bin/env bash
# Opt-in: how close the host stand-in's registry calls are to Win32, by
# Wine's own registry tests (dlls/advapi32/tests/registry.c of the Wine
# source Debian ships: apt-get source wine, which needs a deb-src line).
# The tests whose subject is a call the stand-in has are cut out of the
# file (cut.py), compiled against the host build's platform library with
# the shim here, and run on a fresh machine. A check counts when every call
# since the check before it is one the stand-in has, or one of the thin
# wrappers of those that Windows and Wine build the same way (RegOpenKeyA,
# RegCreateKeyA, RegEnumKeyA, RegSetValueA, RegQueryValueA); after a call
# it lacks that would have changed the registry, no later check of that
# test counts. Prints each failing check and the counts.
#   tools/wine-registry-tests/run.sh [WINE-SOURCE-DIR] [PLATFORM-LIBRARY]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source=${1:-}
library=${2:-$root/build/host/platform/libplatform.a}
[ -f "$library" ] || { echo "$library is missing: build the host preset" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -z "$source" ]; then
    (cd "$work" && apt-get source --download-only wine >/dev/null 2>&1) || {
        echo "apt-get source wine failed: add a deb-src line, or give the source folder" >&2
        exit 2
    }
    tar -xJf "$work"/wine_*.orig.tar.xz -C "$work" --wildcards '*/dlls/advapi32/tests/registry.c'
    source=$(echo "$work"/wine-*)
fi
tests=$source/dlls/advapi32/tests/registry.c
[ -f "$tests" ] || { echo "no $tests" >&2; exit 2; }
mkdir -p "$work/include/wine"
for h in ntstatus windef winbase winternl winreg winperf winsvc winerror aclapi; do
    echo '#include "shim.h"' >"$work/include/$h.h"
done
echo '#include "shim.h"' >"$work/include/wine/test.h"
cp "$here/include/shim.h" "$work/include/"
python3 "$here/cut.py" "$tests" test_set_value,create_test_entries,test_enum_value,test_query_value_ex,test_get_value,test_reg_open_key,test_reg_create_key,test_reg_close_key,test_reg_delete_key,test_reg_query_value,test_string_termination,test_deleted_key,test_delete_value,test_delete_key_value,setup_main_key,check_user_privs,delete_key >"$work/registry.c"
gcc -c -fshort-wchar -w -I"$work/include" -o "$work/registry.o" "$work/registry.c"
g++ -std=c++17 -O1 -I"$root/platform/include" -c "$here/shim.cpp" -o "$work/shim.o"
g++ -o "$work/registry-tests" "$work/registry.o" "$work/shim.o" "$library"
(ulimit -v 2000000 && "$work/registry-tests")
