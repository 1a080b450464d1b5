#!/usr/bin/env bash
# Every test: installs what is missing, builds the normal and the sanitizer
# builds, runs all tests in both, builds the Release builds with GCC and
# clang, then fuzzes for a while
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

# What a packager builds, in Release with both compilers: only the installed
# programs and libraries, with warnings as errors so that a warning that
# only optimisation brings out is seen here first. Not tested again, but the
# GCC build is made into the Debian package, which is unpacked and checked.
echo "== release build and Debian package"
cmake --preset release -DKESTREL_WERROR=ON >/dev/null
scripts/make-deb.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
tests/packaging/check_install.sh --deb "build/release/kestrel_${version}_$(dpkg --print-architecture).deb" "$version"
echo "== release-clang build"
cmake --preset release-clang -DKESTREL_WERROR=ON >/dev/null
cmake --build --preset release-clang -j"$jobs"

echo "== fuzzing"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Each target: its seed folder, its dictionary if any, and its share of the
# time. fuzz_textreader holds the reader for text in memory to the
# character reader; fuzz_incremental the server's reading after a change to
# its reading of the whole text.
targets=("fuzz_scan fuzz/corpus fuzz/scan.dict" "fuzz_textreader fuzz/corpus fuzz/scan.dict"
    "fuzz_lsp fuzz/corpus-lsp" "fuzz_incremental fuzz/corpus fuzz/scan.dict")
share=$(( ${KESTREL_FUZZ_SECONDS:-60} / ${#targets[@]} ))
for entry in "${targets[@]}"; do
    read -r target seeds dict <<<"$entry"
    echo "-- $target, ${share}s"
    mkdir -p "$corpus/$target"
    "build/fuzz/fuzz/$target" -max_total_time="$share" -max_len=65536 ${dict:+-dict="$dict"} \
        -print_final_stats=1 "$corpus/$target" "$seeds" 2>&1 | tail -n 12
done
echo "fuzzing passed"
