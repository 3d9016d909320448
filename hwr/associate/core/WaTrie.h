// The continuation trie of the system dictionary: validation at load, lookup of a text and the
// depth-first walk of every word below a node.
#pragma once

#include <cstdint>

#include "WaFormat.h"
#include "iWWA.h"

namespace wa {

// A view of one node of a validated trie.
struct TrieNode {
    uint32_t entries;
    const uint8_t *keys;
    const uint8_t *links;

    iWWA_Char Key(uint32_t i) const { return LoadU16(keys + 2 * i); }
    int32_t Link(uint32_t i) const { return LoadI32(links + 4 * i); }
};

class Trie {
  public:
    Trie(const uint8_t *payload, uint32_t length) : p_(payload), length_(length) {}

    // True when every node reachable from the root lies inside the payload and is 4-byte
    // aligned, its keys ascend (a key stands twice only as an adjacent word-end and follow-on
    // pair), no path is deeper than kMaxTrieDepth nodes, and the nodes visited, counted with
    // repetition, fit in the payload: a trie whose links loop, or fan into shared nodes beyond
    // that, is refused, so that every walk stays bounded by the dictionary's size.
    bool Validate() const;

    TrieNode Node(uint32_t offset) const {
        const uint32_t e = LoadU32(p_ + offset);
        return {e, p_ + offset + 4, p_ + offset + 4 + KeysBytes(e)};
    }

    // Looks up the m units of t. On success *followOn is the offset of the node that follows
    // the last unit, or -1 when that unit only ends a word.
    bool Lookup(const iWWA_Char *t, uint32_t m, int32_t *followOn) const;

    // Calls visit(path, length, frequency) for every word below the node at `offset`, depth
    // first, entries in node order, paths of at most kMaxCandidateUnits units.
    template <class Visit>
    void Walk(uint32_t offset, Visit &&visit) const;

  private:
    bool NodeFits(uint32_t offset, uint64_t *budget) const;

    const uint8_t *p_;
    uint32_t length_;
};

template <class Visit>
void Trie::Walk(uint32_t offset, Visit &&visit) const {
    // The node being read stays in locals; a frame keeps a parent's node and its next entry.
    struct Frame {
        TrieNode node;
        uint32_t next;
    };
    Frame frames[kMaxCandidateUnits];
    iWWA_Char path[kMaxCandidateUnits + 1];
    uint32_t depth = 0;  // units above the node being read
    TrieNode node = Node(offset);
    uint32_t i = 0;
    for (;;) {
        while (i < node.entries) {
            path[depth] = node.Key(i);
            const int32_t link = node.Link(i++);
            if (link < 0) {
                visit(static_cast<const iWWA_Char *>(path), depth + 1,
                      static_cast<uint32_t>(link) & kFrequencyMask);
            } else if (depth + 1 < kMaxCandidateUnits) {
                frames[depth++] = {node, i};
                node = Node(static_cast<uint32_t>(link));
                i = 0;
            }
        }
        if (depth == 0)
            return;
        --depth;
        node = frames[depth].node;
        i = frames[depth].next;
    }
}

}  // namespace wa
