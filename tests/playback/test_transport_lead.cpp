#include "playback/SoundSystem.h"
#include "support/DummyJack.h"
#include "support/JackMidiCapture.h"
#include "support/RecordingOutput.h"
#include "support/TimebaseMaster.h"
#include "support/TransportWatch.h"
#include "sync/JackTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 48000;
// Takes of a recording: one that an xrun cut into is recorded again.
constexpr int kTakes = 8;

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
    engine.stop();
    engine.process(kBlock, [](int, int) {});
    EXPECT_FALSE(engine.ownBeat().playing);
    EXPECT_DOUBLE_EQ(engine.ownBeat().quartersPerMinute, 96);
}

bool noJackd() {
    jack_set_error_function([](const char*) {});
    return std::system("command -v jackd >/dev/null 2>&1") != 0;
}

// Zumbal's client on a private dummy server, silent, a bass drum on every
// stroke on midi_out.
struct LeadRig {
    LeadRig() : server(kRate) {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        for (int stroke = 1; stroke <= kStrokes; ++stroke)
            g.pp[cellIndex(0, stroke)] = kHit;
        SoundOptions options;
        options.drivers = {"jack"};
        options.connectPorts = false;
        options.seed = 1;
        sound = std::make_unique<SoundSystem>(g, options);
        ::testing::internal::CaptureStderr();
        if (server.ready())
            sound->startAudio();
        ::testing::internal::GetCapturedStderr();
    }
    bool ready() const { return server.ready() && sound->outputName() == "jack"; }
    test::DummyJack server;
    globali g;
    std::unique_ptr<SoundSystem> sound;
};

// The quarters since bar 1 that a cycle's BBT gives.
double quartersOf(const test::TransportWatch::Cycle& cycle) {
    sync::TransportReader reader;
    const sync::TransportBeat beat = reader.read(cycle.state, cycle.position, 0);
    EXPECT_TRUE(beat.fromMaster) << cycle.serverFrame;
    return beat.beat.quarters;
}

// Leading the transport, a second client reads it every cycle: Zumbal's
// Play rolls it from frame 0 on the cycle nearest stroke 1, bar 1 beat 1
// tick 0; from there every cycle's BBT is Zumbal's own beat at the cycle's
// first frame, in its meter and at its tempo in quarters, so that every
// stroke on midi_out falls where its cycle's BBT puts that stroke; Stop
// stops the transport. Giving the lead back takes the BBT away.
TEST(JackTransportLead, TheTransportRollsOnZumbalsOwnBeat) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    LeadRig rig;
    ASSERT_TRUE(rig.ready());
    SoundSystem& sound = *rig.sound;
    ASSERT_TRUE(sound.lead(true));
    const int kick = rig.g.edfiv[0][0];
    struct Case {
        bool threeFour, ternary;
        int tempo;
    };
    std::unique_ptr<test::TransportWatch> watch;
    for (const Case c : {Case{false, false, 120}, {true, true, 100}}) {
        SCOPED_TRACE(testing::Message() << c.threeFour << c.ternary << " " << c.tempo);
        rig.g.ter_3_4 = c.threeFour;
        rig.g.ter_ter = c.ternary;
        rig.g.tempo = c.tempo;
        std::unique_ptr<test::JackMidiCapture> capture;
        for (int take = 0; take < kTakes; ++take) {
            const uint64_t xruns = sound.audioStats().serverXruns;
            watch = std::make_unique<test::TransportWatch>(20000);
            capture = std::make_unique<test::JackMidiCapture>(1, 20000);
            ASSERT_TRUE(watch->ready());
            ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
            std::this_thread::sleep_for(100ms);
            sound.engine().start();
            std::this_thread::sleep_for(2000ms);
            sound.engine().stop();
            std::this_thread::sleep_for(200ms);
            if (sound.audioStats().serverXruns == xruns)
                break;
        }
        const int perQuarter = c.ternary ? 3 : 4;
        const double qpm = c.tempo * 4.0 / perQuarter, framesPerStroke = kRate * 15.0 / c.tempo;
        const std::vector<test::TransportWatch::Cycle> cycles = watch->cycles();
        const auto first = std::find_if(cycles.begin(), cycles.end(), [](const auto& cycle) {
            return cycle.state == JackTransportRolling;
        });
        ASSERT_NE(first, cycles.end());
        const auto end = std::find_if(first, cycles.end(), [](const auto& cycle) {
            return cycle.state != JackTransportRolling;
        });
        ASSERT_NE(end, cycles.end()) << "stopped after Stop";
        EXPECT_EQ(cycles.back().state, JackTransportStopped);
        for (auto it = first; it != end; ++it) {
            const jack_position_t& p = it->position;
            ASSERT_TRUE(p.valid & JackPositionBBT) << it->serverFrame;
            EXPECT_EQ(p.beats_per_bar, c.threeFour ? 3 : 4);
            EXPECT_EQ(p.beat_type, 4);
            EXPECT_EQ(p.ticks_per_beat, 1920);
            EXPECT_DOUBLE_EQ(p.beats_per_minute, qpm);
            EXPECT_EQ(int64_t(p.frame), it->serverFrame - first->serverFrame);
            // The first rolling cycle holds the count-in's 1|1|0.
            if (it == first) {
                EXPECT_EQ(quartersOf(*it), 0);
            } else if (it - 1 != first) {
                EXPECT_NEAR(quartersOf(*it) - quartersOf(*(it - 1)),
                            double(it->serverFrame - (it - 1)->serverFrame) * qpm / 60 / kRate,
                            1e-9);
            }
        }

        std::vector<int64_t> kicks;
        for (const test::CapturedMidi& e : capture->events())
            if (e.bytes[0] == 0x99 && e.bytes[1] == kick && e.bytes[2] > 0)
                kicks.push_back(e.frame);
        ASSERT_GE(kicks.size(), 12u);
        EXPECT_LE(std::abs(kicks[0] - first->serverFrame), 128) << "stroke 1, half a period";
        for (size_t j = 1; j < kicks.size(); ++j) {
            ASSERT_GT(kicks[j], first->serverFrame);
            ASSERT_LT(kicks[j], end->serverFrame) << "stroke " << j << " while rolling";
            auto cycle =
                std::upper_bound(first, end, kicks[j],
                                 [](int64_t f, const auto& cy) { return f < cy.serverFrame; }) -
                1;
            ASSERT_TRUE(cycle != first) << "stroke " << j;
            const double at =
                (quartersOf(*cycle) + double(kicks[j] - cycle->serverFrame) * qpm / 60 / kRate) *
                perQuarter;
            EXPECT_LE(std::abs(at - double(j)) * framesPerStroke, 1.0) << "stroke " << j;
        }
    }
    EXPECT_TRUE(sound.lead(false));
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(watch->cycles().back().position.valid & JackPositionBBT);
}

// An unconditional timebase master of another program's leads already:
// Zumbal's lead is refused, its Play leaves the transport alone, and the
// other master's bars of 7 go on once the transport rolls. When that
// master has gone, Zumbal leads.
TEST(JackTransportLead, AnotherMasterKeepsTheRole) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    LeadRig rig;
    ASSERT_TRUE(rig.ready());
    auto master = std::make_unique<test::TimebaseMaster>(121.4, 0, 121.4, 7, 960, kRate);
    ASSERT_TRUE(master->ready());
    EXPECT_FALSE(rig.sound->lead(true));
    test::TransportWatch watch(2000);
    rig.sound->engine().start();
    std::this_thread::sleep_for(300ms);
    ASSERT_FALSE(watch.cycles().empty());
    EXPECT_EQ(watch.cycles().back().state, JackTransportStopped);
    jack_transport_start(master->client());
    std::this_thread::sleep_for(300ms);
    const test::TransportWatch::Cycle last = watch.cycles().back();
    EXPECT_EQ(last.state, JackTransportRolling);
    EXPECT_TRUE(last.position.valid & JackPositionBBT);
    EXPECT_EQ(last.position.beats_per_bar, 7);
    EXPECT_EQ(last.position.ticks_per_beat, 960);
    jack_transport_stop(master->client());
    rig.sound->engine().stop();
    master.reset();
    EXPECT_TRUE(rig.sound->lead(true));
}

} // namespace
} // namespace zumbal
