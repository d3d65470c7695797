#!/bin/sh
# Every include of a project header points down the layers or stays in its own folder. The
# layers, lowest first; a folder may include its own headers and those of the folders before it.
#   IncludeDirection.sh SOURCE_DIR    (the src folder)
set -eu
src=${1:?usage: IncludeDirection.sh SOURCE_DIR}
layers="text config app/state app/platform app/stddialogs app/windowstate app/search dialogs app"

rank() {
    n=0
    for layer in $layers; do
        n=$((n + 1))
        if [ "$layer" = "$1" ]; then
            echo $n
            return
        fi
    done
    echo 0
}

status=0
cd "$src"
# One file name a line, read whole: a name may hold blanks.
files=$(mktemp)
trap 'rm -f "$files"' EXIT
find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort >"$files"
while IFS= read -r file; do
    own=$(dirname "$file")
    own_rank=$(rank "$own")
    if [ "$own_rank" = 0 ]; then
        echo "$file: folder $own is in no layer"
        status=1
        continue
    fi
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        folder=$(dirname "$header")
        if [ "$folder" = . ]; then
            echo "$file: \"$header\" is not a rooted path"
            status=1
        elif [ ! -f "$header" ]; then
            echo "$file: \"$header\" is not a header of $src"
            status=1
        elif [ "$(rank "$folder")" -gt "$own_rank" ]; then
            echo "$file: includes \"$header\" from the higher layer $folder"
            status=1
        fi
    done
done <"$files"
exit $status
