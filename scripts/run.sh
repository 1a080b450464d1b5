#!/usr/bin/env bash
# The main job: install what is missing, build, and open the workbench (the
# stand-in IDE with the Kestrel add-in loaded) on the bundled sample unit.
# Without a display it says so and lists the sample with kestrel-list.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

sample=samples/Unit1.pas
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec build/default/workbench/kestrel-workbench "$sample"
fi
echo "No display found: listing $sample with kestrel-list instead."
echo
exec build/default/cli/kestrel-list "$sample"
