#include "Ctc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace v7train {

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

double LogAdd(double a, double b) {
    if (a == kNegInf)
        return b;
    if (b == kNegInf)
        return a;
    if (a < b)
        std::swap(a, b);
    return a + std::log1p(std::exp(b - a));
}

}  // namespace

int CtcMinFrames(const std::vector<int> &labels, int optional) {
    int n = 0, last = -1;
    for (int l : labels) {
        if (l == optional)
            continue;
        n += 1 + (l == last);
        last = l;
    }
    return n;
}

template <typename Real>
double CtcLoss(const std::vector<Real> &prob, int T, int classes, int blank,
               const std::vector<int> &labels, std::vector<Real> &dLogits, int optional) {
    const int U = int(labels.size()), S = 2 * U + 1;
    if (T <= 0 || CtcMinFrames(labels, optional) > T)
        return -1;
    // Extended sequence: blank, l1, blank, l2, ..., blank. Moves into state s come from s,
    // s - 1, s - 2 (a label after a blank, unless it repeats the label before), and, past an
    // optional label at s - 2, from the blank and the label before it. The blank after an
    // optional label is reached only through it, so that every labelling has one path.
    std::vector<int> ext(S);
    for (int s = 0; s < S; ++s)
        ext[s] = s % 2 ? labels[s / 2] : blank;
    auto opt = [&](int s) { return s >= 0 && s < S && s % 2 && ext[s] == optional; };
    // Predecessors of s other than s itself, at most four.
    std::vector<std::array<int, 4>> pred(S);
    std::vector<int> npred(S, 0);
    auto add = [&](int to, int from) {
        if (from >= 0)
            pred[to][npred[to]++] = from;
    };
    for (int s = 0; s < S; ++s) {
        add(s, s - 1);
        bool label = ext[s] != blank;
        if (s >= 2 && label && ext[s] != ext[s - 2])
            add(s, s - 2);
        if (label && opt(s - 2) && s >= 4) {
            add(s, s - 3);  // the blank before the skipped label
            if (ext[s] != ext[s - 4])
                add(s, s - 4);
        }
    }
    // Successors, for the backward pass.
    std::vector<std::vector<int>> succ(S);
    for (int s = 0; s < S; ++s)
        for (int k = 0; k < npred[s]; ++k)
            succ[pred[s][k]].push_back(s);
    // Start states: the first blank, the first label, and labels after leading optional ones.
    std::vector<char> start(S, 0), final(S, 0);
    for (int s = 0; s < S; ++s) {
        start[s] = s <= 1;
        if (s >= 3 && s % 2) {
            bool allOpt = true;
            for (int k = 1; k < s; k += 2)
                allOpt = allOpt && opt(k);
            start[s] = allOpt;
        }
    }
    for (int s = 0; s < S; ++s) {
        final[s] = s >= S - 2;
        if (!final[s]) {
            bool allOpt = true;
            for (int k = (s % 2 ? s + 2 : s + 1); k < S; k += 2)
                allOpt = allOpt && opt(k);
            final[s] = allOpt;
        }
    }
    std::vector<double> lp(size_t(T) * classes);
    for (size_t i = 0; i < lp.size(); ++i)
        lp[i] = std::log(std::max(double(prob[i]), 1e-30));
    std::vector<double> alpha(size_t(T) * S, kNegInf), beta(size_t(T) * S, kNegInf);
    for (int s = 0; s < S; ++s)
        if (start[s])
            alpha[size_t(s)] = lp[size_t(ext[s])];
    for (int t = 1; t < T; ++t) {
        const double *ap = &alpha[size_t(t - 1) * S];
        double *a = &alpha[size_t(t) * S];
        for (int s = 0; s < S; ++s) {
            double v = ap[s];
            for (int k = 0; k < npred[s]; ++k)
                v = LogAdd(v, ap[pred[s][k]]);
            a[s] = v == kNegInf ? kNegInf : v + lp[size_t(t) * classes + ext[s]];
        }
    }
    double *bl = &beta[size_t(T - 1) * S];
    for (int s = 0; s < S; ++s)
        if (final[s])
            bl[s] = lp[size_t(T - 1) * classes + ext[s]];
    for (int t = T - 2; t >= 0; --t) {
        const double *bn = &beta[size_t(t + 1) * S];
        double *b = &beta[size_t(t) * S];
        for (int s = 0; s < S; ++s) {
            double v = bn[s];
            for (int n : succ[s])
                v = LogAdd(v, bn[n]);
            b[s] = v == kNegInf ? kNegInf : v + lp[size_t(t) * classes + ext[s]];
        }
    }
    double logP = kNegInf;
    for (int s = 0; s < S; ++s)
        if (final[s])
            logP = LogAdd(logP, alpha[size_t(T - 1) * S + s]);
    if (logP == kNegInf)
        return -1;
    dLogits.assign(size_t(T) * classes, Real(0));
    std::vector<double> occ(classes);
    for (int t = 0; t < T; ++t) {
        std::fill(occ.begin(), occ.end(), kNegInf);
        for (int s = 0; s < S; ++s) {
            size_t i = size_t(t) * S + s;
            if (alpha[i] == kNegInf || beta[i] == kNegInf)
                continue;
            // alpha and beta both include frame t's emission: divide it out once.
            double v = alpha[i] + beta[i] - lp[size_t(t) * classes + ext[s]];
            occ[ext[s]] = LogAdd(occ[ext[s]], v);
        }
        for (int k = 0; k < classes; ++k) {
            double post = occ[k] == kNegInf ? 0.0 : std::exp(occ[k] - logP);
            dLogits[size_t(t) * classes + k] = Real(double(prob[size_t(t) * classes + k]) - post);
        }
    }
    return -logP;
}

template double CtcLoss<float>(const std::vector<float> &, int, int, int, const std::vector<int> &,
                               std::vector<float> &, int);
template double CtcLoss<double>(const std::vector<double> &, int, int, int,
                                const std::vector<int> &, std::vector<double> &, int);

}  // namespace v7train
