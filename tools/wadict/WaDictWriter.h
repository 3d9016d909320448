// Writing the association dictionaries: the continuation trie, the configuration record, the
// record chain with its header (plain or keyed), and user-dictionary rings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WaFormat.h"

namespace wadict {

struct Word {
    std::u16string text;
    uint32_t frequency = 0;
};

struct SystemDictOptions {
    std::string key;  // empty: records stored plain; else at most 98 bytes, no zero byte
    uint32_t defaultCandNum = 16;
    uint32_t defaultMode = 1;  // multi-character
};

struct TrieStats {
    size_t words = 0;
    size_t nodes = 0;
    size_t entries = 0;
    size_t bytes = 0;
};

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kMaxWordUnits = wa::kMaxTrieDepth;

// The trie payload of `words` (any order; a word given twice keeps its higher frequency;
// frequencies above 2^31 - 1 are cut to it). Words must be 1 to kMaxWordUnits code units long
// (the engine's limit on the depth of a trie). Nodes are laid out depth first, each before the
// nodes it leads to.
Bytes BuildTriePayload(std::vector<Word> words, TrieStats *stats = nullptr);

// The configuration record's payload: every parameter value offered, zero defaults for the
// reserved parameters, the given candidate limit and mode.
Bytes BuildConfigPayload(const SystemDictOptions &options);

// Header and record chain around the payloads, in order; payloads are scrambled when a key is
// given and the checksum is taken over the stored bytes.
Bytes AssembleSystemDict(const std::vector<Bytes> &payloads, const std::string &key);

// A whole system dictionary: configuration record and trie record.
Bytes BuildSystemDict(std::vector<Word> words, const SystemDictOptions &options,
                      TrieStats *stats = nullptr);

// A user dictionary whose ring holds `words` (at most 2048, each at most 256 units), oldest
// first; an empty list gives the empty ring.
Bytes BuildUserDict(const std::vector<std::u16string> &words);

}  // namespace wadict
