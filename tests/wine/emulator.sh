#!/bin/sh
# Runs one Windows program of this build under Wine, as CTest's emulator for the Windows build.
# All programs share one prefix in the build folder, made on first use; the Qt and MinGW runtime
# DLLs are found through WINEPATH. Wine takes the system's language and ANSI code page from the
# locale's name: German with code page 1252, as the program's users' systems have it. The locale
# must exist (scripts/setup.sh makes it), or Wine cannot name files beyond ASCII.
# Usage: emulator.sh WINE64 WINESERVER PREFIX DLL_FOLDERS PROGRAM [ARGS...]
#   DLL_FOLDERS: Unix folders separated by ':'
set -eu
wine=$1
wineserver=$2
prefix=$3
dll_folders=$4
shift 4

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=de_DE.UTF-8
mkdir -p "$prefix"
# Programs started at the same time wait for the one that makes the prefix.
(
  flock 9
  if [ ! -f "$prefix/.ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w
    touch "$prefix/.ready"
  fi
) 9>"$prefix.lock"

winepath=
old_ifs=$IFS
IFS=':'
for folder in $dll_folders; do
  winepath="${winepath:+$winepath;}Z:$(printf '%s' "$folder" | tr '/' '\\')"
done
IFS=$old_ifs
export WINEPATH="$winepath"

program=$1
shift
# Wine keeps the Unix side's QT_ variables from Windows programs; Qt also takes the platform
# from the command line.
if [ -n "${QT_QPA_PLATFORM:-}" ]; then
  set -- -platform "$QT_QPA_PLATFORM" "$@"
fi
case "$(basename "$program")" in
  tst_*)
    # What a test program writes to its console does not reach the Unix side: it writes its
    # log into a file, shown when it ends.
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    status=0
    "$wine" "$program" "$@" -o "$log,txt" || status=$?
    cat "$log"
    exit "$status" ;;
  *) exec "$wine" "$program" "$@" ;;
esac
