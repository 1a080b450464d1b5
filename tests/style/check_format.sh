#!/usr/bin/env bash
# Every C++ file of the checkout as .clang-format lays it out. Skips (77)
# outside a git checkout or without clang-format.
set -uo pipefail
cd "$(dirname "$0")/../.."
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 77; }
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null) || { echo "not a git checkout"; exit 77; }
unformatted=()
for file in $files; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "not formatted by clang-format (run clang-format -i on them):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "all $(wc -w <<<"$files") C++ files formatted"
