#!/usr/bin/env bash
# The Windows program, from the same tree, with the Qt for Windows that scripts/build-qt-windows.sh
# makes (or finds in its cache); every warning is an error. Called by scripts/test.sh after the
# Linux stages; run as root.
#   - The 32-bit program as shipped (preset "win32"): program, bench and test programs built,
#     and its installer made (build-mingw32/Tessaro-<version>-win32.exe).
#   - The 64-bit build (preset "win64"): built, its test programs run under Wine, and so do the
#     program itself and its installer. This machine's kernel runs 64-bit user code only, so no
#     32-bit program can start here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Prints the Qt's folder; exits when Debian's source package, and with it every Qt for Windows,
# cannot be had here.
qt_for() {
  local status=0 folder
  folder=$("$root/scripts/build-qt-windows.sh" "$1") || status=$?
  if [ "$status" = 3 ]; then
    echo "Windows stage skipped: Debian's qt6-base source package cannot be had here, so there is no Qt for Windows to build with." >&2
    exit 0
  elif [ "$status" != 0 ]; then
    exit "$status"
  fi
  echo "$folder"
}

TESSARO_QT_WINDOWS=$(qt_for i686)
TESSARO_QT_WINDOWS64=$(qt_for x86_64)
export TESSARO_QT_WINDOWS TESSARO_QT_WINDOWS64
cd "$root"
for preset in win32 win64; do
  echo "Windows build ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
echo "Windows installer (win32)"
(cd build-mingw32 && cpack -G NSIS >/dev/null && ls Tessaro-*-win32.exe)
echo "Windows tests under Wine (win64)"
ctest --preset win64 -j "$(nproc)" --timeout 300
