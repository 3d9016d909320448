// What the V7 network is: its fixed parameters, the layer kinds its description vocabulary
// knows, and the rules that name layers, connections and weight arrays.
#pragma once

#include <string>
#include <vector>

namespace v7 {

inline constexpr int kInputSize = 15;   // values per feature frame
inline constexpr int kLabelCount = 53;  // "*", "A".."Z", "a".."z"
inline constexpr int kOutputSize = 54;  // labels and the blank, last
inline constexpr int kBlankIndex = 53;

// Label k of the output layer; output kBlankIndex is "blank".
const char *LabelText(int k);

enum class LayerKind {
    Tanh,          // "tanh"          NeuronLayer<Tanh>
    Softsign,      // "softsign"      NeuronLayer<Softsign>
    Logistic,      // "logistic"      NeuronLayer<Logistic>
    Identity,      // "identity"      IdentityLayer
    Lstm,          // "lstm"          LstmLayer<Tanh,Tanh,Logistic>
    LinearLstm,    // "linear_lstm"   LstmLayer<Tanh,Identity,Logistic>
    SoftsignLstm,  // "softsign_lstm" LstmLayer<Softsign,Softsign,Logistic>
};

// The kind a description word makes; false for a word the vocabulary does not know.
bool LayerKindFromWord(const std::string &word, LayerKind *kind);
bool IsLstmKind(LayerKind kind);

struct NetworkDescription {
    std::string task = "transcription";
    int inputSize = kInputSize;
    std::vector<int> hiddenSizes = {20, 60, 180};  // LSTM blocks per layer, per level
    std::string hiddenType = "lstm";
    std::vector<int> subsampleSizes = {20, 60};  // one after each level but the last
    std::string subsampleType = "tanh";
    int subsampleBlock = 2;  // frames joined by a block layer
    int outputSize = kOutputSize;
};

// The network that ships: the description above.
const NetworkDescription &ShippedNetworkDescription();

}  // namespace v7
