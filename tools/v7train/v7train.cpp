// v7train: trains the V7 network on synthetic writing, resumable from its state folder.
//
//   v7train train --state DIR --words FILE [--faces futural:1,...] [--seed S] [--val DIR,...]
//                 [--minutes M] [--batch B] [--lr R] [--hershey DIR] [--threads N|auto]
//                 [--curriculum SAMPLES] [--lr-final R --decay-from SAMPLE --decay-to SAMPLE]
//                 [--init english.main.dct|WEIGHTS] [--long-loops P] [--hand-fonts DIR]
//   v7train eval --weights FILE --set DIR      best-path CER of a weight section (or of the
//                                              weights in a .dct) on a data set
//
// The state folder holds "checkpoint.bin" (parameters, optimiser moments, position in the
// sample stream), "best.weights" (the engine's weight section of the best validation so far)
// and "progress.log".
#include <sys/stat.h>
#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Ctc.h"
#include "Labels.h"
#include "LearningRate.h"
#include "SectionedResource.h"
#include "Trainer.h"
#include "inksynth/Ink.h"
#include "inksynth/SampleMaker.h"

using namespace v7train;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

const char kUsage[] =
    "usage:\n"
    "  v7train train --state DIR --words FILE [--faces NAME:W,...] [--seed S] [--val DIR,...]\n"
    "                [--minutes M] [--batch B] [--lr R] [--hershey DIR] [--reset-best yes]\n"
    "                [--threads N|auto] [--curriculum SAMPLES] [--init DCT|WEIGHTS]\n"
    "                [--long-loops P]  (chance of a writer with long ascenders and descenders)\n"
    "                [--rough-shapes P]  (chance of a writer whose letters depart far from the "
    "faces)\n"
    "                [--hand-fonts DIR]  (the npm registry's faces, default build/handfonts)\n"
    "  v7train eval --weights FILE --set DIR [--limit N] [--show N]\n";

struct Args {
    std::map<std::string, std::string> named;
    std::string Get(const std::string &k, const std::string &d = "") const {
        auto it = named.find(k);
        return it == named.end() ? d : it->second;
    }
};

// A chance option (0 when absent); false with a message when it is not a number from 0 to 1.
bool ChanceOption(const Args &a, const char *name, float &out) {
    std::string text = a.Get(name, "0");
    char *end = nullptr;
    out = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !(out >= 0 && out <= 1)) {
        std::fprintf(stderr, "v7train: --%s wants a chance from 0 to 1, not '%s'\n", name,
                     text.c_str());
        return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string &s, char sep) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, sep))
        if (!item.empty())
            out.push_back(item);
    return out;
}

bool WriteFloats(const std::string &path, const std::vector<float> &v) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(v.data()), std::streamsize(v.size() * 4));
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// The network parameters (for raw inputs) of an engine weight section, or of the weight section
// inside a main resource such as english.main.dct.
bool ReadEngineWeights(const std::string &path, std::vector<float> &params) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    std::vector<float> section;
    const unsigned char *data = nullptr;
    uint32_t length = 0;
    if (v7::SectionedResource::IsValid(image.data(), image.size())) {
        if (!v7::SectionedResource::Section(image.data(), image.size(), 1, &data, &length))
            return false;
    } else {
        data = image.data();
        length = uint32_t(image.size());
    }
    if (length % 4)
        return false;
    section.resize(length / 4);
    std::memcpy(section.data(), data, length);
    return WeightLayout::V7().FromSection(section, params);
}

// Everything a run needs to go on where it stopped.
struct State {
    static constexpr uint32_t kMagic = 0x5637544b;  // "KT7V"
    std::vector<float> params, m, v;
    InputNorm norm = InputNorm::Identity();
    uint64_t nextSample = 0, step = 0;
    double bestCer = 1e9, seconds = 0;

    bool Save(const std::string &path) const {
        std::string tmp = path + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            uint64_t n = params.size();
            out.write(reinterpret_cast<const char *>(&kMagic), 4);
            out.write(reinterpret_cast<const char *>(&n), 8);
            out.write(reinterpret_cast<const char *>(&norm), sizeof norm);
            out.write(reinterpret_cast<const char *>(&nextSample), 8);
            out.write(reinterpret_cast<const char *>(&step), 8);
            out.write(reinterpret_cast<const char *>(&bestCer), 8);
            out.write(reinterpret_cast<const char *>(&seconds), 8);
            for (const auto *vec : {&params, &m, &v})
                out.write(reinterpret_cast<const char *>(vec->data()), std::streamsize(n * 4));
            if (!out.flush())
                return false;
        }
        return std::rename(tmp.c_str(), path.c_str()) == 0;
    }
    bool Load(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        uint32_t magic = 0;
        uint64_t n = 0;
        in.read(reinterpret_cast<char *>(&magic), 4);
        in.read(reinterpret_cast<char *>(&n), 8);
        if (!in || magic != kMagic || n != WeightLayout::V7().Total())
            return false;
        in.read(reinterpret_cast<char *>(&norm), sizeof norm);
        in.read(reinterpret_cast<char *>(&nextSample), 8);
        in.read(reinterpret_cast<char *>(&step), 8);
        in.read(reinterpret_cast<char *>(&bestCer), 8);
        in.read(reinterpret_cast<char *>(&seconds), 8);
        for (auto *vec : {&params, &m, &v}) {
            vec->resize(n);
            in.read(reinterpret_cast<char *>(vec->data()), std::streamsize(n * 4));
        }
        return bool(in);
    }
};

void InitParams(std::vector<float> &p, uint64_t seed) {
    const WeightLayout &L = WeightLayout::V7();
    p.assign(L.Total(), 0.0f);
    inksynth::Random rng(seed);
    for (const WeightArray &a : L.Arrays()) {
        bool bias = a.name.rfind("bias_to_", 0) == 0;
        bool peep = a.name.find("_peepholes") != std::string::npos;
        // Fan-in of the destination: columns of the matrix.
        size_t rows = a.count;
        if (a.name.find("_to_output") != std::string::npos || a.name == "bias_to_output")
            rows = 54;
        else if (!peep) {
            // rows = destination net inputs; derive from the name's level
            int level = a.name.find("subsample_0") != std::string::npos &&
                                a.name.find("_block_") != std::string::npos
                            ? 0
                            : -1;
            (void)level;
        }
        double range = 0.1;
        if (!bias && !peep) {
            size_t fan = 1;
            static const std::pair<const char *, size_t> kFan[] = {{"input_to_", 15},
                                                                   {"subsample_0_to_", 20},
                                                                   {"subsample_1_to_", 60},
                                                                   {"hidden_0_0_to_h", 20},
                                                                   {"hidden_0_1_to_h", 20},
                                                                   {"hidden_1_0_to_h", 60},
                                                                   {"hidden_1_1_to_h", 60},
                                                                   {"hidden_2_0_to_h", 180},
                                                                   {"hidden_2_1_to_h", 180},
                                                                   {"_block_to_subsample_0", 80},
                                                                   {"_block_to_subsample_1", 240},
                                                                   {"_to_output", 360}};
            for (auto &[key, f] : kFan)
                if (a.name.find(key) != std::string::npos)
                    fan = f;
            range = std::sqrt(3.0 / double(fan));
        }
        for (size_t i = 0; i < a.count; ++i)
            p[a.offset + i] =
                bias || peep ? float(rng.Uniform(-0.1, 0.1)) : float(rng.Uniform(-range, range));
        if (bias && a.name != "bias_to_output") {
            // Forget gates start open so that early gradients reach back in time.
            for (size_t j = 0; j < a.count / 4; ++j)
                p[a.offset + 4 * j + 1] = 1.0f;
        }
        (void)rows;
    }
}

void Standardise(Example &ex, const InputNorm &n) {
    for (std::vector<float> &s : ex.segments)
        for (size_t t = 0; t < s.size() / kFrameInputs; ++t)
            for (int k = 0; k < kFrameInputs; ++k) {
                float &x = s[t * kFrameInputs + size_t(k)];
                x = (x - n.mean[k]) / n.scale[k];
            }
}

struct ValSet {
    std::string name;
    std::vector<Example> items;
};

bool LoadSet(const std::string &dir, size_t limit, ValSet &set, std::string *error) {
    std::vector<inksynth::LabelledItem> items;
    if (!inksynth::ReadLabels(dir, items, error))
        return false;
    set.name = dir;
    for (const auto &it : items) {
        if (set.items.size() >= limit)
            break;
        inksynth::Ink ink;
        if (!inksynth::ReadRawStrokeFile(dir + "/" + it.file, ink, error))
            return false;
        Example ex;
        if (!ExampleFromRaw(inksynth::ToRawStrokes(ink), it.text, false, ex))
            continue;
        set.items.push_back(std::move(ex));
    }
    return true;
}

struct Score {
    double cer = 0;
    double words = 0;            // share of items whose letters are all right
    double framesPerLetter = 0;  // output frames of the network per written letter
    size_t items = 0;
};

Score Evaluate(const std::vector<float> &folded, const ValSet &set) {
    Recogniser rec(folded);
    std::vector<float> prob;
    long errors = 0, chars = 0, right = 0, frames = 0;
    for (const Example &ex : set.items) {
        int T = rec.Run(ex, prob);
        frames += T;
        std::string hyp = GreedyDecode(prob.data(), T), ref = RecognisableLetters(ex.text);
        errors += EditDistance(hyp, ref);
        chars += long(ref.size());
        right += hyp == ref;
    }
    Score s;
    s.items = set.items.size();
    s.cer = chars ? double(errors) / double(chars) : 0;
    s.words = s.items ? double(right) / double(s.items) : 0;
    s.framesPerLetter = chars ? double(frames) / double(chars) : 0;
    return s;
}

int Train(const Args &a) {
    std::string dir = a.Get("state");
    std::string words = a.Get("words");
    if (dir.empty() || words.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    ::mkdir(dir.c_str(), 0777);
    uint64_t seed = std::strtoull(a.Get("seed", "1").c_str(), nullptr, 10);
    int batch = std::atoi(a.Get("batch", "8").c_str());
    // --lr until sample --decay-from, then a half cosine down to --lr-final at --decay-to.
    RateSchedule rate;
    rate.rate = std::atof(a.Get("lr", "0.001").c_str());
    rate.finalRate = std::atof(a.Get("lr-final", a.Get("lr", "0.001")).c_str());
    rate.decayFrom = std::strtoull(a.Get("decay-from", "0").c_str(), nullptr, 10);
    rate.decayTo = std::strtoull(a.Get("decay-to", "0").c_str(), nullptr, 10);
    double minutes = std::atof(a.Get("minutes", "0").c_str());
    std::string err;
    inksynth::FaceLibrary faces(a.Get("hershey", "/usr/share/hershey-fonts"),
                                a.Get("hand-fonts", inksynth::FaceLibrary::kHandFontsDir));
    std::vector<inksynth::SampleMaker::FaceChoice> choices;
    for (const std::string &item : Split(a.Get("faces", "futural:1,scripts:1,cursive:1"), ',')) {
        size_t colon = item.find(':');
        const inksynth::StrokeFace *f = faces.Get(item.substr(0, colon), &err);
        if (!f) {
            std::fprintf(stderr, "v7train: %s\n", err.c_str());
            return 1;
        }
        choices.push_back({f, colon == std::string::npos
                                  ? 1.0f
                                  : std::strtof(item.c_str() + colon + 1, nullptr)});
    }
    const inksynth::StrokeFace *fallback = faces.Get("futural", &err);
    auto texts = inksynth::TextSampler::Load(words, &err);
    if (!fallback || !texts) {
        std::fprintf(stderr, "v7train: %s\n", err.c_str());
        return 1;
    }
    inksynth::SampleMaker maker(choices, fallback, *texts, inksynth::TextMix{}, seed);
    float longLoops = 0, roughShapes = 0;
    if (!ChanceOption(a, "long-loops", longLoops) || !ChanceOption(a, "rough-shapes", roughShapes))
        return 1;
    maker.SetLongLoops(longLoops);
    maker.SetRoughShapes(roughShapes);
    std::vector<ValSet> vals;
    for (const std::string &v : Split(a.Get("val"), ',')) {
        ValSet set;
        if (!LoadSet(v, size_t(std::atoi(a.Get("val-limit", "300").c_str())), set, &err)) {
            std::fprintf(stderr, "v7train: %s\n", err.c_str());
            return 1;
        }
        vals.push_back(std::move(set));
    }

    State st;
    std::string ckpt = dir + "/checkpoint.bin";
    FILE *log = std::fopen((dir + "/progress.log").c_str(), "a");
    auto say = [&](const char *fmt, auto... args) {
        char buf[1024];
        std::snprintf(buf, sizeof buf, fmt, args...);
        std::fputs(buf, stdout);
        std::fflush(stdout);
        if (log) {
            std::fputs(buf, log);
            std::fflush(log);
        }
    };
    if (st.Load(ckpt)) {
        // After the validation sets change, the best score so far means nothing.
        if (a.Get("reset-best") == "yes")
            st.bestCer = 1e9;
        say("resumed at sample %llu, step %llu, best CER %.4f\n", (unsigned long long)st.nextSample,
            (unsigned long long)st.step, st.bestCer);
    } else {
        InitParams(st.params, seed);
        st.m.assign(st.params.size(), 0.0f);
        st.v.assign(st.params.size(), 0.0f);
        std::vector<Example> probe;
        for (uint64_t i = 0; i < 300; ++i) {
            inksynth::Sample s = maker.Make(~i);  // indexes the training stream never reaches
            Example ex;
            if (ExampleFromRaw(inksynth::ToRawStrokes(s.ink), s.text, false, ex))
                probe.push_back(std::move(ex));
        }
        st.norm = InputNorm::Measure(probe);
        say("new run: seed %llu, inputs standardised from %zu samples\n", (unsigned long long)seed,
            probe.size());
        // --init: go on from trained weights (a new optimiser, a new position in the stream).
        if (std::string init = a.Get("init"); !init.empty()) {
            std::vector<float> folded;
            if (!ReadEngineWeights(init, folded)) {
                std::fprintf(stderr, "v7train: %s holds no V7 weight section\n", init.c_str());
                return 1;
            }
            st.params = UnfoldNorm(folded, st.norm);
            say("starting from the weights of %s\n", init.c_str());
        }
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const size_t P = st.params.size();
    std::string threadsArg = a.Get("threads", "1");
    const int maxThreads = threadsArg == "auto" ? 2 : std::max(1, std::atoi(threadsArg.c_str()));
    // Texts: single words first, then more and more lines.
    const double curriculum = std::atof(a.Get("curriculum", "30000").c_str());
    auto mixAt = [&](uint64_t sample) {
        inksynth::TextMix mix;
        double f = curriculum > 0 ? std::min(1.0, double(sample) / curriculum) : 1.0;
        mix.singleWord = float(0.9 - 0.45 * f);
        mix.maxWords = f < 0.5 ? 2 : 4;
        return mix;
    };
    struct Worker {
        V7Net<float> net;
        std::vector<float> grad, prob;
        std::vector<std::vector<float>> dl;  // per sample of the thread's share
        std::vector<int> share;              // the batch's samples this thread learns from
        double loss = 0, frames = 0;
        long used = 0, skipped = 0;
    };
    std::vector<Worker> workers(static_cast<size_t>(maxThreads));
    for (Worker &w : workers)
        w.grad.assign(P, 0.0f);
    // The batch's writings as standardised frames; empty labels mark those the pipeline
    // refused.
    std::vector<Example> examples(size_t(std::max(batch, 0)));
    auto make = [&](Worker &w, uint64_t index, Example &ex) {
        inksynth::Sample s = maker.Make(index, mixAt(index));
        if (!ExampleFromRaw(inksynth::ToRawStrokes(s.ink), s.text, false, ex) ||
            ex.labels.empty()) {
            ex.labels.clear();
            ++w.skipped;
            return;
        }
        Standardise(ex, st.norm);
    };
    // A thread's share of the batch: the segments of all its samples forward in lockstep, CTC
    // per sample, then backward in lockstep into the thread's gradient.
    auto learn = [&](Worker &w) {
        std::vector<const float *> inputs;
        std::vector<int> frames;
        std::vector<size_t> firstSegment;
        for (int i : w.share) {
            firstSegment.push_back(inputs.size());
            for (const std::vector<float> &seg : examples[size_t(i)].segments) {
                inputs.push_back(seg.data());
                frames.push_back(int(seg.size() / kFrameInputs));
            }
        }
        firstSegment.push_back(inputs.size());
        if (inputs.empty())
            return;
        w.net.params = st.params;
        w.net.ForwardBatch(inputs, frames);
        std::vector<const float *> dLogits(inputs.size(), nullptr);
        w.dl.resize(w.share.size());
        for (size_t k = 0; k < w.share.size(); ++k) {
            w.prob.clear();
            for (size_t q = firstSegment[k]; q < firstSegment[k + 1]; ++q)
                w.prob.insert(w.prob.end(), w.net.Probabilities(int(q)).begin(),
                              w.net.Probabilities(int(q)).end());
            int T = int(w.prob.size() / kClasses);
            const Example &ex = examples[size_t(w.share[k])];
            double loss = CtcLoss(w.prob, T, kClasses, kBlank, ex.labels, w.dl[k], kGap);
            if (loss < 0 || !std::isfinite(loss)) {
                ++w.skipped;
                continue;
            }
            size_t at = 0;
            for (size_t q = firstSegment[k]; q < firstSegment[k + 1]; ++q) {
                dLogits[q] = w.dl[k].data() + at;
                at += size_t(w.net.OutFrames(int(q))) * kClasses;
            }
            w.loss += loss;
            w.frames += T;
            ++w.used;
        }
        w.net.BackwardBatch(dLogits, w.grad);
    };
    // Threads in use: with "auto", two only while the rest of the machine is quiet.
    int threads = maxThreads;
    auto quiet = []() {
        double load = 9;
        if (FILE *f = std::fopen("/proc/loadavg", "r")) {
            if (std::fscanf(f, "%lf", &load) != 1)
                load = 9;
            std::fclose(f);
        }
        return load;
    };
    auto start = std::chrono::steady_clock::now();
    auto lastReport = start, lastSave = start, lastVal = start, lastLoad = start;
    double lossSum = 0, framesSum = 0;
    long lossCount = 0, skipped = 0, samplesSinceReport = 0;
    const double beta1 = 0.9, beta2 = 0.999, eps = 1e-8;
    auto elapsed = [&](std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    };
    if (threadsArg == "auto")
        threads = quiet() < 0.7 ? 2 : 1;
    auto validate = [&]() {
        if (vals.empty())
            return;
        std::vector<float> folded = EngineWeights(st.params, st.norm);
        // The best weights are those of the lowest mean CER over the sets: seen and unseen
        // styles alike.
        double mainCer = 0;
        std::string line = "validation:";
        for (size_t i = 0; i < vals.size(); ++i) {
            Score s = Evaluate(folded, vals[i]);
            mainCer += s.cer / double(vals.size());
            char buf[256];
            std::snprintf(buf, sizeof buf, " %s CER %.4f words %.3f (%zu)", vals[i].name.c_str(),
                          s.cer, s.words, s.items);
            line += buf;
        }
        char mean[64];
        std::snprintf(mean, sizeof mean, " mean CER %.4f", mainCer);
        line += mean;
        if (mainCer < st.bestCer) {
            st.bestCer = mainCer;
            WriteFloats(dir + "/best.weights", WeightLayout::V7().ToSection(folded));
            line += " [best]";
        }
        say("%s\n", line.c_str());
    };
    std::vector<float> batchGrad(P);
    while (!g_stop) {
        if (minutes > 0 && elapsed(start) > minutes * 60)
            break;
        if (threadsArg == "auto" && elapsed(lastLoad) > 60) {
            // The load average counts this trainer's own threads.
            threads = quiet() - threads < 0.7 ? 2 : 1;
            lastLoad = std::chrono::steady_clock::now();
        }
        const uint64_t first = st.nextSample;
        st.nextSample += uint64_t(batch);
        // Writings first, each to whichever thread is free; then the network, the samples
        // shared out so that the threads get about equal numbers of frames (lines take
        // several times as long as words).
        std::atomic<int> next{0};
        auto synthesise = [&](Worker &w) {
            for (int i; (i = next.fetch_add(1)) < batch;)
                make(w, first + uint64_t(i), examples[size_t(i)]);
        };
        auto parallel = [&](auto job) {
            std::vector<std::thread> pool;
            for (int k = 1; k < threads; ++k)
                pool.emplace_back([&, k]() { job(workers[size_t(k)]); });
            job(workers[0]);
            for (std::thread &t : pool)
                t.join();
        };
        parallel(synthesise);
        std::vector<std::pair<size_t, int>> bySize;
        for (int i = 0; i < batch; ++i) {
            size_t n = 0;
            for (const std::vector<float> &seg : examples[size_t(i)].segments)
                n += seg.size();
            if (!examples[size_t(i)].labels.empty())
                bySize.push_back({n, i});
        }
        std::sort(bySize.rbegin(), bySize.rend());
        std::vector<size_t> load(size_t(threads), 0);
        for (int k = 0; k < threads; ++k)
            workers[size_t(k)].share.clear();
        for (const auto &[n, i] : bySize) {
            size_t k = size_t(std::min_element(load.begin(), load.end()) - load.begin());
            load[k] += n;
            workers[k].share.push_back(i);
        }
        parallel(learn);
        std::fill(batchGrad.begin(), batchGrad.end(), 0.0f);
        long used = 0;
        for (Worker &w : workers) {
            for (size_t i = 0; i < P; ++i)
                batchGrad[i] += w.grad[i];
            std::fill(w.grad.begin(), w.grad.end(), 0.0f);
            lossSum += w.loss;
            framesSum += w.frames;
            lossCount += w.used;
            used += w.used;
            skipped += w.skipped;
            w.loss = w.frames = 0;
            w.used = w.skipped = 0;
        }
        samplesSinceReport += used;
        if (used == 0)
            continue;
        // Adam with the batch mean, global norm clipped.
        double norm2 = 0;
        for (size_t i = 0; i < P; ++i) {
            batchGrad[i] /= float(used);
            norm2 += double(batchGrad[i]) * batchGrad[i];
        }
        double clip = std::sqrt(norm2) > 5.0 ? 5.0 / std::sqrt(norm2) : 1.0;
        ++st.step;
        double b1 = 1 - std::pow(beta1, double(st.step)), b2 = 1 - std::pow(beta2, double(st.step));
        const double lr = rate.At(first);
        for (size_t i = 0; i < P; ++i) {
            double g = batchGrad[i] * clip;
            st.m[i] = float(beta1 * st.m[i] + (1 - beta1) * g);
            st.v[i] = float(beta2 * st.v[i] + (1 - beta2) * g * g);
            st.params[i] -= float(lr * (st.m[i] / b1) / (std::sqrt(st.v[i] / b2) + eps));
        }
        if (elapsed(lastReport) > 60) {
            double secs = elapsed(lastReport);
            st.seconds += secs;
            double left = minutes > 0 ? minutes * 60 - elapsed(start) : 0;
            say("step %llu samples %llu lr %.2g loss/sample %.3f loss/frame %.4f %.1f samples/s "
                "threads %d skipped %ld left %.0f min\n",
                (unsigned long long)st.step, (unsigned long long)st.nextSample,
                rate.At(st.nextSample), lossSum / std::max(1L, lossCount),
                lossSum / std::max(1.0, framesSum), double(samplesSinceReport) / secs, threads,
                skipped, left / 60);
            lossSum = framesSum = 0;
            lossCount = samplesSinceReport = 0;
            lastReport = std::chrono::steady_clock::now();
        }
        if (elapsed(lastVal) > std::atof(a.Get("val-every", "600").c_str())) {
            validate();
            lastVal = std::chrono::steady_clock::now();
        }
        if (elapsed(lastSave) > 300) {
            if (!st.Save(ckpt))
                say("cannot write %s\n", ckpt.c_str());
            lastSave = std::chrono::steady_clock::now();
        }
    }
    validate();
    if (!st.Save(ckpt))
        say("cannot write %s\n", ckpt.c_str());
    say("stopped at sample %llu, step %llu\n", (unsigned long long)st.nextSample,
        (unsigned long long)st.step);
    if (log)
        std::fclose(log);
    return 0;
}

int Eval(const Args &a) {
    std::vector<float> params;
    std::string err;
    if (!ReadEngineWeights(a.Get("weights"), params)) {
        std::fprintf(stderr, "v7train: %s is not a weight section\n", a.Get("weights").c_str());
        return 1;
    }
    ValSet set;
    if (!LoadSet(a.Get("set"), size_t(std::atol(a.Get("limit", "1000000").c_str())), set, &err)) {
        std::fprintf(stderr, "v7train: %s\n", err.c_str());
        return 1;
    }
    // --show N: the first N items as written and as recognised (best path).
    long show = std::atol(a.Get("show", "0").c_str());
    Recogniser rec(params);
    std::vector<float> prob;
    for (size_t i = 0; i < set.items.size() && long(i) < show; ++i) {
        int T = rec.Run(set.items[i], prob);
        std::printf("%s\t%s\n", set.items[i].text.c_str(), GreedyDecode(prob.data(), T).c_str());
    }
    Score s = Evaluate(params, set);
    std::printf("%s: %zu items, CER %.4f, all letters right %.3f, %.2f output frames a letter\n",
                set.name.c_str(), s.items, s.cer, s.words, s.framesPerLetter);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Args a;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        a.named[argv[i] + 2] = argv[i + 1];
    }
    std::string cmd = argv[1];
    if (cmd == "train")
        return Train(a);
    if (cmd == "eval")
        return Eval(a);
    std::fputs(kUsage, stderr);
    return 2;
}
