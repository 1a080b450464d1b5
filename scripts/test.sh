#!/usr/bin/env bash
# Every test: installs what is missing, builds the normal and the sanitizer
# builds, runs all tests in both, then fuzzes the scanner for a while
# (KESTREL_FUZZ_SECONDS, default 60).
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
build/fuzz/fuzz/fuzz_scan -max_total_time="${KESTREL_FUZZ_SECONDS:-60}" -max_len=65536 \
    -print_final_stats=1 "$corpus" fuzz/corpus 2>&1 | tail -n 12
echo "fuzzing passed"
