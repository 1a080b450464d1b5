#!/usr/bin/env bash
# The static kestrel-list and kestrel-lsp on a bare Debian 11 (glibc 2.31,
# older than the one they are built on): the two files alone are put into a
# minbase root and run there, kestrel-list --json on a unit and kestrel-lsp
# through an editor's session (outline, workspace index with progress,
# shutdown and exit).
#   check_static_programs.sh SAMPLE-UNIT KESTREL-LIST [KESTREL-LSP]
# (The server is checked only when given.) SAMPLE-UNIT declares Describe.
# The cached root is only read: it is seen through a read-only bind mount in
# a mount namespace of the test's own, with the programs and the unit bound
# at /mnt. Skips with the reason where the root cannot be made.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
unit=$1 list=$2 lsp=${3:-}
fail() { echo "FAIL: $*"; exit 1; }

for program in "$list" ${lsp:+"$lsp"}; do
    file -L "$program" | grep -q "static-pie linked" || fail "$program is not linked statically: $(file -L "$program")"
    ldd "$program" 2>&1 | grep -q "statically linked" || fail "ldd lists libraries for $program"
done

status=0
cached=$("$here/../../scripts/make-debian-root.sh" bullseye) || status=$?
if [ "$status" -eq 77 ]; then
    echo "SKIP: no Debian 11 root to run the static programs in (see above)"
    exit 0
fi
[ "$status" -eq 0 ] || fail "making the Debian 11 root failed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/files/units"
cp "$list" "$work/files/kestrel-list"
[ -z "$lsp" ] || cp "$lsp" "$work/files/kestrel-lsp"
name=$(basename "$unit")
cp "$unit" "$work/files/units/$name"

# A command in the root, with an empty environment: the cached root
# read-only, the test's files at /mnt, all in a mount namespace that ends
# with the command.
in_root=(unshare --mount --propagation private -- sh -c '
    set -e
    mount --bind "$1" "$0"
    mount -o remount,bind,ro "$0"
    mount --bind "$2" "$0/mnt"
    mount -t proc proc "$0/proc"
    shift 2
    exec chroot "$0" env -i PATH=/usr/bin:/bin HOME=/nonexistent "$@"' "$work/root" "$cached" "$work/files")

glibc=$("${in_root[@]}" /usr/bin/ldd --version | sed -n 1p)
case $glibc in *2.31*) ;; *) fail "the root's C library is not Debian 11's: $glibc" ;; esac

json=$("${in_root[@]}" /mnt/kestrel-list --json "/mnt/units/$name") || fail "kestrel-list --json failed in the root"
rows=$(grep -c '"line":' <<<"$json") || fail "kestrel-list gave no rows in the root: $json"
expected=$("$list" --json "$unit" | grep -c '"line":')
[ "$rows" -eq "$expected" ] || fail "kestrel-list gave $rows rows in the root and $expected here"

if [ -n "$lsp" ]; then
    python3 "$here/lsp_session.py" "$unit" /mnt/units "/mnt/units/$name" Describe -- \
        "${in_root[@]}" /mnt/kestrel-lsp || fail "the language server session failed in the root"
fi
echo "static programs check passed on $glibc"
