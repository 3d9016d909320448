// The V7 network for training: three bidirectional peephole-LSTM levels (20, 60, 180 blocks),
// tanh subsampling by two after levels 0 and 1, softmax over 54 classes; forward pass with
// everything kept for backpropagation, and the gradient of a loss given per output frame.
// Templated on the number type so the gradient check can run in double precision.
#pragma once

#include <cstddef>
#include <vector>

#include "WeightLayout.h"

namespace v7train {

constexpr int kClasses = 54;
constexpr int kBlank = 53;

template <typename Real>
class V7Net {
  public:
    V7Net();

    // One sequence of `frames` frames of 15 inputs. Returns the number of output frames.
    int Forward(const Real *input, int frames);
    const std::vector<Real> &Probabilities() const { return prob_; }  // out frames x 54
    const std::vector<Real> &Logits() const { return logits_; }

    // Adds to `grad` (same layout as the parameters) the gradient for d loss / d logits.
    void Backward(const std::vector<Real> &dLogits, std::vector<Real> &grad);

    std::vector<Real> params;

  private:
    struct Lstm {
        size_t wx, b, wr, peep;  // parameter offsets
        int n, in, dir;          // dir +1 forward, -1 backward
        int T = 0;
        std::vector<Real> z, gi, gf, gg, go, c, tc, h;
    };
    struct Level {
        Lstm d[2];
        size_t sub[2];  // block-to-subsample (levels 0, 1) or to-output (level 2) offsets
    };
    void LstmForward(Lstm &L, const Real *x);
    void LstmBackward(Lstm &L, const Real *x, const std::vector<Real> &dh, Real *dx,
                      std::vector<Real> &grad);
    void SubsampleForward(int level);

    Level lv_[3];
    size_t outBias_;
    int T_[3] = {0, 0, 0};
    const Real *input_ = nullptr;
    std::vector<Real> sub_[2];  // subsample outputs (tanh), T_[l+1] x n_l
    std::vector<Real> logits_, prob_;
    std::vector<Real> wxT_, wrT_;  // transposed weights of the layer being run
};

extern template class V7Net<float>;
extern template class V7Net<double>;

// The engine's activation arithmetic: tanh through the clamped logistic.
template <typename Real>
Real Logistic(Real x);
template <typename Real>
Real TanhViaLogistic(Real x);

}  // namespace v7train
