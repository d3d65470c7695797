#!/bin/sh
# Runs one Windows program of this build under Wine, as CTest's emulator for the Windows build.
# All programs share one prefix in the build folder, made on first use; the Qt and MinGW runtime
# DLLs are found through WINEPATH.
# Usage: emulator.sh WINE64 WINESERVER PREFIX DLL_FOLDERS PROGRAM [ARGS...]
#   DLL_FOLDERS: Unix folders separated by ':'
set -eu
wine=$1
wineserver=$2
prefix=$3
dll_folders=$4
shift 4

. "$(dirname "$0")/environment.sh"
use_wine_prefix "$prefix" "$dll_folders"
mkdir -p "$prefix"
# Programs started at the same time wait for the one that makes the prefix.
(
  flock 9
  if [ ! -f "$prefix/.ready" ]; then
    run_wine wineboot -i >/dev/null 2>&1
    "$wineserver" -w
    touch "$prefix/.ready"
  fi
) 9>"$prefix.lock"

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
    run_wine "$program" "$@" -o "$log,txt" || status=$?
    cat "$log"
    exit "$status" ;;
  *) exec env LC_ALL="$wine_locale" "$wine" "$program" "$@" ;;
esac
