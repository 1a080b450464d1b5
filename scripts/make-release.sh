#!/usr/bin/env bash
# Makes every file a release publishes, into one folder, and prints that
# folder on its last line:
#   kestrel_VERSION_amd64.deb, kestrel-workbench_VERSION_amd64.deb
#   kestrel-VERSION-linux-x86_64.tar.gz  the static kestrel-list and
#                                        kestrel-lsp, their man pages, LICENSE
#   *.vsix                               the VS Code extension, where
#                                        scripts/make-vsix.sh exists
#   SHA256SUMS                           the SHA-256 of each, for sha256sum -c
# Everything comes from one release build (scripts/make-deb.sh). The archive
# is made the same way each time: files in name order, owned by root, with
# the time of the last commit.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

scripts/make-deb.sh >&2
build=build/release
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
for program in "$build/cli/kestrel-list" "$build/lsp/kestrel-lsp"; do
    if ! file -L "$program" | grep -q "static-pie linked"; then
        echo "make-release: $program is not linked statically" >&2
        exit 1
    fi
done

out=$top/build/release-files/$version
rm -rf "$out"
mkdir -p "$out"
cp "$build/kestrel_${version}_$arch.deb" "$build/kestrel-workbench_${version}_$arch.deb" "$out/"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name=kestrel-$version
mkdir -p "$stage/$name/bin" "$stage/$name/man/man1"
strip -o "$stage/$name/bin/kestrel-list" "$build/cli/kestrel-list"
strip -o "$stage/$name/bin/kestrel-lsp" "$build/lsp/kestrel-lsp"
cp "$build/packaging/man/kestrel-list.1" "$build/packaging/man/kestrel-lsp.1" "$stage/$name/man/man1/"
cp LICENSE "$stage/$name/"
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 0)
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" -C "$stage" -cf - "$name" |
    gzip -9n >"$out/$name-linux-x86_64.tar.gz"

if [ -x scripts/make-vsix.sh ]; then
    vsix=$(scripts/make-vsix.sh --server "$top/$build/lsp/kestrel-lsp" --out "$stage/vsix" | tail -n 1)
    cp "$vsix" "$out/"
fi

(cd "$out" && sha256sum -- *.deb *.tar.gz $(ls *.vsix 2>/dev/null) >SHA256SUMS)
echo "$out"
