#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless: as built for use,
# under AddressSanitizer and UndefinedBehaviorSanitizer (preset "asan"), the fuzz targets briefly
# (preset "fuzz"); and it builds the 32-bit Windows program and its tests (preset "win32").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test
# The house style: every source file as clang-format 14 writes it with the house's .clang-format.
find "$root/src" "$root/tests" "$root/bench" "$root/fuzz" \( -name '*.cpp' -o -name '*.h' \) -print0 \
  | xargs -0 clang-format-14 --dry-run --Werror
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"

# The sanitizer options live in the preset. The registry test is left out there: it
# cross-compiles for Windows and runs under Wine, so nothing in it is sanitized.
cd "$root"
cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)"

# The fuzz targets, a short run of each (preset "fuzz"; clang comes from setup.sh).
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"
ctest --preset fuzz -j "$(nproc)"

# The 32-bit Windows program and its tests, built with the Qt for Windows that
# scripts/build-qt-windows.sh builds once and keeps in its cache.
"$root/scripts/test-windows.sh"
