// Feature frames of one segment: per-segment normalisation, one frame per unit of pen travel,
// distances to neighbouring ink and the centre of the ink around each column.
#include <algorithm>
#include <cmath>
#include <limits>

#include "FastDistance.h"
#include "InkPipeline.h"
#include "InkScale.h"

namespace v7 {

namespace {

float Fl(int32_t v) {
    return static_cast<float>(v);
}

float StepLength(InkPoint a, InkPoint b) {
    return Distance(Fl(a.x), Fl(a.y), Fl(b.x), Fl(b.y));
}

}  // namespace

void InkPipeline::NormaliseSegment(const InkSegment &s, InkBox *box) {
    StrokeRecord *st = strokes_ + s.firstStroke;
    InkBox b = st[0].box;
    for (int i = 1; i < s.strokeCount; ++i) {
        b.minX = std::min(b.minX, st[i].box.minX);
        b.minY = std::min(b.minY, st[i].box.minY);
        b.maxX = std::max(b.maxX, st[i].box.maxX);
        b.maxY = std::max(b.maxY, st[i].box.maxY);
    }
    const int32_t width = b.width(), height = b.height();
    const int32_t scaledWidth = ScaledWidth(width, height);
    InkBox out{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
               std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};
    for (int i = 0; i < s.strokeCount; ++i) {
        InkBox &sb = st[i].box;
        sb = {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
              std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};
        for (int k = 0; k < st[i].count; ++k) {
            InkPoint &p = points_[st[i].first + k];
            p.x -= b.minX;
            p.y -= b.minY;
            if (height < 2) {
                p.y += (kNormalHeight - height) / 2;
            } else {
                p.x = ScaleValue(p.x, 0, width - 1, scaledWidth);
                p.y = ScaleValue(p.y, 0, height - 1, kNormalHeight);
            }
            sb.minX = std::min(sb.minX, p.x);
            sb.minY = std::min(sb.minY, p.y);
            sb.maxX = std::max(sb.maxX, p.x);
            sb.maxY = std::max(sb.maxY, p.y);
        }
        out.minX = std::min(out.minX, sb.minX);
        out.minY = std::min(out.minY, sb.minY);
        out.maxX = std::max(out.maxX, sb.maxX);
        out.maxY = std::max(out.maxY, sb.maxY);
    }
    // Stroke centres stay as the whole writing gave them; they only order the strokes.
    *box = out;
}

int InkPipeline::AppendStrokeFrames(const StrokeRecord &stroke) {
    if (frameCount_ + 2 > kMaxSegmentFrames)
        return kInkBadArgument;
    const InkPoint *p = points_ + stroke.first;
    FeatureFrame down{};
    down.previousPoint = down.currentPoint = stroke.first;
    down.pen = kPenDown;
    down.x = Fl(p[0].x);
    down.y = Fl(p[0].y);
    down.cosine = 1.0f;
    down.turnCosine = 1.0f;
    frames_[frameCount_++] = down;
    if (stroke.count == 1) {
        down.pen = kPenUp;
        frames_[frameCount_++] = down;
        return 0;
    }
    float prevSine = 0.0f, prevCosine = 1.0f;
    for (int k = 1; k < stroke.count; ++k) {
        const InkPoint a = p[k - 1], b = p[k];
        const float len = StepLength(a, b);
        const int n = static_cast<int>(len + 0.5f);
        if (n == 0 || n > kMaxSegmentFrames - frameCount_)
            return kInkBadArgument;
        const float deltaX = Fl(b.x - a.x), deltaY = Fl(b.y - a.y);
        const float nf = static_cast<float>(n);
        const float stepX = deltaX / nf, stepY = deltaY / nf;
        const float sine = deltaY / len, cosine = deltaX / len;
        for (int j = 1; j <= n; ++j) {
            FeatureFrame &f = frames_[frameCount_++];
            f = FeatureFrame{};
            f.previousPoint = stroke.first + k - 1;
            f.currentPoint = stroke.first + k;
            f.pen = kPenMoving;
            f.x = Fl(a.x) + static_cast<float>(j) * stepX;
            f.y = Fl(a.y) + static_cast<float>(j) * stepY;
            f.dx = stepX;
            f.dy = stepY;
            f.step = len / nf;
            f.sine = sine;
            f.cosine = cosine;
            if (j == 1) {
                f.turnSine = cosine * prevSine - prevCosine * sine;
                f.turnCosine = sine * prevSine + cosine * prevCosine;
            } else {
                f.turnSine = 0.0f;
                f.turnCosine = 1.0f;
            }
        }
        prevSine = sine;
        prevCosine = cosine;
    }
    frames_[frameCount_ - 1].pen = kPenUp;
    return 0;
}

void InkPipeline::NeighbourDistances(const InkSegment &s) {
    const StrokeRecord *st = strokes_ + s.firstStroke;
    const float reach = static_cast<float>(kNeighbourReach);
    for (int fi = 0; fi < frameCount_; ++fi) {
        FeatureFrame &f = frames_[fi];
        const float x = f.x, y = f.y;
        float left = kNoNeighbour, right = kNoNeighbour, below = kNoNeighbour, above = kNoNeighbour;
        for (int i = 0; i < s.strokeCount; ++i) {
            const int first = st[i].first;
            if (st[i].count == 1) {
                if (first == f.previousPoint || first == f.currentPoint)
                    continue;
                const float px = Fl(points_[first].x), py = Fl(points_[first].y);
                if (py == y) {
                    if (x - reach <= px && px <= x)
                        left = std::min(left, x - px);
                    if (x <= px && px <= x + reach)
                        right = std::min(right, px - x);
                }
                if (px == x) {
                    if (y <= py && py <= y + reach)
                        below = std::min(below, py - y);
                    if (y - reach <= py && py <= y)
                        above = std::min(above, y - py);
                }
                continue;
            }
            const int32_t Y = static_cast<int32_t>(y), X = static_cast<int32_t>(x);
            for (int k = first; k + 1 < first + st[i].count; ++k) {
                if (k == f.currentPoint || k + 1 == f.currentPoint)
                    continue;
                const InkPoint a = points_[k], b = points_[k + 1];
                if (a.y != b.y && std::min(a.y, b.y) <= Y && Y <= std::max(a.y, b.y)) {
                    const float cx = Fl((b.x - a.x) * (Y - a.y) / (b.y - a.y) + a.x);
                    if (x - reach <= cx && cx <= x)
                        left = std::min(left, x - cx);
                    if (x <= cx && cx <= x + reach)
                        right = std::min(right, cx - x);
                }
                if (a.x != b.x && std::min(a.x, b.x) <= X && X <= std::max(a.x, b.x)) {
                    const float cy = Fl((b.y - a.y) * (X - a.x) / (b.x - a.x) + a.y);
                    if (y <= cy && cy <= y + reach)
                        below = std::min(below, cy - y);
                    if (y - reach <= cy && cy <= y)
                        above = std::min(above, y - cy);
                }
            }
        }
        f.left = left;
        f.right = right;
        f.below = below;
        f.above = above;
    }
}

void InkPipeline::ColumnCentres(const InkSegment &s, const InkBox &box) {
    const StrokeRecord *st = strokes_ + s.firstStroke;
    for (int32_t col = box.minX; col <= box.maxX; ++col) {
        const int32_t lo = col - kNeighbourReach, hi = col + kNeighbourReach;
        uint64_t sum = 0, weight = 0;
        for (int i = 0; i < s.strokeCount; ++i) {
            const InkPoint *p = points_ + st[i].first;
            if (st[i].count == 1) {
                if (lo <= p[0].x && p[0].x <= hi) {
                    sum += static_cast<uint64_t>(p[0].y);
                    weight += 1;
                }
                continue;
            }
            for (int k = 0; k + 1 < st[i].count; ++k) {
                const int32_t x0 = std::min(p[k].x, p[k + 1].x), x1 = std::max(p[k].x, p[k + 1].x);
                if (x1 < lo || x0 > hi)
                    continue;
                const uint64_t overlap = static_cast<uint64_t>(std::min(x1, hi) - std::max(x0, lo));
                const uint64_t u = static_cast<uint64_t>(LengthWeight(StepLength(p[k], p[k + 1]))) *
                                   (overlap + 1) / static_cast<uint64_t>(x1 - x0 + 1);
                sum += static_cast<uint64_t>(p[k].y + p[k + 1].y) * u / 2;
                weight += u;
            }
        }
        columnCentre_[col - box.minX] = weight ? static_cast<uint32_t>(sum / weight)
                                               : static_cast<uint32_t>((box.minY + box.maxY) / 2);
    }
    const int32_t columns = box.maxX - box.minX + 1;
    for (int fi = 0; fi < frameCount_; ++fi) {
        FeatureFrame &f = frames_[fi];
        int32_t col = static_cast<int32_t>(f.x >= 0.0f ? f.x + 0.5f : f.x - 0.5f) - box.minX;
        col = std::clamp(col, 0, columns - 1);
        f.columnCentre = static_cast<float>(columnCentre_[col]);
        f.yFromCentre = f.y - f.columnCentre;
    }
}

int InkPipeline::BuildFrames(int index) {
    frameCount_ = 0;
    if (index < 0 || index >= segmentCount_)
        return kInkBadArgument;
    const InkSegment &s = segments_[index];
    InkBox box;
    NormaliseSegment(s, &box);
    if (box.width() > kMaxInkWidth)
        return kInkBadArgument;
    // Strokes in order of their centres (selection sort: the first strictly smallest).
    StrokeRecord *st = strokes_ + s.firstStroke;
    for (int i = 0; i < s.strokeCount; ++i) {
        int best = i;
        for (int j = i + 1; j < s.strokeCount; ++j)
            if (st[j].centreX < st[best].centreX)
                best = j;
        if (best != i)
            std::swap(st[i], st[best]);
    }
    for (int i = 0; i < s.strokeCount; ++i)
        if (int code = AppendStrokeFrames(st[i])) {
            frameCount_ = 0;
            return code;
        }
    NeighbourDistances(s);
    ColumnCentres(s, box);
    return 0;
}

}  // namespace v7
