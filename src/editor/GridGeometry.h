#pragma once

#include "model/globali.h"

#include <optional>

namespace zumbal {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

inline constexpr int kBassRowY = 249;

// Top-left corner of a cell on the grid canvas: columns in four groups of
// four, 34 px apart with 10 px between groups; drum rows 40 px apart and the
// bass row a little lower.
Point cellOrigin(int cell);

struct CellHit {
    int cell;
    Point origin;
    bool operator==(const CellHit&) const = default;
};

// The cell whose clickable square holds the canvas point, if any.
std::optional<CellHit> hitTest(int x, int y);

// Sets a drum track's 16 cells to random hits (switch on) or rests (switch
// off), disabled strokes included.
void fillDrumTrack(globali& g, int track, int buttonState);

// A plain click on a drum cell: rest to hit, hit or random hit to rest.
int toggledDrumCode(int code);

} // namespace zumbal
