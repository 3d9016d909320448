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
    const std::vector<Real> &Probabilities() const { return seqs_[0].prob; }  // out frames x 54
    const std::vector<Real> &Logits() const { return seqs_[0].logits; }

    // Adds to `grad` (same layout as the parameters) the gradient for d loss / d logits.
    void Backward(const std::vector<Real> &dLogits, std::vector<Real> &grad);

    // Several sequences at once, in lockstep through time, so that each weight matrix is read
    // once per time step for all of them; sequences of any lengths. The inputs must stay in
    // place until the backward pass.
    void ForwardBatch(const std::vector<const Real *> &inputs, const std::vector<int> &frames);
    int Sequences() const { return int(seqs_.size()); }
    int OutFrames(int s) const { return seqs_[size_t(s)].T[2]; }
    const std::vector<Real> &Probabilities(int s) const { return seqs_[size_t(s)].prob; }
    // dLogits[s]: OutFrames(s) x 54 for sequence s of the last ForwardBatch, or null to leave
    // the sequence out. Adds the gradient of all of them to `grad`.
    void BackwardBatch(const std::vector<const Real *> &dLogits, std::vector<Real> &grad);

    std::vector<Real> params;

  private:
    struct Lstm {
        size_t wx, b, wr, peep;  // parameter offsets
        int n, in, dir;          // dir +1 forward, -1 backward
    };
    struct Level {
        Lstm d[2];
        size_t sub[2];  // block-to-subsample (levels 0, 1) or to-output (level 2) offsets
    };
    // What one sequence keeps of a bidirectional level for backpropagation.
    struct LstmState {
        std::vector<Real> z, gi, gf, gg, go, c, tc, h;
        std::vector<Real> dh, dz, carry, rec;  // backward pass
    };
    struct Seq {
        const Real *input = nullptr;
        int T[3] = {0, 0, 0};
        LstmState s[3][2];
        std::vector<Real> sub[2];  // subsample outputs (tanh), T[l+1] x n_l
        std::vector<Real> dx;      // gradient wrt a level's input
        std::vector<Real> logits, prob;
    };
    const Real *LevelInput(const Seq &q, int l) const;
    void LstmForward(int l, int d);
    void LstmBackward(int l, int d, const std::vector<int> &order, std::vector<Real> &grad);
    void SubsampleForward(Seq &q, int l);

    Level lv_[3];
    size_t outBias_;
    std::vector<Seq> seqs_;
    std::vector<int> order_;       // sequences by length, longest first
    std::vector<Real> wxT_, wrT_;  // transposed weights of the layer being run
    std::vector<const Real *> a_;  // operand pointers of the products
    std::vector<Real *> y_;
    std::vector<Real> zeros_;  // the cell before the first frame
};

extern template class V7Net<float>;
extern template class V7Net<double>;

// The engine's activation arithmetic: tanh through the clamped logistic.
template <typename Real>
Real Logistic(Real x);
template <typename Real>
Real TanhViaLogistic(Real x);

}  // namespace v7train
