#!/usr/bin/env bash
# The main job: install what is missing, build, and open the workbench (the
# stand-in IDE with the Kestrel add-in loaded) on a copy of the sample unit
# (build/try/Unit1.pas), so that trying it leaves the repository as it was.
# Without a display it says so and lists the sample with kestrel-list.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

sample=samples/Unit1.pas
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    # A copy to try the commands on: bookmarks inserted and saved land in
    # the build folder, not in the repository's sample.
    mkdir -p build/try
    [ -e build/try/Unit1.pas ] || cp "$sample" build/try/Unit1.pas
    exec build/default/workbench/kestrel-workbench build/try/Unit1.pas
fi
echo "No display found: listing $sample with kestrel-list instead."
echo
exec build/default/cli/kestrel-list "$sample"
