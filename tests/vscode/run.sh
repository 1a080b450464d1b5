#!/usr/bin/env bash
# The VS Code extension in a real VS Code: code-server on 127.0.0.1 with
# folders of its own, the .vsix installed into it, and Debian's chromium
# driven through playwright-core by drive.js.
#
#   run.sh KESTREL_LSP KESTREL_LIST WORK_DIR [--measure]
#
# First the checks run with the packed server; then once more with
# kestrel.serverPath set to /bin/false, where the same checks must fail, and
# with a server that never answers, which must be stopped.
# With --measure, times the large unit instead (no checks). Screenshots and
# logs stay in WORK_DIR/artifacts when something fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lsp=$1 list=$2 work=$3 mode=${4:-check}
chromium=/usr/lib/chromium/chromium
[ -x "$chromium" ] || { echo "vscode test: $chromium is missing (scripts/install-deps.sh installs chromium)" >&2; exit 1; }

tools=$(timeout 2400 "$here/install-tools.sh" | tail -n 1)
rm -rf "$work"
mkdir -p "$work/artifacts" "$work/home"
vsix=$(timeout 900 "$root/scripts/make-vsix.sh" --server "$lsp" --out "$work" | tail -n 1)

# The parts that need no VS Code: the grammar in VS Code's TextMate engine,
# the incremental bookmark lines against a full scan, and where the server
# is looked for on Windows and Linux.
node "$here/grammar.js" "$tools" "$root/editors/vscode/syntaxes/pascal.tmLanguage.json"
node "$here/bookmark-lines.js" "$root/editors/vscode/out"
node "$here/server-path.js" "$root/editors/vscode/out"

# Nothing of the real user's: home, settings and caches all in $work.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data \
    XDG_CACHE_HOME=$work/home/cache XDG_STATE_HOME=$work/home/state
unset VSCODE_IPC_HOOK_CLI
code_server=$tools/node_modules/.bin/code-server

server_pgid=
stop_server() {
    if [ -n "$server_pgid" ] && kill -0 -- "-$server_pgid" 2>/dev/null; then
        kill -TERM -- "-$server_pgid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 -- "-$server_pgid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$server_pgid" 2>/dev/null || true
    fi
    server_pgid=
}
trap stop_server EXIT

# One VS Code: its own config, user data and extensions folders, settings
# from $2, the workspace $3. Sets $url.
start_code_server() {
    local name=$1 settings=$2 workspace=$3
    local dir=$work/$name
    mkdir -p "$dir/user-data/User" "$dir/extensions"
    printf '%s\n' "$settings" >"$dir/user-data/User/settings.json"
    printf 'bind-addr: 127.0.0.1:0\nauth: none\ncert: false\n' >"$dir/config.yaml"
    timeout 300 "$code_server" --config "$dir/config.yaml" --user-data-dir "$dir/user-data" \
        --extensions-dir "$dir/extensions" --install-extension "$vsix" >"$dir/install.log" 2>&1 || {
        cat "$dir/install.log" >&2
        return 1
    }
    setsid "$code_server" --config "$dir/config.yaml" --user-data-dir "$dir/user-data" \
        --extensions-dir "$dir/extensions" --disable-telemetry --disable-update-check \
        --disable-workspace-trust --disable-getting-started-override --ignore-last-opened \
        "$workspace" >"$dir/code-server.log" 2>&1 &
    server_pgid=$!
    url=
    for _ in $(seq 300); do
        url=$(sed -n 's|.*HTTP server listening on \(http://127\.0\.0\.1:[0-9]*\)/.*|\1|p' "$dir/code-server.log" | head -n 1)
        [ -n "$url" ] && break
        kill -0 "$server_pgid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$url" ] || { echo "vscode test: code-server did not start" >&2; cat "$dir/code-server.log" >&2; return 1; }
}

# Keeps the logs of a run that failed beside its screenshots.
keep_logs() {
    local name=$1
    mkdir -p "$work/artifacts/$name"
    cp "$work/$name/code-server.log" "$work/artifacts/$name/" 2>/dev/null || true
    cp -r "$work/$name/user-data/logs" "$work/artifacts/$name/vscode-logs" 2>/dev/null || true
}

settings='{
  "workbench.startupEditor": "none",
  "workbench.tips.enabled": false,
  "workbench.enableExperiments": false,
  "telemetry.telemetryLevel": "off",
  "update.mode": "none",
  "extensions.autoCheckUpdates": false,
  "extensions.autoUpdate": false,
  "security.workspace.trust.enabled": false,
  "files.autoSave": "off",
  "editor.minimap.enabled": false,
  "editor.quickSuggestions": {"other": "off", "comments": "off", "strings": "off"},
  "editor.acceptSuggestionOnEnter": "off",
  "window.commandCenter": false,
  "chat.commandCenter.enabled": false,
  "git.enabled": false,
  "git.openRepositoryInParentFolders": "never"
  KESTREL_EXTRA
}'

workspace=$work/workspace
mkdir -p "$workspace"
cp "$root/samples/Unit1.pas" "$workspace/"
drive() {
    timeout 600 node "$here/drive.js" "$@"
}
export KESTREL_TOOLS=$tools KESTREL_CHROMIUM=$chromium KESTREL_LIST=$list \
    KESTREL_WORKSPACE=$workspace KESTREL_ARTIFACTS=$work/artifacts

if [ "$mode" = --measure ]; then
    start_code_server measure "${settings/KESTREL_EXTRA/${KESTREL_MEASURE_SETTINGS:-}}" "$workspace"
    drive measure "$url" || { keep_logs measure; exit 1; }
    exit 0
fi

start_code_server checks "${settings/KESTREL_EXTRA/}" "$workspace"
export KESTREL_EXTENSIONS=$work/checks/extensions
drive checks "$url" || { keep_logs checks; echo "vscode test failed; see $work/artifacts" >&2; exit 1; }
stop_server

# The same checks against a server that exits at once must fail, and the
# user must be told what to set.
rm -rf "$workspace"
mkdir -p "$workspace"
cp "$root/samples/Unit1.pas" "$workspace/"
start_code_server broken "${settings/KESTREL_EXTRA/, \"kestrel.serverPath\": \"/bin/false\"}" "$workspace"
drive broken "$url" || { keep_logs broken; echo "vscode test failed with a broken server; see $work/artifacts" >&2; exit 1; }
stop_server

# A server that never answers the handshake is stopped after a while, and the
# user is told. It reads its input to the end, so that it also ends when
# nothing stops it but the editor going away.
hanging=$work/hanging-server
printf '#!/bin/sh\nwhile read -r line; do :; done\n' >"$hanging"
chmod +x "$hanging"
start_code_server hanging "${settings/KESTREL_EXTRA/, \"kestrel.serverPath\": \"$hanging\"}" "$workspace"
drive hanging "$url" || { keep_logs hanging; echo "vscode test failed with a hanging server; see $work/artifacts" >&2; exit 1; }
if pgrep -f "$hanging" >/dev/null; then
    echo "vscode test failed: the hanging server was left running" >&2
    exit 1
fi
stop_server
echo "vscode test passed"
