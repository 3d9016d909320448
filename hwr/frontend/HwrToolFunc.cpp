#include "HwrToolFunc.h"

#include "HwrLog.h"

namespace HwrToolFunc {
namespace {

bool PointsValid(const int16_t *data, uint32_t count, const char *name) {
    for (uint32_t i = 0; i < count; ++i) {
        const int x = data[2 * i], y = data[2 * i + 1];
        if ((x == -1 && y == 0) || (x >= 0 && y >= 0))
            continue;
        QV_LOG_FAIL(QV_TAG_FRONTEND, name, " Invalid point(%d,%d).", x, y);
        return false;
    }
    return true;
}

}  // namespace

bool IsStrokesValid(const int16_t *data, uint32_t lengthBytes) {
    static const char *kName = "HwrToolFunc::IsStrokesValid";
    if (!data || lengthBytes <= 8 || lengthBytes % 4 != 0) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Count in bytes = %u, Invalid. ", lengthBytes);
        return false;
    }
    const uint32_t n = lengthBytes / 4;
    if (!PointsValid(data, n - 2, kName))
        return false;
    const int x1 = data[2 * (n - 2)], y1 = data[2 * (n - 2) + 1];
    const int x2 = data[2 * (n - 1)], y2 = data[2 * (n - 1) + 1];
    if (x1 != -1 || y1 != 0 || x2 != -1 || y2 != -1) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Invalid tail[(%d,%d)(%d,%d)], not (-1,0)(-1,-1).", x1,
                    y1, x2, y2);
        return false;
    }
    return true;
}

bool IsStrokesValid_RealTime(const int16_t *data, uint32_t lengthBytes) {
    static const char *kName = "HwrToolFunc::IsStrokesValid_RealTime";
    if (!data || lengthBytes % 4 != 0) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Count in bytes = %u, Invalid. ", lengthBytes);
        return false;
    }
    const uint32_t n = lengthBytes / 4;
    if (n < 2) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Point num <= 1.");
        return false;
    }
    const int lx = data[2 * (n - 1)], ly = data[2 * (n - 1) + 1];
    if (lx == -1 && ly == -1) {
        const int px = data[2 * (n - 2)], py = data[2 * (n - 2) + 1];
        if (px != -1 || py != 0) {
            QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Invalid tail[(%d,%d)(-1,-1)].", px, py);
            return false;
        }
        return PointsValid(data, n - 2, kName);
    }
    if (lx == -1 && ly == 0)
        return PointsValid(data, n - 1, kName);
    QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Tail (%d,%d) invalid.", lx, ly);
    return false;
}

bool IsPenPointValid(int32_t x, int32_t y) {
    return y >= 0 && (x >= 0 || (x == -1 && y == 0));
}

}  // namespace HwrToolFunc
