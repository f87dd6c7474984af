#include "editor/GridGeometry.h"
#include "widgets/TextFilter.h"

#include <gtest/gtest.h>

namespace zumbal {
namespace {

TEST(HitTest, ClicksInsideTheClickableSquareOnly) {
    struct Case {
        int x, y;
        std::optional<CellHit> hit;
    };
    const std::vector<Case> cases{
        {6, 5, CellHit{0, {0, 0}}},
        {5, 5, std::nullopt},
        {29, 5, std::nullopt},
        {28, 27, CellHit{0, {0, 0}}},
        {6, 4, std::nullopt},
        {6, 28, std::nullopt},
        {40, 5, CellHit{1, {34, 0}}},
        {152, 85, CellHit{36, {146, 80}}}, // stroke 5 of row 2
        {140, 5, std::nullopt},            // the gap between groups
        {146, 5, std::nullopt},
        {151, 5, std::nullopt},
        {546, 254, CellHit{111, {540, 249}}}, // bass stroke 16
        {6, 254, CellHit{96, {0, 249}}},
        {6, 276, CellHit{96, {0, 249}}},
        {6, 277, std::nullopt},
        {6, 253, std::nullopt},
        {6, 245, std::nullopt}, // between the drum rows and the bass row
        {6, 227, CellHit{80, {0, 200}}},
        {6, 228, std::nullopt},
        {589, 5, std::nullopt},
        {0, 0, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
    // x 140..151 misses in every row.
    for (int x = 140; x <= 151; ++x)
        for (int y = 0; y < 285; ++y)
            ASSERT_FALSE(hitTest(x, y)) << x << "," << y;
}

TEST(HitTest, EveryCellIsHitAtItsOwnOriginAndGivesItBack) {
    for (int cell = 0; cell < kCells; ++cell) {
        const Point o = cellOrigin(cell);
        for (auto [dx, dy] : {std::pair{6, 5}, {28, 5}, {6, 27}, {28, 27}, {17, 16}})
            EXPECT_EQ(hitTest(o.x + dx, o.y + dy), (CellHit{cell, o})) << cell;
    }
    EXPECT_EQ(cellOrigin(36), (Point{146, 80}));
    EXPECT_EQ(cellOrigin(111), (Point{540, 249}));
}

TEST(DrumClicks, RestToHitAndBackRandomToRestOthersStay) {
    const std::vector<std::pair<int, int>> cases{{1, 0}, {0, 1}, {2, 1}, {3, 3}, {7, 7}, {-1, -1}};
    for (const auto& [from, to] : cases)
        EXPECT_EQ(toggledDrumCode(from), to) << from;
}

TEST(RandomClearFill, OverwritesDisabledStrokesAndRedrawsEachCell) {
    globali g;
    clearCells(g);
    for (int s = 13; s <= 16; ++s)
        g.pp[cellIndex(2, s)] = kDisabled;
    g.pp[cellIndex(2, 1)] = kHit;
    std::vector<int> redrawn;
    fillDrumTrack(g, 2, kSwitchOn, [&](int c) { redrawn.push_back(c); });
    for (int s = 1; s <= 16; ++s)
        EXPECT_EQ(g.pp[cellIndex(2, s)], kRandomHit) << s;
    EXPECT_EQ(redrawn.size(), 16u);
    EXPECT_EQ(redrawn.front(), 32);
    EXPECT_EQ(g.pp[cellIndex(1, 1)], kRest);
    fillDrumTrack(g, 2, kSwitchOff, {});
    for (int s = 1; s <= 16; ++s)
        EXPECT_EQ(g.pp[cellIndex(2, s)], kRest) << s;
}

TEST(DigitFilter, KeepsDigitsAndTheCaretAfterThem) {
    struct Case {
        std::string text;
        int cursor;
        FilteredText out;
    };
    const std::vector<Case> cases{
        {"12a", 3, {"12", 2}},     {"1a2", 2, {"12", 1}}, {"-5", 1, {"5", 0}},
        {"1,5", 2, {"15", 1}},     {"1.5", 2, {"15", 1}}, {"127", 3, {"127", 3}},
        {"a1b2c3", 6, {"123", 3}}, {"", 0, {"", 0}},      {"x", 1, {"", 0}},
        {"9 9", 2, {"99", 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keepDigits(c.text, c.cursor), c.out) << c.text;
}

} // namespace
} // namespace zumbal
