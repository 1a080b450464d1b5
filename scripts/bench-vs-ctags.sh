#!/usr/bin/env bash
# Times kestrel-list --json and Universal Ctags' Pascal parser side by side on
# the same input: a generated unit of several MB, the largest unit of
# fpc-source (sharepoint.pp), and the whole fpc-source tree through one file
# list and by -R (beside ctags over that list, and beside ctags' own walk
# over the same extensions). Each comparison runs the commands in turn, RUNS times
# (default 5), and reports the medians and their ratio; the tree also
# reports kestrel-list's peak memory. Installs fpc-source-3.2.2 when it is missing.
#   bench-vs-ctags.sh [--baseline PROGRAM] [--jobs N] [MEGABYTES]
# --baseline times another kestrel-list (the last release's, or main's) in
# the same runs, for a before and after; --jobs N runs the tree with -R -jN
# as well as through the file list. The lister's median CPU time (user and
# system) is given beside its wall time.
set -euo pipefail
cd "$(dirname "$0")/.."

baseline=""
jobs=2
while [ $# -gt 0 ]; do
    case $1 in
        --baseline) baseline=$(readlink -f "$2"); shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        *) break ;;
    esac
done
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
cmake --build --preset default -j"$(nproc)" --target make-large-unit >/dev/null
# KESTREL_LIST names another build of the lister to time, such as the static
# one of the release build.
lister=${KESTREL_LIST:-}
if [ -z "$lister" ]; then
    cmake --build --preset default -j"$(nproc)" --target kestrel-list >/dev/null
    lister=build/default/cli/kestrel-list
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unit="$work/Large.pas"
build/default/bench/make-large-unit "$megabytes" >"$unit"
list="$work/units.txt"
find "$fpc" -type f \( -name '*.pas' -o -name '*.pp' \) | sort >"$list"

# Every Pascal source of the tree, which each timed run finds in the page
# cache: on a virtual machine whose host reclaims idle cached pages, some
# dozens of the tree's files went back to the disk between two runs, and a
# run of 0.1 s spent a sixth of it waiting on the disk for them.
tree="$work/tree.lst"
find "$fpc" -type f \( -iname '*.pas' -o -iname '*.pp' -o -iname '*.p' -o -iname '*.inc' \
    -o -iname '*.lpr' -o -iname '*.dpr' -o -iname '*.dpk' \) -print0 >"$tree"
warm_cache() {
    xargs -0 cat <"$tree" >/dev/null
}

# Wall time of one run of a command, in milliseconds; its CPU time (user
# and system, in milliseconds, to 10 ms) is added to the file $cpu_log. The
# clock is the shell's own: a `date` started on each side of the run added
# 2 to 4 ms to every run, a few hundredths of the lister's time.
cpu_log="$work/cpu.log"
wall_ms() {
    local start end
    warm_cache
    start=${EPOCHREALTIME/[.,]/}
    /usr/bin/time -a -o "$cpu_log" -f '%U %S' "$@" >/dev/null
    end=${EPOCHREALTIME/[.,]/}
    echo $(((end - start) / 1000))
}

# The CPU time of the last run logged, in milliseconds.
last_cpu_ms() {
    tail -n 1 "$cpu_log" | awk '{ printf "%d", ($1 + $2) * 1000 }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# compare TITLE -- KESTREL-ARGS... -- CTAGS-COMMAND...: the lister (and the
# baseline, with the same arguments) against ctags, in turn, RUNS times.
compare() {
    local title=$1
    shift 2
    local args=() ctags=()
    while [ "$1" != "--" ]; do args+=("$1"); shift; done
    shift
    ctags=("$@")
    "$lister" "${args[@]}" >/dev/null # the first run's own costs, once
    "${ctags[@]}" >/dev/null
    local k=() b=() c=() kc=() bc=()
    for _ in $(seq "$runs"); do
        k+=("$(wall_ms "$lister" "${args[@]}")")
        kc+=("$(last_cpu_ms)")
        if [ -n "$baseline" ]; then
            b+=("$(wall_ms "$baseline" "${args[@]}")")
            bc+=("$(last_cpu_ms)")
        fi
        c+=("$(wall_ms "${ctags[@]}")")
    done
    local km cm
    km=$(printf '%s\n' "${k[@]}" | median)
    cm=$(printf '%s\n' "${c[@]}" | median)
    printf '%-34s kestrel-list %7s ms (cpu %s)   ctags %7s ms   ratio %s' "$title" "$km" \
        "$(printf '%s\n' "${kc[@]}" | median)" "$cm" \
        "$(awk -v k="$km" -v c="$cm" 'BEGIN { printf "%.3f", (c > 0 ? k / c : 0) }')"
    if [ -n "$baseline" ]; then
        local bm
        bm=$(printf '%s\n' "${b[@]}" | median)
        printf '   baseline %7s ms (cpu %s), ratio %s' "$bm" "$(printf '%s\n' "${bc[@]}" | median)" \
            "$(awk -v k="$bm" -v c="$cm" 'BEGIN { printf "%.3f", (c > 0 ? k / c : 0) }')"
    fi
    printf '\n'
}

echo "median of $runs pairs of runs, wall time; $(nproc) cores; $(wc -l <"$list") units in the tree"
compare "generated unit, $(stat -c %s "$unit") bytes" -- \
    --json "$unit" -- ctags -x --language-force=Pascal "$unit"
sharepoint="$fpc/packages/odata/src/sharepoint.pp"
compare "sharepoint.pp, $(stat -c %s "$sharepoint") bytes" -- \
    --json "$sharepoint" -- ctags -x --language-force=Pascal "$sharepoint"
compare "fpc-source tree, --files-from / -L" -- \
    --json --files-from="$list" -- ctags -x --language-force=Pascal -L "$list"
# The walk finds the include files too, which the list leaves out: the
# lister does more work here than ctags does.
compare "fpc-source tree, -R -j$jobs / -L" -- \
    -R -j"$jobs" --json "$fpc" -- ctags -x --language-force=Pascal -L "$list"
# The same walk beside ctags' own, over the same seven extensions: both
# read the same 9,197 files.
compare "fpc-source tree, -R -j$jobs / -R" -- \
    -R -j"$jobs" --json "$fpc" -- \
    ctags -R -x --languages=Pascal --langmap=Pascal:.pas.pp.p.inc.lpr.dpr.dpk "$fpc"
peak=$(/usr/bin/time -f %M "$lister" --json --files-from="$list" 2>&1 >/dev/null | tail -n 1)
echo "kestrel-list peak memory over the tree: $((peak / 1024)) MB"
