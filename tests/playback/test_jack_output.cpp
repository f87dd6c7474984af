#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"
#include "support/JackCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;

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

bool jackdInstalled() {
    return std::system("command -v jackd >/dev/null 2>&1") == 0;
}

// The client plays at the server's rate: the start-up loop strikes its bass
// drum once a second and its snare half a second later, whatever the rate.
TEST(JackOutput, StrokesLandOnTheTimelinesFramesAtTheServersRate) {
    if (!jackdInstalled() || findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT")).empty())
        GTEST_SKIP() << "needs jackd and a General MIDI SoundFont";
    jack_set_error_function([](const char*) {});
    for (int rate : {48000, 96000, 22050}) {
        SCOPED_TRACE(rate);
        test::DummyJack server(rate);
        ASSERT_TRUE(server.ready());
        JackSound s;
        ::testing::internal::CaptureStderr();
        s.sound->startAudio();
        ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(s.sound->outputName(), "jack");
        EXPECT_EQ(s.sound->engine().sampleRate(), rate);
        // An xrun (a loaded machine) loses frames of the recording itself,
        // whatever Zumbal plays: such a take is recorded again.
        std::unique_ptr<test::JackCapture> capture;
        for (int take = 0; take < 3; ++take) {
            const uint64_t xruns = s.sound->audioStats().underruns;
            capture = std::make_unique<test::JackCapture>(4 * rate);
            ASSERT_TRUE(capture->connect("Zumbal:out_left"));
            if (take == 0)
                s.sound->engine().start();
            for (int i = 0; i < 200 && !capture->full(); ++i)
                std::this_thread::sleep_for(50ms);
            ASSERT_TRUE(capture->full());
            if (s.sound->audioStats().underruns == xruns)
                break;
        }

        const std::vector<int64_t> found = test::onsets(capture->left(), rate / 10);
        ASSERT_GE(found.size(), 6u);
        // Every second hit is the same instrument, so its attack is the same:
        // hit k + 2 comes exactly one second (`rate` frames) after hit k, give
        // or take the synth's block on either side.
        for (size_t k = 2; k < found.size(); ++k)
            EXPECT_NEAR(found[k] - found[k - 2], rate, PlaybackEngine::kBlock) << k;
        // No drift: every hit is on the grid laid from the first of its kind.
        for (size_t k = 2; k < found.size(); ++k)
            EXPECT_NEAR(found[k] - found[k % 2], static_cast<double>(k / 2) * rate,
                        PlaybackEngine::kBlock)
                << k;
        EXPECT_EQ(s.sound->synth().foreignCalls(), 0u);
    }
}

// A rate the synthesizer cannot play at is refused, not played out of time.
TEST(JackOutput, AServerAtARateTheSynthCannotPlayIsRefused) {
    if (!jackdInstalled())
        GTEST_SKIP() << "needs jackd";
    jack_set_error_function([](const char*) {});
    test::DummyJack server(192000);
    ASSERT_TRUE(server.ready());
    JackSound s;
    ::testing::internal::CaptureStderr();
    s.sound->startAudio();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.sound->outputName(), "null");
    EXPECT_NE(said.find("jack runs at 192000 Hz"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// The clock outlives the server: it goes on silently and the sound comes back
// with a new server, at that server's rate.
TEST(JackOutput, ASilentClockBridgesAServerThatGoesAwayAndComesBack) {
    if (!jackdInstalled())
        GTEST_SKIP() << "needs jackd";
    jack_set_error_function([](const char*) {});
    JackSound s;
    const std::string name = test::DummyJack::uniqueName();
    auto server = std::make_unique<test::DummyJack>(48000, name);
    ASSERT_TRUE(server->ready());
    ::testing::internal::CaptureStderr();
    s.sound->startAudio();
    s.sound->engine().start();
    ASSERT_EQ(s.sound->outputName(), "jack");

    server.reset();
    const auto waitFor = [&](auto done) {
        for (int i = 0; i < 200 && !done(); ++i)
            std::this_thread::sleep_for(50ms);
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return s.sound->outputName() == "null"; }));
    EXPECT_EQ(s.sound->lostOutput(), "jack");
    const int64_t before = s.sound->engine().now();
    const uint32_t strokes = s.sound->engine().strokesPlayed();
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(s.sound->engine().now(), before);
    EXPECT_GT(s.sound->engine().strokesPlayed(), strokes);

    server = std::make_unique<test::DummyJack>(96000, name);
    ASSERT_TRUE(server->ready());
    EXPECT_TRUE(waitFor([&] { return s.sound->outputName() == "jack"; }));
    EXPECT_EQ(s.sound->lostOutput(), "");
    EXPECT_EQ(s.sound->engine().sampleRate(), 96000);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("audio output jack lost"), std::string::npos) << said;
    EXPECT_NE(said.find("audio output jack is back"), std::string::npos) << said;
    EXPECT_EQ(s.sound->synth().foreignCalls(), 0u);
}

} // namespace
} // namespace zumbal
