#!/usr/bin/env bash
# The docs page's Emacs set-up in Emacs with eglot, in batch mode: the elisp
# block is taken from the docs page and loaded as a user's init file would be,
# with kestrel-lsp on the PATH and a home of the test's own.
# Usage: run.sh SERVER PAGE SAMPLE_UNIT
set -euo pipefail
server=$1 readme=$2 sample=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v emacs >/dev/null || { echo "emacs is not installed (scripts/install-deps.sh)" >&2; exit 1; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/bin" "$home/work"
ln -s "$(readlink -f "$server")" "$home/bin/kestrel-lsp"
cp "$sample" "$home/work/Unit1.pas"
awk '$0 == "## Emacs (eglot)" { found = 1; next }
    found && /^```elisp$/ { inside = 1; next }
    inside && /^```$/ { exit }
    inside { print }' "$readme" >"$home/readme.el"
[ -s "$home/readme.el" ] || { echo "FAIL: no elisp block in the docs page's Emacs section"; exit 1; }
cd "$home/work"
HOME="$home" PATH="$home/bin:$PATH" XDG_CONFIG_HOME="$home/config" \
    timeout 120 emacs --batch --no-init-file -l "$home/readme.el" -l "$here/eglot-checks.el"
