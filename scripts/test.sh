#!/usr/bin/env bash
# Installs what is missing, builds the tree and runs every test: the normal build, then the
# sanitizer build (AddressSanitizer + UBSan, with the libFuzzer targets for a bounded time),
# then the ThreadSanitizer build of the threaded tests.
#   scripts/test.sh              everything
#   scripts/test.sh default      one preset (default, asan or tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(default asan tsan)
for p in "${presets[@]}"; do
  echo "=== $p: configure" >&2
  cmake --preset "$p" >/dev/null
  echo "=== $p: build" >&2
  cmake --build --preset "$p"
  echo "=== $p: test" >&2
  ctest --preset "$p"
done
