#include "WeightLayout.h"

#include <algorithm>
#include <stdexcept>

namespace v7train {

const WeightLayout &WeightLayout::V7() {
    static const WeightLayout layout = [] {
        WeightLayout l;
        const int sizes[3] = {20, 60, 180};
        const int inputs[3] = {15, 20, 60};  // input, subsample_0, subsample_1
        const char *sources[3] = {"input", "subsample_0", "subsample_1"};
        std::vector<std::pair<std::string, size_t>> arrays;
        for (int level = 0; level < 3; ++level) {
            size_t n = size_t(sizes[level]), net = 4 * n;
            for (int d = 0; d < 2; ++d) {
                std::string h = "hidden_" + std::to_string(level) + "_" + std::to_string(d);
                arrays.push_back(
                    {std::string(sources[level]) + "_to_" + h, net * size_t(inputs[level])});
                arrays.push_back({"bias_to_" + h, net});
                arrays.push_back({h + "_to_" + h + (d == 0 ? "_delay_1" : "_delay_-1"), net * n});
                arrays.push_back({h + "_peepholes", 3 * n});
                if (level < 2) {
                    arrays.push_back(
                        {h + "_block_to_subsample_" + std::to_string(level), n * 2 * n});
                } else {
                    arrays.push_back({h + "_to_output", 54 * n});
                }
            }
        }
        arrays.push_back({"bias_to_output", 54});
        std::sort(arrays.begin(), arrays.end());
        for (auto &[name, count] : arrays) {
            l.arrays_.push_back({name, l.total_, count});
            l.total_ += count;
        }
        return l;
    }();
    return layout;
}

const WeightArray &WeightLayout::Get(const std::string &name) const {
    for (const WeightArray &a : arrays_)
        if (a.name == name)
            return a;
    throw std::out_of_range("no weight array " + name);
}

std::vector<float> WeightLayout::ToSection(const std::vector<float> &params) const {
    std::vector<float> out;
    out.reserve(SectionFloats());
    for (const WeightArray &a : arrays_) {
        out.insert(out.end(), a.count, 0.0f);
        out.insert(out.end(), params.begin() + long(a.offset),
                   params.begin() + long(a.offset + a.count));
    }
    return out;
}

bool WeightLayout::FromSection(const std::vector<float> &section,
                               std::vector<float> &params) const {
    if (section.size() != SectionFloats())
        return false;
    params.assign(total_, 0.0f);
    size_t pos = 0;
    for (const WeightArray &a : arrays_) {
        pos += a.count;  // deltas
        std::copy(section.begin() + long(pos), section.begin() + long(pos + a.count),
                  params.begin() + long(a.offset));
        pos += a.count;
    }
    return true;
}

}  // namespace v7train
