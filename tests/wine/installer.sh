#!/usr/bin/env bash
# The installer of the Windows build, made by CPack and run under Wine in a prefix of its own:
# a silent install, the installed program started (it must find its DLLs and plugins beside it,
# with nothing on Wine's path), a silent uninstall; then nothing of it may be left.
# Usage: installer.sh WINE64 WINESERVER BUILD_DIR WORK_DIR
set -euo pipefail

wine=$1
wineserver=$2
build=$3
work=$4
e2e="$(cd "$(dirname "$0")/../e2e" && pwd)"

rm -rf "$work"
mkdir -p "$work/shots"
source "$(dirname "$0")/environment.sh"
# Nothing on Wine's path: the installed program must find its DLLs beside it.
use_wine_prefix "$work/prefix" ""

source "$e2e/xsession.sh"
tessaro=
finish() {
    stop_x_session
    "$wineserver" -k 2>/dev/null || true
}
trap finish EXIT

(cd "$build" && cpack -G NSIS -B "$work/package" >"$work/cpack.log" 2>&1) || { tail -20 "$work/cpack.log" >&2; fail "cpack"; }
installer=$(find "$work/package" -maxdepth 1 -name 'Tessaro-*-win*.exe' | head -1)
[ -n "$installer" ] || fail "cpack made no installer"
echo "ok: $(basename "$installer")"

start_x_session "$work"
run_wine wineboot -i >"$work/wineboot.log" 2>&1
"$wineserver" -w
# What the prefix holds of its own; Wine's system folder and temporary files aside.
prefix_files() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | sort)
    run_wine reg query 'HKLM\Software\Tessaro' >/dev/null 2>&1 && echo 'registry: HKLM\Software\Tessaro'
    run_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro' >/dev/null 2>&1 \
        && echo 'registry: the uninstall entry'
    true
}
prefix_files >"$work/before.txt"

run_wine "$installer" /S
"$wineserver" -w
folder="$WINEPREFIX/drive_c/Program Files/Tessaro"
for file in Tessaro.exe Tessaro.ini Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll \
            platforms/qwindows.dll styles/qwindowsvistastyle.dll Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "the installation lacks $file"
done
link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Tessaro.lnk' | head -1)
[ -n "$link" ] || fail "no Start menu entry"
echo "ok: installed, Start menu entry ${link#"$WINEPREFIX/drive_c/"}"

# Without a server the program opens its window empty, after saying that no server was found.
(cd "$work" && exec env LC_ALL="$wine_locale" "$wine" "C:\\Program Files\\Tessaro\\Tessaro.exe" >>"$work/program.log" 2>&1) &
tessaro=$!
await_focus 'Informationen' >/dev/null
shot installed-program
key Return
gone 'Informationen'
await_focus 'Firebird-Konfiguration' >/dev/null
echo "ok: the installed program runs: its message, then its window"
kill "$tessaro"
wait "$tessaro" 2>/dev/null || true
tessaro=
"$wineserver" -w

run_wine "C:\\Program Files\\Tessaro\\Uninstall.exe" /S
"$wineserver" -w
prefix_files >"$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" >&2 || fail "the uninstall left what the lines above name"
echo "ok: uninstalled, nothing left"
