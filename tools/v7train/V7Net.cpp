#include "V7Net.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace v7train {

template <typename Real>
Real Logistic(Real x) {
    const Real lim = Real(88.72284);
    if (!(x < lim))
        return 1;  // also NaN
    if (x <= -lim)
        return 0;
    return Real(1) / (Real(1) + Real(std::exp(-x)));
}

template <typename Real>
Real TanhViaLogistic(Real x) {
    return Real(2) * Logistic<Real>(Real(2) * x) - Real(1);
}

namespace {

// A tile of R rows by W columns of the product below, kept in registers over all of k.
template <typename Real, int R, int W>
void MulAddTile(const Real *const *a, ptrdiff_t astride, int K, const Real *b, ptrdiff_t bstride,
                Real *const *y, int c0) {
    Real acc[R][W];
    for (int r = 0; r < R; ++r)
        for (int j = 0; j < W; ++j)
            acc[r][j] = y[r][c0 + j];
    for (int k = 0; k < K; ++k) {
        const Real *bk = b + k * bstride;
        for (int r = 0; r < R; ++r) {
            Real ar = a[r][k * astride];
#pragma omp simd
            for (int j = 0; j < W; ++j)
                acc[r][j] += ar * bk[j];
        }
    }
    for (int r = 0; r < R; ++r)
        for (int j = 0; j < W; ++j)
            y[r][c0 + j] = acc[r][j];
}

template <typename Real, int W>
void MulAddStrip(int m, const Real *const *a, ptrdiff_t astride, int K, const Real *b,
                 ptrdiff_t bstride, Real *const *y, int c0) {
    int i = 0;
    for (; i + 8 <= m; i += 8)
        MulAddTile<Real, 8, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
    switch (m - i) {
        case 7:
            return MulAddTile<Real, 7, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 6:
            return MulAddTile<Real, 6, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 5:
            return MulAddTile<Real, 5, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 4:
            return MulAddTile<Real, 4, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 3:
            return MulAddTile<Real, 3, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 2:
            return MulAddTile<Real, 2, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        case 1:
            return MulAddTile<Real, 1, W>(a + i, astride, K, b + c0, bstride, y + i, c0);
        default:
            return;
    }
}

// y[i][0..cols) += sum_k a[i][k * astride] * b[k * bstride + 0..cols) for i < m: the rows of
// y eight at a time, in column strips that stay in registers while k runs, so that each row of
// b is loaded once per eight rows of y; strips outermost, so that a strip of b stays in the
// first-level cache while the rows of y pass.
template <typename Real>
void MulAdd(int m, const Real *const *a, ptrdiff_t astride, int K, const Real *b, ptrdiff_t bstride,
            int cols, Real *const *y) {
    constexpr int kWide = 128 / int(sizeof(Real));
    if (m <= 0 || K <= 0)
        return;
    int c = 0;
    for (; c + kWide <= cols; c += kWide)
        MulAddStrip<Real, kWide>(m, a, astride, K, b, bstride, y, c);
    for (; c + kWide / 2 <= cols; c += kWide / 2)
        MulAddStrip<Real, kWide / 2>(m, a, astride, K, b, bstride, y, c);
    for (; c + kWide / 4 <= cols; c += kWide / 4)
        MulAddStrip<Real, kWide / 4>(m, a, astride, K, b, bstride, y, c);
    for (; c + 4 <= cols; c += 4)
        MulAddStrip<Real, 4>(m, a, astride, K, b, bstride, y, c);
    for (; c < cols; ++c)
        MulAddStrip<Real, 1>(m, a, astride, K, b, bstride, y, c);
}

// Row pointers base + i * stride, i < m.
template <typename Ptr>
void Rows(std::vector<Ptr> &v, typename std::vector<Ptr>::value_type base, int m,
          ptrdiff_t stride) {
    v.resize(size_t(std::max(m, 0)));
    for (int i = 0; i < m; ++i)
        v[size_t(i)] = base + i * stride;
}

// The transpose of a rows x cols matrix.
template <typename Real>
void Transpose(const Real *a, int rows, int cols, std::vector<Real> &t) {
    t.resize(size_t(rows) * cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            t[size_t(c) * rows + r] = a[size_t(r) * cols + c];
}

}  // namespace

template <typename Real>
V7Net<Real>::V7Net() {
    const WeightLayout &L = WeightLayout::V7();
    params.assign(L.Total(), Real(0));
    const int sizes[3] = {20, 60, 180}, inputs[3] = {15, 20, 60};
    const char *src[3] = {"input", "subsample_0", "subsample_1"};
    for (int l = 0; l < 3; ++l)
        for (int d = 0; d < 2; ++d) {
            std::string h = "hidden_" + std::to_string(l) + "_" + std::to_string(d);
            Lstm &m = lv_[l].d[d];
            m.n = sizes[l];
            m.in = inputs[l];
            m.dir = d == 0 ? -1 : 1;
            m.wx = L.Get(std::string(src[l]) + "_to_" + h).offset;
            m.b = L.Get("bias_to_" + h).offset;
            m.wr = L.Get(h + "_to_" + h + (d == 0 ? "_delay_1" : "_delay_-1")).offset;
            m.peep = L.Get(h + "_peepholes").offset;
            lv_[l].sub[d] = l < 2 ? L.Get(h + "_block_to_subsample_" + std::to_string(l)).offset
                                  : L.Get(h + "_to_output").offset;
        }
    outBias_ = L.Get("bias_to_output").offset;
    seqs_.resize(1);
    zeros_.assign(180, Real(0));
}

template <typename Real>
const Real *V7Net<Real>::LevelInput(const Seq &q, int l) const {
    return l == 0 ? q.input : q.sub[l - 1].data();
}

template <typename Real>
void V7Net<Real>::LstmForward(int l, int d) {
    const Lstm &L = lv_[l].d[d];
    const int n = L.n, g4 = 4 * n;
    const Real *P = params.data();
    Transpose(P + L.wx, g4, L.in, wxT_);
    Transpose(P + L.wr, g4, n, wrT_);
    for (Seq &q : seqs_) {
        LstmState &S = q.s[l][d];
        const int T = q.T[l];
        S.z.resize(size_t(T) * g4);
        for (int t = 0; t < T; ++t)
            std::copy(P + L.b, P + L.b + g4, S.z.data() + size_t(t) * g4);
        Rows(a_, LevelInput(q, l), T, L.in);
        Rows(y_, S.z.data(), T, g4);
        MulAdd(T, a_.data(), 1, L.in, wxT_.data(), g4, g4, y_.data());
        for (auto *v : {&S.gi, &S.gf, &S.gg, &S.go, &S.c, &S.tc, &S.h})
            v->resize(size_t(T) * n);
    }
    const Real *peep = P + L.peep;
    // Step `step` of every sequence longer than that: frame `step` going forward, frame
    // T - 1 - step going backward; the longest sequences first, so those still running are a
    // prefix of order_.
    int active = int(order_.size());
    const int steps = order_.empty() ? 0 : seqs_[size_t(order_[0])].T[l];
    for (int step = 0; step < steps; ++step) {
        while (active > 0 && seqs_[size_t(order_[size_t(active - 1)])].T[l] <= step)
            --active;
        auto frame = [&](const Seq &q) { return L.dir > 0 ? step : q.T[l] - 1 - step; };
        if (step > 0) {
            a_.resize(size_t(active));
            y_.resize(size_t(active));
            for (int i = 0; i < active; ++i) {
                Seq &q = seqs_[size_t(order_[size_t(i)])];
                int t = frame(q);
                a_[size_t(i)] = q.s[l][d].h.data() + size_t(t - L.dir) * n;
                y_[size_t(i)] = q.s[l][d].z.data() + size_t(t) * g4;
            }
            MulAdd(active, a_.data(), 1, n, wrT_.data(), g4, g4, y_.data());
        }
        // The first step has no previous cell: zeros in its place add nothing.
        for (int i = 0; i < active; ++i) {
            Seq &q = seqs_[size_t(order_[size_t(i)])];
            LstmState &S = q.s[l][d];
            const int t = frame(q);
            Real *z = S.z.data() + size_t(t) * g4;
            const Real *cp = step > 0 ? S.c.data() + size_t(t - L.dir) * n : zeros_.data();
            const size_t at = size_t(t) * n;
            Real *gi = S.gi.data() + at, *gf = S.gf.data() + at, *gg = S.gg.data() + at;
            Real *go = S.go.data() + at, *cc = S.c.data() + at, *tcc = S.tc.data() + at;
            Real *h = S.h.data() + at;
            for (int j = 0; j < n; ++j) {
                Real ai = z[4 * j] + peep[3 * j] * cp[j],
                     af = z[4 * j + 1] + peep[3 * j + 1] * cp[j];
                z[4 * j] = ai;
                z[4 * j + 1] = af;
                Real ig = Logistic(ai), f = Logistic(af), g = TanhViaLogistic(z[4 * j + 2]);
                Real c = ig * g + f * cp[j];
                Real ao = z[4 * j + 3] + peep[3 * j + 2] * c;
                z[4 * j + 3] = ao;
                Real o = Logistic(ao), tc = TanhViaLogistic(c);
                gi[j] = ig;
                gf[j] = f;
                gg[j] = g;
                go[j] = o;
                cc[j] = c;
                tcc[j] = tc;
                h[j] = o * tc;
            }
        }
    }
}

template <typename Real>
void V7Net<Real>::LstmBackward(int l, int d, const std::vector<int> &order,
                               std::vector<Real> &grad) {
    const Lstm &L = lv_[l].d[d];
    const int n = L.n, g4 = 4 * n;
    const Real *P = params.data();
    const Real *peep = P + L.peep;
    Real *gpeep = grad.data() + L.peep;
    for (int s : order) {
        LstmState &S = seqs_[size_t(s)].s[l][d];
        S.dz.assign(size_t(seqs_[size_t(s)].T[l]) * g4, Real(0));
        S.carry.assign(size_t(n), Real(0));
        S.rec.assign(size_t(n), Real(0));
    }
    // The forward steps backwards: sequences join as their last step comes up and all end at
    // step 0, so those running are again a prefix of `order`.
    int active = 0;
    const int steps = order.empty() ? 0 : seqs_[size_t(order[0])].T[l];
    for (int step = steps - 1; step >= 0; --step) {
        while (active < int(order.size()) && seqs_[size_t(order[size_t(active)])].T[l] > step)
            ++active;
        const bool hasPrev = step > 0;
        for (int i = 0; i < active; ++i) {
            Seq &q = seqs_[size_t(order[size_t(i)])];
            LstmState &S = q.s[l][d];
            const int t = L.dir > 0 ? step : q.T[l] - 1 - step;
            const Real *cp = hasPrev ? S.c.data() + size_t(t - L.dir) * n : zeros_.data();
            Real *dzt = S.dz.data() + size_t(t) * g4;
            Real *carry = S.carry.data();
            const Real *rec = S.rec.data();
            const size_t at = size_t(t) * n;
            const Real *gi = S.gi.data() + at, *gf = S.gf.data() + at, *gg = S.gg.data() + at;
            const Real *go = S.go.data() + at, *tcc = S.tc.data() + at, *dh = S.dh.data() + at;
#pragma omp simd
            for (int j = 0; j < n; ++j) {
                Real dhj = dh[j] + rec[j];
                Real ig = gi[j], f = gf[j], g = gg[j], o = go[j], tc = tcc[j];
                Real dao = dhj * tc * o * (1 - o);
                Real dc = dhj * o * (1 - tc * tc) + dao * peep[3 * j + 2] + carry[j];
                Real dai = dc * g * ig * (1 - ig);
                Real dzg = dc * ig * (1 - g * g);
                Real daf = dc * cp[j] * f * (1 - f);
                carry[j] = dc * f + dai * peep[3 * j] + daf * peep[3 * j + 1];
                dzt[4 * j] = dai;
                dzt[4 * j + 1] = daf;
                dzt[4 * j + 2] = dzg;
                dzt[4 * j + 3] = dao;
            }
        }
        if (!hasPrev)
            break;
        // The recurrent gradient into the previous step: W^T dz for every running sequence.
        a_.resize(size_t(active));
        y_.resize(size_t(active));
        for (int i = 0; i < active; ++i) {
            Seq &q = seqs_[size_t(order[size_t(i)])];
            LstmState &S = q.s[l][d];
            const int t = L.dir > 0 ? step : q.T[l] - 1 - step;
            std::fill(S.rec.begin(), S.rec.end(), Real(0));
            a_[size_t(i)] = S.dz.data() + size_t(t) * g4;
            y_[size_t(i)] = S.rec.data();
        }
        MulAdd(active, a_.data(), 1, g4, P + L.wr, n, n, y_.data());
    }
    // Weight gradients of each sequence as products over its frames; the input gradient.
    Real *gb = grad.data() + L.b;
    Real *gwx = grad.data() + L.wx;
    Real *gwr = grad.data() + L.wr;
    std::vector<Real *> gRows;
    for (int s : order) {
        Seq &q = seqs_[size_t(s)];
        LstmState &S = q.s[l][d];
        const int T = q.T[l];
        for (int t = 0; t < T; ++t) {
            const Real *dzt = S.dz.data() + size_t(t) * g4;
#pragma omp simd
            for (int o = 0; o < g4; ++o)
                gb[o] += dzt[o];
        }
        // Peepholes: the input and forget gates see the previous cell, the output gate this
        // one.
        for (int t = 0; t < T; ++t) {
            const Real *dzt = S.dz.data() + size_t(t) * g4;
            const Real *c = S.c.data() + size_t(t) * n;
            const int prev = t - L.dir;
            const Real *cp = prev >= 0 && prev < T ? S.c.data() + size_t(prev) * n : zeros_.data();
#pragma omp simd
            for (int j = 0; j < n; ++j) {
                gpeep[3 * j] += dzt[4 * j] * cp[j];
                gpeep[3 * j + 1] += dzt[4 * j + 1] * cp[j];
                gpeep[3 * j + 2] += dzt[4 * j + 3] * c[j];
            }
        }
        Rows(a_, S.dz.data(), g4, 1);
        Rows(gRows, gwx, g4, L.in);
        MulAdd(g4, a_.data(), g4, T, LevelInput(q, l), L.in, L.in, gRows.data());
        // The recurrent input of frame t is h[t - dir]; frames without one are left out.
        if (T > 1) {
            const int first = L.dir > 0 ? 1 : 0;
            const Real *hPrev = S.h.data() + (L.dir > 0 ? 0 : size_t(n));
            Rows(a_, S.dz.data() + size_t(first) * g4, g4, 1);
            Rows(gRows, gwr, g4, n);
            MulAdd(g4, a_.data(), g4, T - 1, hPrev, n, n, gRows.data());
        }
        if (l > 0) {
            Rows(a_, S.dz.data(), T, g4);
            Rows(y_, q.dx.data(), T, L.in);
            MulAdd(T, a_.data(), 1, g4, P + L.wx, L.in, L.in, y_.data());
        }
    }
}

template <typename Real>
void V7Net<Real>::SubsampleForward(Seq &q, int l) {
    // Blocks of two frames of both directions, then tanh. The frames of a block lie next to
    // each other; an odd last frame is padded with zeros, so its block uses half the weights.
    const int n = lv_[l].d[0].n, Tin = q.T[l], Tout = q.T[l + 1], full = Tin / 2;
    const Real *P = params.data();
    std::vector<Real> &s = q.sub[l];
    s.assign(size_t(Tout) * n, Real(0));
    for (int d = 0; d < 2; ++d) {
        Transpose(P + lv_[l].sub[d], n, 2 * n, wxT_);
        const Real *h = q.s[l][d].h.data();
        Rows(a_, h, full, 2 * n);
        Rows(y_, s.data(), full, n);
        MulAdd(full, a_.data(), 1, 2 * n, wxT_.data(), n, n, y_.data());
        if (Tout > full) {
            a_.assign(1, h + size_t(Tin - 1) * n);
            y_.assign(1, s.data() + size_t(full) * n);
            MulAdd(1, a_.data(), 1, n, wxT_.data(), n, n, y_.data());
        }
    }
    for (Real &v : s)
        v = TanhViaLogistic(v);
}

template <typename Real>
int V7Net<Real>::Forward(const Real *input, int frames) {
    ForwardBatch({input}, {frames});
    return seqs_[0].T[2];
}

template <typename Real>
void V7Net<Real>::ForwardBatch(const std::vector<const Real *> &inputs,
                               const std::vector<int> &frames) {
    seqs_.resize(inputs.size());
    order_.resize(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        Seq &q = seqs_[i];
        q.input = inputs[i];
        q.T[0] = std::max(frames[i], 0);
        q.T[1] = (q.T[0] + 1) / 2;
        q.T[2] = (q.T[1] + 1) / 2;
        order_[i] = int(i);
    }
    std::stable_sort(order_.begin(), order_.end(),
                     [&](int a, int b) { return seqs_[size_t(a)].T[0] > seqs_[size_t(b)].T[0]; });
    for (int l = 0; l < 3; ++l) {
        for (int d = 0; d < 2; ++d)
            LstmForward(l, d);
        if (l < 2)
            for (Seq &q : seqs_)
                SubsampleForward(q, l);
    }
    const Real *P = params.data();
    for (Seq &q : seqs_) {
        const int T = q.T[2];
        q.logits.resize(size_t(T) * kClasses);
        q.prob.resize(size_t(T) * kClasses);
        for (int t = 0; t < T; ++t)
            std::copy(P + outBias_, P + outBias_ + kClasses,
                      q.logits.data() + size_t(t) * kClasses);
        for (int d = 0; d < 2; ++d) {
            Transpose(P + lv_[2].sub[d], kClasses, 180, wxT_);
            Rows(a_, q.s[2][d].h.data(), T, 180);
            Rows(y_, q.logits.data(), T, kClasses);
            MulAdd(T, a_.data(), 1, 180, wxT_.data(), kClasses, kClasses, y_.data());
        }
        for (int t = 0; t < T; ++t) {
            const Real *z = q.logits.data() + size_t(t) * kClasses;
            Real mx = *std::max_element(z, z + kClasses), sum = 0;
            Real *p = q.prob.data() + size_t(t) * kClasses;
            for (int k = 0; k < kClasses; ++k)
                sum += p[k] = Real(std::exp(z[k] - mx));
            for (int k = 0; k < kClasses; ++k)
                p[k] /= sum;
        }
    }
}

template <typename Real>
void V7Net<Real>::Backward(const std::vector<Real> &dLogits, std::vector<Real> &grad) {
    BackwardBatch({dLogits.data()}, grad);
}

template <typename Real>
void V7Net<Real>::BackwardBatch(const std::vector<const Real *> &dLogits, std::vector<Real> &grad) {
    const Real *P = params.data();
    std::vector<int> order;
    for (int s : order_)
        if (dLogits[size_t(s)])
            order.push_back(s);
    std::vector<Real *> gRows;
    // Output layer.
    for (int s : order) {
        Seq &q = seqs_[size_t(s)];
        const int T2 = q.T[2];
        const Real *dl = dLogits[size_t(s)];
        for (int t = 0; t < T2; ++t)
            for (int k = 0; k < kClasses; ++k)
                grad[outBias_ + k] += dl[size_t(t) * kClasses + k];
        for (int d = 0; d < 2; ++d) {
            LstmState &S = q.s[2][d];
            Rows(a_, dl, kClasses, 1);
            Rows(gRows, grad.data() + lv_[2].sub[d], kClasses, 180);
            MulAdd(kClasses, a_.data(), kClasses, T2, S.h.data(), 180, 180, gRows.data());
            S.dh.assign(size_t(T2) * 180, Real(0));
            Rows(a_, dl, T2, kClasses);
            Rows(y_, S.dh.data(), T2, 180);
            MulAdd(T2, a_.data(), 1, kClasses, P + lv_[2].sub[d], 180, 180, y_.data());
        }
    }
    for (int l = 2; l >= 0; --l) {
        const int in = lv_[l].d[0].in;
        for (int s : order)
            if (l > 0)
                seqs_[size_t(s)].dx.assign(size_t(seqs_[size_t(s)].T[l]) * in, Real(0));
        for (int d = 0; d < 2; ++d)
            LstmBackward(l, d, order, grad);
        if (l == 0)
            break;
        // Through subsample layer l-1: s = tanh(a), a = sum_d W_d block_d.
        const int sl = l - 1, n = lv_[sl].d[0].n;
        for (int s : order) {
            Seq &q = seqs_[size_t(s)];
            const int Tin = q.T[sl], Tout = q.T[l], full = Tin / 2;
            std::vector<Real> &da = q.dx;  // in place: n values a frame either way
            const Real *sv = q.sub[sl].data();
            for (size_t k = 0; k < size_t(Tout) * n; ++k)
                da[k] *= 1 - sv[k] * sv[k];
            for (int d = 0; d < 2; ++d) {
                LstmState &S = q.s[sl][d];
                Real *gw = grad.data() + lv_[sl].sub[d];
                const Real *W = P + lv_[sl].sub[d];
                // gW[o] += da[t][o] block(t); dblock(t) = W^T da[t], a block being two
                // neighbouring frames.
                Rows(a_, da.data(), n, 1);
                Rows(gRows, gw, n, 2 * n);
                MulAdd(n, a_.data(), n, full, S.h.data(), 2 * n, 2 * n, gRows.data());
                S.dh.assign(size_t(Tin) * n, Real(0));
                Rows(a_, da.data(), full, n);
                Rows(y_, S.dh.data(), full, 2 * n);
                MulAdd(full, a_.data(), 1, n, W, 2 * n, 2 * n, y_.data());
                if (Tout > full) {
                    const Real *daLast = da.data() + size_t(full) * n;
                    const Real *hLast = S.h.data() + size_t(Tin - 1) * n;
                    Rows(a_, daLast, n, 1);
                    MulAdd(n, a_.data(), 1, 1, hLast, n, n, gRows.data());
                    a_.assign(1, daLast);
                    y_.assign(1, S.dh.data() + size_t(Tin - 1) * n);
                    MulAdd(1, a_.data(), 1, n, W, 2 * n, n, y_.data());
                }
            }
        }
    }
}

template class V7Net<float>;
template class V7Net<double>;
template float Logistic<float>(float);
template double Logistic<double>(double);
template float TanhViaLogistic<float>(float);
template double TanhViaLogistic<double>(double);

}  // namespace v7train
