#!/bin/bash
# The real dialogs on a screen: Xvfb, a Windows 98 prefix with a virtual
# desktop, and the robot driving the setup program and dialog_stage through
# the step files next to this script. Checks what the robot read in every
# dialog (the step files' expectations), the exit codes and the files the
# runs made, and keeps a PNG of every dialog in OUTDIR.
#   dialogs_on_screen.sh SETUP.EXE ROBOT.EXE DIALOG_STAGE.EXE OUTDIR
# BRIVANTA_TEST_DISPLAY picks the X display (default :91).
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 SETUP ROBOT STAGE OUTDIR" >&2; exit 2; }
setup=$(realpath "$1")
robot=$(realpath "$2")
stage=$(realpath "$3")
out=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
display=${BRIVANTA_TEST_DISPLAY:-:91}
work="$(dirname "$out")/screen-run"
prefix="$work/prefix"
failed=0

fail() {
    echo "FAIL: $*"
    failed=1
}

for tool in Xvfb xwininfo convert identify; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/install-deps.sh" >&2; exit 1; }
done

cleanup() {
    "$tools/wine-desktop.sh" stop "$prefix" "$display" >/dev/null 2>&1 || true
    "$tools/wine-prefix.sh" remove "$prefix" >/dev/null 2>&1 || true
}
trap cleanup EXIT

start=$(date +%s)
mkdir -p "$work" "$out"
"$tools/wine-prefix.sh" remove "$prefix" >/dev/null 2>&1 || true
"$tools/wine-prefix.sh" create --desktop "$prefix" 2>/dev/null
"$tools/wine-desktop.sh" start "$prefix" "$display"
shots="$prefix/shots"
rm -f "$work"/*.report "$out"/*.png
echo "prefix and desktop ready after $(($(date +%s) - start)) s"

# scene NAME EXIT PROGRAM [ARGS...]: the program on the screen, the robot
# with NAME.steps beside it; the robot's report is NAME.report.
scene() {
    local name=$1 wanted=$2
    shift 2
    local result=0
    DISPLAY=$display BRIVANTA_WINEPREFIX=$prefix "$tools/robot-run.sh" --exit "$wanted" \
        "$robot" "$here/$name.steps" "$shots" -- "$@" >"$work/$name.report" 2>"$work/$name.out" ||
        result=$?
    grep -E '^(FAIL|ERROR|TIMEOUT|robot-run)' "$work/$name.report" || true
    if [ $result != 0 ]; then
        fail "$name (report: $work/$name.report)"
        cat "$work/$name.report"
        # Whatever still runs goes with the server; the next scene gets a
        # fresh desktop.
        "$tools/wine-desktop.sh" stop "$prefix" "$display"
        "$tools/wine-desktop.sh" start "$prefix" "$display"
    fi
    echo "scene $name done after $(($(date +%s) - start)) s"
}

scene setup_run 0 "$setup"
[ -d "$prefix/drive_c/BRIVANTA/TEST" ] || fail "setup_run: C:\\BRIVANTA\\TEST was not created"

scene disk 0 "$stage" disk
[ "$(cat "$prefix/drive_c/STAGE/TARGET/two.txt" 2>/dev/null)" = $'second disk\r' ] ||
    fail "disk: two.txt was not copied from the disk found with the browser"

scene progress 2 "$stage" progress

# A dialog that was not drawn comes out as one flat colour.
for bmp in "$shots"/*.bmp; do
    png="$out/$(basename "$bmp" .bmp).png"
    convert "$bmp" "$png"
    colours=$(identify -format %k "$png")
    [ "$colours" -ge 8 ] || fail "$(basename "$png") has only $colours colours"
done
wanted="main-window welcome abort-confirmation destination question options options-changed
disk-prompt message folder-browser progress progress-cancel"
for name in $wanted; do
    [ -f "$out/$name.png" ] || fail "no screenshot $name.png"
done
echo "$(ls "$out" | wc -l) screenshots in $out after $(($(date +%s) - start)) s"
exit $failed
