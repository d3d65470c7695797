#!/usr/bin/env bash
# Drives the real program the way a user does: on a virtual X server with a window manager, only
# through the screen, keyboard and mouse, and checks what lands on disk byte for byte.
# Usage: run.sh PROGRAM SETTINGS_FILE WORK_DIR
# A screenshot of every main step goes to WORK_DIR/shots, so a failing run can be looked at.
# No step trusts a fixed pause: each waits for its effect (a window, the keyboard focus, a file's
# content), so a slow or busy machine makes the run slower, not red (E2E_PATIENCE: how long a step
# may take, in tenths of a second).
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
# The server folder lies deep, as under "C:\Program Files\Firebird\Firebird_3_0" or a deep Linux
# folder: the window must work the same whatever the folder's length.
server="$work"
for level in 1 2 3 4 5 6; do
    server+="/verschachtelter-Server-Ordner-Ebene-$level"
done
server+=/server
[ ${#server} -ge 150 ] || { echo "the server folder $server is too short for this test" >&2; exit 1; }
mkdir -p "$(dirname "$server")"
cp -r "$here/server" "$server"
# The databases folder is typed into the folder picker, and xdotool types only what the X
# server's keyboard map holds: it lies under a path of plain letters, wherever the clone is.
databases=$(mktemp -d /tmp/tessaro-e2e-databases.XXXXXX)
export FIREBIRD="$server"

source "$here/xsession.sh"

xvfb=
windowmanager=
tessaro=
finish() {
    stop_x_session
    rm -rf "$databases"
}
trap finish EXIT

start_x_session "$work"

# Waits until the file holds exactly the expected bytes; @DATABASES@ stands for the databases
# folder.
expect_file() {
    local expected="$work/expected-$(basename "$2")"
    sed "s|@DATABASES@|$databases|g" "$here/expected/$2" >"$expected"
    wait_until cmp -s "$1" "$expected" || {
        diff -u "$expected" "$1" | cat -A | head -40 >&2
        fail "$1 differs from expected/$2"
    }
    echo "ok: $(basename "$1") as in expected/$2"
}

start_program() {
    (cd "$work" && exec "$work/program/Tessaro" >>"$work/program.log" 2>&1) &
    tessaro=$!
    main=$(await_focus 'Firebird-Konfiguration')
}

# Closes the main window with the window manager's close box, the rightmost button of its title
# bar, and waits for the program to end.
close_with_close_box() {
    read -r x y width _ < <(outer_geometry "$main")
    xdotool mousemove $((x + width - 11)) $((y + 9)) click 1
    program_ended() { ! kill -0 "$tessaro" 2>/dev/null; }
    wait_until program_ended || fail "the program did not end on the close box"
    wait "$tessaro" || fail "the program ended with an error"
    tessaro=
}

start_program
shot start

# A typical edit: DefaultDbCachePages gets a value in place of its commented default.
click "$main" "${config_page_tab[@]}"
edit_parameter DefaultDbCachePages 8192 edit-dialog
click "$main" "${save_button[@]}"
expect_file "$server/firebird.conf" firebird-edited.conf
shot edited-and-saved

# Reset of a parameter that has a value: the active line gets the default in its place.
select_parameter RemoteServicePort
click "$main" "${reset_button[@]}"
click "$main" "${save_button[@]}"
expect_file "$server/firebird.conf" firebird-reset.conf
shot reset-and-saved

# All aliases into one folder: folder picker and question answered on the screen.
click "$main" "${alias_page_tab[@]}"
click "$main" "${list_tab[@]}"
click "$main" "${first_row[@]}"
click "$main" "${edit_button[@]}"
picker=$(focused_window 'Ordner mit den Firebird-Datenbanken')
shot folder-picker
# With the closing separator the path completes to nothing: no completion list can take the Enter
# meant for the picker.
type_text "$databases/"
key Return
await_focus 'Bestätigen' >/dev/null
shot alias-question
key alt+a
gone 'Bestätigen'
click "$main" "${save_button[@]}"
expect_file "$server/databases.conf" databases-all.conf
shot aliases-assigned

# Search: the second Find Next selects the second occurrence. The view then has the focus with
# the hit selected, so what is typed replaces exactly that occurrence, which Save shows on disk.
click "$main" "${file_tab[@]}"
click "$main" "${search_button[@]}"
finder=$(focused_window 'Suchen')
type_text SecurityDatabase
key Return
# Find Next gives the view the focus: the dialog takes it back for the second search, whose Enter
# presses Find Next again.
await_focus 'Firebird-Konfiguration' >/dev/null
focused_window 'Suchen' >/dev/null
key Return
await_focus 'Firebird-Konfiguration' >/dev/null
shot second-occurrence
type_text securitydatabase
# A miss shows the message box.
click "$finder" "${find_text_field[@]}"
await_focus 'Suchen' >/dev/null
key ctrl+a
type_text 'NotInTheFile'
click "$finder" "${find_next_button[@]}"
await_focus 'Informationen' >/dev/null
shot not-found-message
key Return
gone 'Informationen'
await_focus 'Suchen' >/dev/null
key Escape
gone 'Suchen'
# What was typed into the raw text reaches the document when the list tab comes to the front.
click "$main" "${list_tab[@]}"
click "$main" "${save_button[@]}"
expect_file "$server/databases.conf" databases-searched.conf
shot searched-and-saved

# Move and resize through the window manager, then close with the close box.
client_size() {
    xwininfo -id "$1" | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w "x" h}'
}
read -r start_x start_y _ < <(outer_geometry "$main")
moved_and_resized() {
    [ "$(client_size "$main")" = 900x600 ] && read -r x y _ < <(outer_geometry "$main") \
        && [ "$x $y" != "$start_x $start_y" ]
}
xdotool windowmove "$main" 120 90 windowsize "$main" 900 600
wait_until moved_and_resized || fail "the window was not moved and resized: $(outer_geometry "$main")"
geometry_before=$(outer_geometry "$main")
shot moved-and-resized
close_with_close_box
grep -q '^\[ParvexDlg\]' "$work/program/Tessaro.ini" || fail "Tessaro.ini has no section of the main window"
grep -q '^\[ParvexDlg\\ParvexList_Columns\]' "$work/program/Tessaro.ini" \
    || fail "Tessaro.ini has no column set of the parameter list"
echo "ok: Tessaro.ini holds the main window's sections"

# The second start restores the window where and as large as it was left.
start_program
placed_as_left() { [ "$(outer_geometry "$main")" = "$geometry_before" ]; }
wait_until placed_as_left \
    || fail "window placed at $(outer_geometry "$main") after the second start, left at $geometry_before" \
            "(stored: $(grep -m1 '^NormPos=' "$work/program/Tessaro.ini"))"
geometry_after=$(outer_geometry "$main")
shot second-start
echo "ok: second start at $geometry_after, as left"
close_with_close_box
echo "screenshots: $work/shots"
