#include "playback/BassLine.h"

#include <gtest/gtest.h>

#include <climits>

namespace zumbal {
namespace {

TEST(NoteNames, NameAndOctave) {
    const std::vector<std::pair<int, std::string>> cases{
        {60, "C4"}, {24, "C1"},  {35, "B1"},    {11, "B-1"}, {61, "C#4"},
        {95, "B6"}, {127, "G9"}, {140, "G#10"}, {12, "C0"},  {-1, "B-2"}};
    for (const auto& [note, name] : cases)
        EXPECT_EQ(crea_basso_testo(note), name) << note;
}

TEST(Transpose, MovesNotesOnlyAndNeverRestoresARest) {
    globali g;
    clearCells(g);
    for (int i : {0, 1, 2, 3})
        g.pp[96 + i] = std::array{11, 60, kDisabled, 127}[i];
    transpose(g, -1); // 11 becomes a rest
    transpose(g, 2);
    EXPECT_EQ(std::vector<int>(&g.pp[96], &g.pp[101]),
              (std::vector<int>{10, 61, kDisabled, 128, kBassRest})); // no upper limit
    EXPECT_EQ(g.trans_start, 1);
    // A note from a loop file at the end of the int range stays there.
    g.pp[97] = INT_MAX;
    g.trans_start = INT_MIN;
    transpose(g, 1);
    transpose(g, -12);
    EXPECT_EQ(g.pp[97], INT_MAX - 12);
    EXPECT_EQ(g.trans_start, INT_MIN);
}

TEST(FastSwitchKeys, LettersTransposeRelativeToTheLoadedLoop) {
    struct Case {
        char32_t key;
        int trans_start, semitones;
    };
    const std::vector<Case> cases{{'q', 0, -1}, {'Q', 3, -1}, {'a', 0, 1}, {'A', -2, 1},
                                  {'s', 0, 0},  {'g', 0, 5},  {'G', 5, 0}, {'s', 5, -5},
                                  {'k', 0, 11}, {'e', 0, 1},  {'I', 4, 6}, {'x', 0, 0},
                                  {' ', 0, 0},  {'1', 0, 0},  {U'é', 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(fastSwitchTransposition(c.key, c.trans_start), c.semitones)
            << static_cast<uint32_t>(c.key) << " from " << c.trans_start;
}

} // namespace
} // namespace zumbal
