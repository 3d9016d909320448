// A configuration as the kit holds it: an ordered map of lower-case keys to trimmed values, parsed
// from the "key=value,key=value" strings of the public interface and checked against key tables.
#pragma once

#include <climits>
#include <cstddef>
#include <map>
#include <string>

namespace qvcommon {

// One row of a key table. `allowed` lists every allowed value between '|' ("|no|yes|"), or is
// null for any value; `defaultValue` may be null; `missingCode` 0 means the key is optional, any
// other value is returned when the key is absent.
struct ConfigKeyRule {
    const char *key;
    const char *allowed;
    const char *defaultValue;
    int missingCode;
};

class ConfigAssistant {
  public:
    // Adds the items of a configuration string; a null text adds nothing. On a malformed item
    // the map is emptied and false returned (the calls report 3).
    bool ParseConfig(const char *text);
    bool ParseConfig(const std::string &text) { return ParseConfig(text.c_str()); }

    // Lower-cases the key, trims both; false (nothing stored) when either is then empty. An
    // existing key gets the new value.
    bool AddItem(const std::string &key, const std::string &value);
    bool GetValue(const std::string &key, std::string &value) const;
    // The value, or `fallback` when the key is absent.
    std::string Get(const std::string &key, const std::string &fallback = "") const;
    bool HasKey(const std::string &key) const;
    // flag = (value is exactly "yes"); absent: flag unchanged and false.
    bool GetBool(const std::string &key, bool &flag) const;
    // True and value set when the key is present, non-empty, made only of '0'-'9' and '-', and
    // its decimal value (an optional leading '-' and the digits up to the first other character)
    // lies in [minimum, maximum]; otherwise value is left unchanged.
    bool GetInt(const std::string &key, int &value, int minimum = INT_MIN,
                int maximum = INT_MAX) const;
    bool RemoveItem(const std::string &key);
    // Every pair of `other` over this one.
    void Merge(const ConfigAssistant &other);
    // key=value pairs in key order joined by ','.
    std::string ToString() const;
    // Validates against a key table, filling defaults; 0, 3 (a value not allowed) or the row's
    // missing code.
    int CheckAndRebuild(const ConfigKeyRule *table, size_t rows);
    template <size_t N>
    int CheckAndRebuild(const ConfigKeyRule (&table)[N]) {
        return CheckAndRebuild(table, N);
    }

    void Clear() { items_.clear(); }
    bool Empty() const { return items_.empty(); }
    size_t Size() const { return items_.size(); }
    const std::map<std::string, std::string> &Items() const { return items_; }

  private:
    std::map<std::string, std::string> items_;
};

}  // namespace qvcommon
