#include "sync/MidiClockFollower.h"
#include "sync/TimedMidiQueue.h"

#include "support/ClockSender.h"

#include <gtest/gtest.h>

#include <functional>

namespace zumbal::sync {
namespace {

using test::ClockSender;

// A master's clocks followed as the engine will, buffer after buffer, and
// every stroke laid on Zumbal's grid judged against its clock's ideal frame.
TEST(MidiClockFollower, TheStrokesGoOnTheMastersClocks) {
    using Send = void (*)(ClockSender&);
    const Send startAmid = [](ClockSender& s) { s.clocks(50).send({0xFA}, 10).clocks(800); };
    const Send startJustBefore = [](ClockSender& s) { s.clocks(50).send({0xFA}).clocks(800); };
    const Send tenMinutes = [](ClockSender& s) { s.send({0xFA}).clocks(27936); };
    const Send cold = [](ClockSender& s) { s.send({0xFA}).clocks(2000); };
    const Send step = [](ClockSender& s) {
        s.clocks(100).send({0xFA}, 10).clocks(400).tempo(140).clocks(800);
    };
    const Send halved = [](ClockSender& s) {
        s.clocks(100).send({0xFA}, 10).clocks(400).tempo(60).clocks(400);
    };
    const Send ramp = [](ClockSender& s) {
        s.send({0xFA}).clocks(400).clocks(768, 140).clocks(200);
    };
    const Send drops = [](ClockSender& s) {
        s.send({0xFA}).clocks(301).drop().clocks(100).drop().clocks(200);
    };
    const Send locate = [](ClockSender& s) {
        s.clocks(50).send({0xFA}, 10).clocks(200).send({0xFC}).clocks(77);
        s.send({0xF2, 64, 0}).clocks(30).send({0xFB}, 10).clocks(200).send({0xFC}).clocks(9);
    };
    const Send gap = [](ClockSender& s) { s.send({0xFA}).clocks(241).pause(0.8).clocks(300); };
    const Send startAfterGap = [](ClockSender& s) {
        s.clocks(50).pause(0.8).send({0xFA}).clocks(300);
    };
    struct Case {
        const char* what;
        double bpm, jitterMs;
        Send send;
        int rate, lookAhead;
        bool ternary;
        int64_t firstBy;  // the first stroke played is this one or earlier (-1: none, out of range)
        double firstLate; // frames it may be late
        double worst;     // frames any other may be off...
        int64_t settleFrom, settleTo; // ...but for these
        bool lost;                    // "clock lost" on the way
    };
    const Case cases[] = {
        {"Start amid the clocks", 120, 0, startAmid, 48000, 0, false, 0, 0, 0, 0, 0, false},
        {"Start just before a clock, heard 1024 frames later", 120, 0, startJustBefore, 48000, 1024,
         false, 0, 1024 + 256, 0, 0, 0, false},
        {"ternary", 120, 0, startAmid, 48000, 0, true, 0, 0, 0, 0, 0, false},
        // Clocks on whole frames are up to half a frame off their ideal ones.
        {"10 minutes at 97 on 44.1 kHz", 97, 0, tenMinutes, 44100, 512, false, 2, 1, 1, 0, 0,
         false},
        {"jitter 1 ms from Start", 120, 1, cold, 48000, 0, false, 16, 24, 24, 0, 0, false},
        {"a step to 140", 120, 1, step, 48000, 0, false, 0, 24, 24, 67, 67 + 32, false},
        {"a step to half the tempo", 120, 0, halved, 48000, 0, false, 0, 0, 0, 67, 67 + 16, false},
        {"a ramp to 140 over 8 bars", 120, 0, ramp, 48000, 0, false, 2, 0, 48, 0, 0, false},
        {"dropped clocks", 120, 0, drops, 48000, 0, false, 2, 0, 0, 0, 0, false},
        {"Stop, Song Position Pointer, Continue", 120, 0, locate, 48000, 0, false, 0, 0, 0, 0, 0,
         false},
        {"clocks that stop and come back", 120, 0, gap, 48000, 0, false, 2, 0, 0, 0, 0, true},
        {"Start after the clocks stopped", 120, 0, startAfterGap, 48000, 0, false, 2, 0, 0, 0, 0,
         false},
        {"10 BPM", 10, 0, cold, 48000, 0, false, -1, 0, 0, 0, 0, false},
        {"1200 BPM", 1200, 0, cold, 48000, 0, false, -1, 0, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClockSender sender(c.rate, c.bpm, c.jitterMs, 7);
        c.send(sender);
        test::FollowRun run(c.rate);
        run.play(sender, sender.messages.back().frame, 256, c.lookAhead, c.ternary);
        EXPECT_EQ(run.status.state(), c.firstBy < 0 ? SyncState::OutOfRange : SyncState::Locked);
        bool lost = false;
        for (const auto& [state, rolling] : run.states) {
            lost = lost || state == SyncState::Lost;
            if (state == SyncState::Lost || state == SyncState::OutOfRange) {
                ASSERT_FALSE(rolling);
            }
        }
        EXPECT_EQ(lost, c.lost);
        EXPECT_EQ(run.backwards, 0) << "the beat never runs back";
        if (c.firstBy < 0) {
            EXPECT_TRUE(run.strokes.empty());
            continue;
        }
        ASSERT_FALSE(run.strokes.empty());
        EXPECT_LE(run.strokes[0].index, c.firstBy);
        EXPECT_GE(run.strokes[0].error, -0.5);
        EXPECT_LE(run.strokes[0].error, c.firstLate);
        for (size_t i = 1; i < run.strokes.size(); ++i) {
            const test::FollowedStroke& s = run.strokes[i];
            ASSERT_GT(s.index, run.strokes[i - 1].index) << "each stroke once";
            ASSERT_GT(s.frame - run.strokes[i - 1].frame, 2000) << "no burst, stroke " << s.index;
            if (s.index < c.settleFrom || s.index >= c.settleTo) {
                ASSERT_LE(std::fabs(s.error), c.worst) << "stroke " << s.index;
            }
        }
    }
}

// What the follower takes from the MIDI input, real-time bytes wherever
// they stand; and what the window is told before and after the clocks.
TEST(MidiClockFollower, TheMessagesItTakes) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool rolling;
        int64_t nextClock;
    };
    const Case cases[] = {
        {{0xFA}, true, 0},
        {{0x90, 0xFA, 0x3C, 0x7F}, true, 0}, // Start amid a note
        {{0xF2, 16, 0}, false, 96},
        {{0xF2, 0x10, 0xF8, 0x01}, false, 6 * (16 + 128)}, // a clock amid the pointer
        {{0xF2, 16}, false, 1},                            // cut short
        {{0xF2, 16, 0x90, 0}, false, 1},
        {{0xF0, 0x7E, 0xFB, 0xF7}, true, 1}, // Continue amid SysEx
        {{0xF9, 0xFD, 0xFE, 0xFF, 0xF8}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        SyncStatus status;
        MidiClockFollower follower(48000, status);
        EXPECT_FALSE(follower.at(0).rolling);
        EXPECT_EQ(status.state(), SyncState::Waiting) << "waiting for clock";
        follower.received(c.bytes.data(), c.bytes.size(), 0);
        EXPECT_EQ(follower.filter().rolling(), c.rolling);
        EXPECT_EQ(follower.filter().nextPosition(), c.nextClock);
    }
}

// The ALSA thread's messages reach the audio thread with the frame heard
// when they came, which is before the buffer they bear on.
TEST(TimedMidiQueue, MessagesStampedWithTheFrameHeardWhenTheyCame) {
    TimedMidiQueue queue;
    const uint8_t clock = 0xF8, sysEx[] = {0xF0, 0x7E, 0xF7}, position[] = {0xF2, 1, 2};
    queue.push(&clock, 1, 1'000'000'000);
    queue.push(sysEx, 3, 1'010'000'000);
    queue.push(position, 3, 1'020'000'000);
    const HeardFrames heard{96000, 1'040'000'000, 48000};
    std::vector<int64_t> frames;
    queue.drain([&](const TimedMidiQueue::Event& e) { frames.push_back(heard.frameAt(e.ns)); });
    EXPECT_EQ(frames, (std::vector<int64_t>{96000 - 1920, 96000 - 960}));
    EXPECT_EQ(HeardFrames({0, 0, 96000}).frameAt(int64_t{86400} * 1'000'000'000),
              int64_t{86400} * 96000)
        << "a day on";
    for (size_t i = 0; i < TimedMidiQueue::kCapacity + 5; ++i)
        queue.push(&clock, 1, 0);
    EXPECT_EQ(queue.dropped(), 5u) << "a full queue drops, never waits";
}

} // namespace
} // namespace zumbal::sync
