#!/usr/bin/env bash
# Builds the VS Code extension as a linux-x64 .vsix with kestrel-lsp inside,
# and prints the .vsix's path on the last line.
#
#   scripts/make-vsix.sh [--server FILE] [--out DIR]
#
# Without --server, kestrel-lsp is built with the release preset. The npm
# packages come from editors/vscode/package-lock.json, at its versions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
server=
out=$root/build/vscode
while [ $# -gt 0 ]; do
    case $1 in
        --server) server=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: $0 [--server FILE] [--out DIR]" >&2; exit 2 ;;
    esac
done

if [ -z "$server" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target kestrel-lsp -j"$(nproc)" >&2
    server=$root/build/release/lsp/kestrel-lsp
fi
[ -x "$server" ] || { echo "make-vsix: $server is not a program" >&2; exit 1; }

ext=$root/editors/vscode
cd "$ext"
# node_modules is made again only when the lock file changed since.
if ! cmp -s package-lock.json node_modules/.package-lock.json.installed 2>/dev/null; then
    npm ci --ignore-scripts --no-audit --no-fund --no-update-notifier >&2
    cp package-lock.json node_modules/.package-lock.json.installed
fi

rm -rf server
mkdir -p server "$out"
strip -o server/kestrel-lsp "$server"
version=$(node -p "require('./package.json').version")
vsix=$out/kestrel-linux-x64-$version.vsix
npx --no-install vsce package --target linux-x64 --allow-missing-repository --skip-license \
    --out "$vsix" >&2
rm -rf server
echo "$vsix"
