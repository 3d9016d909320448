#include "Trainer.h"

#include <algorithm>
#include <cmath>

#include <memory>

#include "InkPipeline.h"
#include "Labels.h"
#include "SixDecimals.h"

namespace v7train {

bool ExampleFromRaw(const std::vector<int16_t> &raw, const std::string &text, bool single,
                    Example &out) {
    // One workspace per thread for the life of the process: the pipeline touches only what a
    // writing needs of its 80 MB.
    thread_local std::unique_ptr<uint64_t[]> workspace(
        new uint64_t[(v7::InkPipeline::WorkspaceSize() + 7) / 8]);
    std::vector<int32_t> pts(raw.begin(), raw.end());
    out.segments.clear();
    out.text = text;
    out.labels = TextToLabels(text);
    v7::InkPipeline ink(workspace.get());
    if (ink.Prepare(pts.data(), int(pts.size() / 2), single) != 0)
        return false;
    for (int s = 0; s < ink.segmentCount(); ++s) {
        if (ink.BuildFrames(s) != 0)
            return false;
        std::vector<float> inputs(size_t(ink.frameCount()) * kFrameInputs);
        for (int f = 0; f < ink.frameCount(); ++f)
            v7::FrameInputs(ink.frames()[f], &inputs[size_t(f) * kFrameInputs]);
        out.segments.push_back(std::move(inputs));
    }
    return true;
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
        for (const std::vector<float> &s : ex.segments)
            for (size_t t = 0; t < s.size() / kFrameInputs; ++t) {
                for (int k = 0; k < kFrameInputs; ++k) {
                    double v = s[t * kFrameInputs + size_t(k)];
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

std::vector<float> UnfoldNorm(const std::vector<float> &folded, const InputNorm &norm) {
    // W' = W / s and b' = b - W' m, so W = W' s and b = b' + W' m.
    const WeightLayout &L = WeightLayout::V7();
    std::vector<float> out = folded;
    for (int d = 0; d < 2; ++d) {
        std::string h = "hidden_0_" + std::to_string(d);
        const WeightArray &w = L.Get("input_to_" + h), &b = L.Get("bias_to_" + h);
        for (size_t o = 0; o < b.count; ++o) {
            double shift = 0;
            for (int k = 0; k < kFrameInputs; ++k) {
                double wk = folded[w.offset + o * kFrameInputs + size_t(k)];
                out[w.offset + o * kFrameInputs + size_t(k)] = float(wk * norm.scale[k]);
                shift += wk * norm.mean[k];
            }
            out[b.offset + o] = float(folded[b.offset + o] + shift);
        }
    }
    return out;
}

std::vector<float> EngineWeights(const std::vector<float> &params, const InputNorm &norm) {
    std::vector<float> out = FoldNorm(params, norm);
    for (float &v : out)
        v = v7::SixDecimalRoundTrip(v);
    return out;
}

Recogniser::Recogniser(const std::vector<float> &foldedParams) {
    net_.params = foldedParams;
}

int Recogniser::Run(const Example &ex, std::vector<float> &prob) {
    // All segments in one pass: the network runs them in lockstep.
    std::vector<const float *> inputs;
    std::vector<int> frames;
    for (const std::vector<float> &s : ex.segments) {
        inputs.push_back(s.data());
        frames.push_back(int(s.size() / kFrameInputs));
    }
    net_.ForwardBatch(inputs, frames);
    prob.clear();
    int total = 0;
    for (int s = 0; s < net_.Sequences(); ++s) {
        prob.insert(prob.end(), net_.Probabilities(s).begin(), net_.Probabilities(s).end());
        total += net_.OutFrames(s);
    }
    return total;
}

}  // namespace v7train
