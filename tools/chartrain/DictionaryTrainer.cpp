#include "DictionaryTrainer.h"

#include <Eigen/Dense>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

#include "CharDictionaryWriter.h"
#include "CharEngine.h"
#include "CharFeatures.h"
#include "StrokeMatcher.h"

namespace chartrain {

using namespace chareng;
using Eigen::MatrixXd;
using Eigen::MatrixXf;
using Eigen::VectorXd;

namespace {

// The last raw value is a constant: it carries the offset and stays out of the LDA.
constexpr int kLdaInputs = kRawFeatureCount - 1;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Lda {
    MatrixXd w;     // kLdaInputs x dim, whitened for the within-class scatter
    VectorXd mean;  // kLdaInputs
    VectorXd ratio;
};

// What an LDA was trained on: the classes and features of every sample (FNV-1a), so that a
// cached LDA is not reused for other samples of the same count.
uint64_t Fingerprint(const Samples &s) {
    uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 0x100000001b3ull;
    };
    mix(s.size());
    for (uint32_t c : s.cls)
        mix(c);
    for (int16_t v : s.features)
        mix(static_cast<uint16_t>(v));
    return h;
}

bool LoadLda(const std::string &path, int dim, uint64_t fingerprint, Lda *lda) {
    std::ifstream in(path, std::ios::binary);
    int32_t d = 0, f = 0;
    uint64_t n = 0;
    if (!in.read(reinterpret_cast<char *>(&d), 4) || !in.read(reinterpret_cast<char *>(&f), 4) ||
        !in.read(reinterpret_cast<char *>(&n), 8) || d != dim || f != kLdaInputs ||
        n != fingerprint)
        return false;
    lda->w.resize(f, d);
    lda->mean.resize(f);
    lda->ratio.resize(d);
    return in.read(reinterpret_cast<char *>(lda->w.data()), sizeof(double) * f * d) &&
           in.read(reinterpret_cast<char *>(lda->mean.data()), sizeof(double) * f) &&
           in.read(reinterpret_cast<char *>(lda->ratio.data()), sizeof(double) * d);
}

void SaveLda(const std::string &path, const Lda &lda, uint64_t fingerprint) {
    std::ofstream out(path, std::ios::binary);
    const int32_t d = static_cast<int32_t>(lda.w.cols()), f = static_cast<int32_t>(lda.w.rows());
    const uint64_t n = fingerprint;
    out.write(reinterpret_cast<const char *>(&d), 4);
    out.write(reinterpret_cast<const char *>(&f), 4);
    out.write(reinterpret_cast<const char *>(&n), 8);
    out.write(reinterpret_cast<const char *>(lda.w.data()), sizeof(double) * f * d);
    out.write(reinterpret_cast<const char *>(lda.mean.data()), sizeof(double) * f);
    out.write(reinterpret_cast<const char *>(lda.ratio.data()), sizeof(double) * d);
}

Lda TrainLda(const Samples &s, int classes, int dim, double ridge) {
    const size_t n = s.size();
    const int F = kLdaInputs;
    MatrixXd sums = MatrixXd::Zero(classes, F);
    std::vector<double> counts(classes, 0);
    MatrixXd scatter = MatrixXd::Zero(F, F);
    constexpr int kBlock = 512;
    MatrixXf x(kBlock, F);
    double t0 = Now();
    for (size_t b = 0; b < n; b += kBlock) {
        const int rows = static_cast<int>(std::min<size_t>(kBlock, n - b));
        for (int r = 0; r < rows; ++r) {
            const int16_t *f = &s.features[(b + r) * kRawFeatureCount];
            const uint32_t c = s.cls[b + r];
            for (int i = 0; i < F; ++i) {
                x(r, i) = f[i];
                sums(c, i) += f[i];
            }
            counts[c] += 1;
        }
        const MatrixXf block = x.topRows(rows).transpose() * x.topRows(rows);
        scatter += block.cast<double>();
        if ((b / kBlock) % 20 == 19)
            std::fprintf(stderr, "lda: scatter %zu / %zu samples (%.0f s)\n", b + rows, n,
                         Now() - t0);
    }
    VectorXd mean = sums.colwise().sum().transpose() / static_cast<double>(n);
    MatrixXd scaled = sums;
    for (int c = 0; c < classes; ++c)
        scaled.row(c) /= std::sqrt(std::max(counts[c], 1.0));
    const MatrixXd between = scaled.transpose() * scaled;  // sum_c n_c mu_c mu_c^T
    MatrixXd sw = (scatter - between) / static_cast<double>(n);
    MatrixXd sb = between / static_cast<double>(n) - mean * mean.transpose();
    const double tr = sw.trace() / F;
    sw.diagonal().array() += ridge * tr;
    std::fprintf(stderr, "lda: solving %d x %d (%.0f s)\n", F, F, Now() - t0);
    Eigen::GeneralizedSelfAdjointEigenSolver<MatrixXd> ges(sb, sw);
    if (ges.info() != Eigen::Success)
        throw std::runtime_error("LDA eigen solver failed");
    Lda lda;
    lda.w.resize(F, dim);
    lda.ratio.resize(dim);
    for (int j = 0; j < dim; ++j) {
        lda.w.col(j) = ges.eigenvectors().col(F - 1 - j);
        lda.ratio(j) = ges.eigenvalues()(F - 1 - j);
    }
    lda.mean = mean;
    std::fprintf(stderr, "lda: done, discriminant ratios %.1f .. %.2f (%.0f s)\n", lda.ratio(0),
                 lda.ratio(dim - 1), Now() - t0);
    return lda;
}

struct Projection {
    std::vector<int16_t> weights;  // kRawFeatureCount x dim
    int32_t divisor = 1;
    double alpha = 1;
};

Projection Quantise(const Lda &lda, const Samples &s, int dim) {
    const int F = kLdaInputs;
    // Scale: at most about 0.5% of the projected values reach the int8 limits.
    std::vector<double> mags;
    const size_t step = std::max<size_t>(1, s.size() / 5000);
    for (size_t n = 0; n < s.size(); n += step) {
        const int16_t *f = &s.features[n * kRawFeatureCount];
        VectorXd x(F);
        for (int i = 0; i < F; ++i)
            x(i) = f[i] - lda.mean(i);
        const VectorXd y = lda.w.transpose() * x;
        for (int j = 0; j < dim; ++j)
            mags.push_back(std::abs(y(j)));
    }
    std::sort(mags.begin(), mags.end());
    const double q = mags[static_cast<size_t>(mags.size() * 0.995)];
    Projection p;
    p.alpha = std::min(8.0, 118.0 / std::max(q, 1e-9));
    const VectorXd bias = -p.alpha * (lda.w.transpose() * lda.mean);
    const double wmax = lda.w.cwiseAbs().maxCoeff() * p.alpha;
    const double bmax = bias.cwiseAbs().maxCoeff();
    double s1 = 32767.0 / wmax;
    double s2 = bmax > 0 ? 32767.0 * kConstantFeature / bmax : s1;
    p.divisor = static_cast<int32_t>(std::min({s1, s2, 2.0e9}));
    if (p.divisor < 1)
        throw std::runtime_error("projection cannot be quantised");
    p.weights.assign(static_cast<size_t>(kRawFeatureCount) * dim, 0);
    for (int i = 0; i < F; ++i)
        for (int j = 0; j < dim; ++j)
            p.weights[i * dim + j] =
                static_cast<int16_t>(std::lround(lda.w(i, j) * p.alpha * p.divisor));
    for (int j = 0; j < dim; ++j)
        p.weights[F * dim + j] =
            static_cast<int16_t>(std::lround(bias(j) * p.divisor / kConstantFeature));
    std::fprintf(stderr, "projection: alpha %.3f, divisor %d\n", p.alpha, p.divisor);
    return p;
}

std::vector<uint8_t> ProjectAll(const Samples &s, const Projection &p, int dim) {
    std::vector<uint8_t> weightsBytes;
    for (int16_t w : p.weights)
        AppendU16(weightsBytes, static_cast<uint16_t>(w));
    std::vector<uint8_t> y(s.size() * dim);
    for (size_t n = 0; n < s.size(); ++n)
        ProjectFeatures(&s.features[n * kRawFeatureCount], weightsBytes.data(), dim, p.divisor,
                        &y[n * dim]);
    return y;
}

struct RecordStats {
    VectorXd mean;
    VectorXd lambdas;  // descending
    MatrixXd vectors;  // dim x eigen
    double residual;   // mean of the remaining eigenvalues
    size_t members;
};

RecordStats Stats(const std::vector<const uint8_t *> &rows, int dim, int eigen) {
    RecordStats r;
    const size_t n = rows.size();
    r.members = n;
    r.mean = VectorXd::Zero(dim);
    for (const uint8_t *y : rows)
        for (int j = 0; j < dim; ++j)
            r.mean(j) += y[j];
    r.mean /= static_cast<double>(n);
    MatrixXd cov = MatrixXd::Zero(dim, dim);
    VectorXd d(dim);
    for (const uint8_t *y : rows) {
        for (int j = 0; j < dim; ++j)
            d(j) = y[j] - r.mean(j);
        cov.selfadjointView<Eigen::Lower>().rankUpdate(d);
    }
    cov = cov.selfadjointView<Eigen::Lower>();
    cov /= static_cast<double>(n);
    Eigen::SelfAdjointEigenSolver<MatrixXd> es(cov);
    r.lambdas.resize(eigen);
    r.vectors.resize(dim, eigen);
    double top = 0;
    for (int i = 0; i < eigen; ++i) {
        r.lambdas(i) = std::max(0.0, es.eigenvalues()(dim - 1 - i));
        r.vectors.col(i) = es.eigenvectors().col(dim - 1 - i);
        top += r.lambdas(i);
    }
    r.residual = std::max(0.0, cov.trace() - top) / (dim - eigen);
    return r;
}

// Splits rows into k clusters by k-means (deterministic seeding from `rng`).
std::vector<std::vector<const uint8_t *>> Cluster(const std::vector<const uint8_t *> &rows, int dim,
                                                  int k, std::mt19937_64 &rng) {
    const size_t n = rows.size();
    std::vector<VectorXd> centres;
    auto dist = [dim](const uint8_t *y, const VectorXd &c) {
        double s = 0;
        for (int j = 0; j < dim; ++j)
            s += (y[j] - c(j)) * (y[j] - c(j));
        return s;
    };
    auto toVec = [dim](const uint8_t *y) {
        VectorXd v(dim);
        for (int j = 0; j < dim; ++j)
            v(j) = y[j];
        return v;
    };
    centres.push_back(toVec(rows[rng() % n]));
    while (static_cast<int>(centres.size()) < k) {
        std::vector<double> d2(n);
        double total = 0;
        for (size_t i = 0; i < n; ++i) {
            double best = 1e300;
            for (const VectorXd &c : centres)
                best = std::min(best, dist(rows[i], c));
            d2[i] = best;
            total += best;
        }
        double pick = std::uniform_real_distribution<double>(0, total)(rng);
        size_t at = 0;
        while (at + 1 < n && pick > d2[at]) {
            pick -= d2[at];
            ++at;
        }
        centres.push_back(toVec(rows[at]));
    }
    std::vector<int> label(n, 0);
    for (int iter = 0; iter < 15; ++iter) {
        for (size_t i = 0; i < n; ++i) {
            double best = 1e300;
            for (int c = 0; c < k; ++c) {
                const double d = dist(rows[i], centres[c]);
                if (d < best) {
                    best = d;
                    label[i] = c;
                }
            }
        }
        for (int c = 0; c < k; ++c) {
            VectorXd sum = VectorXd::Zero(dim);
            int m = 0;
            for (size_t i = 0; i < n; ++i) {
                if (label[i] == c) {
                    sum += toVec(rows[i]);
                    ++m;
                }
            }
            if (m > 0)
                centres[c] = sum / m;
        }
    }
    std::vector<std::vector<const uint8_t *>> out(k);
    for (size_t i = 0; i < n; ++i)
        out[label[i]].push_back(rows[i]);
    out.erase(std::remove_if(out.begin(), out.end(), [](const auto &v) { return v.size() < 8; }),
              out.end());
    return out;
}

std::vector<std::array<uint8_t, 2>> SequenceOf(const std::vector<int16_t> &pairs) {
    alignas(16) static thread_local uint8_t scratch[kScratchBytes];
    ScratchPool pool{scratch, static_cast<uint32_t>(kScratchBytes), 0};
    std::vector<int16_t> p = pairs;
    CutForEngine(&p);
    Segment segs[kMaxSegments];
    const int n = CutSegments(p.data(), pool, segs);
    SegmentSequences seq;
    BuildSequences(segs, n, &seq);
    std::vector<std::array<uint8_t, 2>> out;
    for (int i = 0; i < seq.sCount; ++i)
        out.push_back({seq.s[i][0], seq.s[i][1]});
    return out;
}

}  // namespace

std::vector<uint8_t> TrainDictionary(const CharSet &set, const Samples &train, const Samples &calib,
                                     const SampleSpec &trainSpec, const TrainOptions &opt) {
    const int classes = static_cast<int>(set.classes.size());
    const int dim = opt.dim;
    const double t0 = Now();
    Lda lda;
    const std::string ldaPath = opt.workDir.empty() ? "" : opt.workDir + "/lda.bin";
    const uint64_t fingerprint = Fingerprint(train);
    if (ldaPath.empty() || !LoadLda(ldaPath, dim, fingerprint, &lda)) {
        lda = TrainLda(train, classes, dim, opt.ldaRidge);
        if (!ldaPath.empty())
            SaveLda(ldaPath, lda, fingerprint);
    } else {
        std::fprintf(stderr, "lda: loaded %s\n", ldaPath.c_str());
    }
    const Projection proj = Quantise(lda, train, dim);
    const std::vector<uint8_t> y = ProjectAll(train, proj, dim);

    // Templates: records per class, then the pooled residual variance as delta.
    std::vector<std::vector<const uint8_t *>> rowsOf(classes);
    for (size_t n = 0; n < train.size(); ++n)
        rowsOf[train.cls[n]].push_back(&y[n * dim]);
    std::mt19937_64 rng(opt.seed);
    std::vector<std::vector<RecordStats>> records(classes);
    double residualSum = 0, residualWeight = 0;
    for (int c = 0; c < classes; ++c) {
        const auto &rows = rowsOf[c];
        if (rows.empty())
            throw std::runtime_error("class without samples");
        int k = 1;
        if (opt.maxRecords > 1)
            k = std::clamp(static_cast<int>(rows.size()) / opt.minPerRecord, 1, opt.maxRecords);
        std::vector<std::vector<const uint8_t *>> parts =
            k > 1 ? Cluster(rows, dim, k, rng) : std::vector<std::vector<const uint8_t *>>{rows};
        for (const auto &part : parts) {
            records[c].push_back(Stats(part, dim, opt.eigen));
            residualSum += records[c].back().residual * part.size();
            residualWeight += part.size();
        }
    }
    const double delta = std::max(1.0, residualSum / residualWeight);
    const uint16_t deltaStored = static_cast<uint16_t>(std::clamp(std::lround(delta), 1L, 65535L));
    std::fprintf(stderr, "templates: delta %.2f (%.0f s)\n", delta, Now() - t0);

    double minLogDet = 1e300;
    std::vector<std::vector<double>> logDets(classes);
    for (int c = 0; c < classes; ++c) {
        for (const RecordStats &r : records[c]) {
            double ld = 0;
            for (int i = 0; i < opt.eigen; ++i)
                ld += std::log(std::max(r.lambdas(i), delta) / delta);
            logDets[c].push_back(ld);
            minLogDet = std::min(minLogDet, ld);
        }
    }

    DictionarySpec spec;
    spec.dim = dim;
    spec.divisor = proj.divisor;
    spec.projection = proj.weights;
    spec.delta[0] = deltaStored;
    spec.eigenCounts[0] = static_cast<uint8_t>(opt.eigen);
    const bool gestures = !set.classes.empty() && set.classes[0].gesture;
    for (int c = 0; c < classes; ++c) {
        const ClassDef &def = set.classes[c];
        spec.codes.push_back(def.code);
        if (!gestures) {
            spec.altTraditional.push_back(def.traditional);
            spec.altSimplified.push_back(def.simplified);
        }
        TemplateGroup &g = spec.groups[def.group];
        g.type = opt.maxRecords > 1 ? kGroupMqdfMulti : kGroupMqdf;
        std::vector<MqdfRecord> recs;
        for (size_t r = 0; r < records[c].size(); ++r) {
            const RecordStats &st = records[c][r];
            MqdfRecord rec;
            rec.kind = 0;
            const double h = opt.logDetWeight * 8 * (logDets[c][r] - minLogDet);
            rec.constant = static_cast<uint16_t>(std::clamp(std::lround(h), 0L, 4095L));
            for (int j = 0; j < dim; ++j)
                rec.mean.push_back(
                    static_cast<uint8_t>(std::clamp(std::lround(st.mean(j)), 0L, 255L)));
            for (int i = 0; i < opt.eigen; ++i) {
                rec.lambdas.push_back(static_cast<uint16_t>(
                    std::clamp(std::lround(std::max(st.lambdas(i), delta)), 1L, 65535L)));
                std::vector<int8_t> v;
                for (int j = 0; j < dim; ++j)
                    v.push_back(static_cast<int8_t>(
                        std::clamp(std::lround(128 * st.vectors(j, i)), -127L, 127L)));
                rec.vectors.push_back(std::move(v));
            }
            recs.push_back(std::move(rec));
        }
        g.AddMqdfClass(recs);
    }

    if (opt.prototypes > 0) {
        for (int c = 0; c < classes; ++c) {
            const ClassDef &def = set.classes[c];
            SubModelClass sm;
            // The first prototype comes from a steady writer; the others from training samples.
            SampleSpec steady = trainSpec;
            steady.strength = 0.05;
            std::vector<std::vector<int16_t>> inks;
            inks.push_back(MakeSample(def, def.drawings, c, 0, steady));
            for (int i = 0; i + 1 < opt.prototypes; ++i)
                inks.push_back(
                    MakeSample(def, def.drawings, c, static_cast<uint32_t>(i), trainSpec));
            for (const auto &ink : inks) {
                Prototype p;
                p.points = SequenceOf(ink);
                if (!p.points.empty())
                    sm.prototypes.push_back(std::move(p));
            }
            spec.subModel.push_back(std::move(sm));
        }
    }

    std::vector<uint8_t> image = WriteDictionary(spec);
    if (calib.size() == 0)
        return image;

    // Calibration: scores of the true class on samples that training did not see.
    std::vector<uint8_t> work(kCharEngineWorkSize);
    void *h = CharEngineStart(image.data(), nullptr, work.data());
    if (!h)
        throw std::runtime_error("engine refused the trained dictionary");
    uint32_t range = 0;
    for (const ClassDef &def : set.classes)
        range |= kGroupMasks[def.group];
    const int32_t fifty = kCharMaxCandidates, anywhere = 1;
    CharEngineSetParam(h, kCharParamCandidates, &fifty);
    CharEngineSetParam(h, kCharParamRange, &range);
    CharEngineSetParam(h, kCharParamSpecialAny, &anywhere);
    std::vector<uint16_t> specials(kCharSpecialCodes, 0);
    for (int c = 0; c < classes && c < kCharSpecialCodes; ++c)
        specials[c] = set.classes[c].code;
    if (gestures)
        CharEngineSetParam(h, kCharParamSpecial, specials.data());
    std::vector<std::vector<double>> scoresOf(classes);
    std::vector<double> all;
    for (size_t n = 0; n < calib.size(); ++n) {
        std::vector<int16_t> p = calib.pairs[n];
        uint16_t codes[kCharMaxCandidates + 1];
        int32_t scores[kCharMaxCandidates + 1];
        const int got = CharEngineRecog(h, p.data(), codes, scores, nullptr);
        const uint16_t want = set.classes[calib.cls[n]].code;
        for (int i = 0; i < got; ++i) {
            if (codes[i] == want) {
                scoresOf[calib.cls[n]].push_back(scores[i]);
                all.push_back(scores[i]);
                break;
            }
        }
    }
    std::sort(all.begin(), all.end());
    const double median = all.empty() ? 1000 : all[all.size() / 2];
    const double iqr = all.empty() ? 1000 : all[all.size() * 3 / 4] - all[all.size() / 4];
    const int16_t b = static_cast<int16_t>(std::clamp(std::lround(iqr), 1L, 32767L));
    for (int c = 0; c < classes; ++c) {
        double m = median;
        if (!scoresOf[c].empty()) {
            double s = 0;
            for (double v : scoresOf[c])
                s += v;
            m = 0.6 * median + 0.4 * s / scoresOf[c].size();
        }
        const int16_t a = static_cast<int16_t>(std::clamp(std::lround(0.5 * m), 0L, 32767L));
        spec.calibration.push_back({a, b});
    }
    std::fprintf(stderr, "calibration: median %.0f, spread %d (%.0f s)\n", median, b, Now() - t0);
    return WriteDictionary(spec);
}

EvalResult Evaluate(const std::vector<uint8_t> &dictionary, const CharSet &set, const Samples &test,
                    uint32_t range, bool gestures) {
    EvalResult r;
    std::vector<uint8_t> work(kCharEngineWorkSize);
    void *h = CharEngineStart(dictionary.data(), nullptr, work.data());
    if (!h)
        throw std::runtime_error("engine refused the dictionary");
    if (range == 0) {
        for (const ClassDef &def : set.classes)
            range |= kGroupMasks[def.group];
    }
    const int32_t ten = 10;
    CharEngineSetParam(h, kCharParamCandidates, &ten);
    CharEngineSetParam(h, kCharParamRange, &range);
    std::vector<uint16_t> specials(kCharSpecialCodes, 0);
    if (gestures) {
        for (size_t c = 0; c < set.classes.size() && c < kCharSpecialCodes; ++c)
            specials[c] = set.classes[c].code;
        const int32_t anywhere = 1;
        CharEngineSetParam(h, kCharParamSpecial, specials.data());
        CharEngineSetParam(h, kCharParamSpecialAny, &anywhere);
    }
    const double t0 = Now();
    for (size_t n = 0; n < test.size(); ++n) {
        std::vector<int16_t> p = test.pairs[n];
        uint16_t codes[kCharMaxCandidates + 1];
        const int got = CharEngineRecog(h, p.data(), codes, nullptr, nullptr);
        const uint16_t want = set.classes[test.cls[n]].code;
        ++r.samples;
        for (int i = 0; i < got; ++i) {
            if (codes[i] == want) {
                r.top10 += 1;
                if (i == 0)
                    r.top1 += 1;
                break;
            }
        }
        if (got > 0 && codes[0] != want && want < 128 && codes[0] < 128 &&
            std::tolower(codes[0]) == std::tolower(want))
            r.caseOnly += 1;
    }
    r.seconds = Now() - t0;
    return r;
}

}  // namespace chartrain
