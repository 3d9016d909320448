// One training step of the V7 network on a sequence of typical length (forward, CTC, backward),
// the forward pass alone for comparison with the recogniser's, and a thread's share of a batch
// (segments of several lengths) one sequence at a time against all of them in lockstep.
#include <benchmark/benchmark.h>

#include <iterator>
#include <random>

#include "Ctc.h"
#include "V7Net.h"

using namespace v7train;

namespace {

struct Fixture {
    V7Net<float> net;
    std::vector<float> x, grad, dl;
    std::vector<int> labels;
    explicit Fixture(int T) {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> u(-0.2f, 0.2f);
        for (float &p : net.params)
            p = u(rng);
        x.resize(size_t(T) * 15);
        for (float &v : x)
            v = u(rng) * 5;
        for (int i = 0; i < T / 40; ++i)
            labels.push_back(1 + i % 52);
        grad.assign(net.params.size(), 0.0f);
    }
};

void BM_TrainStep(benchmark::State &state) {
    Fixture f(int(state.range(0)));
    for (auto _ : state) {
        int T2 = f.net.Forward(f.x.data(), int(state.range(0)));
        CtcLoss(f.net.Probabilities(), T2, kClasses, kBlank, f.labels, f.dl);
        f.net.Backward(f.dl, f.grad);
        benchmark::DoNotOptimize(f.grad.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TrainStep)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_Forward(benchmark::State &state) {
    Fixture f(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(f.net.Forward(f.x.data(), int(state.range(0))));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Forward)->Arg(1000)->Unit(benchmark::kMillisecond);

// Segment lengths of a few lines and words.
const int kShare[] = {1000, 720, 450, 300, 210, 120, 61, 9};

struct Share {
    V7Net<float> net;
    std::vector<std::vector<float>> x, dl;
    std::vector<float> grad;
    int frames = 0;
    Share() {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> u(-0.2f, 0.2f);
        for (float &p : net.params)
            p = u(rng);
        for (int T : kShare) {
            x.emplace_back(size_t(T) * 15);
            for (float &v : x.back())
                v = u(rng) * 5;
            dl.emplace_back(size_t((T + 3) / 4) * kClasses);
            for (float &v : dl.back())
                v = u(rng) * 0.1f;
            frames += T;
        }
        grad.assign(net.params.size(), 0.0f);
    }
};

void BM_ShareOneAtATime(benchmark::State &state) {
    Share f;
    for (auto _ : state)
        for (size_t s = 0; s < f.x.size(); ++s) {
            f.net.Forward(f.x[s].data(), kShare[s]);
            f.net.Backward(f.dl[s], f.grad);
            benchmark::DoNotOptimize(f.grad.data());
        }
    state.SetItemsProcessed(int64_t(state.iterations()) * f.frames);
}
BENCHMARK(BM_ShareOneAtATime)->Unit(benchmark::kMillisecond);

void BM_ShareLockstep(benchmark::State &state) {
    Share f;
    std::vector<const float *> inputs, dl;
    for (size_t s = 0; s < f.x.size(); ++s) {
        inputs.push_back(f.x[s].data());
        dl.push_back(f.dl[s].data());
    }
    std::vector<int> frames(std::begin(kShare), std::end(kShare));
    for (auto _ : state) {
        f.net.ForwardBatch(inputs, frames);
        f.net.BackwardBatch(dl, f.grad);
        benchmark::DoNotOptimize(f.grad.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * f.frames);
}
BENCHMARK(BM_ShareLockstep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
