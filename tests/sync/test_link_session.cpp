#include "sync/BasicLinkSession.h"

#include "support/FakeClocks.h"
#include "support/PrivateNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

namespace zumbal::sync {
namespace {

using test::FakeClocks;

constexpr int64_t kBufferNs = 10'666'667; // 512 frames at 48 kHz
constexpr int64_t kLatencyNs = 20'000'000;

// Waits for Link's threads (discovery, the peer's clock measured, a state
// handed on), at most 10 s.
template <class Done> bool eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Zumbal's beat carried into a session of its own (no interface is up),
// then the session's beat buffer by buffer at the heard time, moved from
// CLOCK_MONOTONIC onto Link's clock, against what Link's clock says it is:
// with the clocks apart and drifting, through a tempo request. Under a
// second of fake time: past Link's second of preferring the audio thread's
// own commit it reads back what Link's threads made of it, which the fake
// clock would outrun.
TEST(LinkSession, TheBeatAtEachBuffersHeardTime) {
    struct Case {
        const char* what;
        int quantum;
        double bpm, ownQuarters;
        double apartSeconds, driftPpm; // CLOCK_MONOTONIC ahead of Link's, and running faster
        double requested;              // at buffer 45, 0: none
        double heardBpm;               // the session's tempo from buffer 45 on
    };
    const Case cases[] = {
        {"4/4 at 120", 4, 120, 0, 12.5, 0, 0, 120},
        {"3/4 from quarter 7.25", 3, 97, 7.25, -3.7, 0, 0, 97},
        {"CLOCK_MONOTONIC slewed fast", 4, 120, 2, 1, 400, 0, 120},
        {"a tempo step", 4, 120, 0, 0, -300, 140, 140},
        {"10 BPM: Link's 20", 4, 120, 0, 0, 0, 10, 20},
        {"300 BPM, past the slider", 3, 120, 1.5, 0, 0, 300, 300},
        {"past Link's 999", 4, 120, 0, 0, 0, 5000, 999},
        {"not a tempo", 4, 120, 0, 0, 0, std::nan(""), 120},
        {"enabled at 10 BPM", 4, 10, 0, 0, 0, 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClocks::link = 1'000'000'000'000;
        FakeClocks::monotonic = FakeClocks::link + std::llround(c.apartSeconds * 1e9);
        const double rate = 1 + c.driftPpm * 1e-6;
        BasicLinkSession<FakeClocks> session(c.bpm);
        session.setQuantum(c.quantum);
        session.enable(true);
        double bpm = std::clamp(c.bpm, 20.0, 999.0), expected = c.ownQuarters, last = -1e9;
        for (int i = 0; i < 90; ++i) {
            FakeClocks::link += kBufferNs;
            FakeClocks::monotonic += std::llround(kBufferNs * rate);
            if (i % 5 == 0)
                session.poll();
            if (i == 45 && c.requested != 0)
                session.requestTempo(c.requested);
            const SourceBeat got =
                session.at(FakeClocks::monotonic + std::llround(kLatencyNs * rate), c.ownQuarters);
            if (i > 0)
                expected += kBufferNs * 1e-9 * bpm / 60;
            if (i == 45)
                bpm = c.heardBpm;
            ASSERT_TRUE(got.locked);
            EXPECT_TRUE(got.rolling);
            EXPECT_GT(got.beat.quarters, last) << "buffer " << i;
            EXPECT_NEAR((got.beat.quarters - expected) * 60 / bpm, 0, 1e-4) << "buffer " << i;
            EXPECT_DOUBLE_EQ(got.beat.quartersPerMinute, bpm) << "buffer " << i;
            last = got.beat.quarters;
        }
        EXPECT_TRUE(eventually([&] {
            session.poll();
            return session.status().quartersPerMinute() == c.heardBpm;
        }));
        EXPECT_EQ(session.status().state(), SyncState::Locked);
        EXPECT_EQ(session.status().peers(), 0);
        session.enable(false);
        EXPECT_FALSE(session.at(FakeClocks::monotonic, 0).locked);
        EXPECT_EQ(session.status().state(), SyncState::Alone);
    }
}

// Alone: with start/stop sync, Play starts the session at once on stroke 1
// and Stop stops it; without, the session always rolls and Play only puts
// stroke 1 on its buffer. Playing when Link is turned on goes on.
TEST(LinkSession, StartAndStopAlone) {
    struct Case {
        const char* what;
        bool sync, playingAtEnable;
        // Buffer by buffer: what is pressed before it (P Play, S Stop, -
        // nothing), and whether it rolls (1) or not (0).
        std::string pressed, rolling;
    };
    const Case cases[] = {
        {"sync", true, false, "-P-S-P", "011001"},
        {"sync, playing already", true, true, "-S", "10"},
        {"no sync", false, false, "-PS-", "1111"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClocks::link = 1'000'000'000'000;
        FakeClocks::monotonic = 500'000'000'000;
        BasicLinkSession<FakeClocks> session(120);
        session.setStartStopSync(c.sync);
        session.requestPlaying(c.playingAtEnable);
        // Link takes a play state newer than the one it has: time goes on.
        FakeClocks::link += kBufferNs;
        session.enable(true);
        double expected = 5.5;
        for (size_t i = 0; i < c.pressed.size(); ++i) {
            if (c.pressed[i] != '-')
                session.requestPlaying(c.pressed[i] == 'P');
            FakeClocks::link += kBufferNs;
            FakeClocks::monotonic += kBufferNs;
            const SourceBeat got = session.at(FakeClocks::monotonic + kLatencyNs, 5.5);
            // A start puts stroke 1 on its buffer; otherwise the beat goes on.
            expected = c.pressed[i] == 'P' ? 0 : i > 0 ? expected + kBufferNs * 1e-9 * 2 : expected;
            EXPECT_EQ(got.rolling, c.rolling[i] == '1') << "buffer " << i;
            EXPECT_NEAR(got.beat.quarters, expected, 1e-5) << "buffer " << i;
        }
    }
}

// Zumbal and another program on the loopback: the other joins Zumbal's
// session without moving Zumbal's beat; the tempo goes both ways; the
// beats agree on the host clock; Zumbal's Play starts on the session's next
// bar; and Zumbal joining a session already going leaves its tempo alone.
TEST(LinkSession, WithAPeerOnTheLoopback) {
    test::LoopbackUp loopback;
    ASSERT_TRUE(loopback.up());
    const SystemClocks clocks;
    const std::unique_ptr<LinkSession> zumbal = makeLinkSession(120);
    ableton::Link other(90);
    // A buffer of Zumbal's heard now, and the other's beat at that moment.
    struct Reading {
        SourceBeat zumbal;
        double other;
        int64_t linkNs;
    };
    const auto read = [&] {
        zumbal->poll();
        const int64_t monotonic = clocks.monotonicNs(), link = clocks.linkNs();
        const auto state = other.captureAppSessionState();
        return Reading{zumbal->at(monotonic, 5.5),
                       state.beatAtTime(std::chrono::microseconds(link / 1000), 4), link};
    };
    // Milliseconds between two beats, to the nearest bar of 4.
    const auto apartMs = [](double a, double b, double bpm) {
        return std::fabs(std::remainder(a - b, 4.0)) * 60000 / bpm;
    };
    const auto setOthersTempo = [&](double bpm) {
        auto state = other.captureAppSessionState();
        state.setTempo(bpm, other.clock().micros());
        other.commitAppSessionState(state);
    };
    const auto near = [](double a, double b) { return std::fabs(a - b) < 0.01; };

    zumbal->enable(true);
    Reading last = read();
    // Link joins the older session when they were founded more than half a
    // second apart.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    other.enable(true);
    double worstJump = 0;
    EXPECT_TRUE(eventually([&] {
        const Reading r = read();
        const double expected = last.zumbal.beat.quarters + (r.linkNs - last.linkNs) * 1e-9 * 2;
        worstJump = std::max(worstJump, std::fabs(r.zumbal.beat.quarters - expected));
        last = r;
        return zumbal->peers() == 1 && near(other.captureAppSessionState().tempo(), 120) &&
               apartMs(r.zumbal.beat.quarters, r.other, 120) < 1;
    }));
    EXPECT_LT(worstJump, 1e-3) << "Zumbal's beat moved when the other joined";

    setOthersTempo(133);
    EXPECT_TRUE(eventually([&] { return near(read().zumbal.beat.quartersPerMinute, 133); }));
    zumbal->requestTempo(100);
    EXPECT_TRUE(eventually([&] {
        read();
        return near(other.captureAppSessionState().tempo(), 100);
    }));
    double worst = 0;
    for (int i = 0; i < 50; ++i) {
        const Reading r = read();
        worst = std::max(worst, apartMs(r.zumbal.beat.quarters, r.other, 100));
    }
    EXPECT_LT(worst, 1.0);

    zumbal->setStartStopSync(true);
    other.enableStartStopSync(true);
    zumbal->requestPlaying(true);
    const Reading start = read();
    EXPECT_TRUE(start.zumbal.rolling);
    EXPECT_LE(start.zumbal.beat.quarters, 0) << "a count-in to the next bar";
    EXPECT_GT(start.zumbal.beat.quarters, -4);
    EXPECT_LT(apartMs(start.other - start.zumbal.beat.quarters, 0, 100), 1.0)
        << "beat 0 on the other's bar";
    EXPECT_TRUE(eventually([&] { return other.captureAppSessionState().isPlaying(); }));

    zumbal->enable(false);
    ASSERT_TRUE(eventually([&] { return other.numPeers() == 0; }));
    setOthersTempo(130);
    zumbal->requestTempo(111);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    zumbal->enable(true);
    bool othersKept = true;
    EXPECT_TRUE(eventually([&] {
        const Reading r = read();
        othersKept = othersKept && near(other.captureAppSessionState().tempo(), 130);
        return zumbal->status().peers() == 1 && near(zumbal->status().quartersPerMinute(), 130) &&
               near(r.zumbal.beat.quartersPerMinute, 130);
    }));
    EXPECT_TRUE(othersKept) << "Zumbal's tempo went into the session it joined";
    zumbal->enable(false);
    EXPECT_TRUE(near(zumbal->status().quartersPerMinute(), 130)) << "leaving kept the tempo";
}

} // namespace
} // namespace zumbal::sync

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Link finds peers on every interface that is up; these sessions meet
    // only each other, in a network namespace of the test's own.
    if (!zumbal::test::enterPrivateNetwork()) {
        std::printf("SKIP: no network namespace of our own (needs root or user namespaces)\n");
        return 77;
    }
    return RUN_ALL_TESTS();
}
