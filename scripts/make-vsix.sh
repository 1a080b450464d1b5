#!/usr/bin/env bash
# Builds the VS Code extension as a .vsix for one platform with kestrel-lsp
# inside, and prints the .vsix's path on the last line.
#
#   scripts/make-vsix.sh [--target linux-x64|win32-x64] [--server FILE] [--out DIR]
#
# The target is linux-x64 unless given; win32-x64 holds kestrel-lsp.exe.
# Without --server, kestrel-lsp is built with the release preset, or
# kestrel-lsp.exe with the windows preset (MinGW-w64). The npm packages come
# from editors/vscode/package-lock.json, at its versions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
server=
out=$root/build/vscode
target=linux-x64
usage="usage: $0 [--target linux-x64|win32-x64] [--server FILE] [--out DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --target) target=$2; shift 2 ;;
        --server) server=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
case $target in
    linux-x64) preset=release program=kestrel-lsp strip=strip ;;
    win32-x64) preset=windows program=kestrel-lsp.exe strip=x86_64-w64-mingw32-strip ;;
    *) echo "$usage" >&2; exit 2 ;;
esac

if [ -z "$server" ]; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target kestrel-lsp -j"$(nproc)" >&2
    server=$root/build/$preset/lsp/$program
fi
[ -f "$server" ] || { echo "make-vsix: $server is not a program" >&2; exit 1; }

ext=$root/editors/vscode
cd "$ext"
# node_modules is made again only when the lock file changed since.
if ! cmp -s package-lock.json node_modules/.package-lock.json.installed 2>/dev/null; then
    npm ci --ignore-scripts --no-audit --no-fund --no-update-notifier >&2
    cp package-lock.json node_modules/.package-lock.json.installed
fi

rm -rf server
mkdir -p server "$out"
"$strip" -o "server/$program" "$server"
chmod +x "server/$program"
version=$(node -p "require('./package.json').version")
vsix=$out/kestrel-$target-$version.vsix
npx --no-install vsce package --target "$target" --allow-missing-repository --skip-license \
    --out "$vsix" >&2
rm -rf server
echo "$vsix"
