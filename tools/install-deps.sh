#!/bin/bash
# Installs every Debian package the project needs (Debian 12, run as root).
# Idempotent: when everything is already there it does not touch apt at all,
# so CI and repeated developer runs pay nothing for it.
set -euo pipefail

# Host build and tests: compiler, CMake ("Unix Makefiles" generator, so no
# ninja), GoogleTest (headers/libs and the sources the MinGW test build
# compiles), Google Benchmark, clang 14 with its runtime (sanitizers, fuzzing).
# Windows build and tests: the i686 MinGW-w64 cross compilers, 32-bit Wine
# (wine32:i386 for the win32 prefix, wine64 because Debian's wine wants it),
# Xvfb + ImageMagick + x11-utils for screenshots of the setup window.
# The x86_64 MinGW compilers: hosts without IA-32 emulation cannot run any
# 32-bit x86 code (neither wine32 nor Wine's WoW64), so tests there can only
# run as x86_64 programs in a 64-bit prefix (see tools/wine-prefix.sh).
# nsis (makensis) and python3 for tools/bench-install.sh, which installs the
# same payload with an NSIS installer for comparison.
PACKAGES=(
    cmake g++ make
    libgtest-dev googletest libbenchmark-dev
    clang-14 clang libclang-rt-14-dev
    wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64
    xvfb imagemagick x11-utils
    nsis python3
)

export DEBIAN_FRONTEND=noninteractive

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: must run as root" >&2
    exit 1
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

# wine32:i386 needs the i386 architecture; adding it twice is harmless but
# only do it when absent so the log stays quiet.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

apt-get update -q
apt-get install -y -q "${missing[@]}"

# Fail loudly if apt silently skipped something.
for p in "${missing[@]}"; do
    if ! is_installed "$p"; then
        echo "install-deps.sh: $p is still not installed" >&2
        exit 1
    fi
done
echo "install-deps.sh: done"
