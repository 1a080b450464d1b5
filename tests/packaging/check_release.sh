#!/usr/bin/env bash
# The folder that scripts/make-release.sh made: every file's sum checks, the
# Linux archive holds the two static programs (which run and know their
# version), their man pages and the licence; the Windows zip the two .exe
# (x86-64 Windows console programs), the licence and a README; each .vsix
# its platform's server; and nothing is there that SHA256SUMS does not name.
#   check_release.sh FOLDER VERSION
set -euo pipefail
folder=$1 version=$2
fail() { echo "FAIL: $*"; exit 1; }

cd "$folder"
sha256sum --check --quiet SHA256SUMS || fail "a sum in SHA256SUMS does not match"
for file in *; do
    [ "$file" = SHA256SUMS ] || grep -q "  $file\$" SHA256SUMS || fail "$file has no sum"
done
for file in "kestrel_${version}_amd64.deb" "kestrel-workbench_${version}_amd64.deb" \
    "kestrel-$version-linux-x86_64.tar.gz" "kestrel-$version-windows-x86_64.zip"; do
    [ -f "$file" ] || fail "$file is missing"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "kestrel-$version-linux-x86_64.tar.gz" -C "$work"
top=$work/kestrel-$version
for file in bin/kestrel-list bin/kestrel-lsp man/man1/kestrel-list.1 man/man1/kestrel-lsp.1 LICENSE; do
    [ -f "$top/$file" ] || fail "the archive has no $file"
done
for program in kestrel-list kestrel-lsp; do
    file "$top/bin/$program" | grep -q "static-pie linked" || fail "$program in the archive is not static"
    [ "$(env -i "$top/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
done
# Names in a zip (a .vsix is one), one a line.
zip_names() {
    python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$1"
}
names=$(zip_names "kestrel-$version-windows-x86_64.zip")
for file in kestrel-list.exe kestrel-lsp.exe LICENSE README.txt; do
    grep -qx "kestrel-$version/$file" <<<"$names" || fail "the Windows zip has no $file: $names"
done
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "kestrel-$version-windows-x86_64.zip" "$work/windows"
for program in kestrel-list kestrel-lsp; do
    file "$work/windows/kestrel-$version/$program.exe" | grep -q "PE32+ executable (console) x86-64" ||
        fail "$program.exe is not a Windows x86-64 program: $(file "$work/windows/kestrel-$version/$program.exe")"
done
for entry in "linux-x64 extension/server/kestrel-lsp" "win32-x64 extension/server/kestrel-lsp.exe"; do
    read -r target server <<<"$entry"
    vsix=$(ls kestrel-"$target"-*.vsix 2>/dev/null | head -n 1)
    [ -n "$vsix" ] || fail "no $target .vsix"
    names=$(zip_names "$vsix")
    grep -qx "$server" <<<"$names" || fail "$vsix has no $server"
done
echo "release check passed: $(ls | tr '\n' ' ')"
