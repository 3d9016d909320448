#include "Ctc.h"

#include <algorithm>
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

int CtcMinFrames(const std::vector<int> &labels) {
    int n = int(labels.size());
    for (size_t i = 1; i < labels.size(); ++i)
        n += labels[i] == labels[i - 1];
    return n;
}

template <typename Real>
double CtcLoss(const std::vector<Real> &prob, int T, int classes, int blank,
               const std::vector<int> &labels, std::vector<Real> &dLogits) {
    const int U = int(labels.size()), S = 2 * U + 1;
    if (T <= 0 || CtcMinFrames(labels) > T)
        return -1;
    std::vector<int> ext(S);
    for (int s = 0; s < S; ++s)
        ext[s] = s % 2 ? labels[s / 2] : blank;
    std::vector<double> lp(size_t(T) * classes);
    for (size_t i = 0; i < lp.size(); ++i)
        lp[i] = std::log(std::max(double(prob[i]), 1e-30));
    std::vector<double> alpha(size_t(T) * S, kNegInf), beta(size_t(T) * S, kNegInf);
    alpha[0] = lp[size_t(blank)];
    if (S > 1)
        alpha[1] = lp[size_t(ext[1])];
    for (int t = 1; t < T; ++t) {
        const double *ap = &alpha[size_t(t - 1) * S];
        double *a = &alpha[size_t(t) * S];
        for (int s = 0; s < S; ++s) {
            double v = ap[s];
            if (s >= 1)
                v = LogAdd(v, ap[s - 1]);
            if (s >= 2 && ext[s] != blank && ext[s] != ext[s - 2])
                v = LogAdd(v, ap[s - 2]);
            a[s] = v == kNegInf ? kNegInf : v + lp[size_t(t) * classes + ext[s]];
        }
    }
    double *bl = &beta[size_t(T - 1) * S];
    bl[S - 1] = lp[size_t(T - 1) * classes + blank];
    if (S > 1)
        bl[S - 2] = lp[size_t(T - 1) * classes + ext[S - 2]];
    for (int t = T - 2; t >= 0; --t) {
        const double *bn = &beta[size_t(t + 1) * S];
        double *b = &beta[size_t(t) * S];
        for (int s = 0; s < S; ++s) {
            double v = bn[s];
            if (s + 1 < S)
                v = LogAdd(v, bn[s + 1]);
            if (s + 2 < S && ext[s] != blank && ext[s] != ext[s + 2])
                v = LogAdd(v, bn[s + 2]);
            b[s] = v == kNegInf ? kNegInf : v + lp[size_t(t) * classes + ext[s]];
        }
    }
    double logP = alpha[size_t(T - 1) * S + S - 1];
    if (S > 1)
        logP = LogAdd(logP, alpha[size_t(T - 1) * S + S - 2]);
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
                               std::vector<float> &);
template double CtcLoss<double>(const std::vector<double> &, int, int, int,
                                const std::vector<int> &, std::vector<double> &);

}  // namespace v7train
