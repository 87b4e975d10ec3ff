# The cases of install_on_wine.sh, which defines the helpers used here.

product_key='HKCU\Software\Velmor\Brivanta\3.2'
active='HKCU\Software\Velmor\Active layouts'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The font files of the second disk and the system font each replaces.
fonts="c8514fix:8514fix c8514sys:8514sys c8514oem:8514oem app856:dosapp cserife:serife
cseriff:seriff csmalle:smalle csmallf:smallf ccoure:coure ccourf:courf csserife:sserife
csseriff:sseriff vga856:vgaoem cvgafix:vgafix cvgasys:vgasys"

# Files copied whatever the options (the system directory is Wine's
# system32, which GetSystemDirectoryA names).
check_always_copied() {
    local dest=$1
    same_file DISK1/brivanta.ex_ "$dest/brivanta.exe"
    same_file DISK1/bvsc.dl_ "$dest/bvsc.dll"
    same_file DISK1/uninstal.ex_ "$dest/uninstal.exe"
    same_file DISK1/bv_help.hl_ "$dest/bv_help.hlp"
    same_file DISK1/readme.doc "$dest/readme.doc"
    same_file DISK1/KBD/kbdus.kbd "$sysdir/kbdus.kbd"
    same_file DISK1/Filters/unicode.bi_ "$sysdir/unicode.bin"
}

# The started program writes its command line beside itself.
check_started_with_1() {
    local log="$1/BRIVANTA.LOG"
    for ((i = 0; i < 50; i++)); do
        [ -s "$log" ] && break
        sleep 0.1
    done
    expect_eq "first line of BRIVANTA.LOG" "$(head -n1 "$log" 2>/dev/null | tr -d '\r')" "started: 1"
}

# The names of the items (.lnk files) of a Start Menu group, one line.
items() {
    (cd "$programs/$1" 2>/dev/null && ls -1 -- *.lnk 2>/dev/null | tr '\n' ';') || true
}

# An earlier version: its keys, its shared directory with the panel, an
# old system font, and its items in both groups. Wine's Program Manager
# keeps a group as a folder and an item as NAME.lnk and deletes an item by
# that name, so the earlier items are files of that name.
make_earlier_version() {
    for v in 3.0 3.1; do
        reg add "HKCU\\Software\\Velmor\\Brivanta\\$v" /v "Program dir" /d 'C:\BV' /f >/dev/null
        reg add "$uninstall\\Brivanta $v" /v DisplayName /d "Brivanta $v" /f >/dev/null
    done
    reg add "$active\\4" /v layout /d 00000419 /f >/dev/null
    printf '[Global]\r\nVelmorDir=C:\\VELSHARE\\\r\n' >"$windir/velmor.ini"
    mkdir -p "$drive_c/VELSHARE" "$programs/Velmor Applications" "$programs/StartUp"
    echo "old panel" >"$drive_c/VELSHARE/bvpanel.exe"
    echo "old font" >"$sysdir/fixb01.fon"
    for item in "BV Control Panel" "BV Panel Help" "BV ReadMe" "BV Tutorial" "Brivanta 3.0" \
        "Brivanta 3.1" "Other Tool"; do
        echo "an earlier item" >"$programs/Velmor Applications/$item.lnk"
    done
    for item in "Brivanta 3.0" "Brivanta 3.1"; do
        echo "an earlier item" >"$programs/StartUp/$item.lnk"
    done
    chown -R --reference="$prefix" "$windir/velmor.ini" "$drive_c/VELSHARE" "$sysdir/fixb01.fon" \
        "$programs/Velmor Applications" "$programs/StartUp"
}

# What an installation left on the machine, to compare two of them: the
# product's registry keys (the source directory left out), the INI files,
# the Start Menu items, and every file the run wrote into the destination,
# the system and the font directories, with its checksum.
machine() {
    {
        for key in "$product_key" "$active" "$uninstall\\Brivanta 3.2" \
            'HKLM\System\CurrentControlSet\Control\Nls\Codepage'; do
            reg query "$key" /s | grep -v '^    Source dir    '
        done
        for file in win.ini system.ini wininit.ini; do
            echo "== $file"
            tr -d '\r' <"$(win_file "$windir" $file)"
        done
        echo "== items: $(items "Velmor Applications") $(items StartUp)"
        (cd "$drive_c" && find VELMOR windows/Fonts windows/system32 -type f \
            -newer "$prefix/.case-start" -exec md5sum {} + | sort -k 2)
    } >"$out/$1.machine"
}

# check_everything [SOURCE]: everything chosen over an earlier version into
# C:\VELMOR\BRIVANTA from SOURCE (default D:\DISK1\), before the restart: the
# files, the registry, the INI files, WININIT.INI, the groups and the
# started program.
check_everything() {
    local dest="$drive_c/VELMOR/BRIVANTA" source='D:\DISK1\'
    [ $# -eq 0 ] || source=$1
    check_always_copied "$dest"
    for pair in KBD/kbdbph.kbd:kbdbph.kbd KBD/kbdbul.kbd:kbdbul.kbd Filters/cp_1251.nl_:cp_1251.nls \
        Filters/lngbriv2.dl_:lngbriv2.dll Filters/cp_856.nl_:cp_856.nls \
        Filters/xlat856.bi_:xlat856.bin Filters/856.da_:856.dat Filters/856.da_:charset.dat; do
        same_file "DISK1/${pair%%:*}" "$sysdir/${pair#*:}"
    done
    for ttf in dnru dnrub dnrubi dnrui arvu arvub arvubi arvui; do
        same_file "DISK3/$ttf.ttf" "$windir/Fonts/$ttf.ttf"
    done
    for pair in $fonts; do
        same_file "DISK2/Fonts/${pair%%:*}.fo_" "$windir/Fonts/${pair#*:}.001"
    done
    [ ! -e "$dest/bv_opt.ext" ] || fail "bv_opt.ext was copied"
    [ ! -e "$drive_c/VELSHARE/bvpanel.exe" ] || fail "bvpanel.exe is still in the shared directory"

    expect_eq "Program dir" "$(reg_value "$product_key" "Program dir")" 'C:\VELMOR\BRIVANTA\'
    expect_eq "Source dir" "$(reg_value "$product_key" "Source dir")" "$source"
    expect_eq "layout 1" "$(reg_value "$active\\1" layout)" 00000409
    expect_eq "layout 2" "$(reg_value "$active\\2" layout)" 00020402
    expect_eq "layout 3" "$(reg_value "$active\\3" layout)" 00000402
    ! key_exists "$active\\4" || fail "layout 4 of the earlier version is still there"
    expect_eq "DisplayName" "$(reg_value "$uninstall\\Brivanta 3.2" DisplayName)" "Brivanta 3.2"
    expect_eq "UninstallString" "$(reg_value "$uninstall\\Brivanta 3.2" UninstallString)" \
        'C:\VELMOR\BRIVANTA\UNINSTAL.EXE'
    for v in 3.0 3.1; do
        ! key_exists "HKCU\\Software\\Velmor\\Brivanta\\$v" || fail "the $v key is still there"
        ! key_exists "$uninstall\\Brivanta $v" || fail "the $v uninstall entry is still there"
    done
    expect_eq "ACP" "$(reg_value 'HKLM\System\CurrentControlSet\Control\Nls\Codepage' ACP)" 1251

    expect_eq "SYSTEM.INI language.dll" "$(ini "$windir/system.ini" boot language.dll)" lngbriv2.dll
    expect_eq "SYSTEM.INI oemansi.bin" "$(ini "$windir/system.ini" keyboard oemansi.bin)" xlat856.bin
    expect_eq "SYSTEM.INI oemfonts.fon" "$(ini "$windir/system.ini" boot oemfonts.fon)" vgaoem.fon
    expect_eq "SYSTEM.INI woafont" "$(ini "$windir/system.ini" 386Enh woafont)" dosapp.fon
    expect_eq "WIN.INI DunorU Cyr" "$(ini "$windir/win.ini" FontSubstitutes "DunorU Cyr,204")" DunorU,204
    expect_eq "WIN.INI ArvelU Baltic" "$(ini "$windir/win.ini" FontSubstitutes "ArvelU Baltic,186")" \
        ArvelU,186
    expect_eq "WIN.INI DunorU Tur" "$(ini "$windir/win.ini" FontSubstitutes "DunorU Tur,162")" "<missing>"
    expect_eq "WIN.INI DunorU Baltic" "$(ini "$windir/win.ini" FontSubstitutes "DunorU Baltic,186")" \
        "<missing>"
    # Read now: the restart carries it out and renames it.
    wininit=$(win_file "$windir" wininit.ini)
    rename=$(ini "$wininit" rename 'C:\WINDOWS\FONTS\vgasys.fon')
    expect_eq "WININIT.INI vgasys.fon" "${rename,,}" 'c:\windows\fonts\vgasys.001'
    cp "$wininit" "$out/$case_name-wininit.ini" 2>/dev/null || fail "no WININIT.INI"

    expect_eq "items of Velmor Applications" "$(items "Velmor Applications")" \
        "Brivanta 3.2.lnk;Other Tool.lnk;"
    expect_eq "items of StartUp" "$(items StartUp)" "Brivanta 3.2.lnk;"
    grep -aqi 'C:\\VELMOR\\BRIVANTA\\brivanta.exe' "$programs/StartUp/Brivanta 3.2.lnk" ||
        fail "the StartUp item does not point to C:\\VELMOR\\BRIVANTA\\brivanta.exe"
    check_started_with_1 "$dest"
}

# The setup's ExitWindowsEx restarts the prefix, which carries out
# WININIT.INI and renames it: the new system font files are in place.
check_fonts_replaced() {
    for ((i = 0; i < 150; i++)); do
        [ ! -e "$(win_file "$windir" wininit.ini)" ] && [ -e "$(win_file "$windir" wininit.bak)" ] &&
            break
        sleep 0.2
    done
    [ -e "$(win_file "$windir" wininit.bak)" ] || fail "no restart: WININIT.INI was not carried out"
    for pair in $fonts; do
        same_file "DISK2/Fonts/${pair%%:*}.fo_" "$windir/Fonts/${pair#*:}.fon"
        [ ! -e "$windir/Fonts/${pair#*:}.001" ] || fail "${pair#*:}.001 is still there"
    done
}

# The restart question of the everything cases answered "&OK", and what
# the restart changed.
restart_everything() {
    robot finish-restart || true
    setup_done
    check_fonts_replaced
    [ ! -e "$sysdir/fixb01.fon" ] || fail "the old fixb01.fon is still in the system directory"
    # Wine gives a NULL line's file the name NULL in the Windows directory
    # (only NUL deletes); fixb01.fon is the last such line that names a file.
    expect_eq "C:\\WINDOWS\\NULL" "$(cat "$(win_file "$windir" NULL)" 2>/dev/null)" "old font"
}

# Nothing of the product's written, nothing started.
check_nothing_installed() {
    ! key_exists "$product_key" || fail "the product key was written"
    ! key_exists "$uninstall\\Brivanta 3.2" || fail "the uninstall entry was written"
    [ -z "$(find "$programs" -name 'Brivanta 3.2.lnk')" ] || fail "an item was added"
    [ -z "$(find "$drive_c" -name BRIVANTA.LOG)" ] || fail "brivanta.exe was started"
}

# BRIVANTA_E2E_BASELINE: the output folder of a run of another build of the
# programs (install_on_wine's, for the shipped i686 ones) from disks of the
# same contents. same_as_baseline FILE: FILE of this run (a log, a machine)
# is that run's, line by line, but for the main program's own bytes.
same_as_baseline() {
    local theirs="$BRIVANTA_E2E_BASELINE/$1"
    [ -f "$theirs" ] || { fail "no $theirs (the baseline run writes it)"; return; }
    # The log's first line is the time the run started.
    local skip=(-e 'BRIVANTA/brivanta\.exe$' -e '^started: ')
    diff <(grep -v "${skip[@]}" "$theirs") <(grep -v "${skip[@]}" "$out/$1") \
        >"$out/$1.diff" || fail "$1 differs from the baseline's (see $out/$1.diff)"
}

# BRIVANTA_E2E_CASES: all (the default), or shipped: the three floppies and
# the cases of unattended_cases.sh, which the shipped programs' run takes.
cases=${BRIVANTA_E2E_CASES:-all}

# --- Everything chosen over an earlier version, then the restart ----------
if [ "$cases" = all ]; then
    fresh everything
    make_earlier_version
    run_setup everything
    if robot everything; then
        check_everything
        machine everything
        restart_everything
    fi
    elapsed
fi

# --- The same from three floppies in drive A:, disk 1 left in at first -----
fresh floppies
make_earlier_version
insert_disk 1
setup_program='A:\SETUP.EXE' run_setup floppies
if robot floppy-disk1; then
    insert_disk 2
    if robot floppy-disk2 && insert_disk 3 && robot floppy-disk3; then
        if [ -z "${BRIVANTA_E2E_BASELINE:-}" ]; then
            check_everything 'A:\'
            machine floppies
            diff "$out/everything.machine" "$out/floppies.machine" >"$out/floppies.diff" ||
                fail "not the machine of the installation from folders (see $out/floppies.diff)"
        else
            same_file DISK1/brivanta.ex_ "$drive_c/VELMOR/BRIVANTA/brivanta.exe"
            check_started_with_1 "$drive_c/VELMOR/BRIVANTA"
            machine floppies
            same_as_baseline floppies.machine
        fi
        restart_everything
    fi
fi
elapsed
[ "$cases" = all ] || return 0

# --- None of the optional parts, on a fresh prefix: message 43 -------------
fresh none
run_setup none
if robot none; then
    dest="$drive_c/MY APPS/BRIVANTA"
    check_always_copied "$dest"
    for absent in "$sysdir/kbdbul.kbd" "$sysdir/cp_1251.nls" "$windir/Fonts/vgasys.001" \
        "$windir/Fonts/dnru.ttf" "$(win_file "$windir" wininit.ini)"; do
        [ ! -e "$absent" ] || fail "$absent exists"
    done
    expect_eq "layout 1" "$(reg_value "$active\\1" layout)" 00000409
    ! key_exists "$active\\2" || fail "layout 2 exists"
    [ "$(ini "$windir/system.ini" boot language.dll)" != lngbriv2.dll ] ||
        fail "the language driver was set"
    expect_eq "WIN.INI DunorU Cyr" "$(ini "$windir/win.ini" FontSubstitutes "DunorU Cyr,204")" "<missing>"
    expect_eq "items of StartUp" "$(items StartUp)" "Brivanta 3.2.lnk;"
    grep -aqi 'C:\\MY APPS\\BRIVANTA\\brivanta.exe' "$programs/StartUp/Brivanta 3.2.lnk" ||
        fail "the StartUp item does not point to C:\\MY APPS\\BRIVANTA\\brivanta.exe"
    # Wine's difference: the group was reported present, so never created.
    expect_eq "items of Velmor Applications" "$(items "Velmor Applications")" ""
    check_started_with_1 "$dest"
    robot finish-no-restart || true
    setup_done
    [ ! -e "$(win_file "$windir" wininit.ini)" ] || fail "WININIT.INI written without the fonts"
fi
elapsed

# --- US and BDS only, with a second copy started at the welcome -----------
fresh us-bds
mkdir -p "$programs/Velmor Applications"
chown --reference="$prefix" "$programs/Velmor Applications"
run_setup us-bds
if robot us-bds-welcome; then
    wine_cmd 'C:\windows\notepad.exe' >/dev/null 2>&1 &
    notepad=$!
    robot notepad-in-front || true
    second=0
    second_start=$(date +%s)
    timeout 60 env DISPLAY="$display" BRIVANTA_WINEPREFIX="$prefix" "$tools/wine-run.sh" \
        'D:\DISK1\SETUP.EXE' >/dev/null 2>&1 || second=$?
    expect_eq "exit code of the second copy" "$second" 0
    echo "the second copy ended after $(($(date +%s) - second_start)) s"
    # With an option the exit code says why it ended.
    second=0
    timeout 60 env DISPLAY="$display" BRIVANTA_WINEPREFIX="$prefix" "$tools/wine-run.sh" \
        'D:\DISK1\SETUP.EXE' '/log=C:\second.log' >/dev/null 2>&1 || second=$?
    expect_eq "exit code of a second copy with /log" "$second" 17
    expect_eq "its log after the header" \
        "$(tr -d '\r' <"$drive_c/second.log" 2>/dev/null | sed '1,/^Windows: /d')" \
        'result 17: Another run is already on this machine.'
    if robot us-bds; then
        expect_eq "Program dir" "$(reg_value "$product_key" "Program dir")" 'C:\WINDOWS\VELMOR\'
        [ -e "$sysdir/kbdbul.kbd" ] || fail "kbdbul.kbd was not copied"
        [ ! -e "$sysdir/kbdbph.kbd" ] || fail "kbdbph.kbd was copied"
        expect_eq "layout 1" "$(reg_value "$active\\1" layout)" 00000409
        expect_eq "layout 2" "$(reg_value "$active\\2" layout)" 00000402
        ! key_exists "$active\\3" || fail "layout 3 exists"
        expect_eq "items of Velmor Applications" "$(items "Velmor Applications")" "Brivanta 3.2.lnk;"
        check_started_with_1 "$windir/VELMOR"
        robot finish-no-restart || true
        setup_done
    fi
    kill "$notepad" 2>/dev/null || true
fi
elapsed

# --- Cancelled at each dialog, then Windows NT: nothing installed ----------
fresh cancels
for cancel in welcome destination options progress; do
    case_name="cancel at $cancel"
    case $cancel in
    # Words that are not its options, as a dropped file or a menu's switch:
    # the command line is not looked at, and the run ends with 0.
    welcome) run_setup "cancel-$cancel" 'C:\My' 'Files\dropped.txt' /S ;;
    # The progress window takes its Cancel itself; the log and the record
    # note it all the same.
    progress) run_setup "cancel-$cancel" '/record=C:\cancel.ini' '/log=C:\cancel.log' ;;
    *) run_setup "cancel-$cancel" ;;
    esac
    robot "cancel-$cancel" || true
    if [ $cancel = progress ]; then
        setup_done 2
        log=$(tr -d '\r' <"$drive_c/cancel.log")
        grep -qx 'progress: Cancel pressed at [0-9]* %' <<<"$log" || fail "no cancel in the log"
        expect_eq "last line of the log" "$(tail -n1 <<<"$log")" \
            'result 2: Cancelled in the progress window.'
        grep -qx 'CancelAt=[0-9]*' <(tr -d '\r' <"$drive_c/cancel.ini") ||
            fail "no [Progress] CancelAt in the record"
    else
        setup_done
    fi
    check_nothing_installed
done
case_name="Windows NT"
# What the cancelled copy left behind goes, so that nothing found later can
# come from it.
rm -rf "$windir/VELMOR"
reg add 'HKCU\Software\Wine' /v Version /d nt40 /f >/dev/null
run_setup windows-nt
robot windows-nt || true
setup_done
check_nothing_installed
[ ! -e "$windir/VELMOR/brivanta.exe" ] || fail "brivanta.exe was copied"
elapsed

# --- Program Manager not answering: no desktop, no X ------------------------
case_name=progman-silent
stop_all
cp -a "$template" "$prefix"
reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
run_setup progman-silent
robot progman-silent || true
setup_done
check_started_with_1 "$drive_c/VELMOR/BRIVANTA"
[ -z "$(find "$programs" -name 'Brivanta 3.2.lnk')" ] || fail "an item was added"
elapsed
stop_all

# The pictures of the full run; a dialog not drawn is one flat colour.
mkdir -p "$out/screenshots"
rm -f "$out/screenshots"/*.png
for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    png="$out/screenshots/$(basename "$bmp" .bmp).png"
    convert "$bmp" "$png"
    [ "$(identify -format %k "$png")" -ge 8 ] || fail "$(basename "$png") has one flat colour"
done
echo "$(ls "$out/screenshots" | wc -l) screenshots in $out/screenshots"
