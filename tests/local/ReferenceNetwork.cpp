#include "ReferenceNetwork.h"

#include <cstdint>
#include <string>

#include "Activations.h"
#include "WeightTable.h"

using namespace v7;

namespace {

struct Seq {
    int length = 0;
    int depth = 0;
    std::vector<float> v;
    float *at(int t) { return &v[static_cast<size_t>(t) * depth]; }
};

const float *W(const Network *n, const std::string &name) {
    return NetworkWeights(n, (name + "_weights").c_str(), nullptr);
}

// dest[t] += W · src[t + delay] for one position, the sum started from 0.
void AddSum(const float *w, Seq &src, int t, int delay, float *dest, int rows) {
    const int s = t + delay;
    if (s < 0 || s >= src.length)
        return;
    const float *x = src.at(s);
    int k = 0;
    for (int o = 0; o < rows; ++o) {
        float sum = 0.0f;
        for (int i = 0; i < src.depth; ++i)
            sum += x[i] * w[k++];
        dest[o] += sum;
    }
}

float F(const std::string &kind, float x) {
    if (kind == "tanh")
        return Tanh(x);
    if (kind == "softsign")
        return Softsign(x);
    if (kind == "logistic")
        return Logistic(x);
    return x;
}

Seq Lstm(const Network *n, const std::string &name, const std::string &kind, int blocks, int dir,
         const std::string &belowName, Seq &below, Seq &bias) {
    const std::string ci = kind == "softsign_lstm" ? "softsign" : "tanh";
    const std::string co = kind == "softsign_lstm" ? "softsign"
                           : kind == "linear_lstm" ? "identity"
                                                   : "tanh";
    Seq out{below.length, blocks, std::vector<float>(static_cast<size_t>(below.length) * blocks)};
    std::vector<float> states(static_cast<size_t>(below.length) * blocks);
    const float *peep = W(n, name + "_peepholes");
    const int delay = -dir;
    for (int i = 0; i < below.length; ++i) {
        const int t = dir > 0 ? i : below.length - 1 - i;
        std::vector<float> net(4 * blocks, 0.0f);
        AddSum(W(n, belowName + "_to_" + name), below, t, 0, net.data(), 4 * blocks);
        AddSum(W(n, "bias_to_" + name), bias, 0, 0, net.data(), 4 * blocks);
        AddSum(W(n, name + "_to_" + name + "_delay_" + std::to_string(delay)), out, t, delay,
               net.data(), 4 * blocks);
        const int old = t + delay;
        const bool hasOld = old >= 0 && old < below.length;
        const float *oldState = hasOld ? &states[static_cast<size_t>(old) * blocks] : nullptr;
        int a = 0, p = 0;
        for (int b = 0; b < blocks; ++b) {
            if (hasOld) {
                float s = 0.0f;
                s += peep[p] * oldState[b];
                net[a] += s;
            }
            p += 1;
            const float gIn = Logistic(net[a++]);
            if (hasOld) {
                float s = 0.0f;
                s += peep[p] * oldState[b];
                net[a] += s;
            }
            const float gF = Logistic(net[a]);
            p += 1;
            a += 1;
            const float pre = F(ci, net[a++]);
            float state = gIn * pre;
            if (hasOld)
                state += gF * oldState[b];
            states[static_cast<size_t>(t) * blocks + b] = state;
            const float preout = F(co, state);
            {
                float s = 0.0f;
                s += peep[p] * state;
                net[a] += s;
            }
            p += 1;
            const float gOut = Logistic(net[a++]);
            out.at(t)[b] = gOut * preout;
        }
    }
    return out;
}

}  // namespace

std::vector<float> ReferenceForward(const Network *n, const NetworkDescription &d,
                                    const float *frames, int frameCount) {
    Seq input{frameCount, 15, std::vector<float>(frames, frames + frameCount * 15)};
    Seq bias{1, 1, {1.0f}};
    Seq below = input;
    std::string belowName = "input";
    std::vector<Seq> top;
    const int levels = static_cast<int>(d.hiddenSizes.size());
    for (int level = 0; level < levels; ++level) {
        std::vector<Seq> hidden;
        for (int dir = 0; dir < 2; ++dir) {
            const std::string name = "hidden_" + std::to_string(level) + "_" + std::to_string(dir);
            Seq h = Lstm(n, name, d.hiddenType, d.hiddenSizes[level], dir == 0 ? -1 : 1, belowName,
                         below, bias);
            hidden.push_back(h);
        }
        if (level + 1 == levels) {
            top = hidden;
            break;
        }
        const int B = d.subsampleBlock;
        std::vector<Seq> blocks;
        for (Seq &h : hidden) {
            Seq b{(h.length + B - 1) / B, h.depth * B, {}};
            b.v.assign(static_cast<size_t>(b.length) * b.depth, 0.0f);
            for (int t = 0; t < b.length; ++t)
                for (int j = 0; j < B; ++j)
                    if (t * B + j < h.length)
                        for (int i = 0; i < h.depth; ++i)
                            b.at(t)[j * h.depth + i] = h.at(t * B + j)[i];
            blocks.push_back(b);
        }
        const int m = d.subsampleSizes[level];
        const std::string sub = "subsample_" + std::to_string(level);
        Seq s{blocks[0].length, m, std::vector<float>(static_cast<size_t>(blocks[0].length) * m)};
        for (int t = 0; t < s.length; ++t) {
            std::vector<float> net(m, 0.0f);
            for (int dir = 0; dir < 2; ++dir)
                AddSum(W(n, "hidden_" + std::to_string(level) + "_" + std::to_string(dir) +
                                "_block_to_" + sub),
                       blocks[dir], t, 0, net.data(), m);
            for (int i = 0; i < m; ++i)
                s.at(t)[i] = F(d.subsampleType, net[i]);
        }
        below = s;
        belowName = sub;
    }
    const int K = d.outputSize;
    std::vector<float> probs(static_cast<size_t>(top[0].length) * K);
    const std::string last = "hidden_" + std::to_string(levels - 1) + "_";
    for (int t = 0; t < top[0].length; ++t) {
        std::vector<float> net(K, 0.0f);
        AddSum(W(n, last + "0_to_output"), top[0], t, 0, net.data(), K);
        AddSum(W(n, last + "1_to_output"), top[1], t, 0, net.data(), K);
        AddSum(W(n, "bias_to_output"), bias, 0, 0, net.data(), K);
        float lo = net[0], hi = net[0];
        for (float x : net) {
            lo = x < lo ? x : lo;
            hi = x > hi ? x : hi;
        }
        const float offset = (lo + hi) / 2.0f;
        std::vector<float> u(K);
        float z = 0.0f;
        for (int k = 0; k < K; ++k) {
            u[k] = SafeExp(net[k] - offset);
            z += u[k];
        }
        for (int k = 0; k < K; ++k)
            probs[static_cast<size_t>(t) * K + k] = u[k] / z;
    }
    return probs;
}

std::vector<float> RandomWeightSection(unsigned seed, float scale) {
    std::vector<float> w(kWeightSectionFloats);
    uint64_t s = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    for (float &x : w) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        const double u = static_cast<double>(s >> 40) / static_cast<double>(1ULL << 24);
        x = static_cast<float>((2.0 * u - 1.0) * scale);
    }
    return w;
}
