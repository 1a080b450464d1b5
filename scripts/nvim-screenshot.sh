#!/usr/bin/env bash
# docs/nvim-outline.png: Neovim with the set-up of docs/kestrel-lsp.md (its lua block)
# on the sample unit, the outline listed by vim.lsp.buf.document_symbol(),
# run in a detached tmux session and its screen rendered to an image by
# scripts/termshot. Needs nvim and tmux (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
columns=100 rows=34

cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel-lsp >/dev/null
cmake -S scripts/termshot -B build/termshot -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/termshot >/dev/null

home=$(mktemp -d)
socket=kestrel-shot-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/bin" "$home/config/nvim" "$home/work"
ln -s "$root/build/default/lsp/kestrel-lsp" "$home/bin/kestrel-lsp"
cp samples/Unit1.pas "$home/work/"
awk '/^## Neovim/ { found = 1; next }
    found && /^```lua$/ { inside = 1; next }
    inside && /^```$/ { exit }
    inside { print }' docs/kestrel-lsp.md >"$home/config/nvim/init.lua"
echo 'vim.opt.number = true' >>"$home/config/nvim/init.lua"

tmux -L "$socket" -f /dev/null new-session -d -x "$columns" -y "$rows" -c "$home/work" \
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_CACHE_HOME="$home/cache" PATH="$home/bin:$PATH" \
    TERM=tmux-256color nvim -i NONE -n Unit1.pas
sleep 2
tmux -L "$socket" send-keys ':lua vim.lsp.buf.document_symbol()' Enter
sleep 2
tmux -L "$socket" send-keys ':wincmd p' Enter ':echo ""' Enter
sleep 1
tmux -L "$socket" capture-pane -p -e >"$home/screen.txt"
QT_QPA_PLATFORM=offscreen build/termshot/termshot "$columns" "$rows" docs/nvim-outline.png <"$home/screen.txt"
echo "wrote docs/nvim-outline.png"
