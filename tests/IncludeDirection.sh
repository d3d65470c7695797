#!/bin/sh
# Every include of a project header is a rooted path to a header of src/, from the including
# file's own folder or from a folder that src/Dependencies.txt lets that folder include from.
#   IncludeDirection.sh SOURCE_DIR    (the src folder)
set -eu
src=${1:?usage: IncludeDirection.sh SOURCE_DIR}
table="$(cd "$src" && pwd)/Dependencies.txt"
[ -f "$table" ] || { echo "$table is missing"; exit 1; }

# The folders the folder may include from, blank-separated; "-" when the table has no line for it.
allowed() {
    line=$(grep "^$1:" "$table") || { echo -; return; }
    echo "${line#*:}"
}

status=0
cd "$src"
# One file name a line, read whole: a name may hold blanks.
files=$(mktemp)
trap 'rm -f "$files"' EXIT
find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort >"$files"
while IFS= read -r file; do
    own=$(dirname "$file")
    own_allowed=$(allowed "$own")
    if [ "$own_allowed" = - ]; then
        echo "$file: folder $own has no line in Dependencies.txt"
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
        elif [ "$folder" != "$own" ]; then
            case " $own_allowed " in
                *" $folder "*) ;;
                *)
                    echo "$file: includes \"$header\", but Dependencies.txt does not let $own include from $folder"
                    status=1
                    ;;
            esac
        fi
    done
done <"$files"
exit $status
