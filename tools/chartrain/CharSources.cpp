#include "CharSources.h"

#include <json/json.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace chartrain {

bool LoadHanziMedians(const std::string &dir, const std::string &utf8Char, Ink *out) {
    std::ifstream in(dir + "/" + utf8Char + ".json", std::ios::binary);
    if (!in)
        return false;
    Json::CharReaderBuilder builder;
    Json::Value root;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &root, &errors) || !root.isMember("medians"))
        return false;
    out->clear();
    for (const Json::Value &stroke : root["medians"]) {
        Stroke s;
        for (const Json::Value &pt : stroke) {
            if (pt.size() < 2)
                return false;
            s.push_back({pt[0].asFloat(), 900.0f - pt[1].asFloat()});
        }
        if (!s.empty())
            out->push_back(std::move(s));
    }
    return !out->empty();
}

namespace {

constexpr double kPi = 3.14159265358979323846;

const GestureInfo kGestures[kGestureCount] = {
    {1, "line right"},
    {2, "line down-right"},
    {3, "line down"},
    {4, "line down-left"},
    {5, "line left"},
    {6, "line up-left"},
    {7, "line up"},
    {8, "line up-right"},
    {9, "corner down then right"},
    {10, "corner down then left"},
    {11, "corner up then right"},
    {12, "corner up then left"},
    {13, "corner right then down"},
    {14, "corner right then up"},
    {15, "corner left then down"},
    {16, "corner left then up"},
    {17, "arrow right"},
    {18, "arrow left"},
    {19, "arrow up"},
    {20, "arrow down"},
    {21, "circle clockwise"},
    {22, "circle counter-clockwise"},
    {23, "check"},
    {24, "cross"},
    {25, "caret up"},
    {26, "caret down"},
    {27, "caret left"},
    {28, "caret right"},
    {29, "zig-zag delete"},
    {30, "vertical zig-zag"},
    {31, "space"},
    {32, "return"},
    {33, "undo"},
    {34, "redo"},
    {35, "arch"},
    {36, "bracket left"},
    {37, "bracket right"},
    {38, "triangle"},
    {39, "rectangle"},
    {40, "loop"},
    {41, "pigtail"},
    {42, "double line right"},
    {43, "double line down"},
    {44, "s-curve"},
    {45, "z-shape"},
    {46, "n-shape"},
    {47, "spiral"},
    {48, "tap"},
    {49, "double tap"},
    {50, "w-shape"},
};

Stroke Line(std::initializer_list<Pt> pts) {
    return Stroke(pts);
}

// Arc around (cx, cy) with radius r from angle a0 to a1 (radians, y down: positive = clockwise).
Stroke Arc(double cx, double cy, double rx, double ry, double a0, double a1, int n = 24) {
    Stroke s;
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + (a1 - a0) * i / n;
        s.push_back(
            {static_cast<float>(cx + rx * std::cos(a)), static_cast<float>(cy + ry * std::sin(a))});
    }
    return s;
}

Ink LineGesture(double angle) {
    const float dx = static_cast<float>(std::cos(angle)), dy = static_cast<float>(std::sin(angle));
    return {Line({{50 - 45 * dx, 50 - 45 * dy}, {50 + 45 * dx, 50 + 45 * dy}})};
}

}  // namespace

const GestureInfo *GestureTable() {
    return kGestures;
}

Ink GestureInk(int code) {
    switch (code) {
        case 1:
            return LineGesture(0);
        case 2:
            return LineGesture(kPi / 4);
        case 3:
            return LineGesture(kPi / 2);
        case 4:
            return LineGesture(3 * kPi / 4);
        case 5:
            return LineGesture(kPi);
        case 6:
            return LineGesture(-3 * kPi / 4);
        case 7:
            return LineGesture(-kPi / 2);
        case 8:
            return LineGesture(-kPi / 4);
        case 9:
            return {Line({{10, 0}, {10, 90}, {90, 90}})};
        case 10:
            return {Line({{90, 0}, {90, 90}, {10, 90}})};
        case 11:
            return {Line({{10, 100}, {10, 10}, {90, 10}})};
        case 12:
            return {Line({{90, 100}, {90, 10}, {10, 10}})};
        case 13:
            return {Line({{0, 10}, {90, 10}, {90, 90}})};
        case 14:
            return {Line({{0, 90}, {90, 90}, {90, 10}})};
        case 15:
            return {Line({{100, 10}, {10, 10}, {10, 90}})};
        case 16:
            return {Line({{100, 90}, {10, 90}, {10, 10}})};
        case 17:
            return {Line({{0, 50}, {100, 50}}), Line({{70, 25}, {100, 50}, {70, 75}})};
        case 18:
            return {Line({{100, 50}, {0, 50}}), Line({{30, 25}, {0, 50}, {30, 75}})};
        case 19:
            return {Line({{50, 100}, {50, 0}}), Line({{25, 30}, {50, 0}, {75, 30}})};
        case 20:
            return {Line({{50, 0}, {50, 100}}), Line({{25, 70}, {50, 100}, {75, 70}})};
        case 21:
            return {Arc(50, 50, 45, 45, -kPi / 2, 1.5 * kPi, 32)};
        case 22:
            return {Arc(50, 50, 45, 45, -kPi / 2, -2.5 * kPi, 32)};
        case 23:
            return {Line({{0, 55}, {35, 95}, {100, 0}})};
        case 24:
            return {Line({{0, 0}, {100, 100}}), Line({{100, 0}, {0, 100}})};
        case 25:
            return {Line({{0, 100}, {50, 0}, {100, 100}})};
        case 26:
            return {Line({{0, 0}, {50, 100}, {100, 0}})};
        case 27:
            return {Line({{100, 0}, {0, 50}, {100, 100}})};
        case 28:
            return {Line({{0, 0}, {100, 50}, {0, 100}})};
        case 29:
            return {Line({{0, 20}, {100, 35}, {0, 50}, {100, 65}, {0, 80}})};
        case 30:
            return {Line({{20, 0}, {35, 100}, {50, 0}, {65, 100}, {80, 0}})};
        case 31:
            return {Line({{0, 30}, {0, 80}, {100, 80}, {100, 30}})};
        case 32:
            return {Line({{100, 0}, {100, 70}, {0, 70}}), Line({{25, 45}, {0, 70}, {25, 95}})};
        case 33: {
            Stroke s = Arc(50, 60, 40, 35, 0, -kPi, 20);
            s.insert(s.begin(), {90, 100});
            s.push_back({0, 40});
            return {s};
        }
        case 34: {
            Stroke s = Arc(50, 60, 40, 35, kPi, 2 * kPi, 20);
            s.insert(s.begin(), {10, 100});
            s.push_back({100, 40});
            return {s};
        }
        case 35:
            return {Arc(50, 80, 45, 70, kPi, 2 * kPi, 24)};
        case 36:
            return {Arc(80, 50, 70, 45, -kPi / 2, -1.5 * kPi, 24)};
        case 37:
            return {Arc(20, 50, 70, 45, -kPi / 2, kPi / 2, 24)};
        case 38:
            return {Line({{50, 0}, {100, 90}, {0, 90}, {50, 0}})};
        case 39:
            return {Line({{0, 10}, {100, 10}, {100, 90}, {0, 90}, {0, 10}})};
        case 40: {
            Stroke s{{0, 100}};
            Stroke loop = Arc(60, 40, 30, 35, kPi / 2 + 0.6, kPi / 2 + 0.6 - 2 * kPi, 28);
            s.insert(s.end(), loop.begin(), loop.end());
            s.push_back({100, 100});
            return {s};
        }
        case 41: {
            Stroke s{{0, 50}};
            Stroke loop = Arc(55, 40, 20, 20, kPi / 2, kPi / 2 + 2 * kPi, 24);
            s.insert(s.end(), loop.begin(), loop.end());
            s.push_back({100, 60});
            return {s};
        }
        case 42:
            return {Line({{0, 30}, {100, 30}}), Line({{0, 70}, {100, 70}})};
        case 43:
            return {Line({{30, 0}, {30, 100}}), Line({{70, 0}, {70, 100}})};
        case 44: {
            Stroke s = Arc(50, 28, 40, 23, -kPi / 6, -1.5 * kPi, 16);
            Stroke t = Arc(50, 74, 40, 23, -kPi / 2, 5 * kPi / 6, 16);
            s.insert(s.end(), t.begin(), t.end());
            return {s};
        }
        case 45:
            return {Line({{0, 0}, {100, 0}, {0, 100}, {100, 100}})};
        case 46:
            return {Line({{0, 100}, {0, 0}, {100, 100}, {100, 0}})};
        case 47: {
            Stroke s;
            for (int i = 0; i <= 48; ++i) {
                const double a = i * (3 * kPi) / 48, r = 5 + 40.0 * i / 48;
                s.push_back({static_cast<float>(50 + r * std::cos(a)),
                             static_cast<float>(50 + r * std::sin(a))});
            }
            return {s};
        }
        case 48:
            return {Line({{50, 50}})};
        case 49:
            return {Line({{30, 50}}), Line({{70, 50}})};
        case 50:
            return {Line({{0, 0}, {25, 100}, {50, 30}, {75, 100}, {100, 0}})};
        default:
            return {};
    }
}

}  // namespace chartrain
