#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets:
# every program and library in its place, each program's --version, man
# pages that format without a warning, and an installed workbench that
# loads the installed add-in with no environment variable set.
set -euo pipefail
# Either check_install.sh BUILD_DIR VERSION (cmake --install into a temporary
# prefix) or check_install.sh --deb PACKAGE... VERSION (the packages unpacked
# into one root, as installing them all lays them out).
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if [ "$1" = --deb ]; then
    shift
    version=${*: -1}
    for package in "${@:1:$#-1}"; do
        dpkg-deb -x "$package" "$root"
    done
    prefix=$root/usr
    libdir=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
else
    build=$1
    version=$2
    prefix=$root
    cmake --install "$build" --prefix "$prefix" >/dev/null
    libdir=$(sed -n "s/^CMAKE_INSTALL_LIBDIR:PATH=//p" "$build/CMakeCache.txt")
fi
expected=(
    bin/kestrel-list bin/kestrel-lsp bin/kestrel-workbench
    "$libdir/kestrel/libkestrel0017.so" "$libdir/kestrel/libkestrel0016.so"
    "$libdir/kestrel/libkestrelmm.so"
    share/man/man1/kestrel-list.1.gz share/man/man1/kestrel-lsp.1.gz
    share/man/man1/kestrel-workbench.1.gz
    share/applications/kestrel-workbench.desktop
    share/icons/hicolor/scalable/apps/kestrel-workbench.svg
)
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done

# Installed files find each other relative to themselves, never through a
# path into the build tree.
for file in "$prefix"/bin/* "$prefix/$libdir"/kestrel/*; do
    runpath=$(readelf -d "$file" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
    if tr ':' '\n' <<<"$runpath" | grep -v '^$' | grep -qv '^\$ORIGIN'; then
        fail "$file has the search path '$runpath'"
    fi
done

for program in kestrel-list kestrel-lsp; do
    out=$(env -i "$prefix/bin/$program" --version) || fail "$program --version exits non-zero"
    [ "$out" = "$program $version" ] || fail "$program --version says '$out'"
done
home="$root/home"
mkdir -p -m 700 "$home"
# No display, no platform plugin named: --version needs no window system.
out=$(env -i HOME="$home" XDG_RUNTIME_DIR="$home" "$prefix/bin/kestrel-workbench" --version) ||
    fail "kestrel-workbench --version exits non-zero"
[ "$out" = "Kestrel Workbench $version" ] || fail "kestrel-workbench --version says '$out'"

for page in "$prefix"/share/man/man1/*.1.gz; do
    if zcat "$page" | grep -q '@'; then fail "$page has an unreplaced @VARIABLE@"; fi
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

# The installed workbench, with an empty environment and a home of its own:
# the dynamic loader's log shows which add-in it initialised.
addin=$(readlink -f "$prefix/$libdir/kestrel/libkestrel0017.so")
env -i HOME="$home" XDG_RUNTIME_DIR="$home" QT_QPA_PLATFORM=offscreen LD_DEBUG=libs \
    "$prefix/bin/kestrel-workbench" >"$root/log" 2>&1 &
workbench=$!
for _ in $(seq 200); do
    grep -q "calling init: $addin\$" "$root/log" && break
    sleep 0.1
done
kill "$workbench" 2>/dev/null || true
wait "$workbench" 2>/dev/null || true
grep -q "calling init: $addin\$" "$root/log" || fail "the installed workbench did not load $addin"
if grep "calling init:" "$root/log" | grep "kestrel[^/]*\.so\$" | grep -vqF "$root"; then
    fail "the installed workbench loaded a library of ours from elsewhere"
fi
echo "install check passed"
