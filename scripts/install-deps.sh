#!/usr/bin/env bash
# Installs the Debian packages the tree needs. Idempotent: when everything listed is present it
# touches nothing (no apt-get update, no network).
#   scripts/install-deps.sh            build, run and test
#   scripts/install-deps.sh --tools    also the source data of the resource builders
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Every list in deps/ but the resource builders' (tools*.txt), which --tools adds.
lists=()
for f in "$here"/deps/*.txt; do
  case "$(basename "$f")" in tools*) [ "${1:-}" = "--tools" ] || continue ;; esac
  lists+=("$f")
done

wanted=$(sed -e 's/#.*//' "${lists[@]}" | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for p in $wanted; do
  s=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$s" = "installed" ] && continue
  # A tool that another package already put on PATH (npm inside a vendor's nodejs) is present.
  command -v "$p" >/dev/null 2>&1 && continue
  missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all $(echo "$wanted" | wc -l) packages present" >&2
  exit 0
fi
echo "install-deps: installing ${missing[*]}" >&2
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install packages" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
