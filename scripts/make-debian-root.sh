#!/usr/bin/env bash
# Makes a bare Debian root (debootstrap --variant=minbase) once and prints
# its folder. Roots are cached outside any build folder, in
# $KESTREL_CACHE_DIR (default /var/cache/kestrel), under roots/SUITE, and
# are only ever read: a test copies one before it changes anything.
#   make-debian-root.sh SUITE
# Exits 77 with the reason on standard error where a root cannot be made
# here (not root, no debootstrap, no mirror), so that a caller can skip.
set -euo pipefail

suite=${1:?usage: make-debian-root.sh SUITE}
cache=${KESTREL_CACHE_DIR:-/var/cache/kestrel}
mirror=${KESTREL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
root=$cache/roots/$suite

skip() {
    echo "cannot make a Debian $suite root: $*" >&2
    exit 77
}

if [ -f "$root/.complete" ]; then
    echo "$root"
    exit 0
fi
[ "$(id -u)" -eq 0 ] || skip "debootstrap needs root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"
mkdir -p "$cache/roots" || skip "cannot write to $cache"

# Two tests may ask for the same root at once: one makes it, the other waits.
exec 9>"$cache/roots/$suite.lock"
flock -w 1800 9 || skip "another run has held the lock on $suite for 30 minutes"
if [ -f "$root/.complete" ]; then
    echo "$root"
    exit 0
fi

# Made in a folder of its own and renamed when whole, so an interrupted run
# never leaves a half-made root that looks finished.
rm -rf "$root" "$root.new"
log=$cache/roots/$suite.log
echo "making a bare Debian $suite root in $root (once; the log is $log)" >&2
if ! debootstrap --variant=minbase "$suite" "$root.new" "$mirror" >"$log" 2>&1; then
    rm -rf "$root.new"
    if grep -qiE "failed getting release file|couldn't download|temporary failure|could not resolve" "$log"; then
        skip "the mirror $mirror cannot be reached (see $log)"
    fi
    tail -n 20 "$log" >&2
    echo "debootstrap failed" >&2
    exit 1
fi
# Downloaded packages are of no use in a root that is only copied.
rm -rf "$root.new"/var/cache/apt/archives/*.deb
touch "$root.new/.complete"
mv "$root.new" "$root"
echo "$root"
