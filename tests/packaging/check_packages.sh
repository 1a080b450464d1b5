#!/usr/bin/env bash
# The two Debian packages as a user meets them, on a bare Debian 12 (a
# debootstrap minbase root, copied for each run): kestrel installs alone,
# pulling in no other package, and its programs run; kestrel-workbench then
# installs with Qt, starts on an X display and loads its add-in; removing
# both, and what they pulled in, leaves the root as it was.
#   check_packages.sh KESTREL-DEB KESTREL-WORKBENCH-DEB SAMPLE-UNIT
# Skips with the reason where the root cannot be made. Downloaded packages
# and apt's lists are kept in the cache beside the root between runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tools_deb=$(readlink -f "$1") workbench_deb=$(readlink -f "$2") unit=$(readlink -f "$3")
fail() { echo "FAIL: $*"; exit 1; }

# The whole check runs in a mount namespace of its own: its mounts end with it.
if [ -z "${KESTREL_CHECK_NAMESPACE:-}" ]; then
    status=0
    cached=$("$here/../../scripts/make-debian-root.sh" bookworm) || status=$?
    if [ "$status" -eq 77 ]; then
        echo "SKIP: no Debian 12 root to install the packages in (see above)"
        exit 0
    fi
    [ "$status" -eq 0 ] || fail "making the Debian 12 root failed"
    exec unshare --mount --propagation private -- \
        env KESTREL_CHECK_NAMESPACE="$cached" "$0" "$tools_deb" "$workbench_deb" "$unit"
fi
cached=$KESTREL_CHECK_NAMESPACE
cache=$(dirname "$(dirname "$cached")")

installed_size=$(dpkg-deb -f "$tools_deb" Installed-Size)
[ "$installed_size" -le 3072 ] || fail "kestrel takes $installed_size KB installed, over 3 MB"

work=$(mktemp -d)
root=$work/root
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    umount -R "$root" 2>/dev/null || true
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
cp -a "$cached" "$root"
# A mount of its own, so that every mount below it goes with one umount -R.
mount --bind "$root" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service starts in the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
for state in var/cache/apt/archives var/lib/apt/lists; do
    mkdir -p "$cache/apt/bookworm/$state/partial"
    mount --bind "$cache/apt/bookworm/$state" "$root/$state"
done
mount -t proc proc "$root/proc"
mkdir -p "$root/tmp/kestrel"
cp "$tools_deb" "$workbench_deb" "$unit" "$root/tmp/kestrel/"
# The X server's sockets, for the workbench in the root.
mkdir -p -m 1777 /tmp/.X11-unix "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
packages() { in_root dpkg-query -W -f '${Package}\n' | sort; }
# Every file of the root but apt's and dpkg's own records and logs.
files() {
    (cd "$root" && find . -xdev \( -path ./proc -o -path ./tmp -o -path ./var/cache \
        -o -path ./var/lib/apt -o -path ./var/lib/dpkg -o -path ./var/log \) -prune -o -print) | sort
}

in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update failed in the root"; }
packages >"$work/packages-before"
files >"$work/files-before"

# kestrel alone: nothing else comes with it.
in_root apt-get install -y -q "/tmp/kestrel/$(basename "$tools_deb")" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "kestrel did not install"; }
packages >"$work/packages-tools"
added=$(comm -13 "$work/packages-before" "$work/packages-tools" | tr '\n' ' ')
[ "$added" = "kestrel " ] || fail "installing kestrel installed: $added"
name=$(basename "$unit")
for program in kestrel-list kestrel-lsp; do
    in_root "$program" --version | grep -q "^$program " || fail "$program --version does not run"
    in_root man -w "$program" >/dev/null 2>&1 || [ -f "$root/usr/share/man/man1/$program.1.gz" ] ||
        fail "no man page for $program"
done
rows=$(in_root kestrel-list --json "/tmp/kestrel/$name" | grep -c '"line":') ||
    fail "kestrel-list lists no rows"
python3 "$here/lsp_session.py" "$unit" /tmp/kestrel "/tmp/kestrel/$name" Describe -- \
    chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root kestrel-lsp >/dev/null ||
    fail "the installed kestrel-lsp failed an editor's session"

# kestrel-workbench, with Qt, on a display of its own: the dynamic loader's
# log names the add-in it initialised, and the window is mapped.
in_root apt-get install -y -q --no-install-recommends "/tmp/kestrel/$(basename "$workbench_deb")" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "kestrel-workbench did not install"; }
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 300); do grep -q . "$work/display" && break; sleep 0.1; done
grep -q . "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(tr -d '\n' <"$work/display")
addin=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/kestrel/libkestrel0017.so
mkdir -p -m 700 "$root/tmp/home"
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home DISPLAY="$display" \
    LD_DEBUG=libs kestrel-workbench >"$work/workbench.log" 2>&1 &
workbench=$!
loaded=no
for _ in $(seq 300); do
    if grep -q "calling init: $addin\$" "$work/workbench.log" &&
        DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Kestrel'; then
        loaded=yes
        break
    fi
    sleep 0.1
done
kill "$workbench" 2>/dev/null || true
wait "$workbench" 2>/dev/null || true
[ "$loaded" = yes ] || fail "the installed workbench showed no window with $addin loaded: $(grep -v 'calling\|find library\|search path\|trying file' "$work/workbench.log" | tail -n 5)"

# Removal takes everything back.
in_root apt-get purge -y -q kestrel-workbench kestrel >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "the packages did not purge"; }
in_root apt-get autoremove --purge -y -q >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "autoremove failed"; }
packages >"$work/packages-after"
files >"$work/files-after"
diff "$work/packages-before" "$work/packages-after" >/dev/null ||
    fail "packages differ after removal: $(diff "$work/packages-before" "$work/packages-after" | head)"
left=$(comm -13 "$work/files-before" "$work/files-after" | head -n 20)
[ -z "$left" ] || fail "removal left files behind: $left"
echo "package check passed: kestrel alone ($installed_size KB installed), then kestrel-workbench, then nothing left"
