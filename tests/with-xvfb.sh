#!/usr/bin/env bash
# Runs a test program on a virtual X server of its own, on a display that Xvfb picks free; with
# --window-manager, openbox manages its windows, so that frames, activation and placement are a
# window manager's, not the offscreen platform's. Xvfb and openbox are stopped by their process ids
# whatever happens.
# Usage: with-xvfb.sh [--window-manager] PROGRAM [ARGUMENTS...]
set -euo pipefail
source "$(dirname "$0")/xserver.sh"

manage=
if [ "${1:-}" = --window-manager ]; then
    manage=1
    shift
fi

log=$(mktemp)
finish() {
    stop_xserver
    rm -f "$log"
}
trap finish EXIT

start_xvfb "$log" || { cat "$log" >&2; echo "Xvfb did not start" >&2; exit 1; }
if [ -n "$manage" ]; then
    start_window_manager "$log" || { cat "$log" >&2; echo "openbox did not start" >&2; exit 1; }
fi
QT_QPA_PLATFORM=xcb "$@"
