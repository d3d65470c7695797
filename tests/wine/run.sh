#!/bin/sh
# Cross-compiles the registry reader with a small driver and runs it under Wine in a fresh
# prefix, checking its answer after each change of the registry.
# Usage: run.sh MINGW_CXX WINE64 WINESERVER SOURCE_DIR WORK_DIR
set -eu

cxx=$1
wine=$2
wineserver=$3
source_dir=$4
work_dir=$5
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$work_dir"
exe="$work_dir/read-default-instance.exe"
"$cxx" -std=c++20 -static -Wall -Wextra -Werror -I"$source_dir" \
    "$source_dir/config/WinRegistry.cpp" "$here/ReadDefaultInstanceMain.cpp" -o "$exe"

prefix=$(mktemp -d)
export WINEPREFIX="$prefix" WINEDEBUG=-all
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
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

set_value REG_SZ ''
expect 'Found 0 []'

set_value REG_EXPAND_SZ '%ProgramFiles%\Firebird'
expect 'Found 23 [%ProgramFiles%\Firebird]'

long="C:\\$(printf '%0300d' 0)\\"
set_value REG_SZ "$long"
expect "Found 304 [$long]"

set_value REG_DWORD 1
expect 'WrongType 9 [untouched]'

set_value REG_MULTI_SZ 'C:\a\0C:\b'
expect 'WrongType 9 [untouched]'

reg delete "$key32" /v DefaultInstance /f
expect 'Found 0 []'

[ "$failures" -eq 0 ]
