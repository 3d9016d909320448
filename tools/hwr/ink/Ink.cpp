#include "Ink.h"

#include <fstream>
#include <sstream>

namespace hwr_ink {

size_t Ink::PointCount() const {
    size_t n = 0;
    for (const InkStroke &s : strokes)
        n += s.size();
    return n;
}

std::vector<int16_t> ToStrokeData(const Ink &ink) {
    std::vector<int16_t> out;
    out.reserve(2 * (ink.PointCount() + ink.strokes.size() + 1));
    for (const InkStroke &stroke : ink.strokes) {
        if (stroke.empty())
            continue;
        for (const InkPoint &p : stroke) {
            out.push_back(static_cast<int16_t>(p.x));
            out.push_back(static_cast<int16_t>(p.y));
        }
        out.push_back(-1);
        out.push_back(0);
    }
    out.push_back(-1);
    out.push_back(-1);
    return out;
}

bool FromStrokeData(const int16_t *data, size_t pointCount, Ink &ink, std::string &error) {
    ink.strokes.clear();
    InkStroke current;
    for (size_t i = 0; i < pointCount; ++i) {
        const int x = data[2 * i], y = data[2 * i + 1];
        if (x == -1 && y == -1) {
            if (i + 1 != pointCount) {
                error = "data after the end of the writing at point " + std::to_string(i);
                return false;
            }
            break;
        }
        if (x == -1 && y == 0) {
            if (!current.empty())
                ink.strokes.push_back(std::move(current));
            current.clear();
            continue;
        }
        if (x < 0 || y < 0) {
            error = "invalid point (" + std::to_string(x) + "," + std::to_string(y) +
                    ") at index " + std::to_string(i);
            return false;
        }
        current.push_back({x, y});
    }
    if (!current.empty())
        ink.strokes.push_back(std::move(current));
    return true;
}

InkFormat DetectFormat(const std::string &content) {
    size_t i = 0;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        i = 3;
    while (i < content.size() &&
           (content[i] == ' ' || content[i] == '\t' || content[i] == '\r' || content[i] == '\n')) {
        ++i;
    }
    // Markup, not just a '<': raw stroke data begins with that byte whenever the first x is 60.
    bool markup = content.compare(i, 2, "<?") == 0 || content.compare(i, 2, "<!") == 0 ||
                  content.compare(i, 4, "<ink") == 0;
    return markup ? InkFormat::InkML : InkFormat::Raw;
}

std::string ToRawBytes(const std::vector<int16_t> &data) {
    std::string out;
    out.reserve(data.size() * 2);
    for (int16_t v : data) {
        const auto u = static_cast<uint16_t>(v);
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

namespace {

bool ReadWhole(const std::string &path, std::string &content, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    content = s.str();
    return true;
}

StrokeBytes RawBytes(const std::string &content) {
    StrokeBytes out;
    out.lengthBytes = static_cast<uint32_t>(content.size());
    out.data.assign((content.size() + 1) / 2, 0);
    auto byte = [&](size_t i) -> unsigned {
        return i < content.size() ? static_cast<unsigned char>(content[i]) : 0u;
    };
    for (size_t i = 0; i < out.data.size(); ++i) {
        out.data[i] =
            static_cast<int16_t>(static_cast<uint16_t>(byte(2 * i) | byte(2 * i + 1) << 8));
    }
    return out;
}

}  // namespace

bool LoadStrokeFile(const std::string &path, InkFormat format, StrokeBytes &out,
                    std::string &error) {
    std::string content;
    if (!ReadWhole(path, content, error))
        return false;
    if (format == InkFormat::Auto)
        format = DetectFormat(content);
    if (format == InkFormat::Raw) {
        if (content.size() > 0xFFFFFFFFu) {
            error = path + ": too large";
            return false;
        }
        out = RawBytes(content);
        return true;
    }
    Ink ink;
    if (!ParseInkML(content, ink, error)) {
        error = path + ": " + error;
        return false;
    }
    out.data = ToStrokeData(ink);
    out.lengthBytes = static_cast<uint32_t>(out.data.size() * 2);
    return true;
}

bool LoadInk(const std::string &path, InkFormat format, Ink &ink, std::string &error) {
    std::string content;
    if (!ReadWhole(path, content, error))
        return false;
    if (format == InkFormat::Auto)
        format = DetectFormat(content);
    bool ok;
    if (format == InkFormat::InkML) {
        ok = ParseInkML(content, ink, error);
    } else if (content.size() % 4 != 0) {
        error = "length " + std::to_string(content.size()) + " is not a whole number of points";
        ok = false;
    } else {
        StrokeBytes raw = RawBytes(content);
        ok = FromStrokeData(raw.data.data(), raw.data.size() / 2, ink, error);
    }
    if (!ok)
        error = path + ": " + error;
    return ok;
}

}  // namespace hwr_ink
