#!/usr/bin/env bash
# Times kestrel-list --json and Universal Ctags' Pascal parser side by side on
# the same input: a generated unit of several MB, the largest unit of
# fpc-source (sharepoint.pp), and the whole fpc-source tree through one file
# list. Each comparison runs the two commands in turn, RUNS times (default
# 5), and reports the medians and their ratio; the tree also reports
# kestrel-list's peak memory. Installs fpc-source-3.2.2 when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${1:-8}
runs=${RUNS:-5}
fpc=/usr/share/fpcsrc/3.2.2
scripts/install-deps.sh
missing=()
[ -d "$fpc" ] || missing+=(fpc-source-3.2.2)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel-list make-large-unit >/dev/null
lister=build/default/cli/kestrel-list

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unit="$work/Large.pas"
build/default/bench/make-large-unit "$megabytes" >"$unit"
list="$work/units.txt"
find "$fpc" -type f \( -name '*.pas' -o -name '*.pp' \) | sort >"$list"

# Wall time of one run of a command, in milliseconds.
wall_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# compare TITLE -- KESTREL-COMMAND... -- CTAGS-COMMAND...
compare() {
    local title=$1
    shift 2
    local kestrel=() ctags=()
    while [ "$1" != "--" ]; do kestrel+=("$1"); shift; done
    shift
    ctags=("$@")
    "${kestrel[@]}" >/dev/null # warm the page cache
    "${ctags[@]}" >/dev/null
    local k=() c=()
    for _ in $(seq "$runs"); do
        k+=("$(wall_ms "${kestrel[@]}")")
        c+=("$(wall_ms "${ctags[@]}")")
    done
    local km cm
    km=$(printf '%s\n' "${k[@]}" | median)
    cm=$(printf '%s\n' "${c[@]}" | median)
    printf '%-34s kestrel-list %7s ms   ctags %7s ms   ratio %s\n' "$title" "$km" "$cm" \
        "$(awk -v k="$km" -v c="$cm" 'BEGIN { printf "%.3f", (c > 0 ? k / c : 0) }')"
}

echo "median of $runs pairs of runs, wall time; $(nproc) cores; $(wc -l <"$list") units in the tree"
compare "generated unit, $(stat -c %s "$unit") bytes" -- \
    "$lister" --json "$unit" -- ctags -x --language-force=Pascal "$unit"
sharepoint="$fpc/packages/odata/src/sharepoint.pp"
compare "sharepoint.pp, $(stat -c %s "$sharepoint") bytes" -- \
    "$lister" --json "$sharepoint" -- ctags -x --language-force=Pascal "$sharepoint"
compare "fpc-source tree, --files-from / -L" -- \
    "$lister" --json --files-from="$list" -- ctags -x --language-force=Pascal -L "$list"
peak=$(/usr/bin/time -f %M "$lister" --json --files-from="$list" 2>&1 >/dev/null | tail -n 1)
echo "kestrel-list peak memory over the tree: $((peak / 1024)) MB"
