#!/usr/bin/env bash
# Takes the README's screenshots, docs/alias-page.png and docs/parameter-page.png, from the
# program as a user meets it: the demo server folder examples/server installed as /opt/firebird,
# where the program finds the server by itself, and the aliases pointed at Debian's folder of
# database files, on a virtual X server with a window manager. Nothing is saved.
# Run as root after a build; scripts/setup.sh test installs the tools. Whatever /opt/firebird and
# the databases folder held before is put back afterwards.
# Usage: scripts/screenshots.sh [PROGRAM [OUTPUT_FOLDER]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/src/Tessaro}
out=${2:-$root/docs}
server=/opt/firebird
databases=/var/lib/firebird/3.0/data

work=$(mktemp -d)
backup=
created=
xvfb=
windowmanager=
tessaro=
source "$root/tests/e2e/xsession.sh"
finish() {
    stop_x_session
    rm -rf "$server"
    [ -n "$backup" ] && mv "$backup" "$server"
    [ -n "$created" ] && rm -rf "$created"
    rm -rf "$work"
}
trap finish EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The server folder a user has, with what was there kept aside.
if [ -e "$server" ] || [ -L "$server" ]; then
    backup=$(mktemp -d "$server.before-screenshots.XXXXXX")
    rmdir "$backup"
    mv "$server" "$backup"
fi
cp -r "$root/examples/server" "$server"
# The databases folder, made only when it is missing, and then removed from its first new level.
if [ ! -d "$databases" ]; then
    created=$databases
    while [ ! -d "$(dirname "$created")" ]; do created=$(dirname "$created"); done
    mkdir -p "$databases"
fi
unset FIREBIRD

# The program keeps its window state in its own folder: a fresh copy of it with its texts.
cp "$program" "$(dirname "$program")/Tessaro.ini" "$work/"

start_x_session "$work"

(cd "$work" && exec "$work/Tessaro" >"$work/program.log" 2>&1) &
tessaro=$!
main=$(await_focus 'Firebird-Konfiguration')

# The window with its frame, once two pictures in a row are the same: the program has painted.
snapshot() {
    local frame previous='' current
    frame=$(frame_of "$main")
    # No hover highlight in the picture.
    xdotool mousemove 0 0
    settled() {
        current=$(import -window "$frame" rgb:- | md5sum)
        [ "$current" = "$previous" ] && return 0
        previous=$current
        return 1
    }
    wait_until settled || fail "the window did not settle for $1"
    import -window "$frame" -strip "$out/$1"
    echo "written: $out/$1"
}

# The parameter page after an edit of DefaultDbCachePages that the server will not read as meant:
# the row is marked, the help box says why, the status line names the unsaved file.
click "$main" "${config_page_tab[@]}"
edit_parameter DefaultDbCachePages "8192 Seiten"
snapshot parameter-page.png

# The alias page after assigning all aliases to one folder that holds none of their files yet.
click "$main" "${alias_page_tab[@]}"
click "$main" "${list_tab[@]}"
click "$main" "${first_row[@]}"
click "$main" "${edit_button[@]}"
focused_window 'Ordner mit den Firebird-Datenbanken' >/dev/null
type_text "$databases/"
key Return
await_focus 'Bestätigen' >/dev/null
key alt+a
gone 'Bestätigen'
await_focus 'Firebird-Konfiguration' >/dev/null
snapshot alias-page.png
