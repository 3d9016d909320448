#include "WeightTable.h"

#include <cstring>

namespace v7 {

#define V7_WEIGHT_ARRAY(array, count)                               \
    {"weightContainer_" array "_weight_optimiser_deltas", count}, { \
        "weightContainer_" array "_weights", count                  \
    }

const WeightTableEntry kWeightTable[kWeightTableSize] = {
    V7_WEIGHT_ARRAY("bias_to_hidden_0_0", 80),
    V7_WEIGHT_ARRAY("bias_to_hidden_0_1", 80),
    V7_WEIGHT_ARRAY("bias_to_hidden_1_0", 240),
    V7_WEIGHT_ARRAY("bias_to_hidden_1_1", 240),
    V7_WEIGHT_ARRAY("bias_to_hidden_2_0", 720),
    V7_WEIGHT_ARRAY("bias_to_hidden_2_1", 720),
    V7_WEIGHT_ARRAY("bias_to_output", 54),
    V7_WEIGHT_ARRAY("hidden_0_0_block_to_subsample_0", 800),
    V7_WEIGHT_ARRAY("hidden_0_0_peepholes", 60),
    V7_WEIGHT_ARRAY("hidden_0_0_to_hidden_0_0_delay_1", 1600),
    V7_WEIGHT_ARRAY("hidden_0_1_block_to_subsample_0", 800),
    V7_WEIGHT_ARRAY("hidden_0_1_peepholes", 60),
    V7_WEIGHT_ARRAY("hidden_0_1_to_hidden_0_1_delay_-1", 1600),
    V7_WEIGHT_ARRAY("hidden_1_0_block_to_subsample_1", 7200),
    V7_WEIGHT_ARRAY("hidden_1_0_peepholes", 180),
    V7_WEIGHT_ARRAY("hidden_1_0_to_hidden_1_0_delay_1", 14400),
    V7_WEIGHT_ARRAY("hidden_1_1_block_to_subsample_1", 7200),
    V7_WEIGHT_ARRAY("hidden_1_1_peepholes", 180),
    V7_WEIGHT_ARRAY("hidden_1_1_to_hidden_1_1_delay_-1", 14400),
    V7_WEIGHT_ARRAY("hidden_2_0_peepholes", 540),
    V7_WEIGHT_ARRAY("hidden_2_0_to_hidden_2_0_delay_1", 129600),
    V7_WEIGHT_ARRAY("hidden_2_0_to_output", 9720),
    V7_WEIGHT_ARRAY("hidden_2_1_peepholes", 540),
    V7_WEIGHT_ARRAY("hidden_2_1_to_hidden_2_1_delay_-1", 129600),
    V7_WEIGHT_ARRAY("hidden_2_1_to_output", 9720),
    V7_WEIGHT_ARRAY("input_to_hidden_0_0", 1200),
    V7_WEIGHT_ARRAY("input_to_hidden_0_1", 1200),
    V7_WEIGHT_ARRAY("subsample_0_to_hidden_1_0", 4800),
    V7_WEIGHT_ARRAY("subsample_0_to_hidden_1_1", 4800),
    V7_WEIGHT_ARRAY("subsample_1_to_hidden_2_0", 43200),
    V7_WEIGHT_ARRAY("subsample_1_to_hidden_2_1", 43200),
};

#undef V7_WEIGHT_ARRAY

bool IsWeightsEntry(const WeightTableEntry &entry) {
    const size_t n = std::strlen(entry.name);
    return n >= 8 && std::strcmp(entry.name + n - 8, "_weights") == 0;
}

}  // namespace v7
