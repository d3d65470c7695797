# Helpers for driving the program on a virtual X server with a window manager, sourced by the
# end-to-end tests and by scripts/screenshots.sh. The caller sets $work, whose folder "shots"
# takes the screenshots of shot and fail (a caller may define its own fail MESSAGE after sourcing,
# which must not return), and calls stop_x_session when it is done, also on failure.
# No helper trusts a fixed pause: each waits for an effect it can see (a window, the keyboard
# focus), so a slow or busy machine makes a run slower, not wrong.

# A screenshot of the whole screen, numbered in the order taken: $work/shots/NN-NAME.png.
step=0
shot() {
    step=$((step + 1))
    import -window root "$work/shots/$(printf '%02d' "$step")-$1.png"
}

# Ends the run with a screenshot of what the screen showed.
fail() {
    shot failure || true
    echo "FAIL: $*" >&2
    exit 1
}

# How long a step may take to show its effect, in tenths of a second.
patience=${E2E_PATIENCE:-300}

# Runs the command until it succeeds; false when the patience ran out first.
wait_until() {
    for _ in $(seq "$patience"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../xserver.sh"

# Starts Xvfb on a display it picks free, then openbox; sets DISPLAY, $xvfb and $windowmanager.
# Usage: start_x_session LOG_FOLDER
start_x_session() {
    start_xvfb "$1/xvfb.log" || fail "Xvfb did not start"
    # The program on the X server, whatever platform the environment asks of others.
    export QT_QPA_PLATFORM=xcb
    start_window_manager "$1/openbox.log" || fail "the window manager did not start"
}

# Ends the program in $tessaro, the window manager and Xvfb, by their process ids.
stop_x_session() {
    if [ -n "${tessaro:-}" ]; then
        kill "$tessaro" 2>/dev/null || true
        wait "$tessaro" 2>/dev/null || true
    fi
    stop_xserver
}

# The visible window whose title contains the text.
window() {
    local id
    find_window() { id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ]; }
    wait_until find_window "$1" || fail "no window named '$1'"
    echo "$id"
}

has_focus() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# Whether the window has held the keyboard focus for three checks in a row; the program may still
# move the focus for a moment after a command (a search hit activates the main window and insists
# while the window manager settles), and keys must not go out in that moment. With `activate`,
# a check that finds the focus elsewhere asks for it again.
steady=0
focus_held() {
    if has_focus "$1"; then
        steady=$((steady + 1))
    else
        steady=0
        [ "${2:-}" = activate ] && xdotool windowactivate "$1" >/dev/null 2>&1
    fi
    [ "$steady" -ge 3 ]
}

# Waits until the window named so holds the keyboard focus, as the program or the window manager
# gives it: keys sent before then would reach another window.
await_focus() {
    local id
    id=$(window "$1")
    steady=0
    wait_until focus_held "$id" || fail "the window named '$1' did not get the focus"
    echo "$id"
}

# Gives the window named so the keyboard focus and waits until it holds it.
focused_window() {
    local id
    id=$(window "$1")
    steady=0
    wait_until focus_held "$id" activate || fail "the window named '$1' did not get the focus"
    echo "$id"
}

# Waits until no visible window's title contains the text.
gone() {
    no_window() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
    wait_until no_window "$1" || fail "the window named '$1' stayed open"
}

# A click at a point of a window's client area, as the fixed layout places its controls. The
# program handles input in the order it arrives, so what follows a click meets its result.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Types into whatever has the keyboard focus.
type_text() {
    xdotool type --delay 20 "$1"
}

key() {
    xdotool key "$@"
}

# The window manager's frame around a program window.
frame_of() {
    xwininfo -tree -id "$1" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p'
}

# The outer rectangle (frame included) of a program window: "x y width height".
outer_geometry() {
    xwininfo -id "$(frame_of "$1")" | awk '
        /Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

# Selects a parameter row of the main window $main by typing its name into the list, the list's
# own quick search.
select_parameter() {
    click "$main" "${list_tab[@]}"
    click "$main" "${first_row[@]}"
    await_focus 'Firebird-Konfiguration' >/dev/null
    type_text "$1"
}

# Sets the parameter $1 to $2 through the edit dialog, as a user does; with $3, a screenshot of
# that name shows the filled-in dialog before it is confirmed.
edit_parameter() {
    select_parameter "$1"
    click "$main" "${edit_button[@]}"
    local editor
    editor=$(focused_window 'Parameter bearbeiten')
    # The dialog opens with the focus on OK: the value field takes a click first.
    click "$editor" "${value_field[@]}"
    key ctrl+a
    type_text "$2"
    [ -z "${3:-}" ] || shot "$3"
    key Return
    gone 'Parameter bearbeiten'
}

# Positions in the main window's client area (fixed layout, Tahoma 8 pt or its substitute).
save_button=(155 17)
alias_page_tab=(60 47)
config_page_tab=(192 47)
list_tab=(77 73)
file_tab=(226 73)
first_row=(100 140)
edit_button=(49 100)   # "Bearbeiten..." on the parameter list, "Zuweisen..." on the alias list
reset_button=(133 100)
search_button=(49 100) # "Suchen..." above each raw text view
# In the edit dialog's client area.
value_field=(296 75)
# In the find dialog's client area.
find_text_field=(250 22)
find_next_button=(441 22)
