#!/usr/bin/env bash
# Makes every file a release publishes, into one folder, and prints that
# folder on its last line:
#   kestrel_VERSION_amd64.deb, kestrel-workbench_VERSION_amd64.deb
#   kestrel-VERSION-linux-x86_64.tar.gz  the static kestrel-list and
#                                        kestrel-lsp, their man pages, LICENSE
#   kestrel-VERSION-windows-x86_64.zip   kestrel-list.exe and kestrel-lsp.exe
#                                        (cross-built with MinGW-w64),
#                                        LICENSE and a README for Windows
#   *.vsix                               the VS Code extension for linux-x64
#                                        and win32-x64
#   SHA256SUMS                           the SHA-256 of each, for sha256sum -c
# The Linux files come from one release build (scripts/make-deb.sh), the
# Windows files from the windows preset. The archives are made the same way
# each time: files in name order, owned by root, with the time of the last
# commit.
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

command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
    echo "make-release: the Windows programs need MinGW-w64 (scripts/install-deps.sh installs it)" >&2
    exit 1
}
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" >&2
windows=build/windows
winname=$name-windows-x86_64
mkdir -p "$stage/$winname/$name"
x86_64-w64-mingw32-strip -o "$stage/$winname/$name/kestrel-list.exe" "$windows/cli/kestrel-list.exe"
x86_64-w64-mingw32-strip -o "$stage/$winname/$name/kestrel-lsp.exe" "$windows/lsp/kestrel-lsp.exe"
ext_version=$(sed -n 's/^  "version": "\(.*\)",$/\1/p' editors/vscode/package.json)
# The README with Windows line ends, as every editor there shows them.
sed -e "s/@VERSION@/$version/g" -e "s/@EXT_VERSION@/$ext_version/g" -e 's/$/\r/' \
    packaging/windows/README.txt >"$stage/$winname/$name/README.txt"
cp LICENSE "$stage/$winname/$name/"
python3 - "$stage/$winname" "$name" "$out/$winname.zip" "$stamp" <<'PYTHON'
import os, sys, time, zipfile
folder, name, zip_path, stamp = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
when = time.gmtime(max(stamp, 315532800))[:6]  # zip dates start in 1980
with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for file in sorted(os.listdir(os.path.join(folder, name))):
        entry = zipfile.ZipInfo(f"{name}/{file}", when)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        with open(os.path.join(folder, name, file), "rb") as f:
            archive.writestr(entry, f.read())
PYTHON

for target in linux-x64 win32-x64; do
    server=$top/$build/lsp/kestrel-lsp
    [ "$target" = linux-x64 ] || server=$top/$windows/lsp/kestrel-lsp.exe
    vsix=$(scripts/make-vsix.sh --target "$target" --server "$server" --out "$stage/vsix" | tail -n 1)
    cp "$vsix" "$out/"
done

(cd "$out" && sha256sum -- *.deb *.tar.gz *.zip *.vsix >SHA256SUMS)
echo "$out"
