#!/bin/bash
# The whole installation under Wine: the real setup program started from
# D:\DISK1\ of sample disks made for this architecture, its dialogs driven by
# the robot (the step files next to this script) on an Xvfb screen with
# Wine's desktop as Program Manager, then the machine read back: registry
# (reg.exe while the prefix's server is up), WIN.INI, SYSTEM.INI, WININIT.INI,
# the copied files, the Start Menu groups, the started program's log, and the
# font files again after the restart the setup asks for. One case installs
# from the three floppy images instead, in drive A:.
#   install_on_wine.sh SETUP.EXE STANDIN.EXE ROBOT.EXE MAKE-DISKS SCRIPT OUTDIR
# BRIVANTA_E2E_DISPLAY picks the X display (default :93). The pictures of one
# full run are left in OUTDIR/screenshots.
set -euo pipefail
[ $# -eq 6 ] || { echo "usage: $0 SETUP STANDIN ROBOT MAKE-DISKS SCRIPT OUTDIR" >&2; exit 2; }
setup=$(realpath "$1")
standin=$(realpath "$2")
robot=$(realpath "$3")
make_disks=$4
script=$(realpath "$5")
out=$(realpath -m "$6")
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
display=${BRIVANTA_E2E_DISPLAY:-:93}
template="$out/template"
prefix="$out/prefix"
disks="$out/disks"
shots="$out/shots"
failed=0
case_name=prepare
start=$(date +%s)

fail() {
    echo "FAIL [$case_name]: $*"
    failed=1
}

for tool in Xvfb xwininfo convert mcopy; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/install-deps.sh" >&2; exit 1; }
done
[ -x "$make_disks" ] || { echo "no $make_disks: build the win32 preset first" >&2; exit 1; }

# Ends the prefix's server and the screen, if this script started them.
stop_all() {
    [ -e "$prefix/.brivanta-wineprefix" ] || return 0
    "$tools/wine-desktop.sh" stop "$prefix" "$display" >/dev/null 2>&1 || true
    "$tools/wine-prefix.sh" remove "$prefix" >/dev/null 2>&1 || true
}
trap 'stop_all; "$tools/wine-prefix.sh" remove "$template" >/dev/null 2>&1 || true' EXIT

# Windows programs run through tools/wine-run.sh in the current prefix.
wine_cmd() {
    DISPLAY=$display BRIVANTA_WINEPREFIX=$prefix "$tools/wine-run.sh" "$@"
}
reg() {
    wine_cmd 'C:\windows\system32\reg.exe' "$@" 2>/dev/null | tr -d '\r'
}
# The value's data, or <missing>.
reg_value() {
    local data
    data=$(reg query "$1" /v "$2" | awk -F '    ' -v name="$2" '$2 == name { print $4 }') || true
    echo "${data:-<missing>}"
}
key_exists() {
    wine_cmd 'C:\windows\system32\reg.exe' query "$1" >/dev/null 2>&1
}
# DIR/NAME in whatever case Windows gave the name.
win_file() {
    local found
    found=$(find "$1" -maxdepth 1 -iname "$2" | head -n1)
    echo "${found:-$1/$2}"
}

# An INI entry read from the file itself, or <missing>; sections and keys
# in any case, as Windows reads them.
ini() {
    local file=$1
    [ -f "$file" ] || { echo "<missing>"; return; }
    # Through the environment: awk -v would read the backslashes as escapes.
    tr -d '\r' <"$file" | S=$2 K=$3 awk '
        BEGIN { s = ENVIRON["S"]; k = ENVIRON["K"] }
        /^\[/ { inside = tolower($0) == "[" tolower(s) "]"; next }
        inside && index($0, "=") { key = substr($0, 1, index($0, "=") - 1)
            if (tolower(key) == tolower(k)) { print substr($0, index($0, "=") + 1); found = 1; exit } }
        END { if (!found) print "<missing>" }'
}
expect_eq() {
    [ "$2" = "$3" ] || fail "$1: '$2', want '$3'"
}
# The same bytes on the disk and on the machine.
same_file() {
    cmp -s "$disks/$1" "$2" || fail "$2 is not $1"
}

# fresh NAME: the template prefix copied for a case, the screen up.
fresh() {
    case_name=$1
    stop_all
    cp -a "$template" "$prefix"
    touch "$prefix/.case-start" # older than anything the case writes
    drive_c="$prefix/drive_c"
    windir="$drive_c/windows"
    sysdir="$windir/system32"
    programs="$drive_c/users/$(stat -c %U "$prefix")/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    # Drive A: is this prefix's floppy, not the template's.
    ln -sfn "$prefix/floppy-a" "$prefix/dosdevices/a:"
    "$tools/wine-desktop.sh" start "$prefix" "$display"
}

# insert_disk N: the floppy in drive A: becomes disk N, its files read from
# DISKN.IMG with mtools, as a person swaps floppies.
insert_disk() {
    find "$prefix/floppy-a" -mindepth 1 -delete
    mcopy -i "$disks/DISK$1.IMG" -s -n -m ::/ "$prefix/floppy-a"
    chown -R --reference="$prefix" "$prefix/floppy-a"
}

# run_setup NAME [OPTION...]: the setup program from D:\DISK1\ (or
# $setup_program), in the background; setup_done [CODE] waits for it and
# checks its exit code (0).
run_setup() {
    status_file="$out/$1.status"
    rm -f "$status_file"
    (
        code=0
        wine_cmd "${setup_program:-D:\DISK1\SETUP.EXE}" "${@:2}" >/dev/null 2>&1 || code=$?
        echo $code >"$status_file.tmp"
        mv "$status_file.tmp" "$status_file"
    ) &
    setup_pid=$!
}
setup_done() {
    for ((i = 0; i < 150; i++)); do
        [ -f "$status_file" ] && break
        sleep 0.2
    done
    if [ ! -f "$status_file" ]; then
        fail "the setup program still runs 30 s after its last dialog"
        return
    fi
    wait "$setup_pid" || true
    expect_eq "exit code of the setup program" "$(cat "$status_file")" "${1:-0}"
}

# robot STEPS: one robot run; its report is kept as STEPS.report.
robot() {
    local report="$out/$1.report"
    wine_cmd "$robot" "$(echo "Z:$here/$1.steps" | tr / '\\')" "$(echo "Z:$shots" | tr / '\\')" \
        >"$report" 2>&1 || {
        fail "robot $1 (report: $report)"
        grep -E '^(FAIL|ERROR|TIMEOUT)' "$report" || true
        return 1
    }
}

elapsed() {
    echo "$case_name done after $(($(date +%s) - start)) s"
}

# --- The disks and the template prefix ------------------------------------

mkdir -p "$out"
stop_all
"$tools/wine-prefix.sh" remove "$template" >/dev/null 2>&1 || true
rm -rf "$disks" "$shots" "$out"/*.report "$out"/*.status
"$make_disks" "$script" "$disks" --program "$standin" --setup "$setup" >/dev/null
"$tools/wine-prefix.sh" create --desktop "$template" 2>/dev/null
# The folder above DISK1 is drive D:, so the setup finds DISK2 beside it.
ln -sfn "$disks" "$template/dosdevices/d:"
mkdir -p "$shots"
chown --reference="$template" "$shots"
echo "disks and template prefix ready after $(($(date +%s) - start)) s"

. "$here/install_cases.sh"
. "$here/unattended_cases.sh"

exit $failed
