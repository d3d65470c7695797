#!/usr/bin/env bash
# Drives the real program the way a user does: on a virtual X server with a window manager, only
# through the screen, keyboard and mouse, and checks what lands on disk byte for byte.
# Usage: run.sh PROGRAM SETTINGS_FILE WORK_DIR
# A screenshot of every main step goes to WORK_DIR/shots, so a failing run can be looked at.
set -euo pipefail

program=$1
settings=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/shots"
# The program keeps its settings in its own folder: a fresh copy of it with our texts.
mkdir "$work/program"
cp "$program" "$settings" "$work/program/"
cp -r "$here/server" "$work/server"
mkdir "$work/databases"
export FIREBIRD="$work/server"
# A real X server, whatever the suite around this test asks of the others.
export QT_QPA_PLATFORM=xcb

xvfb=
windowmanager=
tessaro=
finish() {
    for pid in $tessaro $windowmanager $xvfb; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap finish EXIT

# Xvfb picks a free display and writes its number.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 10 -u "$displayfd" display
export DISPLAY=":$display"
openbox >"$work/openbox.log" 2>&1 &
windowmanager=$!
sleep 1

step=0
shot() {
    step=$((step + 1))
    import -window root "$work/shots/$(printf '%02d' "$step")-$1.png"
}

fail() {
    shot failure || true
    echo "FAIL: $*" >&2
    exit 1
}

# The visible window whose title contains the text; waits up to 10 seconds for it.
window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    fail "no window named '$1'"
}

# The window named so, once it has the keyboard focus: the window manager gives it a moment after
# the window appears, and keys sent before then would reach the window below.
focused_window() {
    local id
    id=$(window "$1")
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    for _ in $(seq 50); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] && { sleep 0.2; echo "$id"; return; }
        sleep 0.1
    done
    fail "the window named '$1' did not get the focus"
}

# Waits until no visible window's title contains the text.
gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the window named '$1' stayed open"
}

# A click at a point of a window's client area, as the fixed layout places its controls.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

# Types into whatever has the keyboard focus.
type_text() {
    xdotool type --delay 20 "$1"
    sleep 0.2
}

key() {
    xdotool key "$@"
    sleep 0.3
}

# The file must hold exactly the expected bytes; @DATABASES@ stands for the databases folder.
expect_file() {
    local expected="$work/expected-$(basename "$2")"
    sed "s|@DATABASES@|$work/databases|g" "$here/expected/$2" >"$expected"
    cmp -s "$1" "$expected" || {
        diff -u "$expected" "$1" | cat -A | head -40 >&2
        fail "$1 differs from expected/$2"
    }
    echo "ok: $(basename "$1") as in expected/$2"
}

# The outer rectangle (frame included) of a program window: "x y width height".
outer_geometry() {
    local frame
    frame=$(xwininfo -tree -id "$1" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    xwininfo -id "$frame" | awk '
        /Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

start_program() {
    (cd "$work" && exec "$work/program/Tessaro" >>"$work/program.log" 2>&1) &
    tessaro=$!
    main=$(window 'Firebird-Konfiguration')
    sleep 0.5
}

# Closes the main window with the window manager's close box, the rightmost button of its title
# bar, and waits for the program to end.
close_with_close_box() {
    read -r x y width _ < <(outer_geometry "$main")
    xdotool mousemove $((x + width - 11)) $((y + 9)) click 1
    for _ in $(seq 100); do
        kill -0 "$tessaro" 2>/dev/null || { wait "$tessaro" || fail "the program ended with an error"; tessaro=; return; }
        sleep 0.1
    done
    fail "the program did not end on the close box"
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

# Selects a parameter row by typing its name into the list, the list's own quick search.
select_parameter() {
    click "$main" "${list_tab[@]}"
    click "$main" "${first_row[@]}"
    type_text "$1"
}

start_program
shot start

# A typical edit: DefaultDbCachePages gets a value in place of its commented default.
click "$main" "${config_page_tab[@]}"
select_parameter DefaultDbCachePages
click "$main" "${edit_button[@]}"
editor=$(focused_window 'Parameter bearbeiten')
# The dialog opens with the focus on OK: the value field takes a click first.
click "$editor" "${value_field[@]}"
key ctrl+a
type_text 8192
shot edit-dialog
key Return
gone 'Parameter bearbeiten'
click "$main" "${save_button[@]}"
shot edited-and-saved
expect_file "$work/server/firebird.conf" firebird-edited.conf

# Reset of a parameter that has a value: the active line gets the default in its place.
select_parameter RemoteServicePort
click "$main" "${reset_button[@]}"
click "$main" "${save_button[@]}"
shot reset-and-saved
expect_file "$work/server/firebird.conf" firebird-reset.conf

# All aliases into one folder: folder picker and question answered on the screen.
click "$main" "${alias_page_tab[@]}"
click "$main" "${list_tab[@]}"
click "$main" "${first_row[@]}"
click "$main" "${edit_button[@]}"
picker=$(focused_window 'Ordner mit den Firebird-Datenbanken')
shot folder-picker
type_text "$work/databases"
key Return
focused_window 'Bestätigen' >/dev/null
shot alias-question
key alt+a
gone 'Bestätigen'
click "$main" "${save_button[@]}"
shot aliases-assigned
expect_file "$work/server/databases.conf" databases-all.conf

# Search: the second Find Next selects the second occurrence. The view then has the focus with
# the hit selected, so what is typed replaces exactly that occurrence, which Save shows on disk.
click "$main" "${file_tab[@]}"
click "$main" "${search_button[@]}"
finder=$(focused_window 'Suchen')
type_text SecurityDatabase
key Return
# Find Next gave the view the focus: the dialog takes it back for the second search, whose Enter
# presses Find Next again.
focused_window 'Suchen' >/dev/null
key Return
focused_window 'Firebird-Konfiguration' >/dev/null
shot second-occurrence
type_text securitydatabase
# A miss shows the message box.
click "$finder" "${find_text_field[@]}"
key ctrl+a
type_text 'NotInTheFile'
click "$finder" "${find_next_button[@]}"
focused_window 'Informationen' >/dev/null
shot not-found-message
key Return
gone 'Informationen'
key Escape
gone 'Suchen'
# What was typed into the raw text reaches the document when the list tab comes to the front.
click "$main" "${list_tab[@]}"
click "$main" "${save_button[@]}"
shot searched-and-saved
expect_file "$work/server/databases.conf" databases-searched.conf

# Move and resize through the window manager, then close with the close box.
xdotool windowmove "$main" 120 90 windowsize "$main" 900 600
sleep 0.5
geometry_before=$(outer_geometry "$main")
shot moved-and-resized
close_with_close_box
grep -q '^\[ParvexDlg\]' "$work/program/Tessaro.ini" || fail "Tessaro.ini has no section of the main window"
grep -q '^\[ParvexDlg\\ParvexList_Columns\]' "$work/program/Tessaro.ini" \
    || fail "Tessaro.ini has no column set of the parameter list"
echo "ok: Tessaro.ini holds the main window's sections"

# The second start restores the window where and as large as it was left.
start_program
sleep 0.5
geometry_after=$(outer_geometry "$main")
shot second-start
[ "$geometry_after" = "$geometry_before" ] \
    || fail "window placed at $geometry_after after the second start, left at $geometry_before"
echo "ok: second start at $geometry_after, as left"
close_with_close_box
echo "screenshots: $work/shots"
