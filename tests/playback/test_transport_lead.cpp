#include "support/JackMidiCapture.h"
#include "support/JackRig.h"
#include "support/RecordingOutput.h"
#include "support/TimebaseMaster.h"
#include "sync/JackTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 48000;

// Zumbal's own beat after every buffer, block by block: in the count-in the
// time still to stroke 1, then the bar in progress and the quarters into
// it, through a loop switched in at the bar line in 3/4, ternary and at 72
// (96 quarters a minute, 3 strokes a quarter), its bars counted on.
TEST(EngineOwnBeat, TheBarInProgressAndTheQuartersIntoIt) {
    struct Switch final : BarLineChange {
        void apply(globali& g, NotePlayer&) override {
            g.ter_3_4 = true;
            g.ter_ter = true;
            g.tempo = 72;
        }
    };
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    g.tempo = 120;
    test::RecordingOutput out;
    test::ScriptedRandom random;
    PlaybackEngine engine(g, out, random, kRate);
    constexpr int kBlock = PlaybackEngine::kBlock;
    const int64_t press = 100 * kBlock;
    engine.jump(press);
    engine.start();
    // Where each bar starts: two bars of 16 strokes at 120, then bars of 9.
    const double L = kRate * 15.0 / 120, switched = kRate * 15.0 / 72;
    std::vector<double> starts{press + L, press + 17 * L};
    for (int k = 0; k < 5; ++k)
        starts.push_back(press + 33 * L + k * 9 * switched);
    Switch change;
    bool queued = false;
    for (int64_t end = press + kBlock; end < starts.back(); end += kBlock) {
        if (!queued && end > press + 20 * L) { // in bar 2
            ASSERT_EQ(engine.queueAtBarLine(&change), nullptr);
            queued = true;
        }
        engine.process(kBlock, [](int, int) {});
        // A stroke is decided once its due position is before the buffer's last half frame.
        const int64_t bar = std::count_if(starts.begin(), starts.end(),
                                          [&](double s) { return s < double(end) - 0.5; });
        const bool newLoop = bar > 2;
        const double quarter = newLoop ? 3 * switched : 4 * L;
        const double quarters = (double(end) - starts[std::max<int64_t>(bar, 1) - 1]) / quarter;
        const sync::OwnBeat beat = engine.ownBeat();
        ASSERT_TRUE(beat.playing);
        ASSERT_EQ(beat.bar, bar) << end;
        ASSERT_NEAR(beat.quartersInBar, quarters, 1e-9) << end;
        ASSERT_DOUBLE_EQ(beat.quartersPerMinute, newLoop ? 96 : 120) << end;
        ASSERT_EQ(beat.threeFour, newLoop) << end;
    }
    EXPECT_EQ(engine.takeLanded(), &change);
}

// The strokes since stroke 1 at the server's `frame` by `cycle`'s BBT, moved
// on at its tempo.
double strokesAt(const test::CapturedCycle& cycle, int64_t frame, int perQuarter) {
    sync::TransportReader reader;
    const sync::TransportBeat read = reader.read(cycle.state, cycle.position, 0);
    EXPECT_TRUE(read.fromMaster) << cycle.serverFrame;
    const sync::MasterBeat& b = read.beat;
    return (b.quarters + double(frame - cycle.serverFrame) * b.quartersPerMinute / 60 / kRate) *
           perQuarter;
}

// Leading the transport, a second client reads it every cycle: Zumbal's
// Play rolls it from frame 0 on the cycle nearest stroke 1, bar 1 beat 1
// tick 0; from there every cycle's BBT is Zumbal's own beat at its first
// frame, in Zumbal's meter and at its tempo in quarters, going on from the
// last cycle's, and every stroke on midi_out falls where its cycle's BBT
// puts that stroke; Stop stops the transport. Given back, the BBT goes.
// Another timebase master that leads unconditionally keeps the role: its
// bars of 7 go on, Zumbal's Play leaves the transport alone, and once that
// master has gone Zumbal leads.
TEST(JackTransportLead, TheTransportRollsOnZumbalsOwnBeatUnlessAnotherMasterLeads) {
    if (test::noJackd())
        GTEST_SKIP() << "needs jackd";
    test::MidiRig rig(kRate);
    ASSERT_TRUE(rig.ready());
    SoundSystem& sound = *rig.s.sound;
    ASSERT_TRUE(sound.lead(true));
    struct Case {
        bool threeFour, ternary;
        int tempo;
    };
    std::unique_ptr<test::JackMidiCapture> capture;
    for (const Case c : {Case{false, false, 120}, {true, true, 100}}) {
        SCOPED_TRACE(testing::Message() << c.threeFour << c.ternary << " " << c.tempo);
        rig.s.g.ter_3_4 = c.threeFour;
        rig.s.g.ter_ter = c.ternary;
        rig.s.g.tempo = c.tempo;
        test::Takes takes(sound);
        while (takes.next()) {
            capture = std::make_unique<test::JackMidiCapture>(1, 20000);
            ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
            std::this_thread::sleep_for(100ms);
            sound.engine().start();
            std::this_thread::sleep_for(2000ms);
            sound.engine().stop();
            std::this_thread::sleep_for(200ms);
        }
        if (!takes.clean())
            GTEST_SKIP() << takes.why();
        const int perQuarter = c.ternary ? 3 : 4;
        const double framesPerStroke = kRate * 15.0 / c.tempo;
        const auto cycles = capture->cycles();
        const auto rolling = [](const auto& cycle) { return cycle.state == JackTransportRolling; };
        const auto first = std::find_if(cycles.begin(), cycles.end(), rolling);
        const auto end = std::find_if_not(first, cycles.end(), rolling);
        ASSERT_NE(first, cycles.end());
        ASSERT_EQ(cycles.back().state, JackTransportStopped);
        EXPECT_EQ(strokesAt(*first, first->serverFrame, perQuarter), 0); // the count-in's 1|1|0
        for (auto it = first; it != end; ++it) {
            EXPECT_EQ(it->position.beats_per_bar, c.threeFour ? 3 : 4);
            EXPECT_DOUBLE_EQ(it->position.beats_per_minute, c.tempo * 4.0 / perQuarter);
            EXPECT_EQ(int64_t(it->position.frame), it->serverFrame - first->serverFrame);
            if (it - first >= 2) {
                EXPECT_NEAR(strokesAt(*it, it->serverFrame, perQuarter),
                            strokesAt(*(it - 1), it->serverFrame, perQuarter), 1e-9);
            }
        }
        std::vector<int64_t> kicks;
        for (const test::CapturedMidi& e : capture->events())
            if (e.bytes[0] == 0x99 && e.bytes[1] == rig.s.g.edfiv[0][0] && e.bytes[2] > 0)
                kicks.push_back(e.frame);
        ASSERT_GE(kicks.size(), 12u);
        EXPECT_LE(std::abs(kicks[0] - first->serverFrame), 128) << "stroke 1, half a period";
        for (size_t j = 1; j < kicks.size(); ++j) {
            const auto cycle =
                std::find_if(first, end,
                             [&](const auto& cy) { return cy.serverFrame > kicks[j]; }) -
                1;
            ASSERT_TRUE(cycle > first && kicks[j] < end->serverFrame) << "stroke " << j;
            EXPECT_LE(std::abs(strokesAt(*cycle, kicks[j], perQuarter) - double(j)) *
                          framesPerStroke,
                      1.0)
                << "stroke " << j;
        }
    }
    EXPECT_TRUE(sound.lead(false));
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(capture->cycles().back().position.valid & JackPositionBBT);

    auto master = std::make_unique<test::TimebaseMaster>(121.4, 0, 121.4, 7, 960, kRate);
    ASSERT_TRUE(master->ready());
    EXPECT_FALSE(sound.lead(true));
    sound.engine().start();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(capture->cycles().back().state, JackTransportStopped);
    jack_transport_start(master->client());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(capture->cycles().back().state, JackTransportRolling);
    EXPECT_EQ(capture->cycles().back().position.beats_per_bar, 7);
    sound.engine().stop();
    master.reset();
    EXPECT_TRUE(sound.lead(true));

    // A master that takes the role unconditionally while Zumbal leads: the
    // window is told that Zumbal no longer does.
    sound.engine().start();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sound.leading());
    master = std::make_unique<test::TimebaseMaster>(121.4, 0, 121.4, 7, 960, kRate);
    ASSERT_TRUE(master->ready());
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(sound.leading());
    EXPECT_EQ(capture->cycles().back().position.beats_per_bar, 7);
    sound.engine().stop();
}

} // namespace
} // namespace zumbal
