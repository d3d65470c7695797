#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"
