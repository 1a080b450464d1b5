#!/bin/sh
# Runs a Neovim test script headless, with no user configuration: every
# folder Neovim would read or write lies in a temporary folder.
# Usage: run.sh SERVER SAMPLE SCRIPT
set -eu
server=$1 sample=$2 script=$3
command -v nvim >/dev/null || { echo "nvim is not installed (scripts/install-deps.sh)" >&2; exit 1; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/work"
cp "$sample" "$home/work/"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_CACHE_HOME="$home/cache" NVIM_LOG_FILE="$home/nvim.log"
export KESTREL_LSP="$server" KESTREL_UNIT="$home/work/$(basename "$sample")"
status=0
timeout 120 nvim --headless --clean -n -i NONE -u "$script" </dev/null || status=$?
if [ "$status" -ne 0 ] && [ -s "$XDG_CACHE_HOME/nvim/lsp.log" ]; then
    tail -n 20 "$XDG_CACHE_HOME/nvim/lsp.log" >&2
fi
exit "$status"
