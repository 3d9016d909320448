#include "Trainer.h"

#include <algorithm>
#include <cmath>

#include "Labels.h"

namespace v7train {

bool ExampleFromRaw(const std::vector<int16_t> &raw, const std::string &text, bool single,
                    Example &out) {
    std::vector<int32_t> pts(raw.begin(), raw.end());
    out.segments.clear();
    out.text = text;
    out.labels = TextToLabels(text);
    return ComputeFrames(pts.data(), int(pts.size() / 2), single, out.segments) == kFeaturesOk;
}

InputNorm InputNorm::Identity() {
    InputNorm n;
    for (int k = 0; k < kFrameInputs; ++k) {
        n.mean[k] = 0;
        n.scale[k] = 1;
    }
    return n;
}

InputNorm InputNorm::Measure(const std::vector<Example> &examples) {
    double sum[kFrameInputs] = {}, sq[kFrameInputs] = {}, n = 0;
    for (const Example &ex : examples)
        for (const SegmentFrames &s : ex.segments)
            for (int t = 0; t < s.frames; ++t) {
                for (int k = 0; k < kFrameInputs; ++k) {
                    double v = s.values[size_t(t) * kFrameInputs + k];
                    sum[k] += v;
                    sq[k] += v * v;
                }
                n += 1;
            }
    InputNorm norm = Identity();
    if (n < 2)
        return norm;
    for (int k = 0; k < kFrameInputs; ++k) {
        double m = sum[k] / n, var = std::max(0.0, sq[k] / n - m * m);
        norm.mean[k] = float(m);
        norm.scale[k] = float(std::max(std::sqrt(var), 1e-3));
    }
    return norm;
}

std::vector<float> FoldNorm(const std::vector<float> &params, const InputNorm &norm) {
    // W (x - m) / s + b = (W / s) x + (b - W m / s)
    const WeightLayout &L = WeightLayout::V7();
    std::vector<float> out = params;
    for (int d = 0; d < 2; ++d) {
        std::string h = "hidden_0_" + std::to_string(d);
        const WeightArray &w = L.Get("input_to_" + h), &b = L.Get("bias_to_" + h);
        for (size_t o = 0; o < b.count; ++o) {
            double shift = 0;
            for (int k = 0; k < kFrameInputs; ++k) {
                double wk = params[w.offset + o * kFrameInputs + size_t(k)] / norm.scale[k];
                out[w.offset + o * kFrameInputs + size_t(k)] = float(wk);
                shift += wk * norm.mean[k];
            }
            out[b.offset + o] = float(params[b.offset + o] - shift);
        }
    }
    return out;
}

Recogniser::Recogniser(const std::vector<float> &foldedParams) {
    net_.params = foldedParams;
}

int Recogniser::Run(const Example &ex, std::vector<float> &prob) {
    prob.clear();
    int total = 0;
    for (const SegmentFrames &s : ex.segments) {
        int T = net_.Forward(s.values.data(), s.frames);
        prob.insert(prob.end(), net_.Probabilities().begin(), net_.Probabilities().end());
        total += T;
    }
    return total;
}

}  // namespace v7train
