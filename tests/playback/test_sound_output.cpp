#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <tuple>

namespace zumbal {
namespace {

namespace fs = std::filesystem;

// Counts what the output asks of it.
struct CountingClient final : AudioClient {
    void render(float*, float*, int frames, MidiSink*) override { rendered += frames; }
    void skip(int frames) override { skipped += frames; }
    void midiReceived(const uint8_t*, size_t) override {}
    void prepare(int64_t missed, int sampleRate) override {
        skipped += missed;
        rate = sampleRate;
    }
    std::atomic<int64_t> rendered{0}, skipped{0};
    std::atomic<int> rate{0};
};

TEST(AudioOutput, WithoutADeviceTheWallClockPacesTheCallback) {
    for (const std::vector<std::string>& drivers :
         {std::vector<std::string>{"no-such-driver"}, {"null", "alsa"}}) {
        CountingClient client;
        {
            AudioOutput output(client, {drivers, {}});
            EXPECT_EQ(output.name(), "null");
            EXPECT_EQ(output.lost(), "");
            // Only an output that was tried and refused has a reason to give.
            EXPECT_EQ(output.refusals().empty(), drivers[0] == "null") << output.refusals();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        // About 0.3 s of frames: neither stalled nor free-running.
        EXPECT_GT(client.rendered.load(), 44100 / 10) << drivers[0];
        EXPECT_LT(client.rendered.load(), 44100) << drivers[0];
        EXPECT_EQ(client.rate.load(), 44100);
    }
}

// Real files that are not SoundFonts: this source and its folder's CMakeLists.txt.
const fs::path kSource = __FILE__, kFolder = kSource.parent_path(),
               kOther = kFolder / "CMakeLists.txt", kMissing = kFolder / "missing.sf2";

TEST(SoundFontLocator, OptionThenEnvironmentThenFirstExistingCandidate) {
    const std::vector<std::tuple<std::string, const char*, std::vector<std::string>, std::string>>
        cases{{"opt.sf2", "env.sf2", {kSource}, "opt.sf2"},
              {"", "env.sf2", {kSource}, "env.sf2"},
              {"", "", {kMissing, kFolder, kOther, kSource}, kOther},
              {"", nullptr, {kMissing}, ""}};
    for (const auto& [option, environment, candidates, expected] : cases)
        EXPECT_EQ(findSoundFont(option, environment, candidates), expected) << expected;
}

TEST(Synth, RefusesFilesThatAreNotSoundFontsInOneLine) {
    for (const fs::path& path : {kMissing, kFolder, kSource}) {
        Synth synth;
        std::string error;
        EXPECT_FALSE(synth.loadSoundFont(path, error)) << path;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// The start-up loop's sound system on `soundFont`, else on none, with fixed random hits.
struct Sound {
    static SoundOptions options(const std::string& soundFont) {
        SoundOptions o;
        o.soundFont = soundFont;
        o.seed = 1;
        return o;
    }
    explicit Sound(const std::string& soundFont = "/nonexistent/zumbal.sf2")
        : sound(g, options(soundFont)) {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        ::testing::internal::CaptureStderr();
        sound.loadSoundFont();
        said = ::testing::internal::GetCapturedStderr();
    }
    // Renders `repeats` passes into the peak max(|left|, |right|) of every frame.
    RenderResult render(int repeats) {
        const RenderResult r =
            renderLoop(sound, g, repeats, [&](const float* l, const float* rt, int n) {
                EXPECT_LE(n, kRenderBuffer);
                for (int i = 0; i < n; ++i)
                    peak.push_back(std::max(std::abs(l[i]), std::abs(rt[i])));
                return true;
            });
        EXPECT_EQ(static_cast<int64_t>(peak.size()), r.frames);
        return r;
    }

    globali g;
    SoundSystem sound;
    std::string said;
    std::vector<float> peak;
};

// Silent without a SoundFont, but the clock runs as it does with one. A
// groove moves strokes, never how many the passes have: humanize can pull
// the stroke after the last ahead of the end, and it must not sound.
TEST(OfflineRender, WithoutASoundFontPlaysWholeBarsFromTheFirstFrame) {
    struct Case {
        bool threeFour, ternary;
        int tempo, repeats;
        uint32_t strokes;
        int swing = kStraight, humanizeMs = 0;
    };
    const std::vector<Case> cases{{false, false, 120, 2, 32},
                                  {true, false, 97, 3, 36},
                                  {false, true, 240, 110, 1320},
                                  {true, true, 10, 1, 9},
                                  {false, false, 240, 7, 112, kMaxSwing, kMaxHumanizeMs},
                                  {true, false, 97, 5, 60, 66, kMaxHumanizeMs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.threeFour << c.ternary << " " << c.tempo << " BPM");
        Sound s;
        s.g.tempo = c.tempo;
        s.g.swing = c.swing;
        s.g.humanizeMs = c.humanizeMs;
        EXPECT_NE(s.said.find("playing silently\n"), std::string::npos);
        EXPECT_EQ(std::count(s.said.begin(), s.said.end(), '\n'), 1);
        s.g.ter_3_4 = c.threeFour;
        s.g.ter_ter = c.ternary;
        const RenderResult r = s.render(c.repeats);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.strokes, c.strokes);
        EXPECT_EQ(s.sound.engine().strokesPlayed(), c.strokes); // none after the stop
        // Stroke 1 is due on frame 0; a stroke sounds from the block nearest
        // its due sample, half a block either way; the render stops where the
        // next would start, at the end of the passes.
        const double nextDue = c.strokes * 44100 * 15.0 / c.tempo;
        EXPECT_LE(std::abs(static_cast<double>(r.stopFrame) - nextDue),
                  PlaybackEngine::kBlock / 2.0);
        EXPECT_EQ(passesLength(s.g, c.repeats, 44100), std::llround(nextDue));
        // Silence from the start: the tail is one quiet window, in whole buffers.
        EXPECT_TRUE(r.tailSilent);
        EXPECT_EQ(r.frames - r.stopFrame,
                  (4410 + kRenderBuffer - 1) / kRenderBuffer * kRenderBuffer);
    }
}

// A bass note on the bar's last stroke is held until playback stops: an organ
// would sound for ever if the stop did not end it. The two programs must
// sound different, or the loop's program was never applied.
TEST(OfflineRender, TheStopEndsTheHeldBassNoteOnTheLoopsProgram) {
    const std::string soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
    if (soundFont.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    std::vector<std::vector<float>> sounds;
    for (int program : {17, 33}) { // drawbar organ, acoustic bass
        SCOPED_TRACE(program);
        Sound s(soundFont);
        clearCells(s.g);
        s.g.edfiv[kBassTrack][0] = program;
        s.g.pp[cellIndex(kBassTrack, 16)] = 48;
        const RenderResult r = s.render(1);
        ASSERT_TRUE(r.completed);
        EXPECT_TRUE(r.tailSilent);
        EXPECT_LT(r.frames - r.stopFrame, 2 * 44100);
        EXPECT_LT(*std::max_element(s.peak.end() - 4410, s.peak.end()), kTailSilence);
        // The note sounded until the stop.
        const auto stop = s.peak.begin() + r.stopFrame;
        EXPECT_GT(*std::max_element(stop - 2000, stop), 0.01f);
        sounds.push_back(s.peak);
    }
    EXPECT_NE(sounds[0], sounds[1]);
}

} // namespace
} // namespace zumbal
