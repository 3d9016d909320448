#include "LatticeSearch.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "WidthPairs.h"

namespace v7 {

namespace {

constexpr uint32_t kWorstScore = 0xFFFFFFFFu;
constexpr uint16_t kSpace = 0x20;

constexpr size_t Align8(size_t n) {
    return (n + 7) / 8 * 8;
}

uint32_t Saturate(uint64_t v) {
    return v > kWorstScore ? kWorstScore : static_cast<uint32_t>(v);
}

}  // namespace

size_t LatticeSearch::MemorySize(uint32_t capacity, uint32_t beam, uint32_t maxLength) {
    return Align8(sizeof(LatticeSearch)) + Align8(2ull * 2 * capacity) +
           2 * Align8(sizeof(Path) * static_cast<size_t>(beam)) +
           2 * Align8(sizeof(Element) * static_cast<size_t>(beam) * maxLength) +
           Align8(sizeof(Candidate) * static_cast<size_t>(beam)) +
           2 * Align8(2ull * (maxLength + 1));
}

static bool ValidConfig(const LatticeSearchConfig &c) {
    if (c.capacity == 0 || c.beam == 0 || c.maxLength == 0 || !c.source || c.maxSpan == 0 ||
        c.costWeight == 0 || c.scoring > 1)
        return false;
    if (c.wordModel && (c.order < 1 || c.order > kMaxNgramOrder || c.wordModelWeight == 0))
        return false;
    if (c.maxChars != 0 && c.minChars > c.maxChars)
        return false;
    return true;
}

LatticeSearch *LatticeSearch::Create(void *memory, size_t size, const LatticeSearchConfig &config) {
    if (!memory || reinterpret_cast<uintptr_t>(memory) % 4 != 0 || !ValidConfig(config) ||
        size != MemorySize(config.capacity, config.beam, config.maxLength))
        return nullptr;
    // The layout below needs 8-byte alignment for its 64-bit fields.
    if (reinterpret_cast<uintptr_t>(memory) % alignof(LatticeSearch) != 0)
        return nullptr;
    auto *self = new (memory) LatticeSearch();
    self->config_ = config;
    auto *at = static_cast<unsigned char *>(memory) + Align8(sizeof(LatticeSearch));
    self->candChars_ = reinterpret_cast<uint16_t *>(at);
    self->candCosts_ = self->candChars_ + config.capacity;
    at += Align8(2ull * 2 * config.capacity);
    for (int t = 0; t < 2; ++t) {
        self->paths_[t] = reinterpret_cast<Path *>(at);
        at += Align8(sizeof(Path) * config.beam);
    }
    for (int t = 0; t < 2; ++t) {
        self->elements_[t] = reinterpret_cast<Element *>(at);
        at += Align8(sizeof(Element) * static_cast<size_t>(config.beam) * config.maxLength);
    }
    self->table_ = reinterpret_cast<Candidate *>(at);
    at += Align8(sizeof(Candidate) * config.beam);
    self->word_ = reinterpret_cast<uint16_t *>(at);
    at += Align8(2ull * (config.maxLength + 1));
    self->string_ = reinterpret_cast<uint16_t *>(at);
    for (int t = 0; t < 2; ++t)
        for (uint32_t i = 0; i < config.beam; ++i)
            self->paths_[t][i] = Path{};
    for (uint32_t i = 0; i < config.beam; ++i)
        self->table_[i].source = -1;
    return self;
}

bool LatticeSearch::Update(const LatticeSearchConfig &config) {
    if (config.capacity != config_.capacity || config.beam != config_.beam ||
        config.maxLength != config_.maxLength || !ValidConfig(config))
        return false;
    config_ = config;
    return true;
}

LatticeSearch::Element *LatticeSearch::Elements(int table, int path) const {
    return elements_[table] + static_cast<size_t>(path) * config_.maxLength;
}

static bool Counts(uint16_t c, uint16_t filler) {
    return c != 0 && c != kSpace && c != filler;
}

int LatticeSearch::CurrentWord(const Path &p, const Element *e, uint16_t c, uint16_t *out) const {
    int start = p.count;
    while (start > 0 && !e[start - 1].wordEnd)
        --start;
    int n = 0;
    for (int i = start; i < p.count; ++i)
        if (Counts(e[i].ch, config_.filler))
            out[n++] = e[i].ch;
    if (Counts(c, config_.filler))
        out[n++] = c;
    return n;
}

int LatticeSearch::PathString(const Path &p, const Element *e, uint16_t c, uint16_t *out) const {
    int n = 0;
    for (int i = 0; i < p.count; ++i)
        if (Counts(e[i].ch, config_.filler))
            out[n++] = e[i].ch;
    if (Counts(c, config_.filler))
        out[n++] = c;
    return n;
}

// Cost term and word-model term of a candidate; fills the candidate's effect on its path.
bool LatticeSearch::Score(const Path &p, const Element *e, const Candidate &c,
                          Candidate *out) const {
    *out = c;
    const uint64_t w = config_.costWeight;
    const bool hasChar = c.ch != 0;
    const int j = c.last - c.first + 1;
    uint64_t costTerm;
    if (config_.scoring == 0) {
        if (hasChar)
            costTerm = w * (p.costSum + c.cost) / (static_cast<uint64_t>(p.count) + 1);
        else
            costTerm = p.count ? w * p.costSum / static_cast<uint64_t>(p.count) : p.costSum;
    } else {
        if (hasChar) {
            const int start = p.count ? e[0].first : c.first;
            costTerm = w * (p.weightedSum + static_cast<uint64_t>(c.cost) * j) /
                       static_cast<uint64_t>(c.last - start + 1);
        } else {
            costTerm = p.covered ? w * p.weightedSum / p.covered : p.weightedSum;
        }
    }
    out->wordCost = p.wordCost;
    out->completes = 0;
    out->unscorable = p.unscorable;
    out->newToken = 0;
    uint64_t wordTerm = 0;
    const WordModel *model = config_.wordModel;
    if (model) {
        const bool last = c.last + 1 == end_;
        const int n = CurrentWord(p, e, c.ch, word_);
        uint32_t context[kMaxNgramOrder + 1];
        int contextLength = p.contextLength;
        std::copy(p.context, p.context + contextLength, context);
        bool scorable = !p.unscorable;
        if (c.wordEnd && n > 0) {
            out->completes = 1;
            out->newToken = model->Token(word_, n);
            uint32_t cost = 0;
            if (scorable && model->Cost(context, contextLength, out->newToken, &cost))
                out->wordCost = p.wordCost + cost;
            else
                scorable = false;
            if (contextLength == kMaxNgramOrder) {
                std::memmove(context, context + 1, sizeof(uint32_t) * (kMaxNgramOrder - 1));
                --contextLength;
            }
            context[contextLength++] = out->newToken;
        }
        out->unscorable = !scorable;
        const bool unfinished = !out->completes && n > 0;
        const bool anyWord = out->completes || p.contextLength > 1 || p.wordCost > 0;
        if (anyWord || (config_.lookAhead && unfinished)) {
            uint64_t cost = out->wordCost;
            if (scorable && config_.lookAhead && unfinished) {
                uint32_t lo, hi, completion;
                model->words().PrefixRange(word_, n, &lo, &hi);
                if (model->CompletionCost(context, contextLength, lo, hi, &completion))
                    cost += completion + config_.lookAheadCost;
                else
                    scorable = false;
            }
            if (scorable && last) {
                uint32_t endCost;
                if (model->Cost(context, contextLength, kSentenceEnd, &endCost))
                    cost += endCost;
                else
                    scorable = false;
            }
            wordTerm = static_cast<uint64_t>(config_.wordModelWeight) * cost;
        }
        if (!scorable) {
            out->score = kWorstScore;
            return true;
        }
    }
    out->score = Saturate(costTerm + wordTerm);
    return true;
}

void LatticeSearch::Insert(const Candidate &c) {
    const uint32_t B = config_.beam;
    for (uint32_t i = 0; i < B; ++i)
        if (table_[i].source < 0) {
            table_[i] = c;
            return;
        }
    // Replace the worst entry, if it is worse than the newcomer; ties keep the older one.
    int worst = -1;
    for (uint32_t i = 0; i < B; ++i)
        if (table_[i].score > c.score && (worst < 0 || table_[i].score > table_[worst].score))
            worst = static_cast<int>(i);
    if (worst >= 0)
        table_[worst] = c;
}

void LatticeSearch::Extend(int pathIndex, uint16_t c, uint16_t q, int span) {
    const Path &p = paths_[current_][pathIndex];
    const Element *e = Elements(current_, pathIndex);
    const int s = p.next;
    const bool hasChar = static_cast<uint32_t>(p.count) < config_.maxLength;
    if (!hasChar) {
        c = 0;
        q = 0;
    }
    const bool last = s + span == end_;
    bool proposeContinue = false, proposeEnd = false;
    const WordModel *model = config_.wordModel;
    if (!model) {
        proposeContinue = true;
    } else if (hasChar) {
        const int n = CurrentWord(p, e, c, word_);
        const bool isFiller = config_.filler != 0 && c == config_.filler;
        const bool prefix = !isFiller && model->words().IsPrefix(word_, n);
        const bool word = isFiller || model->words().IsWord(word_, n);
        if (!prefix && !word) {
            proposeEnd = n == 1;
        } else if (last) {
            proposeEnd = word || n == 1;
        } else {
            proposeContinue = prefix;
            proposeEnd = word;
        }
    } else {
        proposeEnd = last;
        proposeContinue = !last;
    }
    // Acceptance checks on the whole string.
    const bool needString = config_.minChars || config_.maxChars || config_.requiredList ||
                            config_.forbiddenList || config_.accept;
    if (needString) {
        const int m = PathString(p, e, c, string_);
        if (last && config_.minChars && static_cast<uint32_t>(m) < config_.minChars)
            return;
        if (config_.maxChars && static_cast<uint32_t>(m) > config_.maxChars)
            return;
        if (config_.requiredList) {
            if (!config_.requiredList->IsPrefix(string_, m))
                return;
            if (last && !config_.requiredList->IsWord(string_, m))
                return;
        }
        if (config_.forbiddenList && last && config_.forbiddenList->IsWord(string_, m))
            return;
        if (config_.accept && !config_.accept(config_.acceptContext, string_, m, last))
            return;
    }
    if (config_.allowedWords || config_.excludedWords) {
        const int n = CurrentWord(p, e, c, word_);
        if (config_.allowedWords) {
            if (proposeContinue && !config_.allowedWords->IsPrefix(word_, n))
                proposeContinue = false;
            if (proposeEnd && !config_.allowedWords->IsWord(word_, n))
                proposeEnd = false;
        }
        if (config_.excludedWords && proposeEnd && config_.excludedWords->IsWord(word_, n))
            proposeEnd = false;
    }
    for (int kind = 0; kind < 2; ++kind) {
        if (kind == 0 ? !proposeContinue : !proposeEnd)
            continue;
        Candidate cand{};
        cand.source = pathIndex;
        cand.carried = 0;
        cand.wordEnd = static_cast<uint8_t>(kind);
        cand.first = s;
        cand.last = s + span - 1;
        cand.ch = c;
        cand.cost = q;
        Candidate scored;
        Score(p, e, cand, &scored);
        Insert(scored);
    }
}

void LatticeSearch::Expand(int pathIndex) {
    const Path &p = paths_[current_][pathIndex];
    const Element *e = Elements(current_, pathIndex);
    const int s = p.next;
    const int lastStart = p.count ? e[p.count - 1].first : -1;
    const int lastEnd = p.count ? e[p.count - 1].last : -1;
    const uint16_t lastChar = p.count ? e[p.count - 1].ch : 0;
    for (int j = 1; j <= config_.maxSpan && s + j - 1 < end_; ++j) {
        int n = config_.source(config_.sourceContext, lastStart, lastEnd, lastChar, s, s + j - 1,
                               candChars_, candCosts_, static_cast<int>(config_.capacity));
        n = std::clamp(n, 0, static_cast<int>(config_.capacity));
        if (n == 0 && config_.filler != 0) {
            Extend(pathIndex, config_.filler, 65535, j);
            continue;
        }
        for (int i = 0; i < n; ++i)
            Extend(pathIndex, candChars_[i], candCosts_[i], j);
    }
}

int LatticeSearch::Commit() {
    const uint32_t B = config_.beam;
    // Selection sort, used entries first, ascending score; an entry moves ahead only when
    // strictly better.
    for (uint32_t i = 0; i < B; ++i) {
        uint32_t best = i;
        for (uint32_t k = i + 1; k < B; ++k) {
            const Candidate &a = table_[k], &b = table_[best];
            if (a.source >= 0 && (b.source < 0 || a.score < b.score))
                best = k;
        }
        if (best != i)
            std::swap(table_[i], table_[best]);
    }
    const int from = current_, to = current_ ^ 1;
    int n = 0;
    for (uint32_t i = 0; i < B && table_[i].source >= 0; ++i, ++n) {
        const Candidate &c = table_[i];
        const Path &src = paths_[from][c.source];
        Path &dst = paths_[to][n];
        Element *de = Elements(to, n);
        std::copy(Elements(from, c.source), Elements(from, c.source) + src.count, de);
        dst = src;
        if (c.carried)
            continue;
        if (c.ch != 0) {
            de[dst.count] = Element{c.wordEnd, c.first, c.last, c.ch, c.cost};
            ++dst.count;
            const uint64_t covered = static_cast<uint64_t>(c.last - c.first + 1);
            dst.costSum += c.cost;
            dst.weightedSum += static_cast<uint64_t>(c.cost) * covered;
            dst.covered += covered;
            if (Counts(c.ch, config_.filler))
                ++dst.realChars;
            if (c.ch == config_.filler && dst.count > 1)
                de[dst.count - 2].wordEnd = 1;
        } else if (c.wordEnd && dst.count > 0) {
            de[dst.count - 1].wordEnd = 1;
        }
        dst.active = 1;
        dst.next = c.last + 1;
        dst.score = c.score;
        dst.wordCost = c.wordCost;
        dst.unscorable = c.unscorable;
        if (c.completes) {
            if (dst.contextLength == kMaxNgramOrder) {
                std::memmove(dst.context, dst.context + 1, sizeof(uint32_t) * (kMaxNgramOrder - 1));
                --dst.contextLength;
            }
            dst.context[dst.contextLength++] = c.newToken;
        }
    }
    for (uint32_t i = n; i < B; ++i)
        paths_[to][i].active = 0;
    current_ = to;
    pathCount_ = n;
    // Finished paths re-enter the next step unchanged.
    uint32_t k = 0;
    for (int i = 0; i < n; ++i)
        if (paths_[to][i].next >= end_) {
            Candidate c{};
            c.source = i;
            c.carried = 1;
            c.score = paths_[to][i].score;
            table_[k++] = c;
        }
    for (; k < B; ++k)
        table_[k].source = -1;
    return n;
}

int LatticeSearch::Run(int endPosition, int mode) {
    end_ = endPosition;
    const uint32_t B = config_.beam;
    Path *paths = paths_[current_];
    if (mode == 0) {
        for (uint32_t i = 0; i < B; ++i)
            paths[i] = Path{};
        paths[0].active = 1;
        paths[0].context[0] = kSentenceStart;
        paths[0].contextLength = 1;
        pathCount_ = 1;
    } else if (mode == 1) {
        // Reopen: drop a last element that could still grow, and rebuild the path's sums.
        for (uint32_t i = 0; i < B; ++i) {
            Path &p = paths[i];
            Element *e = Elements(current_, static_cast<int>(i));
            if (!p.active || p.count == 0)
                continue;
            const Element &last = e[p.count - 1];
            if (last.last - last.first + 1 >= config_.maxSpan)
                continue;
            p.next = last.first;
            --p.count;
            p.costSum -= last.cost;
            p.weightedSum -= static_cast<uint64_t>(last.cost) * (last.last - last.first + 1);
            p.covered -= static_cast<uint64_t>(last.last - last.first + 1);
            if (Counts(last.ch, config_.filler))
                --p.realChars;
            if (last.wordEnd && p.contextLength > 1 && config_.wordModel) {
                // The dropped element ended a word: forget that word and its cost.
                Path fresh{};
                fresh.context[0] = kSentenceStart;
                fresh.contextLength = 1;
                uint16_t *w = word_;
                int len = 0;
                for (int k = 0; k < p.count; ++k) {
                    if (Counts(e[k].ch, config_.filler))
                        w[len++] = e[k].ch;
                    if (e[k].wordEnd && len > 0) {
                        const uint32_t t = config_.wordModel->Token(w, len);
                        uint32_t cost = 0;
                        if (!config_.wordModel->Cost(fresh.context, fresh.contextLength, t, &cost))
                            fresh.unscorable = 1;
                        fresh.wordCost += cost;
                        if (fresh.contextLength == kMaxNgramOrder) {
                            std::memmove(fresh.context, fresh.context + 1,
                                         sizeof(uint32_t) * (kMaxNgramOrder - 1));
                            --fresh.contextLength;
                        }
                        fresh.context[fresh.contextLength++] = t;
                        len = 0;
                    }
                }
                p.wordCost = fresh.wordCost;
                p.unscorable = fresh.unscorable;
                std::copy(fresh.context, fresh.context + fresh.contextLength, p.context);
                p.contextLength = fresh.contextLength;
            }
        }
    }
    for (uint32_t i = 0; i < B; ++i)
        table_[i].source = -1;
    int result = 0;
    for (uint32_t i = 0; i < B; ++i)
        result += paths_[current_][i].active ? 1 : 0;
    for (;;) {
        bool any = false;
        for (uint32_t i = 0; i < B; ++i) {
            const Path &p = paths_[current_][i];
            if (p.active && p.next < end_) {
                Expand(static_cast<int>(i));
                any = true;
            }
        }
        if (!any)
            break;
        result = Commit();
    }
    return result;
}

int LatticeSearch::PathText(int index, bool spaces, bool toWide, bool toNarrow, uint16_t *text,
                            int capacity, uint32_t *score, uint16_t *costs) const {
    if (index < 0 || index >= pathCount_ || !text || capacity <= 0)
        return 0;
    const Path &p = paths_[current_][index];
    const Element *e = Elements(current_, index);
    int n = 0;
    for (int i = 0; i < p.count && n < capacity; ++i) {
        if (costs)
            costs[n] = e[i].cost;
        text[n++] = e[i].ch;
        if (spaces && e[i].wordEnd && n < capacity) {
            if (costs)
                costs[n] = 0;
            text[n++] = kSpace;
        }
    }
    // Only the space after the last word end goes; a last element that ends no word keeps its
    // character.
    if (spaces && n > 0 && p.count > 0 && e[p.count - 1].wordEnd && text[n - 1] == kSpace)
        --n;
    for (int i = 0; i < n; ++i) {
        if (toWide)
            text[i] = ToWide(text[i]);
        if (toNarrow)
            text[i] = ToNarrow(text[i]);
    }
    if (score)
        *score = p.score;
    return n;
}

}  // namespace v7
