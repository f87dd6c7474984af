#include "model/globali.h"
#include "playback/BeatSettings.h"
#include "playback/StrokeStep.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <numeric>

namespace zumbal {
namespace {

using test::NoteCall;
using test::RecordingOutput;
using test::ScriptedRandom;

// A silent loop with every track switched on, playing from stroke 1.
struct StepFixture : ::testing::Test {
    StepFixture() {
        clearCells(g);
        resetTrackSounds(g);
        setDefaultButtonStates(g);
        g.battito = 1;
    }
    int step() { return playStroke(g, players, random); }
    std::vector<int> strokes(int count) {
        std::vector<int> played;
        for (int i = 0; i < count; ++i)
            played.push_back(step());
        return played;
    }

    globali g;
    RecordingOutput out;
    NotePlayers players = makeNotePlayers(out);
    ScriptedRandom random{{}};
};

struct FlagCase {
    bool ter_3_4;
    bool ter_ter;
    std::vector<int> bar;
};

class PlayedStrokes : public StepFixture, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(PlayedStrokes, TwoBarsFollowTheFlags) {
    const FlagCase& c = GetParam();
    g.ter_3_4 = c.ter_3_4;
    g.ter_ter = c.ter_ter;
    std::vector<int> expected = c.bar;
    expected.insert(expected.end(), c.bar.begin(), c.bar.end());
    EXPECT_EQ(strokes(static_cast<int>(expected.size())), expected);
}

std::vector<int> range(int from, int to) {
    std::vector<int> v(to - from + 1);
    std::iota(v.begin(), v.end(), from);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, PlayedStrokes,
    ::testing::Values(FlagCase{false, false, range(1, 16)}, FlagCase{true, false, range(1, 12)},
                      FlagCase{false, true, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}},
                      FlagCase{true, true, {1, 2, 3, 5, 6, 7, 9, 10, 11}}),
    [](const ::testing::TestParamInfo<FlagCase>& info) {
        return std::string(info.param.ter_3_4 ? "ThreeFour" : "FourFour") +
               (info.param.ter_ter ? "Ternary" : "Straight");
    });

TEST_F(StepFixture, ThreeFourSwitchedOnLateRunsOnToSixteen) {
    g.battito = 14;
    g.ter_3_4 = true;
    EXPECT_EQ(strokes(4), (std::vector<int>{14, 15, 16, 1}));
}

TEST_F(StepFixture, DrumHitsSendNoteOffThenNoteOnInTrackOrder) {
    g.pp[cellIndex(3, 1)] = kHit;
    g.pp[cellIndex(0, 1)] = kHit;
    g.volum[cellIndex(0, 1)] = 64;
    g.pp[cellIndex(1, 1)] = kDisabled; // any code but 0 and 2 is silent
    g.pp[cellIndex(2, 1)] = 7;
    g.pp[cellIndex(4, 1)] = kHit;
    g.pb[4] = kSwitchOff; // muted track keeps its cells but is silent
    step();
    EXPECT_EQ(out.calls, (std::vector<NoteCall>{
                             {0, 36, 0, 0}, {0, 36, 64, 0}, {3, 46, 0, 0}, {3, 46, 99, 0}}));
}

TEST_F(StepFixture, NotesAndVelocitiesAreClampedWhenSent) {
    g.pp[0] = kHit;
    g.edfiv[0][0] = 300;
    g.volum[0] = -5;
    g.pp[kFirstBassCell] = 140;
    g.volum[kFirstBassCell] = 200;
    step();
    EXPECT_EQ(out.calls.at(1), (NoteCall{0, 127, 0, 0}));
    EXPECT_EQ(out.calls.back(), (NoteCall{6, 127, 127, 0}));
}

struct RandomCase {
    double r;
    int velocity; // -1: silent
};

TEST_F(StepFixture, RandomHitPlaysAboveThreeQuartersAtTruncatedVelocity) {
    const std::vector<RandomCase> cases{
        {0.0, -1}, {0.75, -1}, {0.7501, 74}, {0.76, 75}, {0.999, 98}};
    for (const RandomCase& c : cases) {
        out.calls.clear();
        random = ScriptedRandom({c.r});
        g.pp[0] = kRandomHit;
        g.battito = 1;
        step();
        if (c.velocity < 0) {
            EXPECT_TRUE(out.calls.empty()) << c.r;
        } else {
            EXPECT_EQ(out.calls, (std::vector<NoteCall>{{0, 36, 0, 0}, {0, 36, c.velocity, 0}}))
                << c.r;
        }
    }
}

TEST(RandomHits, SoundAboutOnceInFourPassesNeverAboveTheirVelocity) {
    globali g;
    clearCells(g);
    resetTrackSounds(g);
    setDefaultButtonStates(g);
    g.pp[0] = kRandomHit;
    RecordingOutput out;
    NotePlayers players = makeNotePlayers(out);
    SeededRandom random(1234);
    const int passes = 20000;
    for (int i = 0; i < passes; ++i) {
        g.battito = 1;
        playStroke(g, players, random);
    }
    int hits = 0;
    for (const NoteCall& call : out.calls) {
        if (call.velocity == 0)
            continue;
        ++hits;
        EXPECT_GE(call.velocity, 74);
        EXPECT_LE(call.velocity, 99);
    }
    EXPECT_NEAR(hits / static_cast<double>(passes), 0.25, 0.015);
}

// The bass calls of a bar, as (stroke, note, velocity).
using BassEvent = std::tuple<int, int, int>;

std::vector<BassEvent> bassEvents(const RecordingOutput& out, const std::vector<size_t>& marks) {
    std::vector<BassEvent> events;
    for (size_t i = 0; i < out.calls.size(); ++i) {
        const int stroke =
            static_cast<int>(std::upper_bound(marks.begin(), marks.end(), i) - marks.begin()) + 1;
        if (out.calls[i].track == kBassTrack)
            events.emplace_back(stroke, out.calls[i].note, out.calls[i].velocity);
    }
    return events;
}

TEST_F(StepFixture, BassNoteEndsAtTheThirdStrokeOrWhenTheNextStarts) {
    g.pp[cellIndex(6, 1)] = 40;
    g.pp[cellIndex(6, 4)] = 43; // two rests between
    g.pp[cellIndex(6, 5)] = 45; // right after: cuts 43 after one stroke
    std::vector<size_t> marks;
    for (int i = 0; i < 9; ++i) {
        step();
        marks.push_back(out.calls.size());
    }
    EXPECT_EQ(bassEvents(out, marks), (std::vector<BassEvent>{{1, 0, 0},
                                                              {1, 40, 99},
                                                              {4, 40, 0},
                                                              {4, 40, 0},
                                                              {4, 43, 99},
                                                              {5, 43, 0},
                                                              {5, 45, 99},
                                                              {8, 45, 0},
                                                              {9, 45, 0}}));
}

TEST_F(StepFixture, BassSwitchedOffEndsTheNoteAtEveryStroke) {
    g.pp[cellIndex(6, 1)] = 40;
    g.pp[cellIndex(6, 2)] = 41;
    step();
    g.pb[kBassButton] = kSwitchOff;
    step();
    step();
    const std::vector<NoteCall> expected{
        {6, 0, 0, 0}, {6, 40, 99, 0}, {6, 40, 0, 0}, {6, 40, 0, 0}};
    EXPECT_EQ(out.calls, expected);
}

TEST(Indicator, OddStrokesYellowGreenEvenRed) {
    EXPECT_DOUBLE_EQ(indicatorHue(1), 0.25);
    EXPECT_DOUBLE_EQ(indicatorHue(2), 0.0);
    EXPECT_DOUBLE_EQ(indicatorHue(3), indicatorHue(5));
    EXPECT_DOUBLE_EQ(indicatorHue(16), 0.0);
}

// Codes of strokes 1..16 of one track.
std::vector<int> trackCodes(const globali& g, int t) {
    std::vector<int> codes;
    for (int s = 1; s <= kStrokes; ++s)
        codes.push_back(g.pp[cellIndex(t, s)]);
    return codes;
}

struct BeatStep {
    bool threeFour; // which flag is switched
    bool on;
};

void apply(globali& g, const BeatStep& s) {
    if (s.threeFour) {
        g.ter_3_4 = s.on;
        impostabeat_3_4(g, {});
    } else {
        g.ter_ter = s.on;
        impostabeat_ter(g, {});
    }
}

TEST(BeatSettings, DisablingIsDestructiveAndOrderDoesNotMatter) {
    const int D = kDisabled;
    struct Case {
        std::vector<BeatStep> steps;
        std::vector<int> drum; // every drum track ends like this
        int bassRestOr;        // bass rests are 10 where drums are 1
    };
    const std::vector<int> allHits(16, kHit);
    const std::vector<Case> cases{
        {{{true, true}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, D, D, D, D}, 0},
        {{{false, true}}, {0, 0, 0, D, 0, 0, 0, D, 0, 0, 0, D, 0, 0, 0, D}, 0},
        {{{true, true}, {false, true}}, {0, 0, 0, D, 0, 0, 0, D, 0, 0, 0, D, D, D, D, D}, 0},
        {{{false, true}, {true, true}}, {0, 0, 0, D, 0, 0, 0, D, 0, 0, 0, D, D, D, D, D}, 0},
        {{{true, true}, {true, false}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}, 0},
        {{{true, true}, {false, true}, {true, false}},
         {0, 0, 0, D, 0, 0, 0, D, 0, 0, 0, D, 1, 1, 1, D},
         0},
        {{{true, true}, {false, true}, {false, false}},
         {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, D, D, D, D},
         0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        globali g;
        clearCells(g);
        for (int c = 0; c < kCells; ++c)
            g.pp[c] = c < kFirstBassCell ? kHit : 40;
        for (const BeatStep& s : cases[i].steps)
            apply(g, s);
        for (int t = 0; t < kDrumTracks; ++t)
            EXPECT_EQ(trackCodes(g, t), cases[i].drum) << "case " << i << " track " << t;
        std::vector<int> bass = cases[i].drum;
        for (int& code : bass)
            code = code == kHit ? 40 : code == kRest ? kBassRest : code;
        EXPECT_EQ(trackCodes(g, kBassTrack), bass) << "case " << i;
    }
}

TEST(BeatSettings, FastSwitchLeavesCellsAloneAndRedrawsNothing) {
    globali g;
    clearCells(g);
    g.fastswitch = true;
    g.ter_3_4 = true;
    g.ter_ter = true;
    int redrawn = 0;
    impostabeat_3_4(g, [&](int) { ++redrawn; });
    impostabeat_ter(g, [&](int) { ++redrawn; });
    EXPECT_EQ(redrawn, 0);
    EXPECT_EQ(trackCodes(g, 0), std::vector<int>(16, kRest));
}

TEST(BeatSettings, RedrawsEachChangedCellOnce) {
    globali g;
    clearCells(g);
    g.ter_3_4 = true;
    std::vector<int> redrawn;
    impostabeat_3_4(g, [&](int c) { redrawn.push_back(c); });
    ASSERT_EQ(redrawn.size(), 28u);
    EXPECT_EQ(redrawn.front(), 12);
    EXPECT_EQ(redrawn.back(), 111);
}

} // namespace
} // namespace zumbal
