#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless: once as built for
# use, once more under AddressSanitizer and UndefinedBehaviorSanitizer (preset "asan").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test
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
