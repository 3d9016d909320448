#include "NetworkDescription.h"

namespace v7 {

const char *LabelText(int k) {
    static const char *const kLabels[kOutputSize] = {
        "*", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K",    "L", "M",
        "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y",    "Z", "a",
        "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",    "n", "o",
        "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "blank"};
    return k >= 0 && k < kOutputSize ? kLabels[k] : "";
}

bool LayerKindFromWord(const std::string &word, LayerKind *kind) {
    static const struct {
        const char *word;
        LayerKind kind;
    } kWords[] = {{"tanh", LayerKind::Tanh},
                  {"softsign", LayerKind::Softsign},
                  {"logistic", LayerKind::Logistic},
                  {"identity", LayerKind::Identity},
                  {"lstm", LayerKind::Lstm},
                  {"linear_lstm", LayerKind::LinearLstm},
                  {"softsign_lstm", LayerKind::SoftsignLstm}};
    for (const auto &w : kWords)
        if (word == w.word) {
            *kind = w.kind;
            return true;
        }
    return false;
}

bool IsLstmKind(LayerKind kind) {
    return kind == LayerKind::Lstm || kind == LayerKind::LinearLstm ||
           kind == LayerKind::SoftsignLstm;
}

const NetworkDescription &ShippedNetworkDescription() {
    static const NetworkDescription kShipped;
    return kShipped;
}

}  // namespace v7
