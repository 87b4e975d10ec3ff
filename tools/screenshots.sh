#!/bin/bash
# Regenerates docs/*.png, the pictures of the real dialogs in the README:
# builds the Win32 test programs, runs the dialogs on an Xvfb screen with the
# robot (tests/screen/dialogs_on_screen.sh) and the whole installation
# (tests/wine/install_on_wine.sh), and copies their pictures.
# BRIVANTA_TEST_DISPLAY picks the X display (default :91).
set -euo pipefail
cd "$(dirname "$0")/.."

# The programs must run under this host's Wine: i686 where it runs 32-bit
# code, otherwise x86_64 (as tools/test-all.sh decides).
if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
cached=$(sed -n 's/^BRIVANTA_ARCH:[A-Z]*=//p' build/win32/CMakeCache.txt 2>/dev/null || true)
fresh=""
[ -z "$cached" ] || [ "$cached" = "$arch" ] || fresh=--fresh
cmake --preset win32 $fresh -DBRIVANTA_ARCH="$arch" >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target setup robot dialog_stage brivanta-standin \
    host_tools

tests/screen/dialogs_on_screen.sh build/win32/app/setup.exe build/win32/tools/robot/robot.exe \
    build/win32/tests/dialog_stage.exe build/win32/screenshots
tests/wine/install_on_wine.sh build/win32/app/setup.exe build/win32/tools/brivanta.exe \
    build/win32/tools/robot/robot.exe build/win32/host-tools/tools/make-disks resources/install.fd \
    build/win32/install-on-wine
mkdir -p docs
rm -f docs/*.png
cp build/win32/screenshots/*.png docs/
# From the whole installation, the dialogs the run above does not reach.
for name in group-message restart-question successful windows-nt floppy-prompt wrong-floppy; do
    cp "build/win32/install-on-wine/screenshots/$name.png" docs/
done
ls docs/*.png
