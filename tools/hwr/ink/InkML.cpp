// InkML reading and writing: a small XML scanner for the elements ink files use (traces, trace
// groups, trace formats), tolerant of what it does not need (namespaces, comments, annotations).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "Ink.h"

namespace hwr_ink {
namespace {

struct Tag {
    std::string name;  // local name, without a namespace prefix
    std::map<std::string, std::string> attributes;
    bool closing = false;
    bool selfClosing = false;
};

std::string LocalName(const std::string &qualified) {
    size_t colon = qualified.find(':');
    return colon == std::string::npos ? qualified : qualified.substr(colon + 1);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Walks a document: calls onTag for each start or end tag and onText for text between tags.
class Scanner {
  public:
    explicit Scanner(const std::string &text) : s_(text) {}

    template <class OnTag, class OnText>
    bool Run(OnTag onTag, OnText onText, std::string &error) {
        while (pos_ < s_.size()) {
            size_t lt = s_.find('<', pos_);
            if (lt == std::string::npos)
                lt = s_.size();
            if (lt > pos_)
                onText(s_.substr(pos_, lt - pos_));
            pos_ = lt;
            if (pos_ >= s_.size())
                break;
            if (Skip("<!--", "-->") || Skip("<?", "?>"))
                continue;
            if (s_.compare(pos_, 9, "<![CDATA[") == 0) {
                size_t end = s_.find("]]>", pos_ + 9);
                if (end == std::string::npos)
                    return Fail("unterminated CDATA", error);
                onText(s_.substr(pos_ + 9, end - pos_ - 9));
                pos_ = end + 3;
                continue;
            }
            if (Skip("<!", ">"))
                continue;
            Tag tag;
            if (!ReadTag(tag, error))
                return false;
            if (!onTag(tag, error))
                return false;
        }
        return true;
    }

  private:
    bool Fail(const char *what, std::string &error) {
        error = std::string(what) + " at byte " + std::to_string(pos_);
        return false;
    }

    bool Skip(const char *open, const char *close) {
        if (s_.compare(pos_, strlen(open), open) != 0)
            return false;
        size_t end = s_.find(close, pos_ + strlen(open));
        pos_ = end == std::string::npos ? s_.size() : end + strlen(close);
        return true;
    }

    bool ReadTag(Tag &tag, std::string &error) {
        ++pos_;  // '<'
        if (pos_ < s_.size() && s_[pos_] == '/') {
            tag.closing = true;
            ++pos_;
        }
        size_t start = pos_;
        while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != '>' && s_[pos_] != '/')
            ++pos_;
        if (pos_ == start)
            return Fail("element without a name", error);
        tag.name = LocalName(s_.substr(start, pos_ - start));
        for (;;) {
            while (pos_ < s_.size() && IsSpace(s_[pos_]))
                ++pos_;
            if (pos_ >= s_.size())
                return Fail("unterminated tag", error);
            if (s_[pos_] == '>') {
                ++pos_;
                return true;
            }
            if (s_[pos_] == '/') {
                if (pos_ + 1 >= s_.size() || s_[pos_ + 1] != '>')
                    return Fail("stray '/'", error);
                tag.selfClosing = true;
                pos_ += 2;
                return true;
            }
            size_t nameStart = pos_;
            while (pos_ < s_.size() && s_[pos_] != '=' && !IsSpace(s_[pos_]) && s_[pos_] != '>' &&
                   s_[pos_] != '/') {
                ++pos_;
            }
            std::string name = LocalName(s_.substr(nameStart, pos_ - nameStart));
            while (pos_ < s_.size() && IsSpace(s_[pos_]))
                ++pos_;
            if (pos_ >= s_.size() || s_[pos_] != '=')
                return Fail("attribute without value", error);
            ++pos_;
            while (pos_ < s_.size() && IsSpace(s_[pos_]))
                ++pos_;
            if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) {
                return Fail("unquoted attribute value", error);
            }
            char quote = s_[pos_++];
            size_t end = s_.find(quote, pos_);
            if (end == std::string::npos)
                return Fail("unterminated attribute value", error);
            tag.attributes[name] = s_.substr(pos_, end - pos_);
            pos_ = end + 1;
        }
    }

    const std::string &s_;
    size_t pos_ = 0;
};

// One channel's decoding state for difference-coded traces.
struct Channel {
    char mode = '!';
    double value = 0, velocity = 0;
    bool started = false;
};

// Parses one value token with its optional mode prefix into the channel's absolute value.
bool DecodeValue(const std::string &token, Channel &ch, double &out) {
    size_t i = 0;
    while (i < token.size() && (token[i] == '!' || token[i] == '\'' || token[i] == '"')) {
        ch.mode = token[i++];
    }
    std::string number = token.substr(i);
    if (number == "*") {  // the previous value again
        out = ch.value;
        return ch.started;
    }
    char *end = nullptr;
    double v = strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || !std::isfinite(v))
        return false;
    if (!ch.started || ch.mode == '!') {
        if (ch.started)
            ch.velocity = v - ch.value;
        ch.value = v;
    } else if (ch.mode == '\'') {
        ch.velocity = v;
        ch.value += v;
    } else {
        ch.velocity += v;
        ch.value += ch.velocity;
    }
    ch.started = true;
    out = ch.value;
    // Far beyond any digitiser; also keeps accumulated differences finite.
    return std::fabs(ch.value) <= 1e9 && std::fabs(ch.velocity) <= 1e9;
}

struct RealPoint {
    double x, y;
};

bool ParseTrace(const std::string &text, size_t xIndex, size_t yIndex,
                std::vector<RealPoint> &points, std::string &error) {
    std::vector<Channel> channels(std::max(xIndex, yIndex) + 1);
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string piece = text.substr(start, comma - start);
        start = comma + 1;
        std::vector<std::string> tokens;
        size_t i = 0;
        while (i < piece.size()) {
            while (i < piece.size() && IsSpace(piece[i]))
                ++i;
            size_t b = i;
            while (i < piece.size() && !IsSpace(piece[i]))
                ++i;
            if (i > b)
                tokens.push_back(piece.substr(b, i - b));
        }
        if (tokens.empty())
            continue;
        if (tokens.size() <= std::max(xIndex, yIndex)) {
            error = "trace point '" + piece + "' lacks the X or Y channel";
            return false;
        }
        double x = 0, y = 0;
        bool ok = true;
        for (size_t c = 0; c < channels.size() && ok; ++c) {
            double v = 0;
            if (tokens[c] == "?" || tokens[c] == "T" || tokens[c] == "F")
                continue;
            ok = DecodeValue(tokens[c], channels[c], v);
            if (c == xIndex)
                x = v;
            if (c == yIndex)
                y = v;
        }
        if (!ok || tokens[xIndex] == "?" || tokens[yIndex] == "?") {
            error = "bad trace point '" + piece + "'";
            return false;
        }
        points.push_back({x, y});
    }
    return true;
}

// Fits the coordinates into 0..32000 (see ParseInkML).
void Fit(const std::vector<std::vector<RealPoint>> &traces, Ink &ink) {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    bool fractional = false;
    for (const auto &t : traces) {
        for (const RealPoint &p : t) {
            fractional = fractional || p.x != std::floor(p.x) || p.y != std::floor(p.y);
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    ink.strokes.clear();
    if (!std::isfinite(minX))
        return;
    const double shiftX = minX < 0 ? -minX : 0, shiftY = minY < 0 ? -minY : 0;
    const double extent = std::max(maxX + shiftX, maxY + shiftY);
    const double span = std::max(maxX - minX, maxY - minY);
    double scale = 1;
    if (extent > 32000) {
        scale = 32000 / extent;
    } else if (fractional && span > 0 && span < 256) {
        scale = 1000 / span;
        if (scale * extent > 32000)
            scale = 32000 / extent;
    }
    for (const auto &t : traces) {
        InkStroke stroke;
        for (const RealPoint &p : t) {
            stroke.push_back({static_cast<int>(std::lround((p.x + shiftX) * scale)),
                              static_cast<int>(std::lround((p.y + shiftY) * scale))});
        }
        if (!stroke.empty())
            ink.strokes.push_back(std::move(stroke));
    }
}

}  // namespace

bool ParseInkML(const std::string &text, Ink &ink, std::string &error) {
    ink.strokes.clear();
    size_t xIndex = 0, yIndex = 1;
    bool formatSeen = false, inFormat = false, inTrace = false, sawInk = false;
    size_t channelCount = 0;
    std::string traceText;
    std::vector<std::vector<RealPoint>> traces;
    bool penUp = false;
    Scanner scanner(text);
    auto onTag = [&](const Tag &tag, std::string &err) {
        if (tag.name == "ink" && !tag.closing)
            sawInk = true;
        if (tag.name == "traceFormat") {
            if (!tag.closing && !formatSeen && !tag.selfClosing) {
                inFormat = true;
                channelCount = 0;
                xIndex = yIndex = SIZE_MAX;
            } else if (tag.closing && inFormat) {
                inFormat = false;
                formatSeen = true;
                if (xIndex == SIZE_MAX || yIndex == SIZE_MAX) {
                    err = "traceFormat without X and Y channels";
                    return false;
                }
            }
        } else if (tag.name == "channel" && inFormat && !tag.closing) {
            auto it = tag.attributes.find("name");
            if (it != tag.attributes.end()) {
                if (it->second == "X")
                    xIndex = channelCount;
                if (it->second == "Y")
                    yIndex = channelCount;
            }
            ++channelCount;
        } else if (tag.name == "trace") {
            if (!tag.closing) {
                auto type = tag.attributes.find("type");
                penUp = type != tag.attributes.end() && type->second == "penUp";
                traceText.clear();
                inTrace = !tag.selfClosing;
            } else if (inTrace) {
                inTrace = false;
                if (!penUp) {
                    std::vector<RealPoint> points;
                    if (!ParseTrace(traceText, xIndex, yIndex, points, err))
                        return false;
                    if (!points.empty())
                        traces.push_back(std::move(points));
                }
            }
        }
        return true;
    };
    auto onText = [&](const std::string &t) {
        if (inTrace)
            traceText += t;
    };
    if (!scanner.Run(onTag, onText, error))
        return false;
    if (!sawInk) {
        error = "no <ink> element";
        return false;
    }
    if (inTrace) {
        error = "unterminated <trace>";
        return false;
    }
    Fit(traces, ink);
    if (ink.strokes.empty()) {
        error = "no pen-down trace";
        return false;
    }
    return true;
}

std::string WriteInkML(const Ink &ink) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ink xmlns=\"http://www.w3.org/2003/InkML\">\n"
        "  <traceFormat><channel name=\"X\" type=\"integer\"/>"
        "<channel name=\"Y\" type=\"integer\"/></traceFormat>\n";
    for (const InkStroke &s : ink.strokes) {
        out += "  <trace>";
        for (size_t i = 0; i < s.size(); ++i) {
            if (i)
                out += ", ";
            out += std::to_string(s[i].x) + " " + std::to_string(s[i].y);
        }
        out += "</trace>\n";
    }
    out += "</ink>\n";
    return out;
}

}  // namespace hwr_ink
