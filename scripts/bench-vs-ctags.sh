#!/usr/bin/env bash
# Times kestrel-list --json and Universal Ctags' Pascal parser on the same
# generated unit of several MB, side by side.
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${1:-8}
runs=${RUNS:-5}
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel-list make-large-unit >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unit="$work/Large.pas"
build/default/bench/make-large-unit "$megabytes" >"$unit"
size=$(stat -c %s "$unit")

# Best wall time of $runs runs, in milliseconds.
best_ms() {
    local best=""
    for _ in $(seq "$runs"); do
        local start end ms
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}

kestrel=$(best_ms build/default/cli/kestrel-list --json "$unit")
ctags=$(best_ms ctags -x --language-force=Pascal "$unit")
echo "file: $size bytes, best of $runs runs"
printf '%-40s %8s ms\n' "kestrel-list --json" "$kestrel"
printf '%-40s %8s ms\n' "ctags -x --language-force=Pascal" "$ctags"
awk -v k="$kestrel" -v c="$ctags" 'BEGIN { if (k < 1) k = 1; printf "kestrel-list is %.1f times as fast\n", c / k }'
