// One training step of the V7 network on a sequence of typical length (forward, CTC, backward),
// and the forward pass alone for comparison with the recogniser's.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
