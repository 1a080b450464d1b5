#!/usr/bin/env bash
# Times the Windows kestrel-lsp.exe under Wine beside the Linux kestrel-lsp,
# in one run with one client (compare_lsp.py: fpc-source's tree indexed,
# sharepoint.pp's first outline, ...). Wine gets a prefix of its own in a
# temporary folder, made and with its wineserver kept running before the
# first figure, so that no figure but start-up holds Wine's own start-up.
#   bench/compare_windows.sh LINUX-KESTREL-LSP WINDOWS-KESTREL-LSP-EXE [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { sed -n '2,7p' "$0"; exit 2; }
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "compare_windows: Wine is not installed" >&2; exit 1; }
home=$(mktemp -d)
export HOME=$home WINEPREFIX=$home/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=" KESTREL_WINE=$wine
trap 'timeout 30 "$wineserver" -k || true; rm -rf "$home"' EXIT
timeout 300 "$wine" "$2" --version >/dev/null
"$wineserver" -p || true  # kept running between the servers, not started for each
python3 "$here/compare_lsp.py" "$1" "$2" "${3:-5}"
