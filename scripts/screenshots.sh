#!/usr/bin/env bash
# Builds and writes the README's pictures of the windows into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel-screenshots
QT_QPA_PLATFORM=offscreen build/default/workbench/kestrel-screenshots docs samples/Unit1.pas
ls docs/*.png
