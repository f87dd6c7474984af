#include "support/JackMidiCapture.h"
#include "support/JackRig.h"
#include "support/PrivateNetwork.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace zumbal {
namespace {

using namespace std::chrono_literals;

// Zumbal following a Link session that another peer of the test's own leads,
// in a network of the test's own: Zumbal joins at the peer's tempo, hears
// the peer's tempo change, and every stroke on midi_out is heard within a
// millisecond of the peer's grid of strokes (the frame's time on the
// server's clock, plus the output's latency, on Link's clock).
TEST(LinkFollow, EveryStrokeWithinAMillisecondOfTheOtherPeersBeat) {
    if (test::noJackd())
        GTEST_SKIP() << "needs jackd";
    if (!test::enterPrivateNetwork())
        GTEST_SKIP() << "needs a private network namespace";
    test::LoopbackUp loopback;
    if (!loopback.up())
        GTEST_SKIP() << "needs the loopback interface up";
    ableton::Link other(97.5);
    other.enable(true);

    test::MidiRig rig(48000);
    ASSERT_TRUE(rig.ready());
    SoundSystem& sound = *rig.s.sound;
    const globali& g = rig.s.g;
    sound.engine().stop();
    // Link prefers a session founded more than half a second before another.
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(sound.follow(sync::Source::Link, 120, false));
    sound.engine().start();
    const auto poll = [&] { sound.pollSync(g.tempo, false, false, false); };
    // Polls as the window does, until `done` or for `wait` at most.
    const auto pollUntil = [&](auto done, std::chrono::milliseconds wait) {
        for (auto end = std::chrono::steady_clock::now() + wait;
             !done() && std::chrono::steady_clock::now() < end;)
            poll(), std::this_thread::sleep_for(20ms);
        return done();
    };
    const auto until = [&](auto done) { return pollUntil(done, 10s); };
    const auto never = [] { return false; };
    ASSERT_TRUE(until([&] { return sound.syncStatus()->peers() == 1; }));
    const auto tempoIs = [&](double bpm) {
        return until(
            [&] { return std::abs(sound.syncStatus()->quartersPerMinute() - bpm) < 1e-3; });
    };
    ASSERT_TRUE(tempoIs(97.5)) << sound.syncStatus()->quartersPerMinute() << " other "
                               << other.captureAppSessionState().tempo();
    {
        auto state = other.captureAppSessionState();
        state.setTempo(133.3, other.clock().micros());
        other.commitAppSessionState(state);
    }
    ASSERT_TRUE(tempoIs(133.3)) << sound.syncStatus()->quartersPerMinute();

    // Link prefers a peer's own changes for a second: Zumbal's start, just
    // made, may hold the session's timeline that long.
    pollUntil(never, 1500ms);
    std::unique_ptr<test::JackMidiCapture> capture;
    test::Takes takes(sound);
    while (takes.next()) {
        capture = std::make_unique<test::JackMidiCapture>(1, 20000);
        ASSERT_TRUE(capture->connect("Zumbal:midi_out", 0));
        pollUntil(never, 3s);
    }
    if (!takes.clean())
        GTEST_SKIP() << takes.why();
    // Link's clock against the server's, whichever each keeps (jackd2's is
    // CLOCK_MONOTONIC_RAW, PipeWire's CLOCK_MONOTONIC).
    const int64_t linkAhead =
        (other.clock().micros().count() - static_cast<int64_t>(jack_get_time())) * 1000;
    const double latencyNs = sound.audioStats().latencyMs * 1e6;
    const auto session = other.captureAppSessionState();
    const double strokeMs = 60'000.0 / 133.3 / 4;
    int strokes = 0;
    double worstMs = 0;
    for (const test::CapturedMidi& e : capture->events()) {
        if (e.bytes[0] != 0x99 || e.bytes[1] != g.edfiv[0][0] || e.bytes[2] == 0)
            continue;
        const double heard = e.usecs * 1e3 + latencyNs + linkAhead;
        const double beat =
            session.beatAtTime(std::chrono::microseconds(std::llround(heard / 1e3)), 4);
        const double offMs = (beat * 4 - std::round(beat * 4)) * strokeMs;
        EXPECT_LE(std::abs(offMs), 1.0) << "stroke at beat " << beat;
        worstMs = std::max(worstMs, std::abs(offMs));
        ++strokes;
    }
    EXPECT_GE(strokes, 15);
    RecordProperty("worst_ms", std::to_string(worstMs));
    sound.follow(sync::Source::Internal);
}

} // namespace
} // namespace zumbal
