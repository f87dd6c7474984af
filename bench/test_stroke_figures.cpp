#include "StrokeFigures.h"
#include "support/TimebaseMaster.h"
#include "sync/JackTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

namespace zumbal::bench {
namespace {

// Strokes every 100 frames from 0.5 (the ideal between two frames), judged
// within a frame, from `from` on.
TEST(StrokeFigures, TheLockIsTheFirstStrokeFromWhichEveryOneIsOnTarget) {
    const std::vector<double> ideal{0.5, 100.5, 200.5, 300.5, 400.5};
    struct Case {
        const char* what;
        std::vector<int64_t> played;
        double from;
        double lockFrames;
        int missed;
        double worst; // from the lock on
        double every; // the worst of every stroke from `from`
        size_t extra;
    };
    const Case cases[] = {
        {"every stroke on a frame beside its ideal", {0, 101, 200, 301, 400}, 0, 0, 0, 0.5, 0.5, 0},
        {"the first two not played", {200, 300, 400}, 0, 200, 2, 0.5, kNever, 0},
        {"the first one 30 frames late", {31, 100, 200, 300, 400}, 0, 100, 1, 0.5, 30.5, 0},
        {"a stroke played twice", {0, 100, 101, 200, 300, 400}, 0, 200, 2, 0.5, kNever, 1},
        {"a lone stroke between two", {0, 100, 150, 200, 300, 400}, 0, 200, 2, 0.5, kNever, 1},
        {"one outside each end", {-60, 0, 100, 200, 300, 400, 460}, 0, 0, 0, 0.5, 0.5, 2},
        {"the last one not played", {0, 100, 200, 300}, 0, kNever, 5, 0, kNever, 0},
        {"an early one off, from after it", {40, 100, 200, 300, 400}, 150, 0, 0, 0.5, 0.5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Judged judged = judge(ideal, c.played);
        EXPECT_EQ(judged.extra, c.extra);
        const Stretch s = stretch(ideal, judged, c.from, kNever, 1.0);
        EXPECT_EQ(s.lockFrames, c.lockFrames);
        EXPECT_EQ(s.missed, c.missed);
        const auto worstOf = [](const std::vector<double>& errors) {
            return errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end());
        };
        EXPECT_EQ(worstOf(s.errors), c.worst);
        EXPECT_EQ(worstOf(errorsIn(ideal, judged, c.from, kNever)), c.every);
    }
}

// The bench's ideal strokes and the master's BBT are one beat: what the
// transport reader makes of the BBT at a frame is the beat there, and the
// frame of a beat is where that beat is, on both sides of the tempo change.
TEST(StrokeFigures, TheTempoChangesBbtReadsBackAsItsBeat) {
    const test::TempoChange tempo{120, 192000, 140, 4, 1920, 48000};
    sync::TransportReader reader;
    for (const double frame : {0.0, 6000.0, 191744.0, 192000.0, 400077.0, 28800000.0}) {
        SCOPED_TRACE(frame);
        jack_position_t position{};
        position.frame = static_cast<jack_nframes_t>(frame);
        position.frame_rate = 48000;
        tempo.writeBbt(position);
        const sync::TransportBeat read = reader.read(JackTransportRolling, position, 100);
        EXPECT_TRUE(read.fromMaster);
        EXPECT_NEAR(read.beat.quarters, tempo.quartersAt(frame), 1e-9);
        EXPECT_EQ(read.beat.quartersPerMinute, tempo.tempoAt(frame));
        EXPECT_NEAR(tempo.frameAt(tempo.quartersAt(frame)), frame, 1e-6);
    }
}

// Cycles of 256 frames from server frame 1000, the transport at 120 BPM (a
// stroke every 6000 frames): where the transport rolls on, jumps or waits,
// and which strokes the runs hold.
TEST(StrokeFigures, TheTransportsRunsAndTheStrokesInThem) {
    const test::TempoChange tempo{120, 0, 120, 4, 1920, 48000};
    struct Case {
        const char* what;
        // From each of these cycles on, its transport frame and whether it
        // rolls; the transport moves on with the cycles while it rolls.
        std::vector<std::pair<int, std::pair<int64_t, bool>>> changes;
        size_t runs;
        std::vector<double> ideal;
    };
    const Case cases[] = {
        {"rolling from 0", {{0, {0, true}}}, 1, {1000, 7000}},
        {"a locate to 11900 at cycle 30",
         {{0, {0, true}}, {30, {11900, true}}},
         2,
         {1000, 7000, 8780}},
        {"stopped for a cycle",
         {{0, {0, true}}, {10, {2560, false}}, {11, {2560, true}}},
         2,
         {1000, 7256}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<test::TimebaseMaster::Cycle> cycles;
        int64_t transport = 0;
        bool rolling = false;
        for (int i = 0; i < 40; ++i) {
            for (const auto& [at, change] : c.changes)
                if (at == i)
                    std::tie(transport, rolling) = change;
            cycles.push_back({1000 + 256 * i, transport, rolling});
            transport += rolling ? 256 : 0;
        }
        const std::vector<Rolled> runs = rolled(cycles, 256);
        EXPECT_EQ(runs.size(), c.runs);
        EXPECT_EQ(idealStrokes(tempo, runs), c.ideal);
    }
}

} // namespace
} // namespace zumbal::bench
