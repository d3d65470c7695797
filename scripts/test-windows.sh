#!/usr/bin/env bash
# The 32-bit Windows program: builds it, its bench and its test programs with the Qt for Windows
# that scripts/build-qt-windows.sh makes (or finds in its cache), with every warning an error
# (preset "win32"). Called by scripts/test.sh after the Linux stages; run as root. The program and
# its tests cannot run here: this machine's system runs 64-bit user code only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
qt=$("$root/scripts/build-qt-windows.sh" i686) || status=$?
if [ "$status" = 3 ]; then
  echo "Windows stage skipped: Debian's qt6-base source package cannot be had here, so there is no Qt for Windows to build with."
  exit 0
elif [ "$status" != 0 ]; then
  exit "$status"
fi
export TESSARO_QT_WINDOWS="$qt"
cd "$root"
cmake --preset win32
cmake --build --preset win32 -j "$(nproc)"
