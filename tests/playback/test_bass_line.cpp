#include "playback/BassLine.h"

#include <gtest/gtest.h>

namespace zumbal {
namespace {

TEST(Keyboard, ClicksGiveTheNoteUnderThePointer) {
    const NoteArray notes = crea_notearray();
    struct Case {
        int x, y, note;
    };
    const std::vector<Case> cases{
        {0, 420, 24},
        {18, 420, 24},
        {19, 420, 26}, // white keys C1, D1
        {13, 380, 25},
        {13, 420, 24}, // C# above, C below
        {132, 420, 35},
        {133, 420, 36}, // B1 | C2 at the octave edge
        {797, 360, notes[20][1] + 84},
        {798, 360, 95},
        {798, 443, 95},
        {5000, 420, 95}, // the right edge stays B6
        {70, 402, 30},
        {70, 403, 29}, // F#1 above, F1 from y 403
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyboardNote(c.x, c.y, notes), c.note) << c.x << "," << c.y;
}

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
    g.pp[96] = 11;
    g.pp[97] = 60;
    g.pp[98] = kDisabled;
    g.pp[99] = 127;
    std::vector<int> relabelled;
    const auto record = [&](int c) { relabelled.push_back(c); };

    transpose(g, -1, record);
    EXPECT_EQ(g.pp[96], 10); // a note moved to 10 is a rest
    EXPECT_EQ(g.pp[97], 59);
    EXPECT_EQ(g.pp[98], kDisabled);
    EXPECT_EQ(g.pp[100], kBassRest);
    EXPECT_EQ(relabelled, (std::vector<int>{96, 97, 99}));

    transpose(g, 2, record);
    EXPECT_EQ(g.pp[96], 10);  // and stays one
    EXPECT_EQ(g.pp[99], 128); // no upper limit
    EXPECT_EQ(g.trans_start, 1);

    relabelled.clear();
    g.fastswitch = true;
    transpose(g, 1, record);
    EXPECT_TRUE(relabelled.empty());
    EXPECT_EQ(g.pp[97], 62);
}

TEST(FastSwitchKeys, LettersTransposeRelativeToTheLoadedLoop) {
    struct Case {
        char32_t key;
        int trans_start;
        int m;
    };
    const std::vector<Case> cases{
        {'q', 0, -1}, {'Q', 3, -1}, {'a', 0, 1},  {'A', -2, 1}, {'s', 0, 0},
        {'g', 0, 5},  {'G', 5, 0},  {'s', 5, -5}, {'k', 0, 11}, {'e', 0, 1},
        {'I', 4, 6},  {'x', 0, 0},  {' ', 0, 0},  {'1', 0, 0},  {U'é', 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fastSwitchTransposition(c.key, c.trans_start), c.m)
            << static_cast<uint32_t>(c.key) << " from " << c.trans_start;
}

} // namespace
} // namespace zumbal
