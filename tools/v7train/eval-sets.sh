#!/usr/bin/env bash
# Measures a V7 weight section on labelled sets, with and without the word model, and prints one
# table row per set: best-path CER and share of items with every letter right (the network
# alone, `v7train eval`), then the engine with the word model (`hwr eval`: letter CER, top-1 and
# top-5 of items, ms per item mean / median).
#   eval-sets.sh BIN_DIR WEIGHTS ADDITIONAL_DCT CHAR_BEAM SET...
# Sets whose name ends in "words" or "dict" are single words (compared as letters); the others
# are lines (letter CER without spaces, top-1 with the word breaks). OUTPUT_SCALE (default 1) is
# v7res main's --output-scale.
set -euo pipefail
bin=$1 weights=$2 additional=$3 beam=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/v7res" main --out "$work/english.main.dct" --weights "$weights" \
  --output-scale "${OUTPUT_SCALE:-1}" --set beam="$beam" >/dev/null
cp "$additional" "$work/english.additional.dct"
printf 'language:english\n' > "$work/letter.conf"
echo "| set | items | best path CER | all letters right | engine CER | engine top-1 | engine top-5 | ms per item (mean / median) |"
echo "|---|---|---|---|---|---|---|---|"
for set in "$@"; do
  name=$(basename "$set")
  net=$("$bin/v7train" eval --weights "$weights" --set "$set")
  items=$(sed -n 's/.*: \([0-9]*\) items.*/\1/p' <<<"$net")
  ncer=$(sed -n 's/.*CER \([0-9.]*\),.*/\1/p' <<<"$net")
  nright=$(sed -n 's/.*all letters right \([0-9.]*\).*/\1/p' <<<"$net")
  eval_set() { "$bin/hwr" eval --capkey hwr.local.freestylus.v7 --datapath "$work" --confusions 0 \
    --compare "$1" "$set"; }
  case "$name" in
    *words | *dict) cerOut=$(eval_set letters); topOut=$cerOut ;;
    *) cerOut=$(eval_set nospace); topOut=$(eval_set letters) ;;
  esac
  ecer=$(sed -n 's/^characters .*CER \([0-9.]*%\).*/\1/p' <<<"$cerOut")
  top1=$(sed -n 's/^top-1 \([0-9.]*%\).*/\1/p' <<<"$topOut")
  top5=$(sed -n 's/^top-1 [0-9.]*%  top-5 \([0-9.]*%\).*/\1/p' <<<"$topOut")
  ms=$(sed -n 's/^time ms *mean \([0-9.]*\) *median \([0-9.]*\).*/\1 \/ \2/p' <<<"$topOut")
  printf '| %s | %s | %.1f%% | %.1f%% | %s | %s | %s | %s |\n' "$name" "$items" \
    "$(awk "BEGIN{print 100*$ncer}")" "$(awk "BEGIN{print 100*$nright}")" "$ecer" "$top1" "$top5" "$ms"
done
