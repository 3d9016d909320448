// Benchmarks of the V7 recogniser, each reported against a baseline measured in the same run:
//   load     LoadNetwork against the literal six-decimal text round trip (goal: 10x faster)
//   network  RunNetwork multiply-adds per second against a plain dense matrix-vector loop
//   line     whole-line recognition of a 10-character writing (goal: under 50 ms)
// Usage: local_v7_bench [repeats]   (times: medians of the repeats, thread processor time)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "InkPipeline.h"
#include "Network.h"
#include "PackedMatrix.h"
#include "SectionedResource.h"
#include "SyntheticInk.h"
#include "WeightFile.h"
#include "WeightTable.h"
#include "iWFS.h"

namespace {

double ThreadCpuMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Median of the repeats, in processor time of this thread: other work on a shared machine
// stretches the wall clock, much less the time the thread itself runs.
double MedianMs(int repeats, const std::function<void()> &f) {
    std::vector<double> t;
    for (int i = 0; i < repeats; ++i) {
        const double a = ThreadCpuMs();
        f();
        t.push_back(ThreadCpuMs() - a);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

std::string Read(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char **argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::vector<float> weights = v7res::RandomWeightSection(7);

    // Session start: the network from its weight section.
    const double fast = MedianMs(repeats, [&] {
        v7::FreeNetwork(v7::LoadNetwork(v7::kWeightSectionFloats, weights.data()));
    });
    const double text = MedianMs(std::max(1, repeats / 2), [&] {
        v7::FreeNetwork(v7::LoadNetworkThroughText(v7::kWeightSectionFloats, weights.data()));
    });
    std::printf("load     LoadNetwork %.2f ms, text round trip %.2f ms: %.1fx faster (goal 10x)\n",
                fast, text, text / fast);

    // The network on the frames of a 10-character writing.
    const std::vector<int32_t> ink = SyntheticLine(10, 3, 5);
    std::vector<std::vector<float>> segments;
    v7::ComputeSegmentInputs(ink.data(), static_cast<int>(ink.size() / 2), true, &segments);
    const std::vector<float> &frames = segments.at(0);
    const int T = static_cast<int>(frames.size() / v7::kInputSize);
    v7::Network *net = v7::LoadNetwork(v7::kWeightSectionFloats, weights.data());
    const double run = MedianMs(repeats, [&] { v7::RunNetwork(net, frames.data(), T, 15); });
    const double macs = static_cast<double>(v7::LastRunMultiplyAdds(net));
    // Baseline: the plain loop over the largest matrix (720 x 180), as many multiply-adds.
    std::vector<float> w(720 * 180), x(180), y(720);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<float>(i % 97) * 1e-3f;
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(i % 13) * 1e-2f;
    const int loops = std::max(1, static_cast<int>(macs / w.size()));
    const double plain = MedianMs(repeats, [&] {
        for (int i = 0; i < loops; ++i)
            v7::MultiplyAddPlain(w.data(), 720, 180, x.data(), y.data());
    });
    const double plainRate = static_cast<double>(loops) * w.size() / (plain * 1e-3);
    const double rate = macs / (run * 1e-3);
    std::printf(
        "network  %d frames: %.2f ms (%.2f us/frame), %.0f M multiply-adds: %.2f G/s; "
        "plain loop %.2f G/s: %.2fx the single-core bound\n",
        T, run, 1e3 * run / T, macs / 1e6, rate / 1e9, plainRate / 1e9, rate / plainRate);
    v7::FreeNetwork(net);

    // Whole-line recognition through the engine with the shipped resources.
    const std::string dir = QV_SHIPPED_DATA_DIR;
    const std::string main = Read(dir + "english.main.dct"),
                      add = Read(dir + "english.additional.dct");
    size_t size = 0;
    if (iWFS_Engine_GetStackSize(main.data(), main.size(), add.data(), add.size(), &size) != 0) {
        std::fprintf(stderr, "line     shipped resources in %s are missing or invalid\n",
                     dir.c_str());
        return 1;
    }
    std::vector<uint64_t> engineMemory(size / 8 + 1);
    iWFS_Engine *engine = nullptr;
    iWFS_Engine_Init(main.data(), main.size(), add.data(), add.size(), engineMemory.data(), size,
                     &engine);
    iWFS_Session_GetBufSize(engine, &size);
    std::unique_ptr<uint64_t[]> sessionMemory(new uint64_t[size / 8 + 1]);
    iWFS_Session *session = nullptr;
    const double start =
        MedianMs(1, [&] { iWFS_Session_Init(engine, sessionMemory.get(), size, &session); });
    const iWFS_ResultFunction fn = [](void *, const uint16_t *, int, float) {};
    iWFS_Session_SetParam(session, kWfsResultFunction, &fn);
    int code = 0;
    const double line = MedianMs(repeats, [&] {
        code = iWFS_Session_Recognize(session, ink.data(), static_cast<int>(ink.size() / 2));
    });
    std::printf(
        "line     session start %.1f ms; 10-character line (%d frames): %.1f ms, code %d "
        "(goal 50 ms; network alone %.1f ms)\n",
        start, T, line, code, run);
    iWFS_Session_Uninit(session);
    iWFS_Engine_Uninit(engine);
    return 0;
}
