// Small hand-made dictionaries and writings for the character-engine tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "CharDictionary.h"
#include "CharDictionaryWriter.h"
#include "CharEngine.h"
#include "CharFeatures.h"
#include "ScratchPool.h"

namespace chareng_test {

using Pairs = std::vector<int16_t>;

// One stroke through the points, as stroke data ending the writing.
inline Pairs Polyline(std::initializer_list<std::pair<int, int>> pts, bool end = true) {
    Pairs p;
    for (auto [x, y] : pts) {
        p.push_back(static_cast<int16_t>(x));
        p.push_back(static_cast<int16_t>(y));
    }
    p.push_back(-1);
    p.push_back(0);
    if (end) {
        p.push_back(-1);
        p.push_back(-1);
    }
    return p;
}

// Points every `step` along a straight line.
inline Pairs Line(int x0, int y0, int x1, int y1, int n = 20) {
    Pairs p;
    for (int i = 0; i <= n; ++i) {
        p.push_back(static_cast<int16_t>(x0 + (x1 - x0) * i / n));
        p.push_back(static_cast<int16_t>(y0 + (y1 - y0) * i / n));
    }
    p.insert(p.end(), {-1, 0, -1, -1});
    return p;
}

inline Pairs Circle(int cx, int cy, int r, int n = 40) {
    Pairs p;
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * 3.14159265358979 * i / n;
        p.push_back(static_cast<int16_t>(cx + std::lround(r * std::cos(a))));
        p.push_back(static_cast<int16_t>(cy + std::lround(r * std::sin(a))));
    }
    p.insert(p.end(), {-1, 0, -1, -1});
    return p;
}

// Shapes that are far apart for the engine: line right, line down, circle, "L", "V", ...
inline std::vector<Pairs> Shapes() {
    return {
        Line(10, 100, 210, 100),
        Line(100, 10, 100, 210),
        Circle(110, 110, 100),
        Polyline({{20, 20}, {20, 200}, {200, 200}}),
        Polyline({{20, 20}, {110, 200}, {200, 20}}),
        Polyline({{20, 200}, {110, 20}, {200, 200}}),
        Polyline({{20, 20}, {200, 20}, {20, 200}, {200, 200}}),
        Polyline({{200, 20}, {20, 20}, {20, 200}}),
        Polyline({{20, 110}, {200, 110}, {110, 20}}),
        Polyline({{20, 20}, {200, 200}}),
        Polyline({{200, 20}, {20, 200}}),
        Polyline({{20, 200}, {20, 20}, {200, 200}, {200, 20}}),
    };
}

inline std::vector<int16_t> Raw(const Pairs &pairs) {
    alignas(16) static uint8_t scratch[chareng::kScratchBytes];
    chareng::ScratchPool pool{scratch, static_cast<uint32_t>(chareng::kScratchBytes), 0};
    std::vector<int16_t> raw(chareng::kRawFeatureCount);
    Pairs p = pairs;
    chareng::ComputeRawFeatures(p.data(), pool, raw.data(), nullptr);
    return raw;
}

// A fixed random projection, spread so that different shapes land far apart.
struct TestProjection {
    std::vector<int16_t> weights;
    std::vector<uint8_t> bytes;
    int dim;
    int32_t divisor;
    explicit TestProjection(int d, int32_t div = 0) : dim(d) {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> u(-300, 300);
        weights.resize(static_cast<size_t>(chareng::kRawFeatureCount) * dim);
        for (auto &w : weights)
            w = static_cast<int16_t>(u(rng));
        // No offset: the constant feature's row is zero.
        for (int j = 0; j < dim; ++j)
            weights[(chareng::kRawFeatureCount - 1) * dim + j] = 0;
        for (int16_t w : weights)
            chartrain::AppendU16(bytes, static_cast<uint16_t>(w));
        divisor = div;
        if (divisor == 0) {
            // About 60 units of spread per dimension for the test shapes.
            double sum = 0;
            int n = 0;
            for (const Pairs &s : Shapes()) {
                const auto raw = Raw(s);
                for (int j = 0; j < dim; ++j) {
                    int64_t acc = 0;
                    for (int i = 0; i < chareng::kRawFeatureCount; ++i)
                        acc += static_cast<int64_t>(raw[i]) * weights[i * dim + j];
                    sum += std::abs(static_cast<double>(acc));
                    ++n;
                }
            }
            divisor = static_cast<int32_t>(std::max(1.0, sum / n / 60));
        }
    }
    std::vector<uint8_t> Project(const Pairs &pairs) const {
        std::vector<uint8_t> y(dim);
        const auto raw = Raw(pairs);
        chareng::ProjectFeatures(raw.data(), bytes.data(), dim, divisor, y.data());
        return y;
    }
};

// A dictionary whose class i has the template of `shapes[i]` (type 0 records without
// eigenvectors), classes spread over groups by `groups[i]`.
inline chartrain::DictionarySpec SpecFor(const TestProjection &proj,
                                         const std::vector<Pairs> &shapes,
                                         const std::vector<int> &groups,
                                         const std::vector<uint16_t> &codes) {
    chartrain::DictionarySpec spec;
    spec.dim = proj.dim;
    spec.divisor = proj.divisor;
    spec.projection = proj.weights;
    spec.delta[0] = 8;
    spec.eigenCounts[0] = 0;
    spec.codes = codes;
    for (size_t i = 0; i < shapes.size(); ++i) {
        chartrain::MqdfRecord rec;
        rec.mean = proj.Project(shapes[i]);
        spec.groups[groups[i]].AddMqdfClass({rec});
    }
    return spec;
}

struct Engine {
    std::vector<uint8_t> image;
    std::vector<uint8_t> work = std::vector<uint8_t>(kCharEngineWorkSize);
    void *h = nullptr;
    explicit Engine(std::vector<uint8_t> img) : image(std::move(img)) {
        h = CharEngineStart(image.data(), nullptr, work.data());
    }
    void Set(int id, int32_t v) { CharEngineSetParam(h, id, &v); }
    struct Result {
        std::vector<uint16_t> codes;
        std::vector<int32_t> scores;
        std::vector<uint16_t> secondary;
    };
    Result Recog(Pairs p) {
        uint16_t codes[kCharMaxCandidates + 1];
        int32_t scores[kCharMaxCandidates + 1];
        uint16_t second[kCharMaxCandidates + 1];
        const int n = CharEngineRecog(h, p.data(), codes, scores, second);
        Result r;
        r.codes.assign(codes, codes + n);
        r.scores.assign(scores, scores + n);
        r.secondary.assign(second, second + n);
        EXPECT_EQ(codes[n], 0) << "the codes end with a 0 entry";
        return r;
    }
};

}  // namespace chareng_test
