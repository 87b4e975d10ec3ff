#!/usr/bin/env bash
# Builds and tests every preset: host, host-asan, and win32 (tests under
# Wine in a fresh Windows 98 prefix, shipped programs checked for imports
# that the first Windows 95 release lacks). Run from anywhere; exits
# non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The shipped programs are always i686. The tests run under Wine as i686
# where this host can run 32-bit code, otherwise as x86_64 in a 64-bit prefix.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then test_arch=i686; else test_arch=x86_64; fi
cached=$(sed -n 's/^BRIVANTA_ARCH:[A-Z]*=//p' build/win32/CMakeCache.txt 2>/dev/null || true)
fresh=""
[ -z "$cached" ] || [ "$cached" = "$test_arch" ] || fresh=--fresh

for preset in host host-asan win32; do
  echo "=== $preset: configure and build"
  if [ "$preset" = win32 ]; then
    cmake --preset win32 $fresh -DBRIVANTA_ARCH="$test_arch" >/dev/null
  else
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build --preset "$preset" -j "$jobs"
done

echo "=== host: tests"
ctest --preset host
echo "=== host-asan: tests"
ctest --preset host-asan

# Fuzz targets (clang 14, libFuzzer): a short fixed run of each over its
# seed corpus, so that a reader change that crashes on them fails here.
echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
echo "=== fuzz: 15 s per target"
tools/fuzz.sh 15

echo "=== win32: tests ($test_arch) under Wine (Windows 98 mode)"
prefix="$PWD/build/wine-prefix"
trap 'tools/wine-prefix.sh remove "$prefix" >/dev/null 2>&1 || true' EXIT
tools/wine-prefix.sh remove "$prefix" >/dev/null 2>&1 || true
tools/wine-prefix.sh create "$prefix"
BRIVANTA_WINEPREFIX="$prefix" ctest --preset win32 -LE i686

# The shipped i686 programs (and, where the tests above were x86_64, the
# Win32 API tests as i686) under i386 Wine: the host's own, or else under
# emulation (tools/i386-env.sh; its environment is made once per machine).
echo "=== win32: the i686 programs under i386 Wine"
start=$SECONDS
if [ "$test_arch" = x86_64 ]; then
  # 77: this machine cannot emulate i386 (not root, or Linux before 6.7);
  # the tests then report themselves skipped.
  tools/i386-env.sh prepare || [ $? = 77 ]
  echo "i386 environment ready after $((SECONDS - start)) s"
fi
ctest --preset win32 -L i686
echo "i686 stage: $((SECONDS - start)) s"
