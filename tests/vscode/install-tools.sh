#!/usr/bin/env bash
# Installs code-server and playwright-core, at the versions pinned by
# tools/package-lock.json, into a cache folder of their own, and prints that
# folder on the last line. A second run with the same lock file reuses it, so
# the slow part (code-server compiles native modules) happens once a machine.
#
# Nothing is fetched from anywhere but the npm registry:
# - @vscode/ripgrep would download its binary; it is handed Debian's rg in
#   the cache file it looks for first;
# - node-pty's build runs `npx node-gyp`, which would wait at a prompt;
# - code-server's install steps need --unsafe-perm when run as root.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
lock=$here/tools/package-lock.json
key=$(sha256sum "$lock" | cut -c1-16)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/kestrel-vscode
dir=$cache_root/tools-$key

if [ -f "$dir/.complete" ]; then
    echo "$dir"
    exit 0
fi

for tool in node npm rg tar; do
    command -v "$tool" >/dev/null || { echo "install-tools: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

mkdir -p "$cache_root"
# Two runs at once (the test command installs ahead while it builds): one
# installs, the other waits for it and takes what it made.
exec 9>"$cache_root/.install.lock"
flock -w 2400 9 || { echo "install-tools: another install has held the lock for 40 minutes" >&2; exit 1; }
if [ -f "$dir/.complete" ]; then
    echo "$dir"
    exit 0
fi
work=$(mktemp -d "$cache_root/.install-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$here/tools/package.json" "$lock" "$work/"

# The ripgrep binary, where @vscode/ripgrep looks before downloading.
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR/vscode-ripgrep-cache-1.15.11" "$work/rg"
cp "$(command -v rg)" "$work/rg/rg"
tar czf "$TMPDIR/vscode-ripgrep-cache-1.15.11/ripgrep-v13.0.0-10-x86_64-unknown-linux-musl.tar.gz" \
    -C "$work/rg" rg

echo "install-tools: installing code-server and playwright-core into $dir (once; several minutes)" >&2
(
    cd "$work"
    export npm_config_yes=true npm_config_update_notifier=false npm_config_fund=false \
        npm_config_audit=false
    timeout 1800 npm ci --unsafe-perm --no-progress >"$work/npm.log" 2>&1
) || {
    tail -n 40 "$work/npm.log" >&2
    echo "install-tools: npm ci failed" >&2
    exit 1
}

rm -rf "$TMPDIR" "$work/rg"
touch "$work/.complete"
rm -rf "$dir"
mv "$work" "$dir"
trap - EXIT
echo "$dir"
