#include "editor/BeatSettings.h"
#include "editor/GridGeometry.h"
#include "editor/KeyboardGeometry.h"
#include "editor/SyncView.h"
#include "editor/TapTempo.h"
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

TEST(Keyboard, ClicksGiveTheNoteUnderThePointer) {
    const NoteArray notes = crea_notearray();
    struct Case {
        int x, y, note;
    };
    // White keys C1 | D1; C#1 above C1; B1 | C2 at the octave edge; the right
    // edge stays B6; F#1 above y 403, F1 from there.
    const std::vector<Case> cases{{0, 420, 24},    {18, 420, 24},  {19, 420, 26},  {13, 380, 25},
                                  {132, 420, 35},  {133, 420, 36}, {797, 360, 95}, {798, 443, 95},
                                  {5000, 420, 95}, {70, 402, 30},  {70, 403, 29}};
    for (const Case& c : cases)
        EXPECT_EQ(keyboardNote(c.x, c.y, notes), c.note) << c.x << "," << c.y;
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

// A track's strokes: '0' its hit (note 40 on the bass row), '1' its rest, 'D' disabled.
std::string row(const globali& g, int t) {
    const auto codes =
        t < kDrumTracks ? std::array{kHit, kRest, kDisabled} : std::array{40, kBassRest, kDisabled};
    std::string s;
    for (int k = 1; k <= kStrokes; ++k)
        s += "01D?"[std::find(codes.begin(), codes.end(), g.pp[cellIndex(t, k)]) - codes.begin()];
    return s;
}

TEST(BeatSettings, DisablingIsDestructiveAndOrderDoesNotMatter) {
    // Steps: '3' switches to 3/4, '4' back to 4/4, 'T' to ternary, 'S' back to straight.
    struct Case {
        bool fastSwitch;
        std::string steps, row;
    };
    const std::vector<Case> cases{
        {false, "3", "000000000000DDDD"},   {false, "T", "000D000D000D000D"},
        {false, "3T", "000D000D000DDDDD"},  {false, "T3", "000D000D000DDDDD"},
        {false, "34", "0000000000001111"},  {false, "3T4", "000D000D000D111D"},
        {false, "3TS", "000100010001DDDD"}, {true, "3T", "0000000000000000"},
    };
    for (const Case& c : cases) {
        globali g;
        for (int i = 0; i < kCells; ++i)
            g.pp[i] = i < kFirstBassCell ? kHit : 40;
        g.fastswitch = c.fastSwitch;
        for (char s : c.steps) {
            const bool meter = s == '3' || s == '4';
            (meter ? g.ter_3_4 : g.ter_ter) = s == '3' || s == 'T';
            (meter ? impostabeat_3_4 : impostabeat_ter)(g);
        }
        for (int t = 0; t < kTracks; ++t)
            EXPECT_EQ(row(g, t), c.row) << c.steps << ", track " << t;
    }
}

// Taps at the given seconds, and the tempo after each.
TEST(TapTempo, FollowsTheLastTapsAndStartsAgainAfterAPause) {
    struct Case {
        std::vector<double> taps;
        std::vector<std::optional<int>> tempos;
    };
    const std::vector<Case> cases{
        {{0.0, 0.5, 1.0}, {std::nullopt, 120, 120}},
        {{0.0, 0.5, 1.1}, {std::nullopt, 120, 109}}, // the average, not the last interval
        {{0.0, 0.5, 3.0, 3.4}, {std::nullopt, 120, std::nullopt, 150}}, // a pause starts again
        {{0.0, 0.01}, {std::nullopt, 240}},                             // clamped
        {{0.0, 1.99}, {std::nullopt, 30}},
        {{1.0, 0.5, 1.0}, {std::nullopt, std::nullopt, 120}}, // a clock going back starts again
        {{0, .5, 1, 1.5, 2, 2.5, 3, 3.5, 3.8, 4.1, 4.4, 4.7, 5.0, 5.3, 5.6, 5.9},
         {std::nullopt, 120, 120, 120, 120, 120, 120, 120, 127, 135, 145, 156, 168, 183, 200,
          200}}, // the last eight taps
    };
    for (const Case& c : cases) {
        TapTempo tapper;
        for (size_t i = 0; i < c.taps.size(); ++i)
            EXPECT_EQ(tapper.tap(c.taps[i]), c.tempos[i]) << c.taps[0] << ", tap " << i;
    }
}

// Who leads, as the window shows it beside the tempo: the master's tempo
// with its fraction while locked, and the slider held for the masters whose
// tempo Zumbal cannot change.
TEST(SyncView, WhoLeadsAndWhetherZumbalIsLocked) {
    using sync::Source;
    using sync::SyncState;
    struct Case {
        Source source;
        SyncState state;
        double tempo;
        int peers;
        SyncView view;
    };
    const Case cases[] = {
        {Source::Internal, SyncState::Locked, 121.4, 0, {}},
        {Source::JackTransport,
         SyncState::Locked,
         121.44,
         0,
         {"JACK transport", "121.4", true, true}},
        {Source::JackTransport, SyncState::Lost, 0, 0, {"JACK master lost", "", false, true}},
        {Source::MidiClock, SyncState::Waiting, 0, 0, {"waiting for clock", "", false, true}},
        {Source::MidiClock, SyncState::Locked, 89.96, 0, {"MIDI clock", "90.0", true, true}},
        {Source::MidiClock, SyncState::Lost, 120, 0, {"clock lost", "", false, true}},
        {Source::MidiClock,
         SyncState::OutOfRange,
         1200,
         0,
         {"clock out of range", "", false, true}},
        {Source::Link, SyncState::Locked, 999, 2, {"Link: 2 peers", "999.0", true, false}},
        {Source::Link, SyncState::Locked, 20, 1, {"Link: 1 peer", "20.0", true, false}},
    };
    for (const Case& c : cases) {
        sync::SyncStatus status;
        status.set(c.state, c.tempo, c.peers);
        const SyncView v = syncView(c.source, &status);
        EXPECT_EQ(v, c.view) << v.leader.toStdString() << " " << v.tempo.toStdString();
    }
    EXPECT_EQ(syncView(Source::MidiClock, nullptr), SyncView{});
    // On its own clock, asked to lead the JACK transport: whether it does.
    EXPECT_EQ(syncView(Source::Internal, nullptr, Lead::Leading),
              (SyncView{"leading JACK", "", true, false}));
    EXPECT_EQ(syncView(Source::Internal, nullptr, Lead::Refused),
              (SyncView{"not leading JACK", "", false, false}));
}

} // namespace
} // namespace zumbal
