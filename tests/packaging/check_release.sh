#!/usr/bin/env bash
# The folder that scripts/make-release.sh made: every file's sum checks, the
# archive holds the two static programs (which run and know their version),
# their man pages and the licence, and nothing is there that SHA256SUMS does
# not name.
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
    "kestrel-$version-linux-x86_64.tar.gz"; do
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
echo "release check passed: $(ls | tr '\n' ' ')"
