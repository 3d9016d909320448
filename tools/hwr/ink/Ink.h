// Pen ink as the kit's tools read and write it: strokes of points, converted to and from the
// stroke data of vra_hwr_recog (16-bit x,y pairs; (-1,0) ends a stroke, (-1,-1) the writing) and
// to and from InkML.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hwr_ink {

struct InkPoint {
    int x;
    int y;
};
using InkStroke = std::vector<InkPoint>;

struct Ink {
    std::vector<InkStroke> strokes;
    size_t PointCount() const;
};

enum class InkFormat { Auto, Raw, InkML };

// Stroke data for vra_hwr_recog: each stroke's points then (-1,0), then (-1,-1) at the end.
// Points must already lie in 0..32767.
std::vector<int16_t> ToStrokeData(const Ink &ink);

// Reads stroke data back into strokes. False with a message for a negative point other than the
// two markers, for data after (-1,-1), or for a length that is not whole points; a missing final
// (-1,0) or (-1,-1) is tolerated.
bool FromStrokeData(const int16_t *data, size_t pointCount, Ink &ink, std::string &error);

// Stroke data of a raw file: the bytes as little-endian 16-bit values, exactly as they are.
struct StrokeBytes {
    std::vector<int16_t> data;  // padded to whole values
    uint32_t lengthBytes = 0;   // the file's own length
};

// Parses InkML: every <trace> (inside <traceGroup>s too) in document order, pen-up traces
// skipped; the X and Y channels of the first <traceFormat> (default X, Y first); explicit, first-
// and second-difference values ('!', '\'', '"'). Coordinates are then fitted to the stroke range:
// shifted so that none is negative, scaled down when wider than 32000, and fractional ink
// narrower than 256 units (millimetres, inches) scaled up to 1000 so that it keeps its precision;
// whole-number ink otherwise stays as written.
bool ParseInkML(const std::string &text, Ink &ink, std::string &error);
std::string WriteInkML(const Ink &ink);

// Recognises the format from the content: InkML starts, after blanks and a BOM, with "<?",
// "<!" or "<ink"; anything else is raw stroke data (which may well begin with a '<' byte).
InkFormat DetectFormat(const std::string &content);

// Reads an ink file: the stroke bytes exactly (raw) or converted (InkML). False with a message.
bool LoadStrokeFile(const std::string &path, InkFormat format, StrokeBytes &out,
                    std::string &error);
// Reads an ink file into strokes, whatever its format.
bool LoadInk(const std::string &path, InkFormat format, Ink &ink, std::string &error);

std::string ToRawBytes(const std::vector<int16_t> &data);

}  // namespace hwr_ink
