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

// y[0..cols) += sum_r c[r * cstride] * a[r][0..cols): rows four at a time, so that y is loaded
// and stored once per four rows and the inner loop vectorises over the columns.
template <typename Real>
void AxpyRows(const Real *c, ptrdiff_t cstride, int rows, const Real *a, int cols, Real *y) {
    int r = 0;
    for (; r + 4 <= rows; r += 4) {
        Real c0 = c[r * cstride], c1 = c[(r + 1) * cstride], c2 = c[(r + 2) * cstride],
             c3 = c[(r + 3) * cstride];
        if (c0 == 0 && c1 == 0 && c2 == 0 && c3 == 0)
            continue;
        const Real *a0 = a + size_t(r) * cols, *a1 = a0 + cols, *a2 = a1 + cols, *a3 = a2 + cols;
#pragma omp simd
        for (int k = 0; k < cols; ++k)
            y[k] += c0 * a0[k] + c1 * a1[k] + c2 * a2[k] + c3 * a3[k];
    }
    for (; r < rows; ++r) {
        Real c0 = c[r * cstride];
        if (c0 == 0)
            continue;
        const Real *a0 = a + size_t(r) * cols;
#pragma omp simd
        for (int k = 0; k < cols; ++k)
            y[k] += c0 * a0[k];
    }
}

// y[o] += sum_k w[o][k] v[k] (the output layer: few rows, long ones)
template <typename Real>
void MatVec(const Real *w, int out, int in, const Real *v, Real *y) {
    for (int o = 0; o < out; ++o) {
        const Real *wo = w + size_t(o) * in;
        Real s = 0;
#pragma omp simd reduction(+ : s)
        for (int k = 0; k < in; ++k)
            s += wo[k] * v[k];
        y[o] += s;
    }
}

// y[k] += sum_o w[o][k] d[o]
template <typename Real>
void MatTVec(const Real *w, int out, int in, const Real *d, Real *y) {
    AxpyRows(d, 1, out, w, in, y);
}

// gw[o][k] += d[o] * v[k]
template <typename Real>
void Outer(const Real *d, int out, const Real *v, int in, Real *gw) {
    for (int o = 0; o < out; ++o) {
        Real g = d[o];
        if (g == 0)
            continue;
        Real *go = gw + size_t(o) * in;
#pragma omp simd
        for (int k = 0; k < in; ++k)
            go[k] += g * v[k];
    }
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
}

template <typename Real>
void V7Net<Real>::LstmForward(Lstm &L, const Real *x) {
    const int T = L.T, n = L.n, g4 = 4 * n;
    const Real *P = params.data();
    L.z.assign(size_t(T) * g4, Real(0));
    Transpose(P + L.wx, g4, L.in, wxT_);
    Transpose(P + L.wr, g4, n, wrT_);
    for (int t = 0; t < T; ++t) {
        Real *z = L.z.data() + size_t(t) * g4;
        std::copy(P + L.b, P + L.b + g4, z);
        AxpyRows(x + size_t(t) * L.in, 1, L.in, wxT_.data(), g4, z);
    }
    for (auto *v : {&L.gi, &L.gf, &L.gg, &L.go, &L.c, &L.tc, &L.h})
        v->assign(size_t(T) * n, Real(0));
    const Real *peep = P + L.peep;
    for (int step = 0; step < T; ++step) {
        int t = L.dir > 0 ? step : T - 1 - step;
        int prev = t - L.dir;
        bool hasPrev = prev >= 0 && prev < T;
        Real *z = L.z.data() + size_t(t) * g4;
        if (hasPrev)
            AxpyRows(L.h.data() + size_t(prev) * n, 1, n, wrT_.data(), g4, z);
        const Real *cp = hasPrev ? L.c.data() + size_t(prev) * n : nullptr;
        for (int j = 0; j < n; ++j) {
            Real ai = z[4 * j], af = z[4 * j + 1];
            if (hasPrev) {
                ai += peep[3 * j] * cp[j];
                af += peep[3 * j + 1] * cp[j];
            }
            z[4 * j] = ai;
            z[4 * j + 1] = af;
            Real i = Logistic(ai), f = Logistic(af), g = TanhViaLogistic(z[4 * j + 2]);
            Real c = i * g + (hasPrev ? f * cp[j] : Real(0));
            Real ao = z[4 * j + 3] + peep[3 * j + 2] * c;
            z[4 * j + 3] = ao;
            Real o = Logistic(ao), tc = TanhViaLogistic(c);
            size_t k = size_t(t) * n + j;
            L.gi[k] = i;
            L.gf[k] = f;
            L.gg[k] = g;
            L.go[k] = o;
            L.c[k] = c;
            L.tc[k] = tc;
            L.h[k] = o * tc;
        }
    }
}

template <typename Real>
void V7Net<Real>::LstmBackward(Lstm &L, const Real *x, const std::vector<Real> &dh, Real *dx,
                               std::vector<Real> &grad) {
    const int T = L.T, n = L.n, g4 = 4 * n;
    const Real *P = params.data();
    const Real *peep = P + L.peep;
    Real *gpeep = grad.data() + L.peep;
    std::vector<Real> dz(size_t(T) * g4, Real(0)), dhCur(n), carry(n, Real(0)), newCarry(n);
    std::vector<Real> rec(n, Real(0));
    for (int step = T - 1; step >= 0; --step) {
        int t = L.dir > 0 ? step : T - 1 - step;
        int prev = t - L.dir;
        bool hasPrev = prev >= 0 && prev < T;
        const Real *cp = hasPrev ? L.c.data() + size_t(prev) * n : nullptr;
        Real *d = dz.data() + size_t(t) * g4;
        for (int j = 0; j < n; ++j) {
            size_t k = size_t(t) * n + j;
            Real dhj = dh[k] + rec[j];
            Real i = L.gi[k], f = L.gf[k], g = L.gg[k], o = L.go[k], tc = L.tc[k], c = L.c[k];
            Real dao = dhj * tc * o * (1 - o);
            Real dc = dhj * o * (1 - tc * tc) + dao * peep[3 * j + 2] + carry[j];
            Real dai = dc * g * i * (1 - i);
            Real dzg = dc * i * (1 - g * g);
            Real daf = 0;
            if (hasPrev) {
                daf = dc * cp[j] * f * (1 - f);
                newCarry[j] = dc * f + dai * peep[3 * j] + daf * peep[3 * j + 1];
                gpeep[3 * j] += dai * cp[j];
                gpeep[3 * j + 1] += daf * cp[j];
            } else {
                newCarry[j] = 0;
            }
            gpeep[3 * j + 2] += dao * c;
            d[4 * j] = dai;
            d[4 * j + 1] = daf;
            d[4 * j + 2] = dzg;
            d[4 * j + 3] = dao;
        }
        std::swap(carry, newCarry);
        std::fill(rec.begin(), rec.end(), Real(0));
        if (hasPrev)
            MatTVec(P + L.wr, g4, n, d, rec.data());
    }
    // Weight gradients after the time loop, row by row, so that each gradient row stays in
    // the first-level cache while the frames stream past.
    Real *gb = grad.data() + L.b;
    Real *gwx = grad.data() + L.wx;
    Real *gwr = grad.data() + L.wr;
    // The recurrent input of frame t is h[t - dir]; frames without one are left out.
    int first = L.dir > 0 ? 1 : 0, count = T - 1;
    const Real *hPrev = L.h.data() + (L.dir > 0 ? 0 : size_t(n));
    for (int o = 0; o < g4; ++o) {
        Real sb = 0;
        for (int t = 0; t < T; ++t)
            sb += dz[size_t(t) * g4 + o];
        gb[o] += sb;
        AxpyRows(dz.data() + o, g4, T, x, L.in, gwx + size_t(o) * L.in);
        if (count > 0)
            AxpyRows(dz.data() + size_t(first) * g4 + o, g4, count, hPrev, n, gwr + size_t(o) * n);
    }
    if (dx)
        for (int t = 0; t < T; ++t)
            MatTVec(P + L.wx, g4, L.in, dz.data() + size_t(t) * g4, dx + size_t(t) * L.in);
}

template <typename Real>
void V7Net<Real>::SubsampleForward(int l) {
    // Blocks of two frames of both directions, then tanh.
    const int n = lv_[l].d[0].n, Tin = T_[l], Tout = T_[l + 1];
    const Real *P = params.data();
    std::vector<Real> &s = sub_[l];
    s.assign(size_t(Tout) * n, Real(0));
    std::vector<Real> block(2 * n);
    for (int t = 0; t < Tout; ++t) {
        Real *st = s.data() + size_t(t) * n;
        for (int d = 0; d < 2; ++d) {
            const Lstm &m = lv_[l].d[d];
            for (int j = 0; j < 2; ++j) {
                int src = 2 * t + j;
                for (int k = 0; k < n; ++k)
                    block[size_t(j) * n + k] = src < Tin ? m.h[size_t(src) * n + k] : Real(0);
            }
            MatVec(P + lv_[l].sub[d], n, 2 * n, block.data(), st);
        }
        for (int k = 0; k < n; ++k)
            st[k] = TanhViaLogistic(st[k]);
    }
}

template <typename Real>
int V7Net<Real>::Forward(const Real *input, int frames) {
    input_ = input;
    T_[0] = frames;
    T_[1] = (frames + 1) / 2;
    T_[2] = (T_[1] + 1) / 2;
    const Real *x = input;
    for (int l = 0; l < 3; ++l) {
        for (int d = 0; d < 2; ++d) {
            lv_[l].d[d].T = T_[l];
            LstmForward(lv_[l].d[d], x);
        }
        if (l < 2) {
            SubsampleForward(l);
            x = sub_[l].data();
        }
    }
    const int T = T_[2];
    const Real *P = params.data();
    logits_.assign(size_t(T) * kClasses, Real(0));
    prob_.assign(size_t(T) * kClasses, Real(0));
    for (int t = 0; t < T; ++t) {
        Real *z = logits_.data() + size_t(t) * kClasses;
        std::copy(P + outBias_, P + outBias_ + kClasses, z);
        for (int d = 0; d < 2; ++d)
            MatVec(P + lv_[2].sub[d], kClasses, 180, lv_[2].d[d].h.data() + size_t(t) * 180, z);
        Real mx = *std::max_element(z, z + kClasses), sum = 0;
        Real *p = prob_.data() + size_t(t) * kClasses;
        for (int k = 0; k < kClasses; ++k)
            sum += p[k] = Real(std::exp(z[k] - mx));
        for (int k = 0; k < kClasses; ++k)
            p[k] /= sum;
    }
    return T;
}

template <typename Real>
void V7Net<Real>::Backward(const std::vector<Real> &dLogits, std::vector<Real> &grad) {
    const Real *P = params.data();
    // Output layer.
    std::vector<Real> dh2[2];
    const int T2 = T_[2];
    for (int d = 0; d < 2; ++d)
        dh2[d].assign(size_t(T2) * 180, Real(0));
    for (int t = 0; t < T2; ++t) {
        const Real *g = dLogits.data() + size_t(t) * kClasses;
        for (int k = 0; k < kClasses; ++k)
            grad[outBias_ + k] += g[k];
        for (int d = 0; d < 2; ++d) {
            const Real *h = lv_[2].d[d].h.data() + size_t(t) * 180;
            Outer(g, kClasses, h, 180, grad.data() + lv_[2].sub[d]);
            MatTVec(P + lv_[2].sub[d], kClasses, 180, g, dh2[d].data() + size_t(t) * 180);
        }
    }
    std::vector<Real> dIn;  // gradient wrt the level's input (a subsample output)
    std::vector<Real> *dh = dh2;
    std::vector<Real> dhl[2];
    for (int l = 2; l >= 0; --l) {
        const Real *x = l == 0 ? input_ : sub_[l - 1].data();
        int in = lv_[l].d[0].in;
        std::vector<Real> dx;
        if (l > 0)
            dx.assign(size_t(T_[l]) * in, Real(0));
        for (int d = 0; d < 2; ++d)
            LstmBackward(lv_[l].d[d], x, dh[d], l > 0 ? dx.data() : nullptr, grad);
        if (l == 0)
            break;
        // Through subsample layer l-1: s = tanh(a), a = sum_d W_d block_d.
        int sl = l - 1, n = lv_[sl].d[0].n, Tin = T_[sl], Tout = T_[l];
        for (int d = 0; d < 2; ++d)
            dhl[d].assign(size_t(Tin) * n, Real(0));
        std::vector<Real> block(2 * n), dblock(2 * n), da(n);
        for (int t = 0; t < Tout; ++t) {
            const Real *s = sub_[sl].data() + size_t(t) * n;
            for (int k = 0; k < n; ++k)
                da[k] = dx[size_t(t) * n + k] * (1 - s[k] * s[k]);
            for (int d = 0; d < 2; ++d) {
                const Lstm &m = lv_[sl].d[d];
                for (int j = 0; j < 2; ++j) {
                    int src = 2 * t + j;
                    for (int k = 0; k < n; ++k)
                        block[size_t(j) * n + k] = src < Tin ? m.h[size_t(src) * n + k] : Real(0);
                }
                Outer(da.data(), n, block.data(), 2 * n, grad.data() + lv_[sl].sub[d]);
                std::fill(dblock.begin(), dblock.end(), Real(0));
                MatTVec(P + lv_[sl].sub[d], n, 2 * n, da.data(), dblock.data());
                for (int j = 0; j < 2; ++j) {
                    int src = 2 * t + j;
                    if (src >= Tin)
                        continue;
                    for (int k = 0; k < n; ++k)
                        dhl[d][size_t(src) * n + k] += dblock[size_t(j) * n + k];
                }
            }
        }
        dh = dhl;
    }
}

template class V7Net<float>;
template class V7Net<double>;
template float Logistic<float>(float);
template double Logistic<double>(double);
template float TanhViaLogistic<float>(float);
template double TanhViaLogistic<double>(double);

}  // namespace v7train
