#!/bin/sh
# Cross-compiles the registry reader with a small driver and runs it under Wine in a fresh
# prefix (WORK_DIR/prefix), checking its answer after each change of the registry. With a 32-bit
# MinGW compiler it also builds the 32-bit driver, as the program itself ships; Wine here runs
# only 64-bit programs, which read the same 32-bit registry view.
# Usage: run.sh MINGW_CXX WINE64 WINESERVER SOURCE_DIR WORK_DIR [MINGW_CXX_32]
set -eu

cxx=$1
wine=$2
wineserver=$3
source_dir=$4
work_dir=$5
cxx32=${6:-}
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$work_dir"
exe="$work_dir/read-default-instance.exe"
"$cxx" -std=c++20 -static -Wall -Wextra -Werror -I"$source_dir" \
    "$source_dir/config/WinRegistry.cpp" "$here/ReadDefaultInstanceMain.cpp" -o "$exe"
if [ -n "$cxx32" ]; then
    "$cxx32" -std=c++20 -static -Wall -Wextra -Werror -I"$source_dir" \
        "$source_dir/config/WinRegistry.cpp" "$here/ReadDefaultInstanceMain.cpp" \
        -o "$work_dir/read-default-instance-32.exe"
    echo "ok: 32-bit build"
fi

prefix="$work_dir/prefix"
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
cleanup() {
    "$wineserver" -k 2>/dev/null || true
}
trap cleanup EXIT
# A reg.exe in the working folder would be run instead of Wine's own.
cd "$prefix"
"$wine" wineboot -i >/dev/null 2>&1

key='HKLM\SOFTWARE\Firebird Project\Firebird Server\Instances'
key32='HKLM\SOFTWARE\Wow6432Node\Firebird Project\Firebird Server\Instances'
failures=0

reg() {
    "$wine" reg "$@" >/dev/null 2>&1
}

expect() {
    actual=$("$wine" "$exe" | tr -d '\r')
    if [ "$actual" = "$1" ]; then
        printf 'ok: %s\n' "$1"
    else
        printf "FAIL: expected '%s', got '%s'\n" "$1" "$actual"
        failures=$((failures + 1))
    fi
}

set_value() {
    reg add "$key32" /v DefaultInstance /t "$1" /d "$2" /f
}

expect 'KeyMissing 9 [untouched]'

# The 64-bit view is not the one a 32-bit server installer writes.
reg add "$key" /v DefaultInstance /t REG_SZ /d 'C:\Server64\' /f
expect 'KeyMissing 9 [untouched]'

reg add "$key32" /f
expect 'Found 0 []'

set_value REG_SZ 'C:\Program Files (x86)\Firebird\Firebird_3_0\'
expect 'Found 45 [C:\Program Files (x86)\Firebird\Firebird_3_0\]'

# Without the trailing backslash the folder comes back as written; the caller appends one.
set_value REG_SZ 'C:\Program Files (x86)\Firebird\Firebird_3_0'
expect 'Found 44 [C:\Program Files (x86)\Firebird\Firebird_3_0]'

set_value REG_SZ ''
expect 'Found 0 []'

set_value REG_EXPAND_SZ '%ProgramFiles%\Firebird'
expect 'Found 23 [%ProgramFiles%\Firebird]'

long="C:\\$(printf '%0300d' 0)\\"
set_value REG_SZ "$long"
expect "Found 304 [$long]"

set_value REG_DWORD 1
expect "WrongType 9 [untouched] Ungültiger Datentyp für 'DefaultInstance'"

set_value REG_MULTI_SZ 'C:\a\0C:\b'
expect "WrongType 9 [untouched] Ungültiger Datentyp für 'DefaultInstance'"

reg delete "$key32" /v DefaultInstance /f
expect 'Found 0 []'

[ "$failures" -eq 0 ]
