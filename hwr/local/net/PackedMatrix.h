// A weight matrix stored in panels of kPanelRows rows with the columns interleaved, so that one
// vector instruction advances kPanelRows row sums by one column. Every row still sums its
// products one column after the other from 0, exactly like the plain loop
//     s = 0; for (i) s += x[i] * w[o][i]; y[o] += s;
// so the results are the same floats; only independent rows run side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace v7 {

class PackedMatrix {
  public:
    static constexpr int kPanelRows = 16;

    PackedMatrix() = default;
    // w: rows × cols, row after row.
    void Pack(const float *w, int rows, int cols);

    int rows() const { return rows_; }
    int cols() const { return cols_; }

    // For k < count: y[k·yStride + o] += Σ_i x[k·xStride + i] · w[o][i]. A stride of 0 reuses
    // the same vector.
    void MultiplyAdd(const float *x, ptrdiff_t xStride, int count, float *y,
                     ptrdiff_t yStride) const;

  private:
    struct FreeAligned {
        void operator()(float *p) const;
    };
    int rows_ = 0;
    int cols_ = 0;
    int panels_ = 0;
    std::unique_ptr<float, FreeAligned> data_;  // panels × cols × kPanelRows
};

// The plain loop, for reference and for the benchmark's single-core bound.
void MultiplyAddPlain(const float *w, int rows, int cols, const float *x, float *y);

}  // namespace v7
