#include "editor/GridGeometry.h"

#include <algorithm>
#include <cmath>

namespace zumbal {

namespace {
constexpr int kGroupWidth = 146;
constexpr int kColumnWidth = 34;
constexpr int kRowHeight = 40;

int floorDiv(double value, double by) {
    return static_cast<int>(std::floor(value / by));
}
} // namespace

Point cellOrigin(int cell) {
    const int row = cell / kStrokes;
    const int column = cell - kStrokes * row;
    return {kColumnWidth * column + 10 * (column / 4),
            row == kBassTrack ? kBassRowY : kRowHeight * row};
}

std::optional<CellHit> hitTest(int x, int y) {
    // The group comes from x itself; the position inside it from x - 5.
    const int g = std::min(3, floorDiv(x, kGroupWidth));
    int r = x - 5 - kGroupWidth * g;
    const int c = std::min(3, floorDiv(r, kColumnWidth));
    r -= kColumnWidth * c;
    if (r < 1 || r > 23)
        return std::nullopt;

    const int s = y - 4;
    int row = 0;
    if (s < 240) {
        const int k = std::min(5, floorDiv(s, kRowHeight));
        const int inside = s - kRowHeight * k;
        if (inside < 1 || inside > 23)
            return std::nullopt;
        row = k;
    } else if (s >= 250 && s <= 272) {
        row = kBassTrack;
    } else {
        return std::nullopt;
    }
    const int column = 4 * g + c;
    if (column < 0)
        return std::nullopt;
    return CellHit{
        cellIndex(row, column + 1),
        {kGroupWidth * g + kColumnWidth * c, row == kBassTrack ? kBassRowY : kRowHeight * row}};
}

void fillDrumTrack(globali& g, int track, int buttonState) {
    const int code = isOn(buttonState) ? kRandomHit : kRest;
    for (int s = 1; s <= kStrokes; ++s) {
        g.pp[cellIndex(track, s)] = code;
    }
}

int toggledDrumCode(int code) {
    switch (code) {
    case kRest:
        return kHit;
    case kHit:
    case kRandomHit:
        return kRest;
    default:
        return code;
    }
}

} // namespace zumbal
