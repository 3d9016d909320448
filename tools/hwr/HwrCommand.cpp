#include "HwrCommand.h"

#include <algorithm>

namespace {
std::vector<HwrCommand> &Registry() {
    static std::vector<HwrCommand> commands;
    return commands;
}
}  // namespace

void HwrCommands::Add(const HwrCommand &command) {
    auto &all = Registry();
    all.push_back(command);
    std::sort(all.begin(), all.end(), [](const HwrCommand &a, const HwrCommand &b) {
        return std::string(a.name) < b.name;
    });
}

const std::vector<HwrCommand> &HwrCommands::All() {
    return Registry();
}

const HwrCommand *HwrCommands::Find(const std::string &name) {
    for (const HwrCommand &c : Registry()) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}
