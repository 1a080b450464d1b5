#!/usr/bin/env bash
# kestrel-lsp.exe under Wine: --version, then an editor's session over
# pipes (lsp_session_windows.py).
#   check_lsp.sh WINDOWS-BUILD-DIR SAMPLE-UNIT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe_dir=$1 sample=$2
fail() { echo "FAIL: $*"; exit 1; }
source "$here/wine_env.sh"
lsp=$exe_dir/lsp/kestrel-lsp.exe

version=$(run_wine "$lsp" --version) || fail "--version failed"
[[ $version == "kestrel-lsp "[0-9]* ]] || fail "--version said: $version"

mkdir -p "$wine_home/work"
x86_64-w64-mingw32-gcc-posix -O1 -municode -o "$wine_home/hold_file.exe" "$here/hold_file.c" ||
    fail "cannot build the holding program"
timeout 300 python3 "$here/lsp_session_windows.py" "$sample" "$wine_home/work" \
    "$wine_home/hold_file.exe" -- "$wine" "$lsp"
