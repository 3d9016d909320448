#!/usr/bin/env bash
# Tunes the V7 decoder on a validation set: builds the resources for every combination of
# output scale (v7res main --output-scale), character-pass beam, word-pass beam, word-pass span
# and word-model weight and prints what `hwr eval` measures. The lists come from OUTPUT_SCALES,
# CHAR_BEAMS, WORD_BEAMS, WORD_SPANS and MODEL_WEIGHTS.
#   tune-wordpass.sh BIN_DIR WEIGHTS WORDS NGRAMS SET [LIMIT]
# BIN_DIR holds v7res and hwr; WEIGHTS is v7train's best.weights; WORDS and NGRAMS are the
# output of tools/wordmodel/build-ngrams.py; SET a labelled folder (dictionary words).
set -euo pipefail
bin=$1 weights=$2 words=$3 ngrams=$4 set=$5 limit=${6:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'language:english\n' > "$work/letter.conf"
printf '%-6s %-8s %-8s %-5s %-8s %-10s %-8s %-8s %s\n' scale charbeam wordbeam span mweight CER \
  top-1 top-5 "ms/item"
for os in ${OUTPUT_SCALES:-1}; do
  for cb in ${CHAR_BEAMS:-32 64 128}; do
    "$bin/v7res" main --out "$work/english.main.dct" --weights "$weights" --output-scale "$os" \
      --set beam="$cb" 2>/dev/null
    for wb in ${WORD_BEAMS:-16 32}; do
      for sp in ${WORD_SPANS:-1}; do
        for mw in ${MODEL_WEIGHTS:-100 300 1000 3000}; do
          "$bin/v7res" additional --out "$work/english.additional.dct" --words "$words" \
            --ngrams "$ngrams" --order 3 --set beam="$wb" --set span="$sp" \
            --set modelweight="$mw" 2>/dev/null
          out=$("$bin/hwr" eval --capkey hwr.local.freestylus.v7 --datapath "$work" \
            --limit "$limit" --confusions 0 "$set")
          cer=$(sed -n 's/^characters .*CER \([0-9.]*%\).*/\1/p' <<<"$out")
          top=$(sed -n 's/^top-1 \([0-9.]*%\)  top-5 \([0-9.]*%\).*/\1 \2/p' <<<"$out")
          ms=$(sed -n 's/^time ms *mean \([0-9.]*\).*/\1/p' <<<"$out")
          printf '%-6s %-8s %-8s %-5s %-8s %-10s %-8s %-8s %s\n' "$os" "$cb" "$wb" "$sp" "$mw" \
            "$cer" ${top} "$ms"
        done
      done
    done
  done
done
