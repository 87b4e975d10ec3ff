#!/bin/bash
# Runs a Windows program on a prefix's screen and the robot beside it.
#   BRIVANTA_WINEPREFIX=PREFIX DISPLAY=:91 \
#     robot-run.sh [--exit N] [--wait S] ROBOT.EXE STEPS SHOTDIR -- PROGRAM [ARGS...]
# The prefix's desktop must be up (tools/wine-desktop.sh start). The robot
# follows STEPS (see tools/robot/robot.cpp) and writes its pictures into
# SHOTDIR as BMP; its report goes to stdout, the program's output to stderr.
# Exit 0 when every step passed and the program ended within S seconds
# (default 30) after the robot with exit code N (default 0); otherwise 1 and
# a line saying why. A program left running is the caller's to end
# (tools/wine-desktop.sh stop).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=0
seconds=30
while [ $# -gt 0 ]; do
    case $1 in
        --exit) wanted=$2; shift 2 ;;
        --wait) seconds=$2; shift 2 ;;
        *) break ;;
    esac
done
[ $# -ge 5 ] && [ "$4" = -- ] || {
    echo "usage: $0 [--exit N] [--wait S] ROBOT STEPS SHOTDIR -- PROGRAM [ARGS...]" >&2
    exit 2
}
robot=$1
steps=$(realpath "$2")
shots=$(realpath -m "$3")
shift 4
prefix=${BRIVANTA_WINEPREFIX:?set BRIVANTA_WINEPREFIX}
: "${DISPLAY:?set DISPLAY to the prefix desktop\'s display}"

# Wine sees the host's / as drive Z:.
dos() {
    echo "Z:$1" | tr / '\\'
}

# The robot runs as the prefix's owner (tools/wine-run.sh) and must write here.
mkdir -p "$shots"
chown --reference="$prefix" "$shots"

status_file=$(mktemp) # empty until the program ends
(
    status=0
    "$here/wine-run.sh" "$@" >&2 || status=$?
    echo $status >"$status_file"
) &
program=$!

robot_exit=0
"$here/wine-run.sh" "$robot" "$(dos "$steps")" "$(dos "$shots")" || robot_exit=$?
result=0
[ "$robot_exit" = 0 ] || {
    echo "robot-run: the robot ended with $robot_exit"
    result=1
}

for ((i = 0; i < seconds * 5; i++)); do
    [ -s "$status_file" ] && break
    sleep 0.2
done
if [ ! -s "$status_file" ]; then
    echo "robot-run: $1 still running $seconds s after the robot finished"
    exit 1
fi
wait "$program" || true
code=$(cat "$status_file")
rm -f "$status_file"
[ "$code" = "$wanted" ] || {
    echo "robot-run: $1 ended with $code, want $wanted"
    result=1
}
exit $result
