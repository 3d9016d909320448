#include "inksynth/Ink.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace inksynth {

void Box::Add(Point p) {
    if (empty) {
        minX = maxX = p.x;
        minY = maxY = p.y;
        empty = false;
        return;
    }
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
}

Box BoundsOf(const Stroke &stroke) {
    Box box;
    for (const Point &p : stroke)
        box.Add(p);
    return box;
}

Box BoundsOf(const Ink &ink) {
    Box box;
    for (const Stroke &s : ink.strokes)
        for (const Point &p : s)
            box.Add(p);
    return box;
}

void MoveToOrigin(Ink &ink, float margin) {
    Box box = BoundsOf(ink);
    if (box.empty)
        return;
    for (Stroke &s : ink.strokes)
        for (Point &p : s) {
            p.x += margin - box.minX;
            p.y += margin - box.minY;
        }
}

static int16_t Coordinate(float v) {
    long r = std::lround(v);
    return static_cast<int16_t>(std::clamp(r, 0L, 32767L));
}

std::vector<int16_t> ToRawStrokes(const Ink &ink) {
    std::vector<int16_t> out;
    for (const Stroke &s : ink.strokes) {
        size_t start = out.size();
        for (const Point &p : s) {
            int16_t x = Coordinate(p.x), y = Coordinate(p.y);
            if (out.size() > start && out[out.size() - 2] == x && out.back() == y)
                continue;
            out.push_back(x);
            out.push_back(y);
        }
        if (out.size() > start) {
            out.push_back(-1);
            out.push_back(0);
        }
    }
    if (!out.empty()) {
        out.push_back(-1);
        out.push_back(-1);
    }
    return out;
}

bool FromRawStrokes(const int16_t *pairs, size_t pairCount, Ink &ink) {
    ink.strokes.clear();
    Stroke current;
    bool ended = false;
    for (size_t i = 0; i < pairCount; ++i) {
        int16_t x = pairs[2 * i], y = pairs[2 * i + 1];
        if (ended)
            return false;  // data after the end marker
        if (x >= 0 && y >= 0) {
            current.push_back({float(x), float(y)});
        } else if (x == -1 && y == 0) {
            if (current.empty())
                return false;
            ink.strokes.push_back(std::move(current));
            current.clear();
        } else if (x == -1 && y == -1) {
            if (!current.empty() || ink.strokes.empty())
                return false;
            ended = true;
        } else {
            return false;
        }
    }
    return ended;
}

bool WriteRawStrokeFile(const std::string &path, const Ink &ink) {
    std::vector<int16_t> raw = ToRawStrokes(ink);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int16_t v : raw) {
        uint16_t u = static_cast<uint16_t>(v);
        char b[2] = {char(u & 0xff), char(u >> 8)};
        out.write(b, 2);
    }
    return bool(out.flush());
}

bool ReadRawStrokeFile(const std::string &path, Ink &ink, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() % 4 != 0) {
        if (error)
            *error = path + ": length is not a multiple of 4 bytes";
        return false;
    }
    std::vector<int16_t> values(bytes.size() / 2);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (!FromRawStrokes(values.data(), values.size() / 2, ink)) {
        if (error)
            *error = path + ": malformed stroke data";
        return false;
    }
    return true;
}

}  // namespace inksynth
