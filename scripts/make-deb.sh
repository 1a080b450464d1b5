#!/usr/bin/env bash
# Builds the Debian package: the release preset (GCC, Release, prefix /usr),
# then CPack. The .deb is left in build/release/.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
(cd build/release && cpack -G DEB)
