#include "sync/JackTransport.h"
#include "sync/JackTransportLeader.h"

#include <gtest/gtest.h>

namespace zumbal::sync {
namespace {

constexpr int kRate = 48000;

// What the leader publishes for the next cycle, read back as a follower
// reads it: from Zumbal's bar and the quarters into it while it plays,
// bar 1 beat 1 tick 0 in the count-in, and from the transport's frame at
// Zumbal's tempo while it is stopped.
TEST(JackTransportLeader, PublishesZumbalsOwnBarBeatAndTick) {
    struct Case {
        const char* what;
        OwnBeat beat;
        jack_nframes_t frame;
        Bbt expected;    // bar, beat, tick, beats a bar, tempo
        double quarters; // read back: since bar 1
    };
    const Case cases[] = {
        {"4/4", {true, 1, 3, 1.5, 120, false}, 0, {3, 2, 960, 1920, 4, 4, 120}, 9.5},
        {"3/4", {true, 1, 2, 2.25, 96, true}, 0, {2, 3, 480, 1920, 3, 4, 96}, 5.25},
        {"a fraction of a tick",
         {true, 1, 1, 0.1 / 1920, 120, false},
         0,
         {1, 1, 0, 1920, 4, 4, 120},
         0.1 / 1920},
        {"the count-in", {true, 1, 0, -0.25, 120, false}, 0, {1, 1, 0, 1920, 4, 4, 120}, 0},
        // Stroke 1 due on the next frame, not yet played: the next bar.
        {"the bar's end", {true, 1, 4, 4 + 1e-9, 120, false}, 0, {5, 1, 0, 1920, 4, 4, 120}, 16},
        {"stopped: the frame",
         {false, 1, 0, 0, 100, true},
         kRate * 3,
         {2, 3, 0, 1920, 3, 4, 100},
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JackTransportLeader leader;
        leader.publish(c.beat);
        jack_position_t position{};
        position.frame = c.frame;
        position.frame_rate = kRate;
        leader.fill(position);
        EXPECT_EQ(position.valid, JackPositionBBT | JackTickDouble);
        EXPECT_EQ(position.bar, c.expected.bar);
        EXPECT_EQ(position.beat, c.expected.beat);
        EXPECT_EQ(position.tick, c.expected.tick);
        EXPECT_EQ(position.beats_per_bar, c.expected.beatsPerBar);
        EXPECT_EQ(position.beat_type, 4);
        EXPECT_EQ(position.ticks_per_beat, 1920);
        EXPECT_DOUBLE_EQ(position.beats_per_minute, c.expected.beatsPerMinute);
        EXPECT_DOUBLE_EQ(position.bar_start_tick,
                         (c.expected.bar - 1) * c.expected.beatsPerBar * 1920.0);
        TransportReader reader;
        const TransportBeat back = reader.read(JackTransportRolling, position, 90);
        EXPECT_TRUE(back.fromMaster);
        EXPECT_NEAR(back.beat.quarters, c.quarters, 1e-8);
    }
}

// Cycle by cycle while leading: a Play locates the transport to frame 0
// and starts it, and holds it starting until the next cycle is within half
// a period (128 frames) of stroke 1; a Stop stops it. A run already
// playing when Zumbal takes the role, and anything while it does not lead,
// moves nothing.
TEST(JackTransportLeader, PlayAndStopMoveTheTransportHeldThroughTheCountIn) {
    using Move = JackTransportLeader::Move;
    constexpr int kPeriod = 256;
    constexpr double kFrame = 2.0 / kRate; // a frame in quarters at 120
    struct Cycle {
        const char* what;
        int leading; // -1 gives the role back, 1 takes it, 0 keeps it as it is
        OwnBeat beat;
        Move move;
        bool ready;
    };
    const Cycle cycles[] = {
        {"playing when the role is taken", 1, {true, 3, 5, 1, 120, false}, Move::None, true},
        {"stop", 0, {false, 3, 0, 0, 120, false}, Move::Stop, true},
        {"play", 0, {true, 4, 0, -0.25, 120, false}, Move::Start, false},
        {"the count-in", 0, {true, 4, 0, -385 * kFrame, 120, false}, Move::None, false},
        {"near stroke 1", 0, {true, 4, 0, -383 * kFrame, 120, false}, Move::None, true},
        {"play while playing", 0, {true, 5, 0, -0.25, 120, false}, Move::Start, false},
        {"given back", -1, {false, 5, 0, 0, 120, false}, Move::None, true},
        {"play, not leading", 0, {true, 6, 0, -0.25, 120, false}, Move::None, true},
    };
    JackTransportLeader leader;
    for (const Cycle& c : cycles) {
        SCOPED_TRACE(c.what);
        if (c.leading != 0)
            leader.setLeading(c.leading > 0);
        leader.publish(c.beat);
        EXPECT_EQ(leader.move(), c.move);
        EXPECT_EQ(leader.readyToRoll(kPeriod, kRate), c.ready);
    }
}

} // namespace
} // namespace zumbal::sync
