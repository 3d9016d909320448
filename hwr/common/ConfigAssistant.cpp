#include "ConfigAssistant.h"

#include <cstring>

#include "HwrLog.h"
#include "StringUtil.h"

namespace qvcommon {

bool ConfigAssistant::ParseConfig(const char *text) {
    if (!text)
        return true;
    for (const std::string &piece : SplitString(text, ',')) {
        if (Trim(piece).empty())
            continue;
        size_t eq = piece.find('=');
        bool ok = eq != std::string::npos && eq > 0 && eq + 1 < piece.size() &&
                  AddItem(piece.substr(0, eq), piece.substr(eq + 1));
        if (!ok) {
            items_.clear();
            return false;
        }
    }
    return true;
}

bool ConfigAssistant::AddItem(const std::string &key, const std::string &value) {
    std::string k = Trim(ToLower(key));
    std::string v = Trim(value);
    if (k.empty() || v.empty())
        return false;
    items_[k] = v;
    return true;
}

bool ConfigAssistant::GetValue(const std::string &key, std::string &value) const {
    auto it = items_.find(ToLower(key));
    if (it == items_.end())
        return false;
    value = it->second;
    return true;
}

std::string ConfigAssistant::Get(const std::string &key, const std::string &fallback) const {
    auto it = items_.find(ToLower(key));
    return it == items_.end() ? fallback : it->second;
}

bool ConfigAssistant::HasKey(const std::string &key) const {
    return items_.count(ToLower(key)) != 0;
}

bool ConfigAssistant::GetBool(const std::string &key, bool &flag) const {
    std::string v;
    if (!GetValue(key, v))
        return false;
    flag = v == "yes";
    return true;
}

bool ConfigAssistant::GetInt(const std::string &key, int &value, int minimum, int maximum) const {
    std::string v;
    if (!GetValue(key, v) || v.empty())
        return false;
    if (v.find_first_not_of("0123456789-") != std::string::npos)
        return false;
    size_t i = 0;
    bool negative = v[0] == '-';
    if (negative)
        ++i;
    long long n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        n = n * 10 + (v[i] - '0');
        // Anything this far out is outside every 32-bit range.
        if (n > 10000000000LL)
            return false;
    }
    if (negative)
        n = -n;
    if (n < minimum || n > maximum)
        return false;
    value = static_cast<int>(n);
    return true;
}

bool ConfigAssistant::RemoveItem(const std::string &key) {
    return items_.erase(ToLower(key)) != 0;
}

void ConfigAssistant::Merge(const ConfigAssistant &other) {
    for (const auto &[k, v] : other.items_)
        AddItem(k, v);
}

std::string ConfigAssistant::ToString() const {
    std::string out;
    for (const auto &[k, v] : items_) {
        if (!out.empty())
            out += ',';
        out += k;
        out += '=';
        out += v;
    }
    return out;
}

int ConfigAssistant::CheckAndRebuild(const ConfigKeyRule *table, size_t rows) {
    static const char *kName = "ConfigAssistant::CheckAndRebuild";
    for (size_t r = 0; r < rows; ++r) {
        const ConfigKeyRule &rule = table[r];
        std::string value;
        if (GetValue(rule.key, value)) {
            // A value holding '|' could match across two allowed values ("no|yes"); refuse it.
            bool allowed = !rule.allowed || (value.find('|') == std::string::npos &&
                                             strstr(rule.allowed, ("|" + value + "|").c_str()));
            if (!allowed) {
                QV_LOG_TRACE(QV_TAG_COMMON, kName, " config:%s", ToString().c_str());
                QV_LOG_FAIL(QV_TAG_COMMON, kName, " key:%s,value:%s invalid", rule.key,
                            value.c_str());
                return 3;
            }
        } else if (rule.missingCode != 0) {
            QV_LOG_TRACE(QV_TAG_COMMON, kName, " config:%s", ToString().c_str());
            QV_LOG_FAIL(QV_TAG_COMMON, kName, " %s missing.", rule.key);
            return rule.missingCode;
        } else if (rule.defaultValue) {
            AddItem(rule.key, rule.defaultValue);
        }
    }
    return 0;
}

}  // namespace qvcommon
