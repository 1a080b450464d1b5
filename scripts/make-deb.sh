#!/usr/bin/env bash
# Builds the two Debian packages, kestrel and kestrel-workbench: the release
# preset (GCC, Release, prefix /usr, static command-line programs), then
# CPack. The .debs are left in build/release/.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
(cd build/release && cpack -G DEB)
