#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"
#include "support/JackClockSender.h"
#include "support/JackMidiCapture.h"
#include "support/JackMidiSender.h"
#include "support/JackRig.h"
#include "support/TimebaseMaster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;
using test::JackSound;
using test::MidiRig;
using test::noJackd;

// The MIDI a render gives, on the engine's timeline.
struct TimelineMidi final : MidiSink {
    void note(int frame, const uint8_t* bytes, int) override {
        if (bytes[0] == 0x99 && bytes[2] > 0)
            hits.push_back(at + frame);
    }
    void clock(int frame, uint8_t byte) override {
        if (byte == kMidiClock)
            clocks.push_back(at + frame);
    }
    int64_t at = 0;
    std::vector<int64_t> hits, clocks;
};

// After a stall the clock moves over the gap without rendering it: the sound
// goes on from where it stopped, moved by no more than the gap has beyond the
// synth's whole blocks (so that it still starts notes on the engine's
// blocks), and the strokes and clocks after the gap are on their frames,
// with nothing of the gap's played late.
TEST(Stall, TheClockMovesOverTheGapWithoutRenderingIt) {
    const std::string soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
    if (soundFont.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    constexpr int kAfter = 17000;
    // A gap of whole blocks or not, from a block's start or from inside one
    // (a PulseAudio request ends anywhere).
    for (const auto& [kBefore, gap] : {std::pair{2048, 68096}, {2048, 68096 + 37}, {2058, 68133}}) {
        SCOPED_TRACE(testing::Message() << kBefore << " " << gap);
        const auto play = [](SoundSystem& sound, int frames, TimelineMidi* midi,
                             std::vector<float>& out) {
            std::array<float, kRenderBuffer> left{}, right{};
            for (int done = 0; done < frames; done += kRenderBuffer) {
                const int n = std::min(kRenderBuffer, frames - done);
                if (midi)
                    midi->at = sound.engine().now();
                sound.render(left.data(), right.data(), n, midi);
                out.insert(out.end(), left.begin(), left.begin() + n);
            }
        };
        std::vector<float> reference, stalled;
        TimelineMidi midi;
        for (const bool stall : {false, true}) {
            JackSound s;
            for (int c = 0; c < kStrokes; ++c)
                s.g.pp[c] = kHit;
            s.sound->engine().start(PlaybackEngine::FirstStroke::AtStart);
            std::vector<float>& out = stall ? stalled : reference;
            play(*s.sound, kBefore, nullptr, out);
            if (stall)
                s.sound->skip(gap);
            play(*s.sound, stall ? kAfter : gap % PlaybackEngine::kBlock + 256,
                 stall ? &midi : nullptr, out);
        }
        EXPECT_TRUE(std::equal(reference.end() - 256, reference.end(), stalled.begin() + kBefore))
            << "the sound after the gap is not the sound from before it";

        const double L = 44100 * 15.0 / 120;
        const int64_t from = kBefore + gap, to = from + kAfter;
        std::vector<int64_t> hits, clocks;
        for (int64_t k = 0; k * L / 6 < to; ++k) {
            const auto frame = static_cast<int64_t>(std::floor(k * L / 6 + 0.5));
            if (frame >= from && frame < to) {
                clocks.push_back(frame);
                if (k % 6 == 0)
                    hits.push_back(frame);
            }
        }
        EXPECT_EQ(midi.hits, hits);
        EXPECT_EQ(midi.clocks, clocks);
    }
}

// Shown under PipeWire with Zumbal's name, icon and role, unless the user's
// own PIPEWIRE_PROPS say otherwise.
TEST(JackOutput, PipeWireShowsZumbalsNameIconAndRoleUnderTheUsersOwn) {
    const std::string ours =
        "application.name=Zumbal application.icon-name=zumbal media.role=Production ";
    const std::vector<std::pair<const char*, std::string>> cases{
        {nullptr, "{ " + ours + " }"},
        {"{ media.role=Music }", "{ " + ours + " media.role=Music  }"},
        {"node.latency=256/48000", "{ " + ours + "node.latency=256/48000 }"}};
    for (const auto& [user, expected] : cases)
        EXPECT_EQ(pipeWireJackProperties(user), expected);
}

// A rate the synthesizer cannot play at is refused, not played out of time.
TEST(JackOutput, AServerAtARateTheSynthCannotPlayIsRefused) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    test::DummyJack server(192000);
    ASSERT_TRUE(server.ready());
    JackSound s;
    ::testing::internal::CaptureStderr();
    s.sound->startAudio();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.sound->outputName(), "null");
    EXPECT_EQ(std::getenv("PIPEWIRE_PROPS"), nullptr); // set only while the client opened
    EXPECT_NE(said.find("jack runs at 192000 Hz"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// The clock outlives the server: it goes on silently and the sound comes back
// with a new server, at that server's rate, on the grid it left: the kicks
// heard after the return are whole numbers of strokes from the last one
// before the loss, within half a synth block. A kick is heard the output's
// latency (unconnected: one period) after its note on midi_out. A dummy
// server on a loaded machine runs off the wall clock: such a take is
// measured again.
TEST(JackOutput, ASilentClockBridgesAServerThatGoesAwayAndComesBackOnItsGrid) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    JackSound s;
    for (int c = 0; c < kStrokes; ++c)
        s.g.pp[c] = kHit;
    s.g.tempo = 120;
    const int note = s.g.edfiv[0][0];
    const std::string name = test::DummyJack::uniqueName();
    struct Server {
        int rate, period;
    };
    const Server servers[] = {{48000, 256}, {44100, 512}};
    auto server = std::make_unique<test::DummyJack>(48000, name);
    ASSERT_TRUE(server->ready());
    ::testing::internal::CaptureStderr();
    s.sound->startAudio();
    ASSERT_EQ(s.sound->outputName(), "jack");
    s.sound->engine().start();
    const auto kicksHeard = [&](const Server& on) {
        test::JackMidiCapture capture(1, 1000);
        EXPECT_TRUE(capture.connect("Zumbal:midi_out", 0));
        std::this_thread::sleep_for(1s);
        std::vector<double> usecs;
        for (const test::CapturedMidi& e : capture.events())
            if (e.bytes[0] == 0x99 && e.bytes[1] == note && e.bytes[2] > 0)
                usecs.push_back(double(e.usecs) + on.period * 1e6 / on.rate);
        return usecs;
    };
    const auto waitFor = [&](auto done) {
        for (int i = 0; i < 200 && !done(); ++i)
            std::this_thread::sleep_for(50ms);
        return done();
    };
    constexpr double kStrokeUs = 125'000; // a sixteenth at 120 BPM
    double worstUs = 0;
    for (int take = 0; take < 3; ++take) {
        const Server& from = servers[take % 2];
        const Server& to = servers[(take + 1) % 2];
        const std::vector<double> before = kicksHeard(from);
        ASSERT_GE(before.size(), 4u);
        server.reset();
        ASSERT_TRUE(waitFor([&] { return s.sound->outputName() == "null"; }));
        EXPECT_EQ(s.sound->lostOutput(), "jack");
        const uint32_t strokes = s.sound->engine().strokesPlayed();
        std::this_thread::sleep_for(300ms);
        EXPECT_GT(s.sound->engine().strokesPlayed(), strokes) << "the clock goes on";

        server = std::make_unique<test::DummyJack>(to.rate, name, to.period);
        ASSERT_TRUE(server->ready());
        ASSERT_TRUE(waitFor([&] { return s.sound->outputName() == "jack"; }));
        EXPECT_EQ(s.sound->lostOutput(), "");
        EXPECT_EQ(s.sound->engine().sampleRate(), to.rate);
        std::this_thread::sleep_for(500ms); // the new server's clock settles
        const std::vector<double> after = kicksHeard(to);
        ASSERT_GE(after.size(), 4u);
        worstUs = 0;
        for (const double kick : after) {
            const double strokes = (kick - before.back()) / kStrokeUs;
            worstUs = std::max(worstUs, std::fabs(strokes - std::round(strokes)) * kStrokeUs);
        }
        if (worstUs <= 32e6 / 48000)
            break;
    }
    EXPECT_LE(worstUs, 32e6 / 48000) << "microseconds off the grid";
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("audio output jack lost"), std::string::npos) << said;
    EXPECT_NE(said.find("audio output jack is back"), std::string::npos) << said;
    EXPECT_EQ(s.sound->synth().foreignCalls(), 0u);
}

// Another client of the server, late once by `ms`.
class LateClient {
public:
    explicit LateClient(int ms) : m_ms(ms) {
        jack_status_t status{};
        m_client = jack_client_open("late", JackNoStartServer, &status);
        if (!m_client)
            return;
        jack_set_process_callback(m_client, &LateClient::process, this);
        jack_activate(m_client);
    }
    ~LateClient() {
        if (m_client)
            jack_client_close(m_client);
    }

private:
    static int process(jack_nframes_t, void* data) {
        if (const int ms = static_cast<LateClient*>(data)->m_ms.exchange(0))
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return 0;
    }
    jack_client_t* m_client = nullptr;
    std::atomic<int> m_ms;
};

// Another client's lateness is an xrun of the whole server, not an underrun of Zumbal's.
TEST(JackOutput, TheServersXrunsAreCountedApart) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    MidiRig rig(48000);
    ASSERT_TRUE(rig.ready());
    {
        LateClient late(300);
        std::this_thread::sleep_for(600ms);
    }
    EXPECT_GT(rig.s.sound->audioStats().serverXruns, 0u);
    EXPECT_EQ(rig.s.sound->audioStats().underruns, 0u);
}

// The notes on midi_out and the clock on clock_out, each on the frame
// nearest its ideal sample (the engine's own tests go through every meter
// and feel): with a bass drum on every stroke, played stroke j of a play
// started at sample s is due at s + j x L, and clock i at s + L + i x L / c
// (c = 6, or 8 under ternary).
// A new period size in the middle of the play loses nothing.
TEST(JackMidi, NotesAndClocksLandOnTheirFrames) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    MidiRig rig(48000);
    ASSERT_TRUE(rig.ready());
    JackSound& s = rig.s;
    const int note = s.g.edfiv[0][0];
    struct Case {
        bool threeFour, ternary;
        int tempo;
        jack_nframes_t period = 0; // the server's, halfway through the play
    };
    for (const Case c : {Case{false, false, 240}, {true, true, 60}, {false, false, 120, 2048}}) {
        SCOPED_TRACE(testing::Message()
                     << c.threeFour << c.ternary << " " << c.tempo << " " << c.period);
        s.g.ter_3_4 = c.threeFour;
        s.g.ter_ter = c.ternary;
        s.g.tempo = c.tempo;
        // An xrun (a loaded machine) loses the MIDI of the cycles it skips,
        // whatever Zumbal sends: such a take is recorded again.
        std::unique_ptr<test::JackMidiCapture> capture;
        const double L = 48000 * 15.0 / c.tempo;
        test::Takes takes(*s.sound);
        while (takes.next()) {
            capture = std::make_unique<test::JackMidiCapture>(2, 20000);
            ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
            ASSERT_TRUE(capture->connect("Zumbal:clock_out", 1));
            std::this_thread::sleep_for(50ms);
            s.sound->engine().start();
            const auto half = std::chrono::milliseconds(int(7 * L / 48));
            std::this_thread::sleep_for(half);
            ASSERT_TRUE(!c.period || capture->setPeriod(c.period));
            std::this_thread::sleep_for(half);
            s.sound->engine().stop();
            std::this_thread::sleep_for(100ms);
            ASSERT_TRUE(!c.period || capture->setPeriod(256));
        }
        if (!takes.clean())
            GTEST_SKIP() << takes.why();

        std::vector<int64_t> hits, clocks, starts, stops, allOff;
        for (const test::CapturedMidi& e : capture->events()) {
            if (e.port == 0 && e.bytes[0] == 0x99 && e.bytes[1] == note && e.bytes[2] > 0)
                hits.push_back(e.frame);
            if (e.port == 0 && (e.bytes[0] & 0xF0) == 0xB0 && e.bytes[1] == 123)
                allOff.push_back(e.bytes[0] & 15);
            if (e.port == 1)
                (e.bytes[0] == kMidiClock   ? clocks
                 : e.bytes[0] == kMidiStart ? starts
                                            : stops)
                    .push_back(e.frame);
        }
        ASSERT_GE(hits.size(), 10u);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0], hits[0]); // Start on stroke 1, with its first clock (below)
        const double start = double(hits[0] - std::llround(L)); // the press
        const auto nearest = [](double ideal) { return int64_t(std::floor(ideal + 0.5)); };
        for (size_t j = 0; j < hits.size(); ++j)
            EXPECT_EQ(hits[j], nearest(start + (j + 1) * L)) << "stroke " << j + 1;
        const int perStroke = c.ternary ? 8 : 6;
        ASSERT_GE(clocks.size(), perStroke * (hits.size() - 1));
        for (size_t i = 0; i < clocks.size(); ++i)
            EXPECT_EQ(clocks[i], nearest(start + L + i * L / perStroke)) << "clock " << i;
        EXPECT_EQ(stops.size(), 1u);
        EXPECT_EQ(allOff, (std::vector<int64_t>{9, 8})); // the drums' channel, then the bass's
    }
    EXPECT_EQ(s.sound->engine().droppedEvents(), 0u);
}

// Following the JACK transport under a timebase master of 7 quarters a bar
// and 960 ticks a beat: Zumbal's Play starts the transport, every stroke on
// midi_out lands on the frame of its beat as the master's BBT gives it,
// through a tempo change and a locate while rolling, the bar counted from
// the master's bar 1 in bars of 4 quarters; Stop stops the transport.
TEST(JackTransport, EveryStrokeOnTheFrameOfItsBeatFromTheMastersBbt) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    constexpr int kRate = 48000;
    MidiRig rig(kRate);
    ASSERT_TRUE(rig.ready());
    JackSound& s = rig.s;
    for (int stroke = 1; stroke <= kStrokes; ++stroke)
        s.g.pp[cellIndex(1, stroke)] = stroke == 1 ? kHit : kRest;
    const int kick = s.g.edfiv[0][0], one = s.g.edfiv[1][0];
    ASSERT_NE(kick, one);
    s.sound->engine().stop();
    ASSERT_TRUE(s.sound->follow(sync::Source::JackTransport));
    constexpr int64_t kLocateTo = 400000;
    std::unique_ptr<test::TimebaseMaster> master;
    std::unique_ptr<test::JackMidiCapture> capture;
    test::Takes takes(*s.sound);
    while (takes.next()) {
        master.reset(); // the last take's master gives up the timebase first
        capture.reset();
        master = std::make_unique<test::TimebaseMaster>(121.4, 96000, 140, 7, 960, kRate);
        ASSERT_TRUE(master->ready());
        jack_transport_locate(master->client(), 0);
        capture = std::make_unique<test::JackMidiCapture>(1, 20000);
        ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
        std::this_thread::sleep_for(100ms);
        s.sound->engine().start();
        std::this_thread::sleep_for(2500ms);
        jack_transport_locate(master->client(), kLocateTo);
        std::this_thread::sleep_for(1500ms);
        s.sound->engine().stop();
        std::this_thread::sleep_for(200ms);
    }
    if (!takes.clean())
        GTEST_SKIP() << takes.why();
    const std::vector<test::TimebaseMaster::Cycle> cycles = master->cycles();
    std::vector<int64_t> strokes; // the index of each kick's stroke since bar 1
    size_t ones = 0;
    for (const test::CapturedMidi& e : capture->events()) {
        if (e.bytes[0] != 0x99 || e.bytes[2] == 0)
            continue;
        auto c =
            std::upper_bound(cycles.begin(), cycles.end(), e.frame,
                             [](int64_t f, const auto& cycle) { return f < cycle.serverFrame; });
        ASSERT_NE(c, cycles.begin());
        --c;
        ASSERT_TRUE(c->rolling) << e.frame;
        const double transport = double(c->transportFrame + (e.frame - c->serverFrame));
        const double at = master->quartersAt(transport) * 4;
        const double framesPerStroke = kRate * 15.0 / master->tempoAt(transport);
        EXPECT_LE(std::abs(at - std::round(at)) * framesPerStroke, 1.0) << e.frame;
        if (e.bytes[1] == kick)
            strokes.push_back(std::llround(at));
        else if (e.bytes[1] == one) {
            EXPECT_EQ(std::llround(at) % 16, 0) << e.frame;
            ++ones;
        }
    }
    ASSERT_GE(strokes.size(), 30u);
    EXPECT_GE(ones, 3u);
    EXPECT_EQ(strokes.front(), 0);
    // Each stroke once, in order, but for the locate's jump to the stroke
    // that belongs where the transport now is.
    int jumps = 0;
    for (size_t i = 1; i < strokes.size(); ++i)
        if (strokes[i] != strokes[i - 1] + 1) {
            ++jumps;
            EXPECT_EQ(strokes[i], std::llround(std::ceil(master->quartersAt(kLocateTo) * 4)));
        }
    EXPECT_EQ(jumps, 1);
    EXPECT_FALSE(cycles.back().rolling);
    s.sound->follow(sync::Source::Internal);
}

// Following MIDI clock on midi_in from a master on the same server that
// clocks at 120 BPM, every stroke after the lock lands on the frame of its
// clock: 6 clocks a stroke, stroke 1 on the first clock after Start, and
// nothing after Stop.
TEST(JackMidiClock, EveryStrokeOnTheFrameOfItsClock) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    MidiRig rig(48000);
    ASSERT_TRUE(rig.ready());
    JackSound& s = rig.s;
    s.sound->engine().stop();
    ASSERT_TRUE(s.sound->follow(sync::Source::MidiClock));
    std::unique_ptr<test::JackClockSender> master;
    std::unique_ptr<test::JackMidiCapture> capture;
    test::Takes takes(*s.sound);
    while (takes.next()) {
        // The last take's sender goes first, and long enough for its clocks
        // to count as lost: two senders on midi_in at once are one master
        // with a jittered clock.
        if (master) {
            master.reset();
            std::this_thread::sleep_for(700ms);
        }
        capture.reset();
        master = std::make_unique<test::JackClockSender>(1000); // 120 BPM at 48 kHz
        capture = std::make_unique<test::JackMidiCapture>(1, 20000);
        ASSERT_TRUE(master->connect("Zumbal:midi_in"));
        ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
        std::this_thread::sleep_for(1000ms);
        master->start();
        std::this_thread::sleep_for(3000ms);
        master->stop();
        std::this_thread::sleep_for(300ms);
    }
    if (!takes.clean())
        GTEST_SKIP() << takes.why();
    const std::vector<int64_t> clocks = master->clocksSinceStart();
    ASSERT_GT(clocks.size(), 100u);
    std::vector<int64_t> hits;
    for (const test::CapturedMidi& e : capture->events())
        if (e.bytes[0] == 0x99 && e.bytes[1] == s.g.edfiv[0][0] && e.bytes[2] > 0)
            hits.push_back(e.frame);
    ASSERT_GE(hits.size(), 20u);
    const auto clockOf = [&](int64_t frame) {
        const auto it = std::find(clocks.begin(), clocks.end(), frame);
        return it == clocks.end() ? -1 : int64_t(it - clocks.begin());
    };
    const int64_t first = clockOf(hits.front());
    EXPECT_EQ(first % 6, 0);
    EXPECT_LE(first, 24); // locked within a quarter of Start
    for (size_t j = 0; j < hits.size(); ++j)
        EXPECT_EQ(clockOf(hits[j]), first + 6 * int64_t(j)) << "stroke " << j << " at " << hits[j];
    EXPECT_LT(hits.back(), clocks.back() + 1000);
    s.sound->follow(sync::Source::Internal);
}

// With the setting on, clock_out ticks at the tempo while stopped (no
// Start); what arrives on midi_in reaches the input queue, SysEx left out.
TEST(JackMidi, ClockWhileStoppedAndTheInput) {
    if (noJackd())
        GTEST_SKIP() << "needs jackd";
    MidiRig rig(48000);
    ASSERT_TRUE(rig.ready());
    JackSound& s = rig.s;
    s.sound->engine().setClockWhileStopped(true);
    test::JackMidiCapture capture(1, 1000);
    ASSERT_TRUE(capture.connect("Zumbal:clock_out", 0));

    // A sender on midi_in: a program change, SysEx, and a note, in one cycle.
    {
        test::JackMidiSender sender;
        ASSERT_TRUE(sender.connect("Zumbal:midi_in"));
        sender.send({{0xC0, 3}, {0xF0, 0x7E, 0xF7}, {0x90, 60, 100}});
        std::this_thread::sleep_for(500ms);
        ASSERT_NE(sender.sentAt(), -1);
    }

    std::vector<std::vector<uint8_t>> received;
    s.sound->midiInput().drain(
        [&](const MidiInputQueue::Event& e) { received.emplace_back(e.bytes, e.bytes + e.size); });
    EXPECT_EQ(received, (std::vector<std::vector<uint8_t>>{{0xC0, 3}, {0x90, 60, 100}}));

    const std::vector<test::CapturedMidi> ticks = capture.events();
    ASSERT_GE(ticks.size(), 20u); // 1000 frames apart at 120 BPM, 48 kHz
    for (size_t i = 1; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].bytes[0], kMidiClock);
        EXPECT_EQ(ticks[i].frame - ticks[i - 1].frame, 1000) << i;
    }
}

} // namespace
} // namespace zumbal
