#include "Params.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace msc {
namespace {

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool Params::Parse(std::string_view text, char separator) {
    std::string source(text);
    std::vector<std::pair<std::string, std::string>> items;
    while (!text.empty()) {
        size_t end = text.find(separator);
        std::string_view item = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (item.empty())
            continue;
        size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            return false;
        std::string_view key = Trim(item.substr(0, eq));
        if (key.empty())
            return false;
        std::string lowered = Lower(key);
        std::string value(Trim(item.substr(eq + 1)));
        auto it = std::find_if(items.begin(), items.end(),
                               [&](const auto &kv) { return kv.first == lowered; });
        if (it != items.end())
            it->second = std::move(value);  // the last of repeated keys counts
        else
            items.emplace_back(std::move(lowered), std::move(value));
    }
    items_ = std::move(items);
    source_ = std::move(source);
    return true;
}

void Params::Set(std::string_view key, std::string_view value) {
    std::string lowered = Lower(Trim(key));
    for (auto &kv : items_) {
        if (kv.first == lowered) {
            kv.second = std::string(Trim(value));
            return;
        }
    }
    items_.emplace_back(std::move(lowered), std::string(Trim(value)));
}

void Params::AddMissing(const Params &other) {
    for (const auto &kv : other.items_)
        if (!Has(kv.first))
            items_.push_back(kv);
}

bool Params::Has(std::string_view key) const {
    std::string lowered = Lower(key);
    return std::any_of(items_.begin(), items_.end(),
                       [&](const auto &kv) { return kv.first == lowered; });
}

std::string Params::Get(std::string_view key, std::string_view fallback) const {
    std::string lowered = Lower(key);
    for (const auto &kv : items_)
        if (kv.first == lowered)
            return kv.second;
    return std::string(fallback);
}

long Params::GetInt(std::string_view key, long fallback) const {
    if (!Has(key))
        return fallback;
    std::string value = Get(key);
    long result = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (ec != std::errc() || end != value.data() + value.size())
        return fallback;
    return result;
}

std::string Params::ToString() const {
    std::string out;
    for (const auto &kv : items_) {
        if (!out.empty())
            out += ", ";
        out += kv.first + " = " + kv.second;
    }
    return out;
}

}  // namespace msc
