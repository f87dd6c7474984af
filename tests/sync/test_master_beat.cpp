#include "sync/JackTransport.h"
#include "sync/MasterBeat.h"

#include "model/globali.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

namespace zumbal::sync {
namespace {

TEST(MasterBeat, FromAndToBarBeatAndTick) {
    struct Case {
        Bbt bbt;
        std::optional<MasterBeat> expected;
    };
    const Case cases[] = {
        {{1, 1, 0, 1920, 4, 4, 120}, MasterBeat{0, 120}},
        {{9, 3, 960, 1920, 4, 4, 120}, MasterBeat{34.5, 120}},
        {{2, 1, 480, 960, 3, 4, 90}, MasterBeat{3.5, 90}},
        {{2, 2, 0, 1920, 7, 8, 200}, MasterBeat{4, 100}}, // eighths: half a quarter each
        {{3, 1, 0, 1920, 7, 4, 120}, MasterBeat{14, 120}},
        // Fields that make no position: the cycle keeps the last good one.
        {{1, 1, 1920, 1920, 4, 4, 120}, std::nullopt},
        {{1, 1, 0, 1920, 0, 4, 120}, std::nullopt},
        {{1, 1, 0, 0, 4, 4, 120}, std::nullopt},
        {{0, 1, 0, 1920, 4, 4, 120}, std::nullopt},
        {{1, 1, 0, 1920, 4, 4, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.bbt.bar << "|" << c.bbt.beat << "|" << c.bbt.tick << " of "
                     << c.bbt.ticksPerBeat << ", " << c.bbt.beatsPerBar << "/" << c.bbt.beatType);
        const std::optional<MasterBeat> got = beatFromBbt(c.bbt);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_DOUBLE_EQ(got->quarters, c.expected->quarters);
            EXPECT_DOUBLE_EQ(got->quartersPerMinute, c.expected->quartersPerMinute);
        }
    }
    const MasterBeat fromFrame = beatFromFrame(48000 * 3, 48000, 100);
    EXPECT_DOUBLE_EQ(fromFrame.quarters, 5.0);

    // What Zumbal publishes as the master reads back as the beat it was made from.
    for (const bool threeFour : {false, true}) {
        for (const double quarters : {0.0, 2.999, 3.0, 34.5, 1234.0625}) {
            const PublishedBbt published = bbtAt(quarters, 160, threeFour);
            Bbt bbt = published.bbt;
            const std::optional<MasterBeat> back = beatFromBbt(bbt);
            ASSERT_TRUE(back.has_value()) << quarters;
            EXPECT_NEAR(back->quarters + (published.fineTick - bbt.tick) / 1920, quarters, 1e-9);
            EXPECT_EQ(bbt.beatsPerBar, threeFour ? 3 : 4);
            EXPECT_DOUBLE_EQ(back->quartersPerMinute, 160);
        }
    }
    const Bbt at = bbtAt(34.5, 120, false).bbt;
    EXPECT_EQ(std::tuple(at.bar, at.beat, at.tick, at.ticksPerBeat), std::tuple(9, 3, 960, 1920.0));
}

// A JACK transport cycle by cycle: a timebase master's BBT, with its
// double-resolution tick and its frame offset, else the bare frame at
// Zumbal's own tempo; a cycle with a BBT that makes no position keeps the
// last good one, moved on to its frame.
TEST(TransportReader, TheBeatAtEachCyclesFirstFrame) {
    const auto position = [](jack_nframes_t frame, jack_position_bits_t valid, Bbt bbt = {}) {
        jack_position_t p{};
        p.frame = frame;
        p.frame_rate = 48000;
        p.valid = valid;
        p.bar = bbt.bar;
        p.beat = bbt.beat;
        p.tick = bbt.tick;
        p.ticks_per_beat = bbt.ticksPerBeat;
        p.beats_per_bar = bbt.beatsPerBar;
        p.beat_type = bbt.beatType;
        p.beats_per_minute = bbt.beatsPerMinute;
        return p;
    };
    struct Cycle {
        const char* what;
        jack_position_t position;
        bool fromMaster;
        double quarters, quartersPerMinute;
    };
    jack_position_t fine = position(0, jack_position_bits_t(JackPositionBBT | JackTickDouble),
                                    {2, 1, 960, 1920, 4, 4, 140});
    fine.tick_double = 960.48; // a quarter of a hundredth of a beat on
    jack_position_t offset =
        position(96000, jack_position_bits_t(JackPositionBBT | JackBBTFrameOffset),
                 {3, 1, 0, 1920, 4, 4, 120});
    offset.bbt_offset = 24000; // the BBT was half a second (a quarter) before the cycle
    const Cycle cycles[] = {
        {"no master", position(96000, jack_position_bits_t(0)), false, 3.0, 90},
        {"master", position(48000, JackPositionBBT, {2, 3, 480, 1920, 4, 4, 120}), true, 6.25, 120},
        {"the tick's fraction", fine, true, 4.50025, 140},
        {"the BBT's frame offset", offset, true, 9.0, 120},
        {"a bad tick keeps the last",
         position(120000, JackPositionBBT, {3, 1, 5000, 1920, 4, 4, 120}), true, 10.0, 120},
    };
    TransportReader reader;
    for (const Cycle& c : cycles) {
        SCOPED_TRACE(c.what);
        const TransportBeat got = reader.read(JackTransportRolling, c.position, 90);
        EXPECT_TRUE(got.rolling);
        EXPECT_EQ(got.fromMaster, c.fromMaster);
        EXPECT_NEAR(got.beat.quarters, c.quarters, 1e-9);
        EXPECT_DOUBLE_EQ(got.beat.quartersPerMinute, c.quartersPerMinute);
    }
    EXPECT_FALSE(
        reader.read(JackTransportStopped, position(0, jack_position_bits_t(0)), 90).rolling);
}

// A master on a virtual clock, its beat a function of the frame; Zumbal's
// grid fed buffer after buffer gives each stroke once, on the frame nearest
// its ideal one, and a locate lays the grid again from the next buffer.
TEST(BeatGrid, EveryStrokeOnceOnTheFrameNearestItsBeat) {
    constexpr int kRate = 48000;
    struct Case {
        const char* what;
        bool threeFour, ternary;
        int buffer;
        // The master's beat (quarters) and tempo at a frame.
        std::function<MasterBeat(int64_t)> master;
        // Its inverse: the frame at which the master reaches `quarters`.
        std::function<double(double)> frameAt;
        int64_t firstIndex; // the first stroke given
        double slack = 0;   // frames a master's rounding may move a stroke
    };
    const auto steady = [](double qpm, double from) {
        return std::function<MasterBeat(int64_t)>([=](int64_t f) {
            return MasterBeat{from + double(f) / kRate * qpm / 60, qpm};
        });
    };
    const auto steadyAt = [](double qpm, double from) {
        return std::function<double(double)>(
            [=](double q) { return (q - from) * 60 / qpm * kRate; });
    };
    // 120 until frame 100000 (quarter 4.1666..), then 140.
    const auto stepped = [](int64_t f) {
        return f < 100000
                   ? MasterBeat{double(f) / kRate * 2, 120}
                   : MasterBeat{100000.0 / kRate * 2 + double(f - 100000) / kRate * 140 / 60, 140};
    };
    const auto steppedAt = [](double q) {
        const double q0 = 100000.0 / kRate * 2;
        return q < q0 ? q / 2 * kRate : 100000 + (q - q0) * 60 / 140 * kRate;
    };
    const Case cases[] = {
        {"4/4 at 120", false, false, 256, steady(120, 0), steadyAt(120, 0), 0},
        {"3/4, odd buffers", true, false, 1000, steady(97.3, 0), steadyAt(97.3, 0), 0},
        {"ternary", false, true, 64, steady(133, 0), steadyAt(133, 0), 0},
        {"3/4 ternary", true, true, 512, steady(60, 0), steadyAt(60, 0), 0},
        {"from bar 9 beat 3", false, false, 256, steady(120, 34), steadyAt(120, 34), 136},
        {"a tempo step mid-bar", false, false, 256, stepped, steppedAt, 0},
        {"999 BPM", false, false, 128, steady(999, 0), steadyAt(999, 0), 0},
        // A JACK master's BBT holds whole ticks: the beat at a buffer's start
        // is up to a tick (12.5 frames here) early, buffer by buffer.
        {"whole ticks", false, false, 401,
         [](int64_t f) {
             return MasterBeat{std::floor(double(f) / kRate * 2 * 1920) / 1920, 120};
         },
         steadyAt(120, 0), 0, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BeatGrid grid;
        grid.setFeel(c.threeFour, c.ternary);
        std::vector<DueStroke> due, all;
        for (int64_t at = 0; at < 4 * kRate; at += c.buffer) {
            grid.due(c.master(at), c.buffer, kRate, due);
            for (DueStroke d : due) {
                d.frame += static_cast<int>(at);
                all.push_back(d);
            }
        }
        ASSERT_GT(all.size(), 8u);
        const int perQuarter = c.ternary ? 3 : 4;
        const int bar = strokesInBar(c.threeFour, c.ternary);
        for (size_t i = 0; i < all.size(); ++i) {
            const int64_t k = c.firstIndex + static_cast<int64_t>(i);
            ASSERT_EQ(all[i].index, k) << "each stroke once, in order";
            EXPECT_NEAR(all[i].frame, std::floor(c.frameAt(double(k) / perQuarter) + 0.5), c.slack)
                << "stroke " << k;
            EXPECT_TRUE(isPlayedStroke(all[i].stroke, c.threeFour, c.ternary));
            if (k % bar == 0) {
                EXPECT_EQ(all[i].stroke, 1);
            }
        }
    }

    // A locate back while rolling: the next buffer plays from where the master is.
    BeatGrid grid;
    std::vector<DueStroke> due;
    grid.due({8, 120}, 256, kRate, due); // bar 3, beat 1: stroke 1
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].stroke, 1);
    grid.due({1.25, 120}, 256, kRate, due); // bar 1, beat 2, a sixteenth on: stroke 6
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].index, 5);
    EXPECT_EQ(due[0].stroke, 6);
}

} // namespace
} // namespace zumbal::sync
