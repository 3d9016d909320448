#!/usr/bin/env bash
# Fetches the source data of the character dictionaries into .cache/ (ignored by git):
#   .cache/npm/node_modules/hanzi-writer-data   stroke centre-lines of Chinese characters
#   .cache/opencc/{ST,TS}Characters.txt          OpenCC character tables as text
# Needs the packages of scripts/deps/tools-chareng.txt (scripts/install-deps.sh --tools).
set -euo pipefail
cd "$(dirname "$0")/../.."
mkdir -p .cache/npm .cache/opencc
if [ ! -f .cache/npm/node_modules/hanzi-writer-data/package.json ]; then
  npm install --no-save --no-audit --no-fund --prefix .cache/npm hanzi-writer-data@2.0.1
fi
for t in STCharacters TSCharacters; do
  [ -s .cache/opencc/$t.txt ] ||
    opencc_dict -i /usr/share/opencc/$t.ocd2 -o .cache/opencc/$t.txt -f ocd2 -t text
done
echo "sources ready in .cache/"
