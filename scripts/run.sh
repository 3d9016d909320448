#!/usr/bin/env bash
# Installs what is missing, builds the release tree and starts the tray program quorvex from it
# (its program directory build/release/bin holds config/, word.log and default_self.grm).
#   scripts/run.sh [--assume-connected]   quorvex (needs an X display)
#   scripts/run.sh hwr [COMMAND ...]      the handwriting kit's tool instead, e.g. hwr info
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
if [ "${1:-}" = "hwr" ]; then
  shift
  exec build/release/bin/hwr "${@:-info}"
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: quorvex needs an X display (DISPLAY is not set); on a server try" \
       "'xvfb-run -a scripts/run.sh', or 'scripts/run.sh hwr info' for the kit" >&2
  exit 1
fi
exec build/release/bin/quorvex "$@"
