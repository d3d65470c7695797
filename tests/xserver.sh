# Starting and stopping a virtual X server with a window manager, for the tests that need a real
# display; sourced by tests/with-xvfb.sh and tests/e2e/xsession.sh. Each function returns non-zero
# instead of exiting, so the caller reports the failure its own way.

xvfb=
windowmanager=

# Starts Xvfb on a display it picks free and sets DISPLAY and $xvfb. Usage: start_xvfb LOG_FILE
start_xvfb() {
    local displayfd display
    exec {displayfd}<> <(:)
    Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >"$1" 2>&1 &
    xvfb=$!
    read -r -t 20 -u "$displayfd" display || return 1
    exec {displayfd}>&-
    export DISPLAY=":$display"
}

window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# Starts openbox on $DISPLAY and sets $windowmanager once openbox has announced itself on the root
# window. Now and then it cannot reach a display that has only just come up: it is started again
# then. Usage: start_window_manager LOG_FILE
start_window_manager() {
    for _ in 1 2 3; do
        openbox >>"$1" 2>&1 &
        windowmanager=$!
        for _ in $(seq 200); do
            window_manager_running && return 0
            kill -0 "$windowmanager" 2>/dev/null || break
            sleep 0.05
        done
        kill "$windowmanager" 2>/dev/null || true
        wait "$windowmanager" 2>/dev/null || true
        windowmanager=
        sleep 0.2
    done
    return 1
}

# Ends the window manager and Xvfb by their process ids.
stop_xserver() {
    for pid in $windowmanager $xvfb; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $windowmanager $xvfb; do
        wait "$pid" 2>/dev/null || true
    done
}
