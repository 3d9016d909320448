#include "SampleStore.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "CharDictionary.h"
#include "CharFeatures.h"
#include "ScratchPool.h"

namespace chartrain {

namespace {

// Bumped whenever the samples of a seed change, so that stale stores are made anew.
constexpr uint32_t kMagic = 0x33534351;  // "QCS3": inksynth's pen model

struct FileHeader {
    uint32_t magic, perClass, classes, flags;
    uint64_t seed;
    double strength;
};

}  // namespace

void CutForEngine(std::vector<int16_t> *pairs) {
    constexpr size_t kMaxPairs = 1024;
    if (pairs->size() / 2 <= kMaxPairs)
        return;
    pairs->resize(2 * kMaxPairs);
    (*pairs)[2 * kMaxPairs - 4] = -1;
    (*pairs)[2 * kMaxPairs - 3] = 0;
    (*pairs)[2 * kMaxPairs - 2] = -1;
    (*pairs)[2 * kMaxPairs - 1] = -1;
}

void RawFeatures(const std::vector<int16_t> &pairs, int16_t *out) {
    alignas(16) static thread_local uint8_t scratch[chareng::kScratchBytes];
    chareng::ScratchPool pool{scratch, static_cast<uint32_t>(chareng::kScratchBytes), 0};
    std::vector<int16_t> p = pairs;
    CutForEngine(&p);
    if (!chareng::ComputeRawFeatures(p.data(), pool, out, nullptr))
        throw std::runtime_error("scratch pool too small for features");
}

std::vector<int16_t> MakeSample(const ClassDef &def, const std::vector<Ink> &drawings, uint32_t cls,
                                uint32_t index, const SampleSpec &spec) {
    inksynth::Random rng(SampleSeed(spec.seed, cls, index));
    const Ink &clean = drawings[index % drawings.size()];
    WriterStyle style = RandomStyle(rng, spec.strength);
    AugmentLimits limits;
    if (def.gesture) {
        limits.allowReverse = limits.allowReorder = limits.allowJoin = limits.allowBreak = false;
        limits.rotationScale = 0.5;
    }
    std::vector<int16_t> pairs = Augment(clean, style, limits, rng);
    CutForEngine(&pairs);
    return pairs;
}

Samples BuildSamples(const CharSet &set, const SampleSpec &spec, const std::string &path,
                     int progressEvery) {
    const uint32_t classes = static_cast<uint32_t>(set.classes.size());
    const uint32_t flags = (spec.keepInk ? 1u : 0u) | (spec.keepFeatures ? 2u : 0u);
    const FileHeader want{
        kMagic, static_cast<uint32_t>(spec.perClass), classes, flags, spec.seed, spec.strength};
    Samples out;
    uint32_t done = 0;
    // Read what an earlier run wrote; keep only whole classes.
    {
        std::ifstream in(path, std::ios::binary);
        FileHeader h{};
        if (in.read(reinterpret_cast<char *>(&h), sizeof h) && h.magic == want.magic &&
            h.perClass == want.perClass && h.classes == want.classes && h.flags == want.flags &&
            h.seed == want.seed && h.strength == want.strength) {
            std::streamoff good = sizeof h;
            for (;;) {
                uint32_t cls = 0;
                std::vector<int16_t> pairs, feats;
                bool ok = true;
                std::vector<uint32_t> blockCls;
                std::vector<std::vector<int16_t>> blockPairs;
                std::vector<int16_t> blockFeats;
                for (int i = 0; i < spec.perClass && ok; ++i) {
                    ok = static_cast<bool>(in.read(reinterpret_cast<char *>(&cls), 4));
                    if (ok && spec.keepInk) {
                        uint32_t n = 0;
                        ok = static_cast<bool>(in.read(reinterpret_cast<char *>(&n), 4)) &&
                             n < 1u << 20;
                        pairs.resize(n);
                        ok = ok && in.read(reinterpret_cast<char *>(pairs.data()), 2 * n);
                        blockPairs.push_back(pairs);
                    }
                    if (ok && spec.keepFeatures) {
                        feats.resize(chareng::kRawFeatureCount);
                        ok = static_cast<bool>(
                            in.read(reinterpret_cast<char *>(feats.data()), 2 * feats.size()));
                        blockFeats.insert(blockFeats.end(), feats.begin(), feats.end());
                    }
                    blockCls.push_back(cls);
                }
                if (!ok || blockCls.empty() || blockCls[0] != done)
                    break;
                out.cls.insert(out.cls.end(), blockCls.begin(), blockCls.end());
                for (auto &p : blockPairs)
                    out.pairs.push_back(std::move(p));
                out.features.insert(out.features.end(), blockFeats.begin(), blockFeats.end());
                good = in.tellg();
                ++done;
                if (done == classes)
                    break;
            }
            in.close();
            if (done < classes)
                std::filesystem::resize_file(path, static_cast<uintmax_t>(good));
        } else {
            done = 0;
        }
    }
    if (done == classes)
        return out;
    std::FILE *f = std::fopen(path.c_str(), done == 0 ? "wb" : "ab");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    if (done == 0)
        std::fwrite(&want, sizeof want, 1, f);
    if (done > 0)
        std::fprintf(stderr, "%s: resuming at class %u of %u\n", path.c_str(), done, classes);
    const auto start = std::chrono::steady_clock::now();
    std::vector<int16_t> feats(chareng::kRawFeatureCount);
    for (uint32_t c = done; c < classes; ++c) {
        const ClassDef &def = set.classes[c];
        const std::vector<Ink> &drawings =
            c < spec.drawingsOverride.size() && !spec.drawingsOverride[c].empty()
                ? spec.drawingsOverride[c]
                : def.drawings;
        for (int i = 0; i < spec.perClass; ++i) {
            std::vector<int16_t> pairs =
                MakeSample(def, drawings, c, static_cast<uint32_t>(i), spec);
            std::fwrite(&c, 4, 1, f);
            out.cls.push_back(c);
            if (spec.keepInk) {
                const uint32_t n = static_cast<uint32_t>(pairs.size());
                std::fwrite(&n, 4, 1, f);
                std::fwrite(pairs.data(), 2, n, f);
            }
            if (spec.keepFeatures) {
                RawFeatures(pairs, feats.data());
                std::fwrite(feats.data(), 2, feats.size(), f);
                out.features.insert(out.features.end(), feats.begin(), feats.end());
            }
            if (spec.keepInk)
                out.pairs.push_back(std::move(pairs));
        }
        std::fflush(f);
        if (progressEvery > 0 && ((c + 1) % progressEvery == 0 || c + 1 == classes)) {
            const double s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::fprintf(stderr, "%s: %u / %u classes (%.0f s)\n", path.c_str(), c + 1, classes, s);
        }
    }
    std::fclose(f);
    return out;
}

}  // namespace chartrain
