#include "editor/GridGeometry.h"
#include "widgets/TextFilter.h"

#include <gtest/gtest.h>

namespace zumbal {
namespace {

// Each cell's clickable square runs from 6, 5 to 28, 27 off its origin; the
// rows are 40 px apart but the bass row is at 249; columns 34 px apart in
// groups of four, 10 px apart. Each cell is hit inside its square only.
TEST(HitTest, ClicksInsideTheClickableSquareOnly) {
    EXPECT_EQ(cellOrigin(36), (Point{146, 80}));
    EXPECT_EQ(cellOrigin(111), (Point{540, 249}));
    for (int cell = 0; cell < kCells; ++cell) {
        const Point o = cellOrigin(cell);
        for (auto [dx, dy] : {std::pair{6, 5}, {28, 5}, {6, 27}, {28, 27}, {17, 16}})
            EXPECT_EQ(hitTest(o.x + dx, o.y + dy), (CellHit{cell, o})) << cell;
        for (auto [dx, dy] : {std::pair{5, 16}, {29, 16}, {17, 4}, {17, 28}})
            EXPECT_EQ(hitTest(o.x + dx, o.y + dy), std::nullopt) << cell << " " << dx << "," << dy;
    }
    for (int x = 140; x <= 151; ++x) // between the first two groups
        for (int y = 0; y < 285; ++y)
            ASSERT_FALSE(hitTest(x, y)) << x << "," << y;
    for (auto [x, y] : {std::pair{0, 0}, {589, 5}, {6, 245}, {-30, 5}})
        EXPECT_FALSE(hitTest(x, y)) << x << "," << y;
}

// A click: rest to hit, hit or random hit to rest, others stay. The random
// fill and the clear overwrite disabled strokes too, redrawing each cell.
TEST(DrumCells, ClickToggleAndRandomFillOrClear) {
    for (auto [from, to] : {std::pair{1, 0}, {0, 1}, {2, 1}, {3, 3}, {7, 7}, {-1, -1}})
        EXPECT_EQ(toggledDrumCode(from), to) << from;
    globali g;
    clearCells(g);
    for (int s = 13; s <= 16; ++s)
        g.pp[cellIndex(2, s)] = kDisabled;
    g.pp[cellIndex(2, 1)] = kHit;
    fillDrumTrack(g, 2, kSwitchOn);
    const auto codes = [&] { return std::vector<int>(g.pp.begin() + 31, g.pp.begin() + 49); };
    std::vector<int> expected(18, kRandomHit);
    expected.front() = expected.back() = kRest;
    EXPECT_EQ(codes(), expected);
    fillDrumTrack(g, 2, kSwitchOff);
    EXPECT_EQ(codes(), std::vector<int>(18, kRest));
}

TEST(DigitFilter, KeepsDigitsAndTheCaretAfterThem) {
    const std::vector<std::tuple<std::string, int, FilteredText>> cases{
        {"12a", 3, {"12", 2}},     {"1a2", 2, {"12", 1}}, {"-5", 1, {"5", 0}},
        {"1,5", 2, {"15", 1}},     {"1.5", 2, {"15", 1}}, {"127", 3, {"127", 3}},
        {"a1b2c3", 6, {"123", 3}}, {"", 0, {"", 0}},      {"x", 1, {"", 0}},
        {"9 9", 2, {"99", 1}},
    };
    for (const auto& [text, cursor, out] : cases)
        EXPECT_EQ(keepDigits(text, cursor), out) << text;
}

} // namespace
} // namespace zumbal
