// Connectionist temporal classification: the loss of a label sequence given per-frame class
// probabilities, and its gradient with respect to the softmax inputs.
#pragma once

#include <vector>

namespace v7train {

// `prob`: T x classes probabilities; `labels`: class indexes without blanks. Labels equal to
// `optional` (when it is not negative) may be emitted or left out: a word gap that the
// recogniser's segmentation cuts out of the frames has no frame to be emitted in. Returns the
// negative log-likelihood and sets `dLogits` (T x classes) to prob - posterior occupancy, or
// returns a negative value when the labels cannot fit in T frames.
template <typename Real>
double CtcLoss(const std::vector<Real> &prob, int T, int classes, int blank,
               const std::vector<int> &labels, std::vector<Real> &dLogits, int optional = -1);

// Frames a label sequence needs: one per label (`optional` ones left out) plus one between
// equal neighbours.
int CtcMinFrames(const std::vector<int> &labels, int optional = -1);

}  // namespace v7train
