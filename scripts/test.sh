#!/usr/bin/env bash
# Every test: installs what is missing, builds the normal and the sanitizer
# builds, runs all tests in both, then fuzzes for a while
# (KESTREL_FUZZ_SECONDS in all, default 60, shared by the fuzz targets).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

for preset in default asan; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    echo "== $preset tests"
    ctest --preset "$preset" -j"$jobs"
done

echo "== fuzzing"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# The scanner and host buffer, then the reader for text in memory against
# the character reader; each target has half the time.
total=${KESTREL_FUZZ_SECONDS:-60}
for target in fuzz_scan fuzz_textreader; do
    mkdir -p "$corpus/$target"
    echo "-- $target"
    build/fuzz/fuzz/$target -max_total_time=$(( (total + 1) / 2 )) -max_len=65536 \
        -dict=fuzz/scan.dict -print_final_stats=1 "$corpus/$target" fuzz/corpus 2>&1 | tail -n 12
done
echo "fuzzing passed"
