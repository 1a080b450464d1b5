#!/bin/sh
# Fails when the rooms (subfolders) of a program include each other in a
# loop: a header included by its bare name belongs to the room that holds it,
# and every include between two rooms is an edge for tsort, which refuses a
# graph with a cycle and names the rooms on it.
# Usage: check_room_includes.sh FOLDER
set -eu
folder=${1:?usage: check_room_includes.sh FOLDER}
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

# Each room's headers, "name room" a line.
headers=$(find "$folder" -mindepth 2 -maxdepth 2 -type f -name '*.h' |
    awk -F/ '{ print $NF, $(NF-1) }')

for file in $(find "$folder" -mindepth 2 -maxdepth 2 -type f \( -name '*.h' -o -name '*.cpp' \)); do
    room=$(basename "$(dirname "$file")")
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" |
        while read -r included; do
            printf '%s\n' "$headers" | awk -v name="$(basename "$included")" -v from="$room" \
                '$1 == name && $2 != from { print from, $2 }'
        done
done | sort -u >"$edges"

if ! tsort "$edges" >/dev/null; then
    echo "the rooms of $folder include each other in a loop; includes between rooms:" >&2
    cat "$edges" >&2
    exit 1
fi
echo "no loop among the includes between the rooms of $folder ($(wc -l <"$edges") edges)"
