// Command-line arguments of one `hwr` subcommand: options (--name value, --flag) and positional
// words, with the options every command shares.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

class HwrArgs {
  public:
    // `valued`: option names that take a value; `flags`: those that do not. The shared options
    // (--datapath, --sys, --plugin-dir, --verbose/-v) are always known.
    bool Parse(const std::vector<std::string> &argv, std::set<std::string> valued,
               std::set<std::string> flags, std::string &error);

    bool Has(const std::string &name) const { return values_.count(name) || flags_.count(name); }
    std::string Get(const std::string &name, const std::string &fallback = "") const;
    const std::vector<std::string> &Positional() const { return positional_; }
    int Verbosity() const { return verbosity_; }

    std::string command;  // the subcommand's name

  private:
    std::map<std::string, std::string> values_;
    std::set<std::string> flags_;
    std::vector<std::string> positional_;
    int verbosity_ = 0;
};
