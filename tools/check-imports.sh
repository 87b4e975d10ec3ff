#!/bin/bash
# Fails when a shipped executable could not load on the first Windows 95
# release: it imports a DLL that the list below does not name (msvcrt.dll
# among them) or a function that those DLLs do not export there (the loader
# refuses the whole program then, before any of our code runs), or its PE
# header asks for a newer subsystem/OS version than 4.x.
#   check-imports.sh EXE...
# The allowed imports are listed in win9x-imports.txt beside this script
# (override with BRIVANTA_IMPORT_LIST); objdump is i686-w64-mingw32-objdump
# unless OBJDUMP says otherwise.
# Exit: 0 all fine, 1 some executable is not loadable there, 2 usage error or
# unreadable input.
set -euo pipefail
# Byte order for sort and comm, whatever the caller's locale.
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
list=${BRIVANTA_IMPORT_LIST:-$here/win9x-imports.txt}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

if [ $# -eq 0 ]; then
    echo "usage: $0 EXE..." >&2
    exit 2
fi
[ -r "$list" ] || { echo "check-imports.sh: cannot read $list" >&2; exit 2; }

# The list, without comments and blanks. A malformed line would silently
# allow nothing (or the wrong thing), so reject it.
allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e 's/^[[:space:]]*//' -e '/^$/d' "$list")
if bad=$(grep -vE '^[A-Z0-9_]+\.(DLL|DRV|EXE)![A-Za-z0-9_@?$]+$' <<<"$allowed"); then
    echo "check-imports.sh: malformed lines in $list:" >&2
    echo "$bad" >&2
    exit 2
fi

# The DLLs the list names; a program importing any other does not load.
dlls=$(cut -d'!' -f1 <<<"$allowed" | sort -u)

status=0
for exe in "$@"; do
    if ! dump=$("$objdump" -p "$exe" 2>&1); then
        echo "check-imports.sh: $objdump -p $exe failed: $dump" >&2
        exit 2
    fi
    # One DLL!Function per import (DLL upper-cased, as in the list); an
    # import by ordinal becomes DLL!#N, which no list line matches: ordinals
    # differ between Windows versions. Header problems come out as
    # "!header ...".
    imports=$(awk '
        /^The Import Tables/ { inimp = 1; next }
        /^[^ \t]/ { inimp = 0; dll = "" }
        /^MajorSubsystemVersion/ && $2 + 0 > 4 { print "!header MajorSubsystemVersion " $2 " (Windows 95/98 need 4 at most)" }
        /^MajorOSystemVersion/ && $2 + 0 > 4 { print "!header MajorOSystemVersion " $2 " (Windows 95/98 need 4 at most)" }
        inimp && /^\tDLL Name:/ { dll = toupper($3); ndll++; next }
        inimp && dll != "" && /^\t[0-9a-fA-F]+\t/ {
            if ($3 == "<none>" || $3 == "") print dll "!#" $2
            else print dll "!" $3
        }
        END { if (!ndll) print "!noimports" }
    ' <<<"$dump")

    if grep -qx '!noimports' <<<"$imports"; then
        # Every Win32 program imports at least KERNEL32; finding nothing
        # means objdump printed something this parser does not know.
        echo "check-imports.sh: $exe: no import table found in objdump output" >&2
        exit 2
    fi

    bad_headers=$(grep '^!header ' <<<"$imports" | sed 's/^!header //' || true)
    other_dlls=$(grep -v '^!' <<<"$imports" | cut -d'!' -f1 | sort -u | comm -23 - <(echo "$dlls") || true)
    missing=$(grep -v '^!' <<<"$imports" | sort -u | comm -23 - <(sort -u <<<"$allowed") || true)

    if [ -n "$bad_headers" ] || [ -n "$other_dlls" ] || [ -n "$missing" ]; then
        status=1
        echo "$exe: would not load on Windows 95:"
        [ -z "$bad_headers" ] || sed 's/^/  header: /' <<<"$bad_headers"
        [ -z "$other_dlls" ] || sed 's/^/  DLL not in Windows 95: /' <<<"$other_dlls"
        [ -z "$missing" ] || sed 's/^/  import: /' <<<"$missing"
    else
        echo "$exe: OK ($(grep -vc '^!' <<<"$imports") imports from $(grep -v '^!' <<<"$imports" | cut -d'!' -f1 | sort -u | tr '\n' ' ')all in Windows 95)"
    fi
done
exit $status
