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
# The robot runs as the prefix's owner and writes its pictures there.
shots="$prefix/shots"
mkdir -p "$shots"
chown --reference="$prefix" "$shots"
rm -f "$work"/*.report "$out"/*.png
echo "prefix and desktop ready after $(($(date +%s) - start)) s"

dos() {
    echo "Z:$1" | tr / '\\'
}

# scene NAME WANTED_EXIT PROGRAM [ARGS...]: runs the program on the screen
# and the robot with NAME.steps beside it; the robot's report is NAME.report.
scene() {
    local name=$1 wanted=$2
    shift 2
    local code="$work/$name.exit"
    rm -f "$code"
    (
        status=0
        DISPLAY=$display BRIVANTA_WINEPREFIX=$prefix "$tools/wine-run.sh" "$@" \
            >"$work/$name.out" 2>&1 || status=$?
        echo $status >"$code"
    ) &
    local program=$!
    local robot_exit=0
    DISPLAY=$display BRIVANTA_WINEPREFIX=$prefix "$tools/wine-run.sh" "$robot" \
        "$(dos "$here/$name.steps")" "$(dos "$shots")" >"$work/$name.report" 2>&1 ||
        robot_exit=$?
    grep -E '^(FAIL|ERROR|TIMEOUT)' "$work/$name.report" || true
    [ "$robot_exit" = 0 ] || fail "$name: robot exit code $robot_exit (report: $work/$name.report)"
    # The program ends by itself once its last dialog is answered.
    for _ in $(seq 150); do
        [ -f "$code" ] && break
        sleep 0.2
    done
    if [ ! -f "$code" ]; then
        fail "$name: $1 still running 30 s after the robot finished"
        "$tools/wine-desktop.sh" stop "$prefix" "$display"
        wait "$program" || true
        "$tools/wine-desktop.sh" start "$prefix" "$display"
        return
    fi
    wait "$program" || true
    [ "$(cat "$code")" = "$wanted" ] || fail "$name: exit code $(cat "$code"), want $wanted"
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
