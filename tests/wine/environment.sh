# The Wine setting the Windows build's tests share, sourced by tests/wine/*.sh (POSIX sh).
# Wine takes the system's language and ANSI code page from the locale's name: German with code
# page 1252, as the program's users' systems have it. The locale must exist (scripts/setup.sh
# makes it), or Wine cannot name files beyond ASCII; the shell keeps its own locale.
wine_locale=de_DE.UTF-8

# Uses the prefix, quietly, without the .NET and HTML engines Wine would offer to install, with
# DLLs found in the Unix folders given separated by ':'.
# Usage: use_wine_prefix PREFIX DLL_FOLDERS
use_wine_prefix() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
    winepath=
    old_ifs=$IFS
    IFS=':'
    for folder in $2; do
        winepath="${winepath:+$winepath;}Z:$(printf '%s' "$folder" | tr '/' '\\')"
    done
    IFS=$old_ifs
    export WINEPATH="$winepath"
}

# Runs a Windows program, or one of Wine's own, with $wine in the German locale.
run_wine() {
    LC_ALL=$wine_locale "$wine" "$@"
}
