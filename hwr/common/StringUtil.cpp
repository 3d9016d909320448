#include "StringUtil.h"

#include <cstdio>
#include <cstring>

namespace qvcommon {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
}  // namespace

std::string Trim(const std::string &text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::string ToLower(const std::string &text) {
    std::string out = text;
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::vector<std::string> SplitString(const std::string &text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t pos = text.find(separator, start);
        if (pos == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    return pieces;
}

std::vector<std::string> Tokenize(const std::string &text, const char *delimiters) {
    std::vector<std::string> pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t b = text.find_first_not_of(delimiters, pos);
        if (b == std::string::npos)
            break;
        size_t e = text.find_first_of(delimiters, b);
        if (e == std::string::npos)
            e = text.size();
        pieces.push_back(text.substr(b, e - b));
        pos = e;
    }
    return pieces;
}

std::string IntToString(long value) {
    char buf[32];
    snprintf(buf, sizeof buf, "%ld", value);
    return buf;
}

std::string DoubleToString(double value) {
    char buf[64];
    snprintf(buf, sizeof buf, "%lf", value);
    return buf;
}

bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace qvcommon
