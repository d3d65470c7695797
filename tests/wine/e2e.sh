#!/usr/bin/env bash
# The Windows program under Wine on a virtual X server with a window manager, driven through the
# screen, keyboard and mouse as tests/e2e/run.sh drives the Linux one: it finds the server's
# folder through the registry, as the server's installer leaves it, and one parameter is edited
# and saved through the window. The file must come out byte for byte as on Linux: a file without
# a mark is in the ANSI code page (Windows-1252 here), and every line ends in CR LF.
# Usage: e2e.sh WINE64 WINESERVER PROGRAM SETTINGS_FILE DLL_FOLDERS WORK_DIR
#   DLL_FOLDERS: Unix folders separated by ':'
# A screenshot of every step goes to WORK_DIR/shots.
set -euo pipefail

wine=$1
wineserver=$2
program=$3
settings=$4
dll_folders=$5
work=$6
e2e="$(cd "$(dirname "$0")/../e2e" && pwd)"

rm -rf "$work"
mkdir -p "$work/shots" "$work/program"
cp "$program" "$settings" "$work/program/"
server="$work/Firebird/Firebird_3_0"
mkdir -p "$(dirname "$server")"
cp -r "$e2e/server" "$server"

source "$(dirname "$0")/environment.sh"
use_wine_prefix "$work/prefix" "$dll_folders"

source "$e2e/xsession.sh"
tessaro=
finish() {
    stop_x_session
    "$wineserver" -k 2>/dev/null || true
}
trap finish EXIT

start_x_session "$work"
run_wine wineboot -i >"$work/wineboot.log" 2>&1
# The server's installer writes its folder into the 32-bit view of the registry.
run_wine reg add 'HKLM\SOFTWARE\Firebird Project\Firebird Server\Instances' /v DefaultInstance \
    /t REG_SZ /d "Z:${server//\//\\}\\" /reg:32 /f >/dev/null 2>&1 || fail "the registry value could not be written"

(cd "$work/program" && exec env LC_ALL="$wine_locale" "$wine" Tessaro.exe >>"$work/program.log" 2>&1) &
tessaro=$!
main=$(await_focus 'Firebird-Konfiguration')
shot start

click "$main" "${config_page_tab[@]}"
edit_parameter DefaultDbCachePages 8192 edit-dialog
click "$main" "${save_button[@]}"
saved_as_expected() { cmp -s "$server/firebird.conf" "$e2e/expected/firebird-edited.conf"; }
wait_until saved_as_expected || {
    diff -u "$e2e/expected/firebird-edited.conf" "$server/firebird.conf" | cat -A | head -40 >&2
    fail "firebird.conf differs from tests/e2e/expected/firebird-edited.conf"
}
echo "ok: firebird.conf as in tests/e2e/expected/firebird-edited.conf"
shot edited-and-saved
echo "screenshots: $work/shots"
