#include "playback/StrokeStep.h"
#include "support/BarRuleTable.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zumbal {
namespace {

using test::NoteCall;

// A silent loop with every track switched on, playing from stroke 1.
struct Step : ::testing::Test {
    Step() {
        clearCells(g);
        resetTrackSounds(g);
        setDefaultButtonStates(g);
        g.battito = 1;
    }
    // Plays `n` strokes, their notes stamped with the stroke's number.
    std::vector<int> play(size_t n, RandomSource* r = nullptr) {
        std::vector<int> played;
        for (; n > 0; --n) {
            out.stamp = g.battito;
            played.push_back(playStroke(g, players, r ? *r : random));
        }
        return played;
    }

    globali g;
    test::RecordingOutput out;
    NotePlayers players = makeNotePlayers(out);
    test::ScriptedRandom random;
};

TEST_F(Step, PlayedStrokesFollowTheFlagsAndWrapToOne) {
    struct Case {
        bool threeFour, ternary;
        std::vector<int> strokes;
    };
    std::vector<Case> cases{{true, false, {14, 15, 16, 1}}}; // 3/4 switched on late runs on
    for (const test::BarCase& bar : test::kBarCases) {
        cases.push_back({bar.threeFour, bar.ternary, bar.played});
        cases.back().strokes.push_back(1);
        EXPECT_EQ(strokesInBar(bar.threeFour, bar.ternary), int(bar.played.size()));
    }
    for (const Case& c : cases) {
        g.ter_3_4 = c.threeFour;
        g.ter_ter = c.ternary;
        g.battito = c.strokes[0];
        EXPECT_EQ(play(c.strokes.size()), c.strokes) << c.threeFour << c.ternary;
    }
}

TEST_F(Step, HitsOfSwitchedOnTracksSendNoteOffThenClampedNoteOn) {
    for (int t : {0, 3, 4, 5})
        g.pp[cellIndex(t, 1)] = kHit;
    g.volum[cellIndex(0, 1)] = 64;
    g.pp[cellIndex(1, 1)] = kDisabled; // any code but 0 and 2 is silent
    g.pp[cellIndex(2, 1)] = 7;
    g.pb[4] = kSwitchOff; // a muted track keeps its cells but is silent
    g.edfiv[5][0] = 300;
    g.volum[cellIndex(5, 1)] = -5;
    g.pp[kFirstBassCell] = 140;
    g.volum[kFirstBassCell] = 200;
    play(1);
    const std::vector<NoteCall> expected{{0, 36, 0, 1},  {0, 36, 64, 1},  {3, 46, 0, 1},
                                         {3, 46, 99, 1}, {5, 127, 0, 1},  {5, 127, 0, 1},
                                         {6, 0, 0, 1},   {6, 127, 127, 1}};
    EXPECT_EQ(out.calls, expected);
}

TEST_F(Step, RandomHitSoundsAboveThreeQuartersAtTruncatedVelocity) {
    for (int s = 0; s < kStrokes; ++s)
        g.pp[s] = kRandomHit;
    random.values = {0.0, 0.75, 0.7501, 0.76, 0.999};
    play(5);
    const std::vector<NoteCall> expected{{0, 36, 0, 3},  {0, 36, 74, 3}, {0, 36, 0, 4},
                                         {0, 36, 75, 4}, {0, 36, 0, 5},  {0, 36, 98, 5}};
    EXPECT_EQ(out.calls, expected);
    // The program's own source: about one hit in four, never louder than the cell.
    out.calls.clear();
    SeededRandom seeded(1234);
    play(20000, &seeded);
    const auto hits = static_cast<int>(out.calls.size() / 2);
    EXPECT_EQ(std::count_if(out.calls.begin(), out.calls.end(),
                            [](const NoteCall& c) { return c.velocity >= 74 && c.velocity < 99; }),
              hits);
    EXPECT_NEAR(hits / 20000.0, 0.25, 0.015);
}

TEST_F(Step, BassNoteLastsThreeStrokesUnlessTheNextOrTheSwitchEndsIt) {
    g.pp[cellIndex(6, 1)] = 40;
    g.pp[cellIndex(6, 4)] = 43; // after two rests
    g.pp[cellIndex(6, 5)] = 45; // cuts 43 after one stroke
    g.pp[cellIndex(6, 10)] = 41;
    play(9);
    g.pb[kBassButton] = kSwitchOff;
    play(2);
    const std::vector<NoteCall> expected{{6, 0, 0, 1},   {6, 40, 99, 1}, {6, 40, 0, 4},
                                         {6, 40, 0, 4},  {6, 43, 99, 4}, {6, 43, 0, 5},
                                         {6, 45, 99, 5}, {6, 45, 0, 8},  {6, 45, 0, 9},
                                         {6, 45, 0, 10}, {6, 45, 0, 11}};
    EXPECT_EQ(out.calls, expected);
}

} // namespace
} // namespace zumbal
