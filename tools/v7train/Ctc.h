// Connectionist temporal classification: the loss of a label sequence given per-frame class
// probabilities, and its gradient with respect to the softmax inputs.
#pragma once

#include <vector>

namespace v7train {

// `prob`: T x classes probabilities; `labels`: class indexes without blanks. Returns the
// negative log-likelihood and sets `dLogits` (T x classes) to prob - posterior occupancy, or
// returns a negative value when the labels cannot fit in T frames.
template <typename Real>
double CtcLoss(const std::vector<Real> &prob, int T, int classes, int blank,
               const std::vector<int> &labels, std::vector<Real> &dLogits);

// Frames a label sequence needs: one per label plus one between equal neighbours.
int CtcMinFrames(const std::vector<int> &labels);

}  // namespace v7train
