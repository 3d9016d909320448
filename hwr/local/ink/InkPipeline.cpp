// Validation, normalisation, stroke table and segmentation of one writing.
#include "InkPipeline.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "FastDistance.h"
#include "InkScale.h"

namespace v7 {

namespace {

constexpr size_t Align8(size_t n) {
    return (n + 7) / 8 * 8;
}

constexpr size_t kPointsBytes = Align8(sizeof(InkPoint) * kMaxInkPoints);
constexpr size_t kStrokesBytes = Align8(sizeof(StrokeRecord) * kMaxStrokes);
constexpr size_t kSegmentsBytes = Align8(sizeof(InkSegment) * kMaxSegments);
constexpr size_t kOccupancyBytes = Align8(kMaxInkWidth + 1);
constexpr size_t kCentreBytes = Align8(sizeof(uint32_t) * (kMaxInkWidth + 1));
constexpr size_t kFramesBytes = Align8(sizeof(FeatureFrame) * kMaxSegmentFrames);

InkBox EmptyBox() {
    return {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
            std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};
}

void Extend(InkBox *box, int32_t x, int32_t y) {
    box->minX = std::min(box->minX, x);
    box->minY = std::min(box->minY, y);
    box->maxX = std::max(box->maxX, x);
    box->maxY = std::max(box->maxY, y);
}

void Extend(InkBox *box, const InkBox &other) {
    Extend(box, other.minX, other.minY);
    Extend(box, other.maxX, other.maxY);
}

}  // namespace

size_t InkPipeline::WorkspaceSize() {
    return kPointsBytes + kStrokesBytes + kSegmentsBytes + kOccupancyBytes + kCentreBytes +
           kFramesBytes;
}

InkPipeline::InkPipeline(void *workspace) {
    auto *at = static_cast<unsigned char *>(workspace);
    points_ = reinterpret_cast<InkPoint *>(at);
    at += kPointsBytes;
    strokes_ = reinterpret_cast<StrokeRecord *>(at);
    at += kStrokesBytes;
    segments_ = reinterpret_cast<InkSegment *>(at);
    at += kSegmentsBytes;
    occupancy_ = at;
    at += kOccupancyBytes;
    columnCentre_ = reinterpret_cast<uint32_t *>(at);
    at += kCentreBytes;
    frames_ = reinterpret_cast<FeatureFrame *>(at);
}

// States of the walk: before any stroke, inside a stroke, right after a stroke end.
int InkPipeline::Validate(const int32_t *pairs, int count) const {
    enum { kStart, kInStroke, kAfterStroke } state = kStart;
    for (int i = 0; i < count; ++i) {
        const InkPoint p{pairs[2 * i], pairs[2 * i + 1]};
        if (p.x >= 0 && p.y >= 0) {
            state = kInStroke;
        } else if (IsStrokeEnd(p)) {
            if (state != kInStroke)
                return kInkMalformed;  // an empty stroke
            state = kAfterStroke;
        } else if (IsWritingEnd(p)) {
            if (state != kAfterStroke)
                return kInkMalformed;
            return i + 1 == count ? 0 : kInkBadArgument;  // pairs after the end
        } else {
            return kInkMalformed;
        }
    }
    return kInkMalformed;  // no end of writing
}

int InkPipeline::NormaliseWriting(const int32_t *pairs, int count) {
    // Copy the real points, stroke by stroke; markers become stroke boundaries.
    pointCount_ = 0;
    strokeCount_ = 0;
    InkBox box = EmptyBox();
    int strokeStart = 0;
    for (int i = 0; i < count; ++i) {
        const InkPoint p{pairs[2 * i], pairs[2 * i + 1]};
        if (IsWritingEnd(p))
            break;
        if (IsStrokeEnd(p)) {
            if (strokeCount_ == kMaxStrokes)
                return kInkBadArgument;
            strokes_[strokeCount_].first = strokeStart;
            strokes_[strokeCount_].count = pointCount_ - strokeStart;
            ++strokeCount_;
            strokeStart = pointCount_;
            continue;
        }
        points_[pointCount_++] = p;
        Extend(&box, p.x, p.y);
    }
    if (pointCount_ == 0)
        return kInkBadArgument;
    const int32_t width = box.width(), height = box.height();
    const int32_t scaledWidth = ScaledWidth(width, height);
    for (int i = 0; i < pointCount_; ++i) {
        InkPoint &p = points_[i];
        p.x -= box.minX;
        p.y -= box.minY;
        if (height < 2) {
            p.y += (kNormalHeight - height) / 2;
        } else {
            p.x = ScaleValue(p.x, 0, width - 1, scaledWidth);
            p.y = ScaleValue(p.y, 0, height - 1, kNormalHeight);
        }
    }
    // Drop every point equal to the one before it in its stroke (scaling merged them).
    int kept = 0;
    for (int s = 0; s < strokeCount_; ++s) {
        StrokeRecord &st = strokes_[s];
        const int first = kept;
        for (int k = 0; k < st.count; ++k) {
            const InkPoint p = points_[st.first + k];
            if (kept > first && points_[kept - 1].x == p.x && points_[kept - 1].y == p.y)
                continue;
            points_[kept++] = p;
        }
        st.first = first;
        st.count = kept - first;
    }
    pointCount_ = kept;
    return pointCount_ > 0 ? 0 : kInkBadArgument;
}

int InkPipeline::BuildStrokeTable() {
    writingBox_ = EmptyBox();
    for (int s = 0; s < strokeCount_; ++s) {
        StrokeRecord &st = strokes_[s];
        st.box = EmptyBox();
        for (int k = 0; k < st.count; ++k)
            Extend(&st.box, points_[st.first + k].x, points_[st.first + k].y);
        Extend(&writingBox_, st.box);
        st.segment = 0;
        const InkPoint *p = points_ + st.first;
        if (st.count == 1) {
            st.centreX = p[0].x;
            st.centreY = p[0].y;
            continue;
        }
        // Midpoints of the steps weighted by their length. 64 bits: a long stroke's weighted
        // sum does not fit 32.
        uint64_t sumX = 0, sumY = 0, sumW = 0;
        for (int k = 0; k + 1 < st.count; ++k) {
            const float len =
                Distance(static_cast<float>(p[k].x), static_cast<float>(p[k].y),
                         static_cast<float>(p[k + 1].x), static_cast<float>(p[k + 1].y));
            const uint64_t w = LengthWeight(len);
            sumX += w * static_cast<uint64_t>((p[k].x + p[k + 1].x) / 2);
            sumY += w * static_cast<uint64_t>((p[k].y + p[k + 1].y) / 2);
            sumW += w;
        }
        st.centreX = sumW ? static_cast<int32_t>(sumX / sumW) : p[0].x;
        st.centreY = sumW ? static_cast<int32_t>(sumY / sumW) : p[0].y;
    }
    return 0;
}

int InkPipeline::Segment(bool singleSegment) {
    segmentCount_ = 1;
    segments_[0] = {0, strokeCount_};
    if (singleSegment || writingBox_.height() >= writingBox_.width())
        return 0;
    const int32_t minX = writingBox_.minX, width = writingBox_.width();
    if (width > kMaxInkWidth)
        return kInkBadArgument;
    std::fill(occupancy_, occupancy_ + width, 0);
    for (int s = 0; s < strokeCount_; ++s)
        std::fill(occupancy_ + (strokes_[s].box.minX - minX),
                  occupancy_ + (strokes_[s].box.maxX - minX) + 1, 1);
    auto assign = [&](int32_t from, int32_t to, int32_t index) {
        for (int s = 0; s < strokeCount_; ++s)
            if (strokes_[s].box.minX >= from && strokes_[s].box.maxX <= to)
                strokes_[s].segment = index;
    };
    int32_t index = 0, start = minX, empty = 0;
    for (int32_t col = minX; col <= writingBox_.maxX; ++col) {
        if (occupancy_[col - minX]) {
            empty = 0;
            continue;
        }
        if (++empty != kSegmentGap)
            continue;
        assign(start, col, index);
        if (++index >= kMaxSegments)
            return kInkBadArgument;
        start = col + 1;
    }
    assign(start, writingBox_.maxX, index);
    segmentCount_ = index + 1;
    if (segmentCount_ == 1)
        return 0;
    // Selection sort on the segment index, then group.
    for (int i = 0; i < strokeCount_; ++i) {
        int best = i;
        for (int j = i + 1; j < strokeCount_; ++j)
            if (strokes_[j].segment < strokes_[best].segment)
                best = j;
        if (best != i)
            std::swap(strokes_[i], strokes_[best]);
    }
    int n = 0;
    for (int i = 0; i < strokeCount_; ++i) {
        if (i == 0 || strokes_[i].segment != strokes_[i - 1].segment)
            segments_[n++] = {i, 0};
        ++segments_[n - 1].strokeCount;
    }
    segmentCount_ = n;
    return 0;
}

int InkPipeline::Prepare(const int32_t *pairs, int count, bool singleSegment) {
    segmentCount_ = 0;
    frameCount_ = 0;
    if (!pairs || count <= 0 || count > kMaxInkPoints)
        return kInkBadArgument;
    if (int code = Validate(pairs, count))
        return code;
    if (int code = NormaliseWriting(pairs, count))
        return code;
    if (int code = BuildStrokeTable())
        return code;
    if (int code = Segment(singleSegment)) {
        segmentCount_ = 0;
        return code;
    }
    return 0;
}

int ComputeSegmentInputs(const int32_t *pairs, int count, bool singleSegment,
                         std::vector<std::vector<float>> *segments) {
    segments->clear();
    // Not cleared: only the parts a writing uses are ever touched.
    std::unique_ptr<uint64_t[]> memory(new uint64_t[(InkPipeline::WorkspaceSize() + 7) / 8]);
    InkPipeline ink(memory.get());
    if (int code = ink.Prepare(pairs, count, singleSegment))
        return code;
    for (int s = 0; s < ink.segmentCount(); ++s) {
        if (int code = ink.BuildFrames(s))
            return code;
        std::vector<float> inputs(static_cast<size_t>(ink.frameCount()) * kFrameInputs);
        for (int f = 0; f < ink.frameCount(); ++f)
            FrameInputs(ink.frames()[f], &inputs[static_cast<size_t>(f) * kFrameInputs]);
        segments->push_back(std::move(inputs));
    }
    return 0;
}

}  // namespace v7
