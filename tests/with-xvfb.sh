#!/usr/bin/env bash
# Runs a test program on a virtual X server of its own, on a display that Xvfb picks free.
# Usage: with-xvfb.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

log=$(mktemp)
xvfb=
finish() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -f "$log"
}
trap finish EXIT

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >"$log" 2>&1 &
xvfb=$!
read -r -t 10 -u "$displayfd" display || { cat "$log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$@"
