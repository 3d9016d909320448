#include "WaTrie.h"

namespace wa {

bool Trie::NodeFits(uint32_t offset, uint64_t *budget) const {
    if (offset % 4 != 0 || length_ < 4 || offset > length_ - 4)
        return false;
    const uint32_t e = LoadU32(p_ + offset);
    const uint64_t bytes = NodeBytes(e);
    if (bytes > length_ - offset || bytes > *budget)
        return false;
    *budget -= bytes;
    const TrieNode node = Node(offset);
    for (uint32_t i = 1; i < e; ++i) {
        const iWWA_Char a = node.Key(i - 1), b = node.Key(i);
        if (a < b)
            continue;
        if (a > b)
            return false;
        // An equal pair: one entry ends the word, the other leads on, and no third follows.
        if ((node.Link(i - 1) < 0) == (node.Link(i) < 0))
            return false;
        if (i + 1 < e && node.Key(i + 1) == b)
            return false;
    }
    return true;
}

bool Trie::Validate() const {
    struct Frame {
        uint32_t offset;
        uint32_t next;
    };
    Frame frames[kMaxTrieDepth];
    uint64_t budget = length_;
    if (!NodeFits(0, &budget))
        return false;
    uint32_t depth = 1;
    frames[0] = {0, 0};
    while (depth > 0) {
        Frame &f = frames[depth - 1];
        const TrieNode node = Node(f.offset);
        if (f.next == node.entries) {
            --depth;
            continue;
        }
        const int32_t link = node.Link(f.next++);
        if (link < 0)
            continue;
        if (depth == kMaxTrieDepth || !NodeFits(static_cast<uint32_t>(link), &budget))
            return false;
        frames[depth++] = {static_cast<uint32_t>(link), 0};
    }
    return true;
}

bool Trie::Lookup(const iWWA_Char *t, uint32_t m, int32_t *followOn) const {
    uint32_t offset = 0;
    bool wordEnd = false;
    *followOn = -1;
    for (uint32_t i = 0; i < m; ++i) {
        const iWWA_Char u = t[i];
        const bool last = i + 1 == m;
        const TrieNode node = Node(offset);
        uint32_t lo = 0, hi = node.entries;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (node.Key(mid) < u) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        // The key may stand twice (word end and follow-on, adjacent): look at the entry before
        // the one found and the two after it.
        const uint32_t from = lo > 0 ? lo - 1 : 0;
        const uint32_t to = node.entries - from < 3 ? node.entries : from + 3;
        bool descended = false;
        for (uint32_t j = from; j < to; ++j) {
            const iWWA_Char key = node.Key(j);
            if (key > u)
                break;
            if (key != u)
                continue;
            const int32_t link = node.Link(j);
            if (last) {
                if (link < 0) {
                    wordEnd = true;
                } else if (*followOn < 0) {
                    *followOn = link;
                }
            } else if (link >= 0) {
                offset = static_cast<uint32_t>(link);
                descended = true;
                break;
            }
        }
        if (!last && !descended)
            return false;
    }
    return *followOn >= 0 || wordEnd;
}

}  // namespace wa
