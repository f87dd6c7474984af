#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zumbal {
namespace {

std::unique_ptr<globali> startupModel(int tempo) {
    auto g = std::make_unique<globali>();
    setStartupLoop(*g);
    setDefaultButtonStates(*g);
    g->tempo = tempo;
    return g;
}

// Without a SoundFont the synth is silent but the clock runs as it does with
// one, so these cases need nothing installed.
TEST(OfflineRender, PlaysWholeBarsAndStopsWhereTheNextStrokeWouldStart) {
    struct Case {
        bool threeFour, ternary;
        int tempo, repeats;
        uint32_t strokes;
        int lastStroke; // the bar's last, so the render ends on a whole pass
    };
    const std::vector<Case> cases{
        {false, false, 120, 2, 32, 16},    {true, false, 97, 3, 36, 12},
        {false, true, 240, 110, 1320, 15}, {true, true, 10, 1, 9, 11},
        {false, false, 240, 1, 16, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "3/4 " << c.threeFour << ", ternary " << c.ternary
                                        << ", " << c.tempo << " BPM, " << c.repeats << " passes");
        auto g = startupModel(c.tempo);
        g->ter_3_4 = c.threeFour;
        g->ter_ter = c.ternary;
        SoundSystem sound(*g, {});
        int64_t received = 0;
        int largest = 0;
        const RenderResult r =
            renderLoop(sound, *g, c.repeats, [&](const float*, const float*, int n) {
                received += n;
                largest = std::max(largest, n);
                return true;
            });
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.strokes, c.strokes);
        EXPECT_EQ(sound.engine().lastStroke(), c.lastStroke);
        // The next stroke is due one stroke length after the last; a stroke
        // sounds from the block nearest its due sample, half a block either way.
        const double nextDue = (c.strokes + 1) * 44100 * 15.0 / c.tempo;
        EXPECT_LE(std::abs(static_cast<double>(r.stopFrame) - nextDue),
                  PlaybackEngine::kBlock / 2.0);
        EXPECT_EQ(received, r.frames);
        EXPECT_LE(largest, kRenderBuffer);
        // Silence from the start: the tail is one quiet window, in whole buffers.
        EXPECT_TRUE(r.tailSilent);
        EXPECT_EQ(r.frames - r.stopFrame,
                  (4410 + kRenderBuffer - 1) / kRenderBuffer * kRenderBuffer);
    }
}

struct Heard {
    RenderResult result;
    std::vector<float> peak; // max(|left|, |right|) per frame
};

Heard renderHeard(const std::string& soundFont, globali& g, int repeats) {
    SoundOptions options;
    options.soundFont = soundFont;
    options.seed = 1;
    SoundSystem sound(g, options);
    sound.loadSoundFont();
    Heard h;
    h.result = renderLoop(sound, g, repeats, [&](const float* l, const float* r, int n) {
        for (int i = 0; i < n; ++i)
            h.peak.push_back(std::max(std::abs(l[i]), std::abs(r[i])));
        return true;
    });
    return h;
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
        auto g = startupModel(120);
        clearCells(*g);
        g->pb[kBassButton] = kSwitchOn;
        g->edfiv[kBassTrack][0] = program;
        g->pp[cellIndex(kBassTrack, 16)] = 48;
        const Heard h = renderHeard(soundFont, *g, 1);
        ASSERT_TRUE(h.result.completed);
        EXPECT_TRUE(h.result.tailSilent);
        EXPECT_LT(h.result.frames - h.result.stopFrame, 2 * 44100);
        EXPECT_LT(*std::max_element(h.peak.end() - 4410, h.peak.end()), kTailSilence);
        const float lastStroke = *std::max_element(h.peak.begin() + h.result.stopFrame - 2000,
                                                   h.peak.begin() + h.result.stopFrame);
        EXPECT_GT(lastStroke, 0.01f); // the note did sound until the stop
        sounds.push_back(h.peak);
    }
    EXPECT_NE(sounds[0], sounds[1]);
}

} // namespace
} // namespace zumbal
