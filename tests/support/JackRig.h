#pragma once

#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace zumbal::test {

// Zumbal's sound on the JACK output alone, its ports left unconnected.
struct JackSound {
    JackSound() {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        SoundOptions options;
        options.soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
        options.drivers = {"jack"};
        options.connectPorts = false;
        options.seed = 1;
        sound = std::make_unique<SoundSystem>(g, options);
        sound->loadSoundFont();
    }
    globali g;
    std::unique_ptr<SoundSystem> sound;
};

// Whether jackd is missing; the JACK library's own error lines are silenced.
inline bool noJackd() {
    jack_set_error_function([](const char*) {});
    return std::system("command -v jackd >/dev/null 2>&1") != 0;
}

// A private dummy server at `rate` with Zumbal's client on it, playing a
// bass drum on every stroke once started.
struct MidiRig {
    explicit MidiRig(int rate) : server(rate) {
        for (int c = 0; c < kStrokes; ++c)
            s.g.pp[c] = kHit;
        ::testing::internal::CaptureStderr();
        if (server.ready())
            s.sound->startAudio();
        ::testing::internal::GetCapturedStderr();
    }
    bool ready() const { return server.ready() && s.sound->outputName() == "jack"; }
    DummyJack server;
    JackSound s;
};

// The takes of a real-time recording: one that an xrun cut into (a loaded
// machine, a sanitizer build) is recorded again, up to `takes` times. When
// every take was cut the test has nothing it can measure and is skipped.
//
//     test::Takes takes(*sound);
//     while (takes.next()) { ...record... }
//     if (!takes.clean()) GTEST_SKIP() << takes.why();
class Takes {
public:
    explicit Takes(const SoundSystem& sound, int takes = 8) : m_sound(sound), m_takes(takes) {}
    // Whether to record (again): the last take was cut and there are more.
    bool next() {
        if (m_taken > 0 && xruns() == m_before)
            m_clean = true;
        if (m_clean || m_taken == m_takes)
            return false;
        m_before = xruns();
        ++m_taken;
        return true;
    }
    bool clean() const { return m_clean; }
    std::string why() const {
        return "every one of " + std::to_string(m_taken) + " takes was cut by an xrun";
    }

private:
    uint64_t xruns() const { return m_sound.audioStats().serverXruns; }

    const SoundSystem& m_sound;
    const int m_takes;
    int m_taken = 0;
    uint64_t m_before = 0;
    bool m_clean = false;
};

} // namespace zumbal::test
