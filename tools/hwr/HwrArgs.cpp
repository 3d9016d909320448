#include "HwrArgs.h"

bool HwrArgs::Parse(const std::vector<std::string> &argv, std::set<std::string> valued,
                    std::set<std::string> flags, std::string &error) {
    valued.insert({"datapath", "sys", "plugin-dir"});
    flags.insert("verbose");
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string &a = argv[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-v" || a == "-vv") {
            verbosity_ += static_cast<int>(a.size()) - 1;
            continue;
        }
        if (a.compare(0, 2, "--") != 0) {
            error = "unknown option " + a;
            return false;
        }
        std::string name = a.substr(2), value;
        size_t eq = name.find('=');
        bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (valued.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= argv.size()) {
                    error = "--" + name + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            values_[name] = value;
        } else if (flags.count(name) && !inlineValue) {
            if (name == "verbose")
                ++verbosity_;
            flags_.insert(name);
        } else {
            error = "unknown option --" + name;
            return false;
        }
    }
    return true;
}

std::string HwrArgs::Get(const std::string &name, const std::string &fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}
