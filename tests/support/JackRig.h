#pragma once

#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

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

} // namespace zumbal::test
