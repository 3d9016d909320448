#include "Network.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "Activations.h"
#include "PackedMatrix.h"
#include "SixDecimals.h"
#include "WeightTable.h"

namespace v7 {

namespace {

constexpr const char *kContainerName = "weightContainer";
// Positions whose net inputs an LSTM layer gathers at once: large enough for the batched
// products, small enough that long writings need no frame-sized scratch.
constexpr int kChunk = 64;

struct WeightRange {
    uint32_t begin = 0;
    uint32_t count = 0;
};

// The network's single weight vector and the named ranges reserved in it.
struct WeightContainer {
    std::vector<float> weights;
    std::vector<std::pair<std::string, WeightRange>> values;  // "<name>_weights"

    WeightRange Reserve(const std::string &name, uint32_t count) {
        WeightRange r{static_cast<uint32_t>(weights.size()), count};
        weights.resize(weights.size() + count, 0.0f);
        values.emplace_back(name + "_weights", r);
        return r;
    }
};

enum class LayerClass { Input, Bias, Neuron, Lstm, Block, Softmax };

struct Layer {
    std::string name;
    LayerClass cls = LayerClass::Neuron;
    LayerKind kind = LayerKind::Identity;
    int direction = 1;
    int inputSize = 0;   // net inputs per position
    int outputSize = 0;  // outputs per position
    int blockLength = 1;
    Layer *source = nullptr;  // the layer whose sequence shape this one follows
    int length = 0;
    std::vector<float> out;  // length × outputSize; one value for the bias
    WeightRange peepholes;
    std::vector<int> connections;  // into the layer, in the order they add
};

struct Connection {
    std::string name;
    Layer *from = nullptr;
    Layer *to = nullptr;
    int delay = 0;
    WeightRange range;
    PackedMatrix packed;
};

}  // namespace

struct Network {
    NetworkDescription description;
    WeightContainer container;
    std::vector<std::unique_ptr<Layer>> layers;  // evaluation order
    std::vector<Connection> connections;
    Layer *input = nullptr;
    Layer *bias = nullptr;
    Layer *output = nullptr;
    std::vector<float> net;       // scratch net inputs
    std::vector<float> state[2];  // LSTM cell states of the previous and current position
    std::vector<float> preout;
    uint64_t multiplyAdds = 0;

    Layer *AddLayer(const std::string &name, LayerClass cls, LayerKind kind, int in, int out,
                    Layer *source, int direction = 1) {
        auto layer = std::make_unique<Layer>();
        layer->name = name;
        layer->cls = cls;
        layer->kind = kind;
        layer->inputSize = in;
        layer->outputSize = out;
        layer->source = source;
        layer->direction = direction;
        layers.push_back(std::move(layer));
        return layers.back().get();
    }

    void Connect(Layer *from, Layer *to, int delay = 0) {
        Connection c;
        c.name = from->name + "_to_" + to->name;
        if (delay != 0)
            c.name += "_delay_" + std::to_string(delay);
        c.from = from;
        c.to = to;
        c.delay = delay;
        c.range = container.Reserve(
            c.name, static_cast<uint32_t>(from->outputSize) * static_cast<uint32_t>(to->inputSize));
        to->connections.push_back(static_cast<int>(connections.size()));
        connections.push_back(std::move(c));
    }

    bool Build(const NetworkDescription &d);
    void Pack();
    void FeedForward(const float *first, int frames, ptrdiff_t stride);

    void AddConnection(const Connection &c, int t0, int t1, float *netRows);
    void RunNeuron(Layer &layer);
    void RunSoftmax(Layer &layer);
    void RunBlock(Layer &layer);
    void RunLstm(Layer &layer);
    template <float (*CI)(float), float (*CO)(float), float (*G)(float)>
    void LstmStep(const Layer &layer, const float *netRow, const float *oldState, float *newState,
                  float *outRow);
};

bool Network::Build(const NetworkDescription &d) {
    LayerKind hiddenKind, subsampleKind;
    if (!LayerKindFromWord(d.hiddenType, &hiddenKind) ||
        !LayerKindFromWord(d.subsampleType, &subsampleKind))
        return false;
    if (d.task != "transcription" || d.hiddenSizes.empty() ||
        d.subsampleSizes.size() + 1 < d.hiddenSizes.size() || d.subsampleBlock < 1 ||
        d.inputSize < 1 || d.outputSize < 2)
        return false;
    description = d;
    input = AddLayer("input", LayerClass::Input, LayerKind::Identity, 0, d.inputSize, nullptr);
    bias = AddLayer("bias", LayerClass::Bias, LayerKind::Identity, 0, 1, nullptr);
    bias->out.assign(1, 1.0f);
    Layer *below = input;
    std::vector<Layer *> top;
    const int levels = static_cast<int>(d.hiddenSizes.size());
    for (int level = 0; level < levels; ++level) {
        const int n = d.hiddenSizes[level];
        const bool lstm = IsLstmKind(hiddenKind);
        std::vector<Layer *> hidden;
        for (int dir = 0; dir < 2; ++dir) {
            // Index 0 reads the sequence backwards, index 1 forwards.
            const int direction = dir == 0 ? -1 : 1;
            Layer *layer = AddLayer("hidden_" + std::to_string(level) + "_" + std::to_string(dir),
                                    lstm ? LayerClass::Lstm : LayerClass::Neuron, hiddenKind,
                                    lstm ? 4 * n : n, n, below, direction);
            Connect(below, layer);
            Connect(bias, layer);
            if (lstm) {
                Connect(layer, layer, -direction);
                layer->peepholes =
                    container.Reserve(layer->name + "_peepholes", static_cast<uint32_t>(3 * n));
            }
            hidden.push_back(layer);
        }
        if (level + 1 == levels) {
            top = hidden;
            break;
        }
        std::vector<Layer *> blocks;
        for (Layer *h : hidden) {
            Layer *block = AddLayer(h->name + "_block", LayerClass::Block, LayerKind::Identity, 0,
                                    h->outputSize * d.subsampleBlock, h);
            block->blockLength = d.subsampleBlock;
            blocks.push_back(block);
        }
        const int m = d.subsampleSizes[level];
        Layer *sub = AddLayer("subsample_" + std::to_string(level), LayerClass::Neuron,
                              subsampleKind, m, m, blocks[0]);
        if (IsLstmKind(subsampleKind))
            return false;
        for (Layer *b : blocks)
            Connect(b, sub);
        below = sub;
    }
    output = AddLayer("output", LayerClass::Softmax, LayerKind::Identity, d.outputSize,
                      d.outputSize, top[0]);
    for (Layer *h : top)
        Connect(h, output);
    Connect(bias, output);
    return true;
}

void Network::Pack() {
    for (Connection &c : connections)
        c.packed.Pack(container.weights.data() + c.range.begin, c.to->inputSize,
                      c.from->outputSize);
}

// netRows holds the net inputs of positions t0..t1-1 of the destination.
void Network::AddConnection(const Connection &c, int t0, int t1, float *netRows) {
    const Layer &from = *c.from;
    const int in = c.to->inputSize;
    if (&from == bias) {
        c.packed.MultiplyAdd(bias->out.data(), 0, t1 - t0, netRows, in);
        multiplyAdds += static_cast<uint64_t>(t1 - t0) * in;
        return;
    }
    // Source positions outside the sequence add nothing.
    const int lo = std::max(t0, -c.delay);
    const int hi = std::min(t1, from.length - c.delay);
    if (lo >= hi)
        return;
    c.packed.MultiplyAdd(from.out.data() + static_cast<size_t>(lo + c.delay) * from.outputSize,
                         from.outputSize, hi - lo, netRows + static_cast<size_t>(lo - t0) * in, in);
    multiplyAdds += static_cast<uint64_t>(hi - lo) * in * from.outputSize;
}

void Network::RunBlock(Layer &layer) {
    const Layer &src = *layer.source;
    const int b = layer.blockLength;
    layer.length = (src.length + b - 1) / b;  // ceil, as the float division gives for any T here
    layer.out.assign(static_cast<size_t>(layer.length) * layer.outputSize, 0.0f);
    for (int t = 0; t < layer.length; ++t)
        for (int j = 0; j < b; ++j) {
            const int s = t * b + j;
            if (s >= src.length)
                break;  // past the source's end: zeros
            std::memcpy(&layer.out[static_cast<size_t>(t) * layer.outputSize +
                                   static_cast<size_t>(j) * src.outputSize],
                        &src.out[static_cast<size_t>(s) * src.outputSize],
                        sizeof(float) * src.outputSize);
        }
}

static float Apply(LayerKind kind, float x) {
    switch (kind) {
        case LayerKind::Tanh:
            return Tanh(x);
        case LayerKind::Softsign:
            return Softsign(x);
        case LayerKind::Logistic:
            return Logistic(x);
        default:
            return Identity(x);
    }
}

void Network::RunNeuron(Layer &layer) {
    layer.length = layer.source->length;
    const size_t n = static_cast<size_t>(layer.length) * layer.inputSize;
    net.assign(n, 0.0f);
    for (int ci : layer.connections)
        AddConnection(connections[ci], 0, layer.length, net.data());
    layer.out.resize(n);
    for (size_t i = 0; i < n; ++i)
        layer.out[i] = Apply(layer.kind, net[i]);
}

void Network::RunSoftmax(Layer &layer) {
    layer.length = layer.source->length;
    const int k = layer.inputSize;
    net.assign(static_cast<size_t>(layer.length) * k, 0.0f);
    for (int ci : layer.connections)
        AddConnection(connections[ci], 0, layer.length, net.data());
    layer.out.resize(net.size());
    for (int t = 0; t < layer.length; ++t) {
        const float *x = &net[static_cast<size_t>(t) * k];
        float *y = &layer.out[static_cast<size_t>(t) * k];
        float lo = x[0], hi = x[0];
        for (int i = 1; i < k; ++i) {
            lo = std::min(lo, x[i]);
            hi = std::max(hi, x[i]);
        }
        const float offset = (lo + hi) / 2.0f;
        float z = 0.0f;
        for (int i = 0; i < k; ++i) {
            y[i] = SafeExp(x[i] - offset);
            z += y[i];
        }
        // The log activations the layer also keeps are read by nothing here.
        for (int i = 0; i < k; ++i)
            y[i] = y[i] / z;
    }
}

// One position of an LSTM layer with one cell per block. Net inputs per block: input gate,
// forget gate, cell input, output gate; peepholes per block: input, forget, output gate.
template <float (*CI)(float), float (*CO)(float), float (*G)(float)>
void Network::LstmStep(const Layer &layer, const float *netRow, const float *oldState,
                       float *newState, float *outRow) {
    const float *peep = container.weights.data() + layer.peepholes.begin;
    const int blocks = layer.outputSize;
    for (int b = 0; b < blocks; ++b) {
        const float *a = netRow + 4 * b;
        const float *p = peep + 3 * b;
        float in = a[0], forget = a[1];
        if (oldState) {
            in += p[0] * oldState[b];
            forget += p[1] * oldState[b];
        }
        const float gIn = G(in);
        const float gForget = G(forget);
        float s = gIn * CI(a[2]);
        if (oldState)
            s += gForget * oldState[b];
        newState[b] = s;
        const float gOut = G(a[3] + p[2] * s);
        outRow[b] = gOut * CO(s);
    }
    multiplyAdds += static_cast<uint64_t>(blocks) * (oldState ? 3 : 1);
}

void Network::RunLstm(Layer &layer) {
    layer.length = layer.source->length;
    const int T = layer.length;
    const int n = layer.outputSize;
    const int in = layer.inputSize;
    layer.out.assign(static_cast<size_t>(T) * n, 0.0f);
    state[0].assign(n, 0.0f);
    state[1].assign(n, 0.0f);
    net.resize(static_cast<size_t>(kChunk) * in);
    // Connections from other layers can be summed for a whole chunk at once; the layer's own
    // delayed connection needs the position before (in the layer's direction) and comes last.
    std::vector<const Connection *> batched, recurrent;
    for (int ci : layer.connections)
        (connections[ci].from == &layer ? recurrent : batched).push_back(&connections[ci]);
    const int dir = layer.direction;
    int cur = 0;
    bool haveOld = false;
    for (int c0 = 0; c0 < T; c0 += kChunk) {
        // Chunks in the layer's direction: from the start forwards, from the end backwards.
        const int t0 = dir > 0 ? c0 : std::max(0, T - c0 - kChunk);
        const int t1 = dir > 0 ? std::min(T, c0 + kChunk) : T - c0;
        std::fill(net.begin(), net.begin() + static_cast<size_t>(t1 - t0) * in, 0.0f);
        for (const Connection *c : batched)
            AddConnection(*c, t0, t1, net.data());
        for (int i = 0; i < t1 - t0; ++i) {
            const int t = dir > 0 ? t0 + i : t1 - 1 - i;
            float *netRow = net.data() + static_cast<size_t>(t - t0) * in;
            for (const Connection *c : recurrent)
                AddConnection(*c, t, t + 1, netRow);
            const float *old = haveOld ? state[cur].data() : nullptr;
            float *fresh = state[cur ^ 1].data();
            float *outRow = layer.out.data() + static_cast<size_t>(t) * n;
            switch (layer.kind) {
                case LayerKind::LinearLstm:
                    LstmStep<Tanh, Identity, Logistic>(layer, netRow, old, fresh, outRow);
                    break;
                case LayerKind::SoftsignLstm:
                    LstmStep<Softsign, Softsign, Logistic>(layer, netRow, old, fresh, outRow);
                    break;
                default:
                    LstmStep<Tanh, Tanh, Logistic>(layer, netRow, old, fresh, outRow);
            }
            cur ^= 1;
            haveOld = true;
        }
    }
}

void Network::FeedForward(const float *first, int frames, ptrdiff_t stride) {
    multiplyAdds = 0;
    input->length = frames;
    input->out.resize(static_cast<size_t>(frames) * input->outputSize);
    for (int t = 0; t < frames; ++t)
        std::memcpy(&input->out[static_cast<size_t>(t) * input->outputSize], first + t * stride,
                    sizeof(float) * input->outputSize);
    for (auto &layer : layers) {
        switch (layer->cls) {
            case LayerClass::Input:
            case LayerClass::Bias:
                break;
            case LayerClass::Block:
                RunBlock(*layer);
                break;
            case LayerClass::Neuron:
                RunNeuron(*layer);
                break;
            case LayerClass::Softmax:
                RunSoftmax(*layer);
                break;
            case LayerClass::Lstm:
                RunLstm(*layer);
                break;
        }
    }
}

namespace {

void PrintLoadFailure(const std::string &value) {
    std::printf("WARNING: unable to load '%s.%s'\n", kContainerName, value.c_str());
    std::printf(" for '%s' in config file, exiting\n", kContainerName);
    std::fflush(stdout);
}

std::unique_ptr<Network> Build(const NetworkDescription &description, uint32_t count,
                               const void *data) {
    if (!data || count == 0 || count != kWeightSectionFloats)
        return nullptr;
    auto network = std::make_unique<Network>();
    if (!network->Build(description))
        return nullptr;
    return network;
}

}  // namespace

Network *LoadNetwork(const NetworkDescription &description, uint32_t count, const void *data) {
    try {
        auto network = Build(description, count, data);
        if (!network)
            return nullptr;
        // Key -> where its floats start in the section, and how many it holds.
        std::map<std::string, std::pair<uint32_t, uint32_t>> entries;
        uint32_t at = 0;
        for (const WeightTableEntry &e : kWeightTable) {
            entries[e.name] = {at, e.count};
            at += e.count;
        }
        const auto *bytes = static_cast<const unsigned char *>(data);
        for (const auto &[name, range] : network->container.values) {
            auto it = entries.find(std::string(kContainerName) + "_" + name);
            if (it == entries.end()) {
                // Keeps its initial values, as a key missing from the text table does.
                std::printf("WARNING: unable to find '%s.%s'\n", kContainerName, name.c_str());
                continue;
            }
            const auto [first, savedCount] = it->second;
            if (savedCount != range.count) {
                std::printf("ERROR saved size %u != current size %u\n", savedCount, range.count);
                PrintLoadFailure(name);
                return nullptr;
            }
            float *dst = network->container.weights.data() + range.begin;
            for (uint32_t i = 0; i < range.count; ++i) {
                float v;
                std::memcpy(&v, bytes + (static_cast<size_t>(first) + i) * 4, 4);
                // "inf" and "nan" texts do not read back as floats.
                if (!std::isfinite(v)) {
                    std::printf("ERROR unable to read from stream\n");
                    PrintLoadFailure(name);
                    return nullptr;
                }
                dst[i] = SixDecimalRoundTrip(v);
            }
        }
        network->Pack();
        return network.release();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

Network *LoadNetwork(uint32_t count, const void *data) {
    return LoadNetwork(ShippedNetworkDescription(), count, data);
}

Network *LoadNetworkThroughText(uint32_t count, const void *data) {
    try {
        auto network = Build(ShippedNetworkDescription(), count, data);
        if (!network)
            return nullptr;
        // Key -> count followed by every float as " %f".
        std::map<std::string, std::string> table;
        const auto *bytes = static_cast<const unsigned char *>(data);
        size_t at = 0;
        char text[64];
        for (const WeightTableEntry &e : kWeightTable) {
            std::string value = std::to_string(e.count);
            for (uint32_t i = 0; i < e.count; ++i, ++at) {
                float v;
                std::memcpy(&v, bytes + at * 4, 4);
                std::snprintf(text, sizeof text, " %f", static_cast<double>(v));
                value += text;
            }
            table[e.name] = std::move(value);
        }
        for (const auto &[name, range] : network->container.values) {
            auto it = table.find(std::string(kContainerName) + "_" + name);
            if (it == table.end()) {
                std::printf("WARNING: unable to find '%s.%s'\n", kContainerName, name.c_str());
                continue;
            }
            std::istringstream in(it->second);
            long saved = -1;
            if (!(in >> saved) || saved != static_cast<long>(range.count)) {
                std::printf("ERROR saved size %ld != current size %u\n", saved, range.count);
                PrintLoadFailure(name);
                return nullptr;
            }
            float *dst = network->container.weights.data() + range.begin;
            for (uint32_t i = 0; i < range.count; ++i)
                if (!(in >> dst[i])) {
                    std::printf("ERROR unable to read from stream\n");
                    PrintLoadFailure(name);
                    return nullptr;
                }
        }
        network->Pack();
        return network.release();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

int RunNetworkStrided(Network *network, const float *first, int frameCount, ptrdiff_t stride) {
    if (!network || !first || frameCount <= 0 || stride < network->description.inputSize)
        return 0;
    network->FeedForward(first, frameCount, stride);
    return network->output->length;
}

int RunNetwork(Network *network, const float *frames, int frameCount, int inputSize) {
    if (!network || inputSize != network->description.inputSize)
        return 0;
    return RunNetworkStrided(network, frames, frameCount, inputSize);
}

void FreeNetwork(Network *network) {
    delete network;
}

const float *OutputProbabilities(const Network *network, int *frames) {
    if (!network) {
        if (frames)
            *frames = 0;
        return nullptr;
    }
    if (frames)
        *frames = network->output->length;
    return network->output->out.data();
}

const float *NetworkWeights(const Network *network, const char *valueName, uint32_t *count) {
    if (!network || !valueName)
        return nullptr;
    for (const auto &[name, range] : network->container.values)
        if (name == valueName) {
            if (count)
                *count = range.count;
            return network->container.weights.data() + range.begin;
        }
    return nullptr;
}

uint64_t LastRunMultiplyAdds(const Network *network) {
    return network ? network->multiplyAdds : 0;
}

}  // namespace v7
