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

size_t LatticeSearch::PoolNodes(uint32_t beam, uint32_t maxLength) {
    // Live elements never exceed beam · maxLength; a commit adds at most three per path.
    return static_cast<size_t>(beam) * maxLength + 4ull * beam;
}

size_t LatticeSearch::MemorySize(uint32_t capacity, uint32_t beam, uint32_t maxLength) {
    return Align8(sizeof(LatticeSearch)) + Align8(2ull * 2 * capacity) +
           2 * Align8(sizeof(Path) * static_cast<size_t>(beam)) +
           2 * Align8(sizeof(Node) * PoolNodes(beam, maxLength)) +
           Align8(sizeof(Candidate) * static_cast<size_t>(beam)) +
           2 * Align8(2ull * (maxLength + 1)) + Align8(4ull * (maxLength + 1));
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
    self->poolSize_ = PoolNodes(config.beam, config.maxLength);
    for (int t = 0; t < 2; ++t) {
        self->pools_[t] = reinterpret_cast<Node *>(at);
        at += Align8(sizeof(Node) * self->poolSize_);
    }
    self->pool_ = self->pools_[0];
    self->table_ = reinterpret_cast<Candidate *>(at);
    at += Align8(sizeof(Candidate) * config.beam);
    self->word_ = reinterpret_cast<uint16_t *>(at);
    at += Align8(2ull * (config.maxLength + 1));
    self->string_ = reinterpret_cast<uint16_t *>(at);
    at += Align8(2ull * (config.maxLength + 1));
    self->chain_ = reinterpret_cast<int32_t *>(at);
    for (int t = 0; t < 2; ++t)
        for (uint32_t i = 0; i < config.beam; ++i) {
            self->paths_[t][i] = Path{};
            self->paths_[t][i].lastNode = -1;
        }
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

static bool Counts(uint16_t c, uint16_t filler) {
    return c != 0 && c != kSpace && c != filler;
}

int LatticeSearch::Chain(const Path &p) const {
    int n = 0;
    for (int32_t i = p.lastNode; i >= 0 && n <= static_cast<int>(config_.maxLength);
         i = pool_[i].parent)
        chain_[n++] = i;
    std::reverse(chain_, chain_ + n);
    return n;
}

int LatticeSearch::CurrentWord(const Path &p, uint16_t c, uint16_t *out) const {
    int n = 0;
    for (const Node *e = NodeAt(p.lastNode); e && !e->wordEnd; e = NodeAt(e->parent))
        if (Counts(e->ch, config_.filler))
            out[n++] = e->ch;
    std::reverse(out, out + n);
    if (Counts(c, config_.filler))
        out[n++] = c;
    return n;
}

int LatticeSearch::PathString(const Path &p, uint16_t c, uint16_t *out) const {
    int n = 0;
    for (const Node *e = NodeAt(p.lastNode); e; e = NodeAt(e->parent))
        if (Counts(e->ch, config_.filler))
            out[n++] = e->ch;
    std::reverse(out, out + n);
    if (Counts(c, config_.filler))
        out[n++] = c;
    return n;
}

int32_t LatticeSearch::NewNode(const Node &n) {
    pool_[poolTop_] = n;
    pool_[poolTop_].forward = -1;
    return static_cast<int32_t>(poolTop_++);
}

// Moves the elements of the live paths into the other pool, keeping what they share shared.
void LatticeSearch::CompactPool() {
    Node *to = pools_[pool_ == pools_[0] ? 1 : 0];
    size_t top = 0;
    Path *paths = paths_[current_];
    for (uint32_t i = 0; i < config_.beam; ++i) {
        Path &p = paths[i];
        if (!p.active || p.lastNode < 0)
            continue;
        // The not yet moved part of the chain, newest first.
        int n = 0;
        for (int32_t k = p.lastNode; k >= 0 && pool_[k].forward < 0; k = pool_[k].parent)
            chain_[n++] = k;
        for (int j = n - 1; j >= 0; --j) {
            const Node &old = pool_[chain_[j]];
            Node moved = old;
            moved.parent = old.parent < 0 ? -1 : pool_[old.parent].forward;
            moved.forward = -1;
            to[top] = moved;
            pool_[chain_[j]].forward = static_cast<int32_t>(top++);
        }
        p.lastNode = pool_[p.lastNode].forward;
    }
    pool_ = to;
    poolTop_ = top;
}

// Cost term and word-model term of a candidate; fills the candidate's effect on its path.
void LatticeSearch::Score(const Path &p, const Candidate &c, Candidate *out) const {
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
    } else if (hasChar) {
        const int start = p.count ? p.firstStart : c.first;
        costTerm = w * (p.weightedSum + static_cast<uint64_t>(c.cost) * j) /
                   static_cast<uint64_t>(c.last - start + 1);
    } else {
        costTerm = p.covered ? w * p.weightedSum / p.covered : p.weightedSum;
    }
    out->wordCost = p.wordCost;
    out->completes = 0;
    out->unscorable = p.unscorable;
    out->newToken = 0;
    uint64_t wordTerm = 0;
    const WordModel *model = config_.wordModel;
    if (model) {
        const bool last = c.last + 1 == end_;
        const int n = CurrentWord(p, c.ch, word_);
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
        const bool anyWord = out->completes || p.contextLength > 1;
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
            return;
        }
    }
    out->score = Saturate(costTerm + wordTerm);
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
        const int n = CurrentWord(p, c, word_);
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
    // Acceptance checks on the whole string (spaces and fillers left out).
    const uint32_t m = p.realChars + (Counts(c, config_.filler) ? 1 : 0);
    if (last && config_.minChars && m < config_.minChars)
        return;
    if (config_.maxChars && m > config_.maxChars)
        return;
    if (config_.requiredList || config_.forbiddenList || config_.accept) {
        const int len = PathString(p, c, string_);
        if (config_.requiredList) {
            if (!config_.requiredList->IsPrefix(string_, len))
                return;
            if (last && !config_.requiredList->IsWord(string_, len))
                return;
        }
        if (config_.forbiddenList && last && config_.forbiddenList->IsWord(string_, len))
            return;
        if (config_.accept && !config_.accept(config_.acceptContext, string_, len, last))
            return;
    }
    if (config_.allowedWords || config_.excludedWords) {
        const int n = CurrentWord(p, c, word_);
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
        Score(p, cand, &scored);
        Insert(scored);
    }
}

void LatticeSearch::Expand(int pathIndex) {
    const Path &p = paths_[current_][pathIndex];
    const Node *e = NodeAt(p.lastNode);
    const int s = p.next;
    const int lastStart = e ? e->first : -1;
    const int lastEnd = e ? e->last : -1;
    const uint16_t lastChar = e ? e->ch : 0;
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
    // Room for the elements this commit adds (at most three per path).
    if (poolTop_ + 3ull * B > poolSize_)
        CompactPool();
    const int from = current_, to = current_ ^ 1;
    int n = 0;
    for (uint32_t i = 0; i < B && table_[i].source >= 0; ++i, ++n) {
        const Candidate &c = table_[i];
        const Path &src = paths_[from][c.source];
        Path &dst = paths_[to][n];
        dst = src;
        if (c.carried)
            continue;
        if (c.ch != 0) {
            int32_t parent = src.lastNode;
            // A filler ends the word before it.
            if (c.ch == config_.filler && parent >= 0 && !pool_[parent].wordEnd) {
                Node marked = pool_[parent];
                marked.wordEnd = 1;
                parent = NewNode(marked);
            }
            dst.lastNode = NewNode(Node{parent, -1, c.first, c.last, c.ch, c.cost, c.wordEnd});
            if (dst.count == 0)
                dst.firstStart = c.first;
            ++dst.count;
            const uint64_t covered = static_cast<uint64_t>(c.last - c.first + 1);
            dst.costSum += c.cost;
            dst.weightedSum += static_cast<uint64_t>(c.cost) * covered;
            dst.covered += covered;
            if (Counts(c.ch, config_.filler))
                ++dst.realChars;
        } else if (c.wordEnd && dst.lastNode >= 0 && !pool_[dst.lastNode].wordEnd) {
            // A word ends without a character: the last element becomes its end.
            Node marked = pool_[dst.lastNode];
            marked.wordEnd = 1;
            dst.lastNode = NewNode(marked);
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

// Rebuilds a path's sums and word costs from its elements.
void LatticeSearch::Rescore(Path *p) const {
    const int n = Chain(*p);
    p->count = n;
    p->costSum = p->weightedSum = p->covered = 0;
    p->realChars = 0;
    p->wordCost = 0;
    p->unscorable = 0;
    p->context[0] = kSentenceStart;
    p->contextLength = 1;
    p->firstStart = n ? pool_[chain_[0]].first : 0;
    int len = 0;
    for (int k = 0; k < n; ++k) {
        const Node &e = pool_[chain_[k]];
        const uint64_t covered = static_cast<uint64_t>(e.last - e.first + 1);
        p->costSum += e.cost;
        p->weightedSum += static_cast<uint64_t>(e.cost) * covered;
        p->covered += covered;
        if (Counts(e.ch, config_.filler)) {
            ++p->realChars;
            word_[len++] = e.ch;
        }
        if (!e.wordEnd || !config_.wordModel || len == 0)
            continue;
        const uint32_t t = config_.wordModel->Token(word_, len);
        uint32_t cost = 0;
        if (!config_.wordModel->Cost(p->context, p->contextLength, t, &cost))
            p->unscorable = 1;
        p->wordCost += cost;
        if (p->contextLength == kMaxNgramOrder) {
            std::memmove(p->context, p->context + 1, sizeof(uint32_t) * (kMaxNgramOrder - 1));
            --p->contextLength;
        }
        p->context[p->contextLength++] = t;
        len = 0;
    }
}

int LatticeSearch::Run(int endPosition, int mode) {
    end_ = endPosition;
    const uint32_t B = config_.beam;
    Path *paths = paths_[current_];
    if (mode == 0) {
        poolTop_ = 0;
        for (uint32_t i = 0; i < B; ++i)
            paths[i] = Path{};
        for (uint32_t i = 0; i < B; ++i)
            paths[i].lastNode = -1;
        paths[0].active = 1;
        paths[0].context[0] = kSentenceStart;
        paths[0].contextLength = 1;
        pathCount_ = 1;
    } else if (mode == 1) {
        // Reopen: drop a last element that could still grow.
        for (uint32_t i = 0; i < B; ++i) {
            Path &p = paths[i];
            const Node *last = p.active ? NodeAt(p.lastNode) : nullptr;
            if (!last || last->last - last->first + 1 >= config_.maxSpan)
                continue;
            p.next = last->first;
            p.lastNode = last->parent;
            Rescore(&p);
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
    const int count = Chain(p);
    int n = 0;
    for (int i = 0; i < count && n < capacity; ++i) {
        const Node &e = pool_[chain_[i]];
        if (costs)
            costs[n] = e.cost;
        text[n++] = e.ch;
        if (spaces && e.wordEnd && n < capacity) {
            if (costs)
                costs[n] = 0;
            text[n++] = kSpace;
        }
    }
    // Only the space after the last word end goes; a last element that ends no word keeps its
    // character.
    if (spaces && n > 0 && count > 0 && pool_[chain_[count - 1]].wordEnd && text[n - 1] == kSpace)
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
