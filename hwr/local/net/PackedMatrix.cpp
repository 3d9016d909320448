#include "PackedMatrix.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace v7 {

namespace {

typedef float Lanes __attribute__((vector_size(PackedMatrix::kPanelRows * sizeof(float))));

using Kernel = void (*)(const float *panels, int panelCount, int rows, int cols, const float *x,
                        ptrdiff_t xStride, int count, float *y, ptrdiff_t yStride);

// Adds the lanes of acc to y[row0 ..], skipping the padding rows of the last panel.
#define V7_STORE(acc, yrow, row0, rows)                                                       \
    do {                                                                                      \
        const int n_ = (rows) - (row0) < PackedMatrix::kPanelRows ? (rows) - (row0)           \
                                                                  : PackedMatrix::kPanelRows; \
        for (int l_ = 0; l_ < n_; ++l_)                                                       \
            (yrow)[(row0) + l_] += (acc)[l_];                                                 \
    } while (0)

// One body, compiled once per instruction set. Several panels (one vector) or several vectors
// (one panel) at a time keep independent sums in flight; each sum is still one chain in column
// order.
#define V7_KERNEL_BODY                                                                 \
    const int P = PackedMatrix::kPanelRows;                                            \
    if (count == 1) {                                                                  \
        int p = 0;                                                                     \
        for (; p + 4 <= panelCount; p += 4) {                                          \
            const float *w0 = panels + (size_t)p * cols * P;                           \
            const float *w1 = w0 + (size_t)cols * P, *w2 = w1 + (size_t)cols * P,      \
                        *w3 = w2 + (size_t)cols * P;                                   \
            Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {};                                  \
            for (int c = 0; c < cols; ++c) {                                           \
                Lanes v0, v1, v2, v3;                                                  \
                std::memcpy(&v0, w0 + (size_t)c * P, sizeof v0);                       \
                std::memcpy(&v1, w1 + (size_t)c * P, sizeof v1);                       \
                std::memcpy(&v2, w2 + (size_t)c * P, sizeof v2);                       \
                std::memcpy(&v3, w3 + (size_t)c * P, sizeof v3);                       \
                const float xc = x[c];                                                 \
                a0 = a0 + xc * v0;                                                     \
                a1 = a1 + xc * v1;                                                     \
                a2 = a2 + xc * v2;                                                     \
                a3 = a3 + xc * v3;                                                     \
            }                                                                          \
            V7_STORE(a0, y, p *P, rows);                                               \
            V7_STORE(a1, y, (p + 1) * P, rows);                                        \
            V7_STORE(a2, y, (p + 2) * P, rows);                                        \
            V7_STORE(a3, y, (p + 3) * P, rows);                                        \
        }                                                                              \
        for (; p < panelCount; ++p) {                                                  \
            const float *w0 = panels + (size_t)p * cols * P;                           \
            Lanes a0 = {};                                                             \
            for (int c = 0; c < cols; ++c) {                                           \
                Lanes v0;                                                              \
                std::memcpy(&v0, w0 + (size_t)c * P, sizeof v0);                       \
                a0 = a0 + x[c] * v0;                                                   \
            }                                                                          \
            V7_STORE(a0, y, p *P, rows);                                               \
        }                                                                              \
        return;                                                                        \
    }                                                                                  \
    for (int p = 0; p < panelCount; ++p) {                                             \
        const float *w0 = panels + (size_t)p * cols * P;                               \
        int k = 0;                                                                     \
        for (; k + 4 <= count; k += 4) {                                               \
            const float *x0 = x + k * xStride, *x1 = x0 + xStride, *x2 = x1 + xStride, \
                        *x3 = x2 + xStride;                                            \
            Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {};                                  \
            for (int c = 0; c < cols; ++c) {                                           \
                Lanes v;                                                               \
                std::memcpy(&v, w0 + (size_t)c * P, sizeof v);                         \
                a0 = a0 + x0[c] * v;                                                   \
                a1 = a1 + x1[c] * v;                                                   \
                a2 = a2 + x2[c] * v;                                                   \
                a3 = a3 + x3[c] * v;                                                   \
            }                                                                          \
            V7_STORE(a0, y + k * yStride, p * P, rows);                                \
            V7_STORE(a1, y + (k + 1) * yStride, p * P, rows);                          \
            V7_STORE(a2, y + (k + 2) * yStride, p * P, rows);                          \
            V7_STORE(a3, y + (k + 3) * yStride, p * P, rows);                          \
        }                                                                              \
        for (; k < count; ++k) {                                                       \
            const float *x0 = x + k * xStride;                                         \
            Lanes a0 = {};                                                             \
            for (int c = 0; c < cols; ++c) {                                           \
                Lanes v;                                                               \
                std::memcpy(&v, w0 + (size_t)c * P, sizeof v);                         \
                a0 = a0 + x0[c] * v;                                                   \
            }                                                                          \
            V7_STORE(a0, y + k * yStride, p * P, rows);                                \
        }                                                                              \
    }

#if defined(__x86_64__)
__attribute__((target("avx512f"))) void KernelAvx512(const float *panels, int panelCount, int rows,
                                                     int cols, const float *x, ptrdiff_t xStride,
                                                     int count, float *y, ptrdiff_t yStride) {
    V7_KERNEL_BODY
}
__attribute__((target("avx2"))) void KernelAvx2(const float *panels, int panelCount, int rows,
                                                int cols, const float *x, ptrdiff_t xStride,
                                                int count, float *y, ptrdiff_t yStride) {
    V7_KERNEL_BODY
}
#endif
void KernelBase(const float *panels, int panelCount, int rows, int cols, const float *x,
                ptrdiff_t xStride, int count, float *y, ptrdiff_t yStride){V7_KERNEL_BODY}

Kernel PickKernel() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return KernelAvx512;
    if (__builtin_cpu_supports("avx2"))
        return KernelAvx2;
#endif
    return KernelBase;
}

const Kernel kKernel = PickKernel();

}  // namespace

void PackedMatrix::FreeAligned::operator()(float *p) const {
    std::free(p);
}

void PackedMatrix::Pack(const float *w, int rows, int cols) {
    rows_ = rows;
    cols_ = cols;
    panels_ = (rows + kPanelRows - 1) / kPanelRows;
    size_t n = (size_t)panels_ * cols * kPanelRows;
    size_t bytes = (n * sizeof(float) + 63) / 64 * 64;
    float *data = static_cast<float *>(std::aligned_alloc(64, bytes ? bytes : 64));
    if (!data)
        throw std::bad_alloc();
    data_.reset(data);
    std::memset(data, 0, bytes);
    for (int o = 0; o < rows; ++o)
        for (int i = 0; i < cols; ++i)
            data[((size_t)(o / kPanelRows) * cols + i) * kPanelRows + o % kPanelRows] =
                w[(size_t)o * cols + i];
}

void PackedMatrix::MultiplyAdd(const float *x, ptrdiff_t xStride, int count, float *y,
                               ptrdiff_t yStride) const {
    if (count <= 0 || rows_ == 0)
        return;
    kKernel(data_.get(), panels_, rows_, cols_, x, xStride, count, y, yStride);
}

void MultiplyAddPlain(const float *w, int rows, int cols, const float *x, float *y) {
    for (int o = 0; o < rows; ++o) {
        float s = 0.0f;
        for (int i = 0; i < cols; ++i)
            s += x[i] * w[(size_t)o * cols + i];
        y[o] += s;
    }
}

}  // namespace v7
