#!/usr/bin/env bash
# The main job: install what is missing, build, and list the symbols of the
# bundled sample unit.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

sample=samples/Unit1.pas
exec build/default/cli/kestrel-list "$sample"
