#!/usr/bin/env bash
# Runs a QtTest program on its own virtual X server with the openbox window manager, so that
# frames, activation and placement are the window manager's, not the offscreen platform's.
# Usage: run.sh TEST_PROGRAM [QtTest arguments...]
# Xvfb and openbox are stopped by their process ids whatever happens.
set -euo pipefail

xvfb=
windowmanager=
finish() {
    for pid in $windowmanager $xvfb; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $windowmanager $xvfb; do
        wait "$pid" 2>/dev/null || true
    done
}
trap finish EXIT

# Xvfb picks a free display and writes its number.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp 2>/dev/null &
xvfb=$!
read -r -t 20 -u "$displayfd" display || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
# Openbox is ready once it has announced itself on the root window. Now and then it cannot
# reach a display that has only just come up: it is started again then.
for attempt in 1 2 3; do
    openbox 2>/dev/null &
    windowmanager=$!
    for _ in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break 2
        kill -0 "$windowmanager" 2>/dev/null || break
        sleep 0.05
    done
    kill "$windowmanager" 2>/dev/null || true
    wait "$windowmanager" 2>/dev/null || true
    windowmanager=
    sleep 0.2
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
    || { echo "openbox did not start" >&2; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
