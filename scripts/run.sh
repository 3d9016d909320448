#!/usr/bin/env bash
# Installs what is missing, builds the release tree and runs the main job on its embedded defaults.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/bin/hwr info "$@"
