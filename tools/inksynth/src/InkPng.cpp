#include "inksynth/InkPng.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace inksynth {

namespace {

class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), pix_(size_t(w) * h, 255) {}
    // Anti-aliased disc of radius r: darkens, never lightens, so crossings stay black.
    void Dot(float cx, float cy, float r, int grey) {
        int x0 = std::max(0, int(std::floor(cx - r - 1))), x1 = std::min(w_ - 1, int(cx + r + 1));
        int y0 = std::max(0, int(std::floor(cy - r - 1))), y1 = std::min(h_ - 1, int(cy + r + 1));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
                float cover = std::clamp(r + 0.5f - d, 0.0f, 1.0f);
                if (cover <= 0)
                    continue;
                int v = int(255 - cover * (255 - grey));
                uint8_t &p = pix_[size_t(y) * w_ + x];
                p = uint8_t(std::min<int>(p, v));
            }
    }
    void Line(Point a, Point b, float r) {
        float len = std::hypot(b.x - a.x, b.y - a.y);
        int steps = std::max(1, int(len / 0.5f));
        for (int i = 0; i <= steps; ++i) {
            float t = float(i) / steps;
            Dot(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), r, 0);
        }
    }
    int w_, h_;
    std::vector<uint8_t> pix_;
};

void PutU32(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void Chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
    PutU32(out, uint32_t(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
    PutU32(out, uint32_t(crc));
}

}  // namespace

bool WriteInkPng(const std::string &path, const Ink &ink, const PngOptions &o, std::string *error) {
    Box box = BoundsOf(ink);
    if (box.empty) {
        if (error)
            *error = "the ink is empty";
        return false;
    }
    int w = int(std::ceil(box.Width() * o.scale)) + 2 * o.margin + 1;
    int h = int(std::ceil(box.Height() * o.scale)) + 2 * o.margin + 1;
    if (w > 16384 || h > 16384) {
        if (error)
            *error = "the picture would be larger than 16384 pixels";
        return false;
    }
    Canvas canvas(w, h);
    auto map = [&](Point p) {
        return Point{(p.x - box.minX) * o.scale + o.margin, (p.y - box.minY) * o.scale + o.margin};
    };
    float r = o.penWidth / 2;
    for (const Stroke &s : ink.strokes) {
        if (s.size() == 1)
            canvas.Dot(map(s[0]).x, map(s[0]).y, r * 1.5f, 0);
        for (size_t i = 1; i < s.size(); ++i)
            canvas.Line(map(s[i - 1]), map(s[i]), r);
    }
    if (o.markPoints)
        for (const Stroke &s : ink.strokes)
            for (const Point &p : s)
                canvas.Dot(map(p).x, map(p).y, r * 1.8f, 160);

    std::vector<uint8_t> raw;
    raw.reserve(size_t(h) * (w + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), canvas.pix_.begin() + size_t(y) * w,
                   canvas.pix_.begin() + size_t(y + 1) * w);
    }
    uLongf zlen = compressBound(uLong(raw.size()));
    std::vector<uint8_t> z(zlen);
    if (compress2(z.data(), &zlen, raw.data(), uLong(raw.size()), 6) != Z_OK) {
        if (error)
            *error = "compression failed";
        return false;
    }
    z.resize(zlen);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> ihdr;
    PutU32(ihdr, uint32_t(w));
    PutU32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // 8-bit greyscale
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(png.data()), std::streamsize(png.size()));
    if (!out.flush()) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace inksynth
