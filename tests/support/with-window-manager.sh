#!/usr/bin/env bash
# Runs a command on a display of its own: a private Xvfb server with the
# openbox window manager, both stopped when the command ends. The server picks
# a free display number (-displayfd) and admits only clients with a fresh
# cookie; HOME and the XDG folders point at a temporary folder, so nothing of
# the real user's is read or written.
#   with-window-manager.sh [--screen WIDTHxHEIGHT] COMMAND [ARG...]
set -uo pipefail

screen=1280x1024
if [ "${1:-}" = "--screen" ]; then
    screen=$2
    shift 2
fi

work=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "with-window-manager: $*" >&2
    [ -s "$work/xvfb.log" ] && cat "$work/xvfb.log" >&2
    exit 1
}

# Waits for a command to succeed: up to 30 seconds, for a machine busy with a
# parallel build and test run starts the server and the manager slowly.
wait_for() {
    for _ in $(seq 300); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

export XAUTHORITY="$work/Xauthority"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
# The server accepts every cookie in its file, whatever display it names.
xauth -q -f "$XAUTHORITY" add :0 MIT-MAGIC-COOKIE-1 "$cookie" 2>/dev/null || fail "xauth failed"

# Parallel servers race for display numbers: one may report a number whose
# socket another took, so the display is tried before it is used, and the
# server started again with a new number when it does not answer.
start_server() {
    : >"$work/display"
    Xvfb -displayfd 3 -auth "$XAUTHORITY" -screen 0 "${screen}x24" -nolisten tcp \
        3>"$work/display" 2>>"$work/xvfb.log" &
    xvfb=$!
    wait_for grep -q . "$work/display" || return 1
    export DISPLAY=":$(tr -d '\n' <"$work/display")"
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"
    wait_for xprop -root _NET_SUPPORTING_WM_CHECK
}
started=""
for _ in 1 2 3; do
    if start_server; then
        started=yes
        break
    fi
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
done
[ -n "$started" ] || fail "Xvfb did not start"

export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
# No session bus: the programs on this display must not reach the user's.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
unset WAYLAND_DISPLAY SESSION_MANAGER

# The root's check window names the manager once it is ready. A manager that
# lost its connection while the machine was busy is started once more.
managed=""
for _ in 1 2; do
    openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >>"$work/openbox.log" 2>&1 &
    wm=$!
    if wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
        managed=yes
        break
    fi
    kill "$wm" 2>/dev/null
    wait "$wm" 2>/dev/null
done
[ -n "$managed" ] || fail "openbox is not managing the display: $(cat "$work/openbox.log")"

"$@"
