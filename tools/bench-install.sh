#!/bin/bash
# The same installation four ways, side by side: the sample disks with every
# option, installed by
#   1. the host brivanta-setup, unattended, on a fresh emulated machine
#      (wall time of the whole process: making, loading and saving the
#      machine included, the printed report sent to /dev/null), and in the
#      same rounds on a large machine: a fresh one whose registry.reg has
#      5,000 keys and 50,000 values more (about 3.7 MB, as a used machine's
#      export), with --plan on that machine timed too;
#   2. the Win32 setup.exe under Wine (Windows 98 mode, a virtual desktop on
#      Xvfb), its dialogs answered by the robot, timed from "OK" in the
#      options to the restart question (the robot's time marks);
#   3. an NSIS installer made from what run 1 did (tools/bench/make-nsi.py),
#      run with /S in the same kind of prefix (wall time of the process);
#   4. cp -r of the three disk folders, the floor.
# Each way runs N times (default 5), each time on a fresh machine or prefix;
# the medians and their ratios are printed at the end.
#   tools/bench-install.sh [--runs N] [--smoke] [--display :94] [--work DIR]
# --smoke: ways 1 and 4 only (no Wine, no NSIS), one run unless --runs says
# otherwise, for CI.
# Needs the host build (cmake --preset host) and the x86_64 Win32 build
# (cmake --preset win32 -DBRIVANTA_ARCH=x86_64), makensis (package nsis).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$root/tools
runs=
smoke=0
display=:94
work=$root/build/bench

while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --smoke) smoke=1; shift ;;
        --display) display=$2; shift 2 ;;
        --work) work=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: $0 [--runs N] [--smoke] [--display :N] [--work DIR]" >&2; exit 2 ;;
    esac
done
[ -n "$runs" ] || runs=$((smoke ? 1 : 5))
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "--runs wants a positive number" >&2; exit 2; }

host_setup=$root/build/host/app/brivanta-setup
make_disks=$root/build/host/tools/make-disks
win_setup=$root/build/win32/app/setup.exe
win_program=$root/build/win32/tools/brivanta.exe
robot=$root/build/win32/tools/robot/robot.exe

die() {
    echo "bench-install: $*" >&2
    exit 1
}

need() {
    [ -e "$1" ] || die "$1 is missing: $2"
}

need "$host_setup" "cmake --preset host && cmake --build --preset host -j2"
need "$make_disks" "cmake --build --preset host -j2"
if [ $smoke = 0 ]; then
    for f in "$win_setup" "$win_program" "$robot"; do
        need "$f" "cmake --preset win32 -DBRIVANTA_ARCH=x86_64 && cmake --build --preset win32 -j2"
    done
    command -v makensis >/dev/null || die "makensis is missing: run tools/install-deps.sh"
fi

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# median of the numbers given
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# The payload: the sample disks with the Win32 programs, so that all four
# ways copy the same bytes (setup.exe on DISK1 is part of the disk; only cp
# copies it).
if [ $smoke = 0 ]; then
    "$make_disks" "$root/resources/install.fd" disks --program "$win_program" --setup "$win_setup" \
        >/dev/null
else
    "$make_disks" "$root/resources/install.fd" disks --program "$root/build/host/shipped/tools/brivanta.exe" >/dev/null
fi
disks=$work/disks
# The disks and their floppy images just written would otherwise be written
# back to the disk during the timed runs.
sync

printf '[Questions]\n57=2\n' >answers.ini     # every option as proposed; no restart
printf '[Welcome]\nResult=2\n[Questions]\n3=1\n' >leave.ini

host_ms=() large_ms=() plan_ms=() cp_ms=() win_ms=() copy_ms=() finish_ms=() dde_ms=() nsis_ms=()
start_ms=()
dde_commands=0

# The large machine: a fresh one (left at the welcome: 2, cancelled) with
# 5,000 keys of 10 values each added to its registry.
status=0
"$host_setup" --machine large-template --source "$disks" --answers leave.ini >/dev/null 2>&1 \
    </dev/null || status=$?
[ $status = 2 ] || die "brivanta-setup left at the welcome ended with $status"
awk 'BEGIN {
    for (k = 0; k < 5000; k++) {
        printf "[HKEY_LOCAL_MACHINE\\Software\\Used Machine\\Application %04d]\r\n", k
        for (v = 0; v < 10; v++)
            printf "\"Setting %02d\"=\"C:\\\\Program Files\\\\Application %04d\\\\Data\\\\File%02d.dat\"\r\n", v, k, v
        printf "\r\n"
    } }' >>large-template/registry.reg
sync

# Runs the host installation on the machine in $1; adds its time to the
# array named $2.
host_run() {
    local t0 t1 status=0
    t0=$(now_ms)
    "$host_setup" --machine "$1" --source "$disks" --answers answers.ini \
        >host-report.txt 2>&1 </dev/null || status=$?
    t1=$(now_ms)
    # 1: installed, the restart declined, as the answers say.
    [ $status = 1 ] || die "brivanta-setup ended with $status on $1: $work/host-report.txt"
    grep -q '^Installed; the restart was declined\.$' host-report.txt ||
        die "the host installation failed on $1"
    eval "$2+=($((t1 - t0)))"
}

# 1. The host program, on the fresh and the large machine in turn.
for ((i = 0; i < runs; i++)); do
    rm -rf host-machine
    host_run host-machine host_ms
    rm -rf large-machine
    cp -a large-template large-machine
    t0=$(now_ms)
    "$host_setup" --plan --machine large-machine --source "$disks" >plan-large.txt ||
        die "--plan on the large machine failed"
    t1=$(now_ms)
    plan_ms+=($((t1 - t0)))
    host_run large-machine large_ms
done

# 4. The floor.
for ((i = 0; i < runs; i++)); do
    rm -rf cp-target
    mkdir cp-target
    t0=$(now_ms)
    cp -r "$disks/DISK1" "$disks/DISK2" "$disks/DISK3" cp-target/
    t1=$(now_ms)
    cp_ms+=($((t1 - t0)))
done

print_table() {
    local host cp win nsis
    host=$(median "${host_ms[@]}")
    cp=$(median "${cp_ms[@]}")
    echo
    echo "Medians over $runs run(s), milliseconds (payload: $(find "$disks" -type f | wc -l) files," \
        "$(du -sk "$disks" | cut -f1) KiB on three disks)"
    printf '  %-46s %8s   %s\n' "way" "median" "runs"
    printf '  %-46s %8s   %s\n' "1 host brivanta-setup (whole process)" "$host" "${host_ms[*]}"
    printf '  %-46s %8s   %s\n' "  the same on the large machine" "$(median "${large_ms[@]}")" \
        "${large_ms[*]}"
    printf '  %-46s %8s   %s\n' "  --plan on the large machine" "$(median "${plan_ms[@]}")" \
        "${plan_ms[*]}"
    if [ ${#win_ms[@]} -gt 0 ]; then
        win=$(median "${win_ms[@]}")
        nsis=$(median "${nsis_ms[@]}")
        printf '  %-46s %8s   %s\n' "2 Win32 setup.exe, OK to restart question" "$win" "${win_ms[*]}"
        printf '  %-46s %8s   %s\n' "  of which the copy (progress window)" "$(median "${copy_ms[@]}")" \
            "${copy_ms[*]}"
        printf '  %-46s %8s   %s\n' "  of which the finishing (to the question)" \
            "$(median "${finish_ms[@]}")" "${finish_ms[*]}"
        printf '  %-46s %8s   %s\n' "    of which Program Manager DDE ($dde_commands commands)" \
            "$(median "${dde_ms[@]}")" "${dde_ms[*]}"
        printf '  %-46s %8s   %s\n' "3 NSIS installer /S (whole process)" "$nsis" "${nsis_ms[*]}"
        printf '  %-46s %8s   %s\n' "  (wine start of a program that only exits)" \
            "$(median "${start_ms[@]}")" "${start_ms[*]}"
    fi
    printf '  %-46s %8s   %s\n' "4 cp -r of the three disks" "$cp" "${cp_ms[*]}"
    echo "Targets and ratios"
    printf '  %-46s %8s   (target: 70 or less)\n' "host install, ms" "$host"
    printf '  %-46s %8s   (target: 1.5 or less)\n' "host install, large / fresh" \
        "$(ratio "$(median "${large_ms[@]}")" "$host")"
    printf '  %-46s %8s   (target: under 100)\n' "--plan on the large machine, ms" \
        "$(median "${plan_ms[@]}")"
    printf '  %-46s %8s\n' "host / cp -r" "$(ratio "$host" "$cp")"
    if [ ${#win_ms[@]} -gt 0 ]; then
        printf '  %-46s %8s   (target: 1.0 or less)\n' "Win32 work phase / NSIS" "$(ratio "$win" "$nsis")"
        printf '  %-46s %8s\n' "Win32 work phase without the DDE / NSIS" \
            "$(ratio "$(median "${without_dde_ms[@]}")" "$nsis")"
        printf '  %-46s %8s\n' "Win32 work phase / host" "$(ratio "$win" "$host")"
        printf '  %-46s %8s\n' "NSIS / cp -r" "$(ratio "$nsis" "$cp")"
    fi
}

if [ $smoke = 1 ]; then
    print_table
    exit 0
fi

# 3. The NSIS installer, generated from what the host run did.
rm -rf host-machine fresh-machine
# A machine left at the welcome (2: cancelled), and one installed (1: the
# restart declined).
status=0
"$host_setup" --machine fresh-machine --source "$disks" --answers leave.ini >/dev/null 2>&1 </dev/null ||
    status=$?
[ $status = 2 ] || die "brivanta-setup left at the welcome ended with $status"
status=0
"$host_setup" --machine host-machine --source "$disks" --answers answers.ini >host-report.txt 2>&1 </dev/null ||
    status=$?
[ $status = 1 ] || die "brivanta-setup ended with $status: $work/host-report.txt"
"$host_setup" --plan >plan.txt
python3 "$tools/bench/make-nsi.py" plan.txt "$disks" fresh-machine/registry.reg \
    host-machine/registry.reg host-report.txt >install.nsi
makensis -V2 install.nsi >makensis.log 2>&1 || die "makensis failed: $work/makensis.log"
[ "$(od -An -tx1 -j"$(($(od -An -tu4 -j60 -N4 install.exe) + 4))" -N2 install.exe | tr -d ' ')" = 6486 ] ||
    die "install.exe is not an x86_64 program; this host cannot run 32-bit PE"

# The Wine runs: a template prefix, copied fresh for every run, its desktop
# started before and stopped after.
template=$work/template
prefix=$work/prefix
cleanup() {
    "$tools/wine-desktop.sh" stop "$prefix" "$display" >/dev/null 2>&1 || true
    "$tools/wine-prefix.sh" remove "$prefix" >/dev/null 2>&1 || true
    "$tools/wine-prefix.sh" remove "$template" >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$tools/wine-prefix.sh" create --desktop "$template" >/dev/null 2>&1
# Wine's Program Manager answers ShowGroup for a missing group with success,
# so the setup (which creates a group only when ShowGroup fails, as Program
# Manager does on Windows 95/98) never sends CreateGroup and AddItem fails.
# With the group there, both installers do their usual work; StartUp is there
# already.
programs="$template/drive_c/users/$(stat -c %U "$template")/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
[ -d "$programs/StartUp" ] || die "no StartUp group in $programs"
mkdir "$programs/Velmor Applications"
chown --reference="$programs/StartUp" "$programs/Velmor Applications"
chmod -R a+rX "$disks" "$work/install.exe"

fresh_prefix() {
    "$tools/wine-desktop.sh" stop "$prefix" "$display" >/dev/null 2>&1 || true
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    # The desktop sometimes misses its 30 s while other builds load the
    # machine; a second start is enough.
    "$tools/wine-desktop.sh" start "$prefix" "$display" || {
        "$tools/wine-desktop.sh" stop "$prefix" "$display" >/dev/null 2>&1 || true
        "$tools/wine-desktop.sh" start "$prefix" "$display"
    }
}

# Milliseconds between two of the robot's time marks.
mark_ms() {
    awk -v from="$2" -v to="$3" '$1 == "time-mark" { t[$2] = $3 }
        END { printf "%d", t[to] - t[from] + 0.5 }' "$1"
}

# Milliseconds from the first DdeConnect to the last DdeUninitialize in a
# trace made with WINEDEBUG=+timestamp,+ddeml (lines "SECONDS.MS:...").
dde_span_ms() {
    awk -F: '/trace:ddeml:DdeConnect \(/ && first == "" { first = $1 }
        /trace:ddeml:DdeUninitialize/ { last = $1 }
        END { if (first == "" || last == "") print 0; else printf "%d", (last - first) * 1000 + 0.5 }' "$1"
}

setup_left_running=0
export BRIVANTA_WINEPREFIX=$prefix DISPLAY=$display
for ((i = 0; i < runs; i++)); do
    # 2. The Win32 setup, run from its disk as from the first floppy.
    fresh_prefix
    report=$work/robot-$i.txt
    # Only the robot's verdict counts: whether the setup ends by itself
    # after the restart question is not what is measured here, and stopping
    # the desktop ends it either way.
    # Wine's own DDE trace (a few hundred lines) times the Program Manager
    # conversations from inside the setup: first connect to the end of the
    # last DDE instance.
    BRIVANTA_WINEDEBUG=+timestamp,+ddeml \
        "$tools/robot-run.sh" --wait 5 "$robot" "$root/tools/bench/setup_all.steps" "$work/shots" -- \
        "$disks/DISK1/SETUP.EXE" >"$report" 2>"$work/setup-$i.err" || true
    grep -q '^PASSED' "$report" || die "the Win32 run failed: $report"
    grep -q '^robot-run:.*still running' "$report" && setup_left_running=$((setup_left_running + 1))
    win_ms+=($(mark_ms "$report" ok restart))
    copy_ms+=($(mark_ms "$report" ok copied))
    finish_ms+=($(mark_ms "$report" copied restart))
    dde_ms+=($(dde_span_ms "$work/setup-$i.err"))
    dde_commands=$(grep -c 'trace:ddeml:DdeConnect (' "$work/setup-$i.err" || true)
    for lnk in "Velmor Applications/Brivanta 3.2.lnk" "StartUp/Brivanta 3.2.lnk"; do
        [ -f "${programs/$template/$prefix}/$lnk" ] || die "the Win32 run made no $lnk"
    done

    # 3. NSIS, silent, in a prefix just as fresh.
    fresh_prefix
    t0=$(now_ms)
    "$tools/wine-run.sh" "$robot" >/dev/null 2>&1 || true # usage: start cost only
    t1=$(now_ms)
    start_ms+=($((t1 - t0)))
    t0=$(now_ms)
    "$tools/wine-run.sh" "$work/install.exe" /S || die "the NSIS installer failed"
    t1=$(now_ms)
    nsis_ms+=($((t1 - t0)))
    for lnk in "Velmor Applications/Brivanta 3.2.lnk" "StartUp/Brivanta 3.2.lnk"; do
        [ -f "${programs/$template/$prefix}/$lnk" ] || die "the NSIS run made no $lnk"
    done
done

without_dde_ms=()
for ((i = 0; i < ${#win_ms[@]}; i++)); do
    without_dde_ms+=($((win_ms[i] - dde_ms[i])))
done
print_table
[ "$setup_left_running" = 0 ] ||
    echo "Note: setup.exe was still running 5 s after the restart question in $setup_left_running run(s)"
