// Params: a parameter text of the speech library ("key = value, key = value") as an ordered map.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace msc {

class Params {
  public:
    // Parses a parameter text: items separated by `separator`, each "key = value"; keys are
    // lower-cased, keys and values trimmed of blanks, empty items skipped. An item without '='
    // or with an empty key makes the whole text invalid: returns false, the map is unchanged.
    // Of repeated keys the last counts.
    bool Parse(std::string_view text, char separator = ',');

    // Sets or replaces one item.
    void Set(std::string_view key, std::string_view value);
    // Adds every item of `other` that this map does not have yet.
    void AddMissing(const Params &other);

    bool Has(std::string_view key) const;
    // The value of `key`, or `fallback` when it is missing.
    std::string Get(std::string_view key, std::string_view fallback = {}) const;
    // The value of `key` as a decimal integer; `fallback` when missing or not a whole number.
    long GetInt(std::string_view key, long fallback) const;

    const std::vector<std::pair<std::string, std::string>> &Items() const { return items_; }
    // The text this map was parsed from, as it was given.
    const std::string &Source() const { return source_; }
    // The items as one text "key = value, key = value".
    std::string ToString() const;

  private:
    std::vector<std::pair<std::string, std::string>> items_;
    std::string source_;
};

}  // namespace msc
