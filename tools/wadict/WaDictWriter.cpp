#include "WaDictWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "WaFormat.h"
#include "KeyedScramble.h"

namespace wadict {
namespace {

struct Entry {
    char16_t key;
    bool end;
    uint32_t value;  // frequency of a word end, node index of a follow-on
};

struct Node {
    std::vector<Entry> entries;
    uint32_t offset = 0;
};

// Builds the node of the words [lo, hi), all sharing their first `depth` units and longer than
// that, and returns its index.
uint32_t BuildNode(const std::vector<Word> &w, size_t lo, size_t hi, size_t depth,
                   std::vector<Node> &nodes) {
    const auto index = static_cast<uint32_t>(nodes.size());
    nodes.emplace_back();
    std::vector<Entry> entries;
    for (size_t i = lo; i < hi;) {
        const char16_t u = w[i].text[depth];
        size_t j = i;
        while (j < hi && w[j].text[depth] == u)
            ++j;
        size_t k = i;
        // Sorted order puts the word that ends here first in its group.
        if (w[i].text.size() == depth + 1) {
            entries.push_back({u, true, w[i].frequency});
            ++k;
        }
        if (k < j)
            entries.push_back({u, false, BuildNode(w, k, j, depth + 1, nodes)});
        i = j;
    }
    nodes[index].entries = std::move(entries);
    return index;
}

void Put32(Bytes &b, size_t at, uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

}  // namespace

Bytes BuildTriePayload(std::vector<Word> words, TrieStats *stats) {
    for (Word &w : words) {
        if (w.text.empty() || w.text.size() > kMaxWordUnits)
            throw std::invalid_argument("a dictionary word must be 1 to 1024 code units long");
        w.frequency = std::min(w.frequency, wa::kFrequencyMask);
    }
    std::sort(words.begin(), words.end(), [](const Word &a, const Word &b) {
        return a.text != b.text ? a.text < b.text : a.frequency > b.frequency;
    });
    words.erase(std::unique(words.begin(), words.end(),
                            [](const Word &a, const Word &b) { return a.text == b.text; }),
                words.end());

    std::vector<Node> nodes;
    nodes.reserve(words.size());
    BuildNode(words, 0, words.size(), 0, nodes);

    // Depth-first offsets: a node, then the nodes of its follow-ons in entry order.
    uint64_t cursor = 0;
    size_t entryCount = 0;
    std::vector<uint32_t> stack{0};
    while (!stack.empty()) {
        Node &n = nodes[stack.back()];
        stack.pop_back();
        n.offset = static_cast<uint32_t>(cursor);
        cursor += wa::NodeBytes(n.entries.size());
        entryCount += n.entries.size();
        for (auto it = n.entries.rbegin(); it != n.entries.rend(); ++it)
            if (!it->end)
                stack.push_back(it->value);
    }
    if (cursor > 0x7fffffffu)
        throw std::length_error("trie exceeds 2 GiB");

    Bytes out(cursor, 0);
    for (const Node &n : nodes) {
        const auto e = static_cast<uint32_t>(n.entries.size());
        Put32(out, n.offset, e);
        const size_t links = n.offset + 4 + wa::KeysBytes(e);
        for (uint32_t i = 0; i < e; ++i) {
            const Entry &en = n.entries[i];
            std::memcpy(out.data() + n.offset + 4 + 2 * i, &en.key, 2);
            Put32(out, links + 4 * i, en.end ? (0x80000000u | en.value) : nodes[en.value].offset);
        }
    }
    if (stats)
        *stats = {words.size(), nodes.size(), entryCount, out.size()};
    return out;
}

Bytes BuildConfigPayload(const SystemDictOptions &options) {
    Bytes c(wa::kConfigSize, 0);
    std::fill_n(c.begin() + wa::kCfgParam0, wa::kParam0Values, 1);
    std::fill_n(c.begin() + wa::kCfgParam1, wa::kParam1Values, 1);
    std::fill_n(c.begin() + wa::kCfgParam2Mask, wa::kParam2Bytes, 1);
    std::fill_n(c.begin() + wa::kCfgParam3, wa::kParam3Values, 1);
    std::fill_n(c.begin() + wa::kCfgMode, wa::kModeValues, 1);
    Put32(c, wa::kCfgDefCandNum, options.defaultCandNum);
    Put32(c, wa::kCfgDefMode, options.defaultMode);
    return c;
}

Bytes AssembleSystemDict(const std::vector<Bytes> &payloads, const std::string &key) {
    if (key.size() >= wa::kKeyArea || key.find('\0') != std::string::npos)
        throw std::invalid_argument("the key text must be shorter than 99 bytes");
    Bytes out(wa::kHeaderSize, 0);
    Put32(out, wa::kOffFormat, wa::kFormatNumber);
    std::memcpy(out.data() + wa::kOffKey, key.data(), key.size());
    for (const Bytes &p : payloads) {
        const size_t at = out.size();
        const size_t recordLength = wa::kRecordHead + ((p.size() + 3) & ~size_t{3});
        out.resize(at + recordLength, 0);
        Put32(out, at, static_cast<uint32_t>(recordLength));
        Put32(out, at + 4, static_cast<uint32_t>(p.size()));
        std::copy(p.begin(), p.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(at + wa::kRecordHead));
        if (!key.empty())
            qvcommon::KeyedScramble(out.data() + at + wa::kRecordHead, static_cast<uint32_t>(p.size()),
                           key.c_str());
    }
    const size_t n = out.size() - wa::kHeaderSize;
    uint32_t sum = 0;
    for (size_t i = wa::kHeaderSize; i < out.size(); ++i)
        sum += out[i];
    Put32(out, wa::kOffDataLength, static_cast<uint32_t>(n));
    Put32(out, wa::kOffChecksum, sum);
    return out;
}

Bytes BuildSystemDict(std::vector<Word> words, const SystemDictOptions &options, TrieStats *stats) {
    return AssembleSystemDict(
        {BuildConfigPayload(options), BuildTriePayload(std::move(words), stats)}, options.key);
}

Bytes BuildUserDict(const std::vector<std::u16string> &words) {
    if (words.size() > wa::kUserCapacity)
        throw std::invalid_argument("more than 2048 words");
    Bytes out(wa::kUserDictSize, 0);
    Put32(out, wa::kUserOffCapacity, wa::kUserCapacity);
    Put32(out, wa::kUserOffEntrySize, wa::kUserEntrySize);
    Put32(out, wa::kUserOffStride, wa::kUserStride);
    const auto n = static_cast<uint32_t>(words.size());
    Put32(out, wa::kUserOffOldest, n == 0 ? 0xffffffffu : 0);
    Put32(out, wa::kUserOffNext, n == 0 ? 0xffffffffu : n % wa::kUserCapacity);
    for (uint32_t i = 0; i < n; ++i) {
        if (words[i].size() > wa::kUserMaxWord)
            throw std::invalid_argument("word too long");
        std::memcpy(out.data() + wa::kUserHeaderSize + i * wa::kUserStride, words[i].data(),
                    2 * words[i].size());
    }
    return out;
}

}  // namespace wadict
