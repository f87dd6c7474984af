#include "sync/ClockFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zumbal::sync {
namespace {

constexpr int kRate = 48000;

// A clock sender on a virtual clock: clock n of a stream whose tempo may
// step, each sent with uniform jitter; the follower's beat is read halfway
// between clocks and compared with the sender's ideal one once locked.
TEST(ClockFilter, FollowsTheClocksThroughJitterAndATempoStep) {
    struct Case {
        const char* what;
        double bpm, stepTo; // the tempo from clock 480 on
        double jitterMs;
        int drop;       // a clock that never comes (0: none)
        double worstMs; // off the ideal beat, 1 bar after Start and 2 bars after a step
    };
    const Case cases[] = {
        {"steady", 120, 120, 0, 0, 0.03},
        {"jitter 1 ms", 120, 120, 1, 0, 0.5},
        {"a step to 140", 120, 140, 1, 0, 0.5},
        {"a step to 140 without jitter", 120, 140, 0, 0, 0.011}, // on the frame
        {"a dropped clock", 120, 120, 0, 300, 0.03},
        {"slow", 21, 21, 1, 0, 0.5},
        {"fast", 300, 300, 1, 0, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> jitter(-c.jitterMs, c.jitterMs);
        ClockFilter filter(kRate);
        filter.start();
        const auto periodAt = [&](int n) {
            return 60.0 * kRate / ((n < 480 ? c.bpm : c.stepTo) * 24);
        };
        std::vector<double> ideal{0};
        for (int n = 1; n < 1200; ++n)
            ideal.push_back(ideal.back() + periodAt(n - 1));
        double worst = 0;
        for (int n = 0; n + 1 < int(ideal.size()); ++n) {
            if (n != c.drop || n == 0)
                filter.clock(std::llround(ideal[n] + jitter(random) * kRate / 1000));
            const bool settled = n >= 96 && (n < 480 || n >= 480 + 192);
            const double half = (ideal[n] + ideal[n + 1]) / 2;
            if (!settled || n == c.drop)
                continue;
            ASSERT_TRUE(filter.locked());
            const double clocks = filter.beatAt(std::llround(half)).quarters * 24;
            worst = std::max(worst, std::fabs(clocks - (n + 0.5)) * periodAt(n) * 1000 / kRate);
        }
        EXPECT_LE(worst, c.worstMs);
        EXPECT_NEAR(filter.quartersPerMinute(), c.stepTo, 0.1);
    }
}

// Start, Stop, Continue and Song Position Pointer place the next clock;
// clocks that stop lose the lock, and a tempo out of range is told.
TEST(ClockFilter, TheTransportMessagesPlaceTheBeat) {
    ClockFilter filter(kRate);
    const int period = 1000; // 120 BPM
    int64_t at = 0;
    const auto clocks = [&](int n) {
        for (int i = 0; i < n; ++i, at += period)
            filter.clock(at);
    };
    clocks(30); // clocks while stopped: the loop locks, the beat does not move
    EXPECT_TRUE(filter.locked());
    EXPECT_FALSE(filter.rolling());
    filter.start();
    clocks(1);
    EXPECT_DOUBLE_EQ(filter.beatAt(at - period).quarters, 0.0)
        << "Start: stroke 1 on the next clock";
    clocks(47);
    EXPECT_NEAR(filter.beatAt(at - period).quarters, 47.0 / 24, 1e-9);
    filter.stop();
    clocks(10);
    filter.resume();
    clocks(1);
    EXPECT_NEAR(filter.beatAt(at - period).quarters, 48.0 / 24, 1e-9) << "Continue goes on";
    filter.stop();
    filter.songPosition(16); // bar 2
    filter.resume();
    clocks(1);
    EXPECT_NEAR(filter.beatAt(at - period).quarters, 4.0, 1e-9);
    EXPECT_FALSE(filter.lost(at));
    EXPECT_TRUE(filter.lost(at + kRate));

    ClockFilter fast(kRate);
    for (int i = 0; i < 30; ++i)
        fast.clock(i * 100); // 1200 BPM
    EXPECT_TRUE(fast.outOfRange());
    EXPECT_FALSE(fast.locked());
}

} // namespace
} // namespace zumbal::sync
