// DictionaryTrainer: learns a character-engine dictionary from synthetic samples: LDA
// projection of the raw features, class templates with MQDF eigenvectors, stroke-matcher
// prototypes, calibration table and code tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CharSets.h"
#include "SampleStore.h"

namespace chartrain {

struct TrainOptions {
    int dim = 96;
    int eigen = 5;          // eigenvectors per record
    int maxRecords = 1;     // > 1: several records per class (k-means), group type 1
    int minPerRecord = 40;  // samples a record needs
    int prototypes = 3;     // stroke-matcher prototypes per class (0: no stroke matcher)
    double ldaRidge = 0.005;
    double logDetWeight = 0.5;
    uint64_t seed = 1;
    std::string workDir;
};

struct EvalResult {
    size_t samples = 0, top1 = 0, top10 = 0;
    double seconds = 0;
    size_t caseOnly = 0;  // top-1 errors that are only a letter-case swap (Latin)
};

// Trains on `train`, calibrates on `calib` (stroke data), returns the dictionary image.
std::vector<uint8_t> TrainDictionary(const CharSet &set, const Samples &train, const Samples &calib,
                                     const SampleSpec &trainSpec, const TrainOptions &opt);

// Recognises every sample of `test` with the engine and counts hits. `range` 0 keeps the
// engine's default range; `specialCodes` are set for gesture dictionaries.
EvalResult Evaluate(const std::vector<uint8_t> &dictionary, const CharSet &set, const Samples &test,
                    uint32_t range, bool gestures);

}  // namespace chartrain
