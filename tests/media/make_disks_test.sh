#!/bin/bash
# make-disks with the product's own files: the disk folders and the floppy
# images hold exactly those files (read back with mtools, compared byte for
# byte), with the labels DISK1..DISK3; what it reports as used is what the
# images use; a folder with files missing or extra, or a disk too full, is
# refused with every reason and nothing written.
#   make_disks_test.sh MAKE-DISKS SCRIPT
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 MAKE-DISKS SCRIPT" >&2; exit 2; }
make_disks=$(realpath "$1")
script=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# The product's files: those of the filler disks with other contents, the
# sub-folders and names of disk 1 in lower case and of disk 2 in upper case.
"$make_disks" "$script" filler --program "$script" >/dev/null
for n in 1 2 3; do
    (cd "filler/DISK$n" && find . -type f ! -name SETUP.EXE | sed 's|^\./||') | while read -r file; do
        case $n in 1) name=${file,,} ;; 2) name=${file^^} ;; *) name=$file ;; esac
        mkdir -p "product/$(dirname "$name")"
        { cat "filler/DISK$n/$file"; echo "the product's $file"; } >"product/$name"
    done
done
head -c 70000 /dev/urandom >setup.exe

"$make_disks" "$script" out --files product --setup setup.exe >report.txt ||
    { fail "make-disks refused the product's files"; cat report.txt; exit 1; }

# The file of the product's folder that a disk file came from.
product_file() {
    find product -type f | awk -v want="product/${1,,}" 'tolower($0) == want'
}
files=0
for n in 1 2 3; do
    image=out/DISK$n.IMG
    [ "$(stat -c %s "$image")" = 1474560 ] || fail "$image is not 1474560 bytes"
    [ "$(mlabel -i "$image" -s :: | tr -s ' ')" = " Volume label is DISK$n " ] ||
        fail "$image: $(mlabel -i "$image" -s ::)"
    mkdir -p "read/DISK$n"
    mcopy -i "$image" -s -n ::/ "read/DISK$n"
    diff -r "out/DISK$n" "read/DISK$n" >/dev/null || fail "DISK$n.IMG does not hold the folder DISK$n"
    while read -r file; do
        files=$((files + 1))
        if [ "$file" = SETUP.EXE ]; then
            source=setup.exe
        else
            source=$(product_file "$file")
        fi
        [ -n "$source" ] && cmp -s "read/DISK$n/$file" "$source" ||
            fail "DISK$n.IMG: $file is not the product's file '$source'"
    done < <(cd "read/DISK$n" && find . -type f | sed 's|^\./||')
    # Used clusters and root entries, as the image has them.
    free=$(mdir -i "$image" ::/ | grep 'bytes free' | tr -dc 0-9)
    root=$(od -v -A n -t u1 -w32 -j $((19 * 512)) -N $((14 * 512)) "$image" |
        awk '$1 != 0 && $1 != 229 { n++ } END { print n }')
    want="DISK$n: $((2847 - free / 512)) of 2847 clusters, $root of 224 root directory entries"
    grep -qx "$want" report.txt || fail "report: $(grep "^DISK$n:" report.txt), image: $want"
done
[ $files = 39 ] || fail "the images hold $files files, want the product's 38 and SETUP.EXE"

# Two files missing, two extra: all four named, nothing written.
cp -r product incomplete
rm incomplete/kbd/kbdbul.kbd incomplete/arvu.ttf
touch incomplete/notes.txt incomplete/FONTS/EXTRA.FO_
if "$make_disks" "$script" out2 --files incomplete >/dev/null 2>errors.txt; then
    fail "make-disks took a folder with files missing and extra"
fi
for name in 'missing: KBD\kbdbul.kbd' 'missing: arvu.ttf' 'extra: notes.txt' 'extra: FONTS/EXTRA.FO_'; do
    grep -qF "$name" errors.txt || fail "no '$name' in: $(cat errors.txt)"
done
[ ! -e out2 ] || fail "make-disks wrote disks from an incomplete folder"

# Disk 3 five clusters too full.
used=$(sed -n 's/^DISK3: \([0-9]*\) of.*/\1/p' report.txt)
size=$(stat -c %s product/dnru.ttf)
cp -r product full
head -c $((((size + 511) / 512 + 2847 - used + 5) * 512)) /dev/zero >full/dnru.ttf
if "$make_disks" "$script" out3 --files full >/dev/null 2>errors.txt; then
    fail "make-disks took a disk that does not fit"
fi
grep -qF "DISK3 does not fit a 1.44 MB floppy: 5 clusters too many (2852 of 2847 of 512 bytes)," \
    errors.txt || fail "not 5 clusters too many: $(cat errors.txt)"
[ ! -e out3 ] || fail "make-disks wrote disks that do not fit"

[ $failed = 0 ] && echo "OK: $files files on three images, as the product's folder has them"
exit $failed
