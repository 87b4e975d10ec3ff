# The cases of setup.exe run with options, after those of install_cases.sh
# (install_on_wine.sh defines the helpers): a silent installation of
# everything with its log, a bad answer file, a cancel through the answers,
# and an interactive run recorded with /record and replayed on a fresh
# prefix.

# put FILE...: files of this folder copied to C:\ of the prefix.
put() {
    for f in "$@"; do
        cp "$here/$f" "$drive_c/$f"
        chown --reference="$prefix" "$drive_c/$f"
    done
}
# log_has FILE LINE...: the log holds each line whole.
log_has() {
    local log=$1
    shift
    for line in "$@"; do
        # grep reads to the end: with -q it would leave tr writing into a
        # closed pipe, which pipefail takes for a missing line.
        tr -d '\r' <"$log" | grep -xF -- "$line" >/dev/null || fail "$(basename "$log") lacks: $line"
    done
}
last_line() {
    tail -n1 "$1" 2>/dev/null | tr -d '\r'
}

# --- Silent: everything over an earlier version, the restart declined ------
fresh silent-everything
make_earlier_version
put silent-everything.ini
run_setup silent-everything '/answers=C:\silent-everything.ini' '/log=C:\silent.log'
setup_done 1
if [ -z "${BRIVANTA_E2E_BASELINE:-}" ]; then
    check_everything
else
    # Compared below with the same case of another build's run; only the
    # main program's bytes are each build's own.
    same_file DISK1/brivanta.ex_ "$drive_c/VELMOR/BRIVANTA/brivanta.exe"
    check_started_with_1 "$drive_c/VELMOR/BRIVANTA"
fi
machine silent-everything
log="$drive_c/silent.log"
log_has "$log" 'dialog welcome => Continue' \
    'dialog prompt 6 "Enter Brivanta destination directory." "C:\VELMOR\BRIVANTA" => OK' \
    'dialog question 22 "Do you want to create the directory:C:\VELMOR\BRIVANTA?" => OK' \
    'dialog options KeyboardBds=1 KeyboardPhonetic=1 LanguageDriver=1 DosFilter=1 SystemFonts=1 DunorU=1 ArvelU=1 "C:\VELMOR\BRIVANTA" => OK' \
    'copy D:\DISK1\brivanta.ex_ -> C:\VELMOR\BRIVANTA\brivanta.exe: copied' \
    'copy D:\DISK2\Fonts\cvgasys.fo_ -> C:\WINDOWS\FONTS\vgasys.001: copied' \
    'copy D:\DISK3\arvui.ttf -> C:\WINDOWS\FONTS\arvui.ttf: copied' \
    'delete C:\VELSHARE\bvpanel.exe: done' \
    'registry HCU\Software\Velmor\Brivanta\3.2\Program dir = C:\VELMOR\BRIVANTA\: done' \
    'registry HLM\System\CurrentControlSet\Control\Nls\Codepage\ACP = 1251: done' \
    'registry delete HCU\Software\Velmor\Brivanta\3.0: done' \
    'ini SYSTEM.INI boot\language.dll = lngbriv2.dll: done' \
    'ini WIN.INI FontSubstitutes\DunorU Cyr,204 = DunorU,204: done' \
    'wininit [rename] NULL=C:\windows\system32\fixb01.fon: done' \
    'wininit [rename] C:\windows\FONTS\vgasys.fon=C:\windows\FONTS\vgasys.001: done' \
    'progman [AddItem(C:\VELMOR\BRIVANTA\brivanta.exe,Brivanta 3.2)]: done' \
    'progman [DeleteItem(BV Tutorial)]: done' \
    'progman [ReplaceItem(Brivanta 3.2)]: not present' \
    'registry HLM\Software\Microsoft\Windows\CurrentVersion\RenameFiles\Fonts\VGASYS.FON = ,6 (the key is missing): not present' \
    'start C:\VELMOR\BRIVANTA\brivanta.exe 1: done' \
    'dialog question 57 "You must restart your computer before new settings will take effect. /  Do you want to restart your computer now?" => Cancel' \
    'restart: declined' \
    'dialog message 15 "Installation was successful!" => OK'
expect_eq "files copied in the log" "$(grep -c ': copied' "$log")" 38
log_has "$log" 'answer file: C:\silent-everything.ini'
grep -q '^Windows: Windows 98 (4\.10, build ' "$log" || fail "no Windows version in the log"
grep -q '^totals: 38 files copied, 0 skipped, 0 failed, ' "$log" || fail "no totals in the log"
# Wine's Program Manager has no Reload; nothing else fails.
tr -d '\r' <"$log" | grep ': failed$' | grep -v '^progman \[Reload(' && fail "lines that failed"
expect_eq "last line of the log" "$(last_line "$log")" 'result 1: Installed; the restart was declined.'
tr -d '\r' <"$log" >"$out/silent-everything.log" 2>/dev/null || true
# The log and the machine (registry, INI files, items and every file
# written) of another build's run.
if [ -n "${BRIVANTA_E2E_BASELINE:-}" ]; then
    same_as_baseline silent-everything.log
    same_as_baseline silent-everything.machine
fi
elapsed

# --- A bad answer file, then a cancel through the answers ------------------
fresh refused
put bad.ini cancel-options.ini
run_setup bad '/answers=C:\bad.ini' '/log=C:\bad.log'
setup_done 5
log_has "$drive_c/bad.log" \
    'C:\bad.ini:2: [Welcome] Result takes 1 (the first button) or 2 (the second), not "7"' \
    'C:\bad.ini:4: unknown key Direktory in [Destination]' \
    'C:\bad.ini:5: unknown section [Bogus]'
expect_eq "last line of the log" "$(last_line "$drive_c/bad.log")" \
    'result 5: Bad input: the answer file does not pass its checks'
check_nothing_installed
# Refused before anything runs, with 5: the log naming the answer file
# (however spelled, and with another fault besides), a word that is not an
# option (before the log, which still tells it), a log that cannot be
# written. The answer file is left whole.
case_name=refused-invocations
md5=$(md5sum <"$drive_c/cancel-options.ini")
run_setup same-file '/answers=C:\cancel-options.ini' '/log=c:\windows\..\CANCEL-OPTIONS.INI'
setup_done 5
run_setup same-file-bad-word '/answers=C:\cancel-options.ini' '/log=C:\CANCEL-OPTIONS.INI' '/S'
setup_done 5
run_setup bad-word 'C:\dropped.txt' '/answers=C:\cancel-options.ini' '/log=C:\word.log'
setup_done 5
expect_eq "last line of the log" "$(last_line "$drive_c/word.log")" \
    'result 5: Bad input: unknown option C:\dropped.txt (/answers=FILE, /record=FILE, /log=FILE)'
run_setup no-log '/answers=C:\cancel-options.ini' '/log=C:\no-such-folder\setup.log'
setup_done 5
expect_eq "the answer file" "$(md5sum <"$drive_c/cancel-options.ini")" "$md5"
check_nothing_installed
case_name=cancel-options
run_setup cancel-options '/answers=C:\cancel-options.ini' '/log=C:\cancel.log'
setup_done 2
expect_eq "last line of the log" "$(last_line "$drive_c/cancel.log")" \
    'result 2: Cancelled in the options dialog.'
check_nothing_installed
elapsed

# --- Recorded on one prefix, replayed on a fresh one -----------------------
# What an installation into C:\RECORDED left, after the restart (the
# started program's own log apart, which it may still be writing).
installed() {
    (cd "$drive_c/RECORDED" && md5sum -- *.exe *.dll *.hlp *.doc)
    (cd "$windir/Fonts" && md5sum -- *.fon *.ttf | sort)
    (cd "$sysdir" && md5sum -- kbdus.kbd kbdbph.kbd kbdbul.kbd cp_1251.nls lngbriv2.dll \
        cp_856.nls xlat856.bin 856.dat charset.dat unicode.bin 2>&1)
    reg query 'HKCU\Software\Velmor' /s
    reg query "$uninstall\\Brivanta 3.2" /s
    reg query 'HKLM\System\CurrentControlSet\Control\Nls' /s
    tr -d '\r' <"$windir/system.ini"
    tr -d '\r' <"$windir/win.ini" | sed -n '/^\[FontSubstitutes\]/,/^\[/p'
    echo "groups: $(items "Velmor Applications") $(items StartUp)"
}
with_maker_group() {
    mkdir -p "$programs/Velmor Applications"
    chown --reference="$prefix" "$programs/Velmor Applications"
}
fresh record
with_maker_group
run_setup record '/record=C:\record.ini' '/log=C:\record.log'
if robot record; then
    robot finish-restart || true
    setup_done 0
    check_fonts_replaced
    check_started_with_1 "$drive_c/RECORDED"
    expect_eq "the record" "$(tr -d '\r' <"$drive_c/record.ini")" "$(printf '%s\n' '[Welcome]' \
        'Result=1' '' '[Destination]' 'Directory=C:\RECORDED' 'Result=1' '' '[Options]' \
        'KeyboardBds=1' 'KeyboardPhonetic=1' 'LanguageDriver=1' 'DosFilter=1' 'SystemFonts=1' \
        'DunorU=0' 'ArvelU=0' 'Result=1' '' '[Questions]' '22=1' '57=1')"
    installed >"$out/recorded.txt"
    cp "$drive_c/record.ini" "$out/record.ini"
    fresh replay
    with_maker_group
    cp "$out/record.ini" "$drive_c/record.ini"
    chown --reference="$prefix" "$drive_c/record.ini"
    run_setup replay '/answers=C:\record.ini' '/log=C:\replay.log'
    setup_done 0
    check_fonts_replaced
    check_started_with_1 "$drive_c/RECORDED"
    installed >"$out/replayed.txt"
    diff "$out/recorded.txt" "$out/replayed.txt" >"$out/replay.diff" ||
        fail "the replay installed otherwise (see $out/replay.diff)"
    grep -q 'RECORDED' "$out/replayed.txt" || fail "nothing installed into C:\\RECORDED"
    expect_eq "last line of the replay's log" "$(last_line "$drive_c/replay.log")" 'result 0: Installed.'
fi
elapsed
stop_all
