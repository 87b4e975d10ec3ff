#!/bin/bash
# Installs every Debian package the project needs (Debian 12, run as root).
# Idempotent: when everything is already there it does not touch apt at all,
# so CI and repeated developer runs pay nothing for it.
set -euo pipefail

# Host build and tests: compiler, CMake ("Unix Makefiles" generator, so no
# ninja), GoogleTest (headers/libs and the sources the MinGW test build
# compiles), Google Benchmark, clang 14 with its runtime (sanitizers, fuzzing).
# Windows build and tests: the i686 MinGW-w64 cross compilers, Wine (wine64;
# wine32:i386 only where this host can run 32-bit x86 code, see below),
# Xvfb + ImageMagick + x11-utils for screenshots of the setup window.
# The x86_64 MinGW compilers: hosts without IA-32 emulation cannot run any
# 32-bit x86 code (neither wine32 nor Wine's WoW64), so tests there can only
# run as x86_64 programs in a 64-bit prefix (see tools/wine-prefix.sh).
# mtools writes and reads the FAT12 floppy images of the installation media.
# nsis (makensis) and python3 for tools/bench-install.sh, which installs the
# same payload with an NSIS installer for comparison.
PACKAGES=(
    cmake g++ make
    libgtest-dev googletest libbenchmark-dev
    clang-14 clang libclang-rt-14-dev
    wine wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64
    xvfb imagemagick x11-utils mtools
    nsis python3
)

export DEBIAN_FRONTEND=noninteractive

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: must run as root" >&2
    exit 1
fi

# True when this host executes 32-bit x86 programs: a 91-byte i386 ELF that
# only calls exit(0). Without IA-32 emulation it fails with "Exec format
# error", and then wine32 could never run anything here.
can_run_i386() {
    local probe
    probe=$(mktemp)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\x31\xc0\x40\xcd\x80' >"$probe"
    chmod +x "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    [ "$rc" -eq 0 ]
}
# Elsewhere the shipped i686 programs run under Debian's i386 Wine through
# CPU emulation, in an i386 tree that tools/i386-env.sh makes with
# debootstrap (and fetches qemu-user 10 itself, with apt lists of its own).
if can_run_i386; then
    PACKAGES+=(wine32:i386)
else
    PACKAGES+=(debootstrap)
fi

# True when dpkg reports the package as fully installed.
is_installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

missing=()
for p in "${PACKAGES[@]}"; do
    is_installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps.sh: all ${#PACKAGES[@]} packages already installed"
    exit 0
fi
echo "install-deps.sh: missing: ${missing[*]}"

# wine32:i386 needs the i386 architecture; add it only when it is wanted.
if [[ " ${missing[*]} " == *" wine32:i386 "* ]] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# A mirror in the middle of a sync answers some index with the wrong size
# ("Mirror sync in progress?"). Retry a few times; if one index stays out
# of step, go on: the packages may well install from the others.
for attempt in 1 2 3 4; do
    if apt-get update -q; then
        break
    fi
    echo "install-deps.sh: apt-get update failed (attempt $attempt)" >&2
    [ "$attempt" -eq 4 ] || sleep $((attempt * 10))
done
for attempt in 1 2 3; do
    if apt-get install -y -q "${missing[@]}"; then
        break
    fi
    echo "install-deps.sh: apt-get install failed (attempt $attempt)" >&2
    [ "$attempt" -eq 3 ] || { sleep $((attempt * 15)); apt-get update -q || true; }
done

# Fail loudly if apt silently skipped something.
for p in "${missing[@]}"; do
    if ! is_installed "$p"; then
        echo "install-deps.sh: $p is still not installed" >&2
        exit 1
    fi
done
echo "install-deps.sh: done"
