#!/usr/bin/env bash
# Every test: installs what is missing, builds the normal and the sanitizer
# builds, runs all tests in both, makes the release files from the release
# build and checks them (lintian; the static programs in a bare Debian 11;
# the packages installed and removed in a bare Debian 12), then fuzzes for a
# while
# (KESTREL_FUZZ_SECONDS in all, default 60, shared by the fuzz targets).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

# What is only downloaded and unpacked once a machine (the bare Debian roots,
# the VS Code test's tools) is made beside the builds, which need the cores;
# the tests that use them wait for it, each script holding a lock while it
# works, and say why when it failed.
# In a process group of its own, so that all of it is stopped with the script.
prefetch_log=$(mktemp)
setsid bash -c 'scripts/make-debian-root.sh bullseye; scripts/make-debian-root.sh bookworm
    tests/vscode/install-tools.sh' >"$prefetch_log" 2>&1 &
prefetch=$!
trap 'kill -- -"$prefetch" 2>/dev/null || true; rm -f "$prefetch_log"' EXIT
# Objects are shared with earlier runs and other checkouts wherever this one
# lies: paths are hashed relative to it, and not the build folder's name.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true

for preset in default asan; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    echo "== $preset tests"
    if [ "$preset" = asan ]; then
        # The extension's test drives a whole VS Code for minutes to check
        # the extension; the server's memory errors are the other tests'
        # business, so it runs on the normal build only.
        ctest --preset "$preset" -j"$jobs" -E '^vscode_extension$'
    else
        ctest --preset "$preset" -j"$jobs"
    fi
done

# What a packager builds: only the installed programs and libraries, with
# warnings as errors so that a warning that only optimisation brings out is
# seen here first. Not tested again, but made into the Debian packages, which
# are unpacked and checked, and put through lintian. (clang compiles the
# scanner and the server in the fuzzing build below; a second release build
# with clang would test nothing more.)
echo "== release build, Debian packages and release files"
cmake --preset release -DKESTREL_WERROR=ON >/dev/null
release=$(scripts/make-release.sh | tail -n 1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
arch=$(dpkg --print-architecture)
debs=("$release/kestrel_${version}_$arch.deb" "$release/kestrel-workbench_${version}_$arch.deb")
tests/packaging/check_release.sh "$release" "$version"
tests/packaging/check_install.sh --deb "${debs[@]}" "$version"
tests/packaging/check_lintian.sh "${debs[@]}"
echo "== static programs in a bare Debian 11"
tests/packaging/check_static_programs.sh samples/Unit1.pas build/release/cli/kestrel-list \
    build/release/lsp/kestrel-lsp
echo "== packages in a bare Debian 12"
tests/packaging/check_packages.sh "${debs[@]}" samples/Unit1.pas

echo "== fuzzing"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
corpus=$(mktemp -d)
trap 'kill -- -"$prefetch" 2>/dev/null || true; rm -f "$prefetch_log"; rm -rf "$corpus"' EXIT
# Each target: its seed folder, its dictionary if any, and its share of the
# time. fuzz_textreader holds the reader for text in memory to the
# character reader; fuzz_incremental the server's reading after a change to
# its reading of the whole text.
targets=("fuzz_scan fuzz/corpus fuzz/scan.dict" "fuzz_textreader fuzz/corpus fuzz/scan.dict"
    "fuzz_lsp fuzz/corpus-lsp" "fuzz_incremental fuzz/corpus fuzz/scan.dict")
share=$(( ${KESTREL_FUZZ_SECONDS:-60} / ${#targets[@]} ))
mkdir -p build/fuzz/found
for entry in "${targets[@]}"; do
    read -r target seeds dict <<<"$entry"
    echo "-- $target, ${share}s"
    mkdir -p "$corpus/$target"
    # A failing input is kept in build/fuzz/found/, and the sanitizer's
    # report is shown from its head, which names the fault.
    if ! "build/fuzz/fuzz/$target" -max_total_time="$share" -max_len=65536 ${dict:+-dict="$dict"} \
        -print_final_stats=1 -artifact_prefix=build/fuzz/found/ "$corpus/$target" "$seeds" \
        >"$corpus/$target.log" 2>&1; then
        sed -n '/^==[0-9]*== *ERROR/,$p' "$corpus/$target.log" | head -n 80
        tail -n 4 "$corpus/$target.log"
        exit 1
    fi
    tail -n 12 "$corpus/$target.log"
done
echo "fuzzing passed"
