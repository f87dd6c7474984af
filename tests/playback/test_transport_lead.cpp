#include "playback/PlaybackEngine.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zumbal {
namespace {

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
    engine.stop();
    engine.process(kBlock, [](int, int) {});
    EXPECT_FALSE(engine.ownBeat().playing);
    EXPECT_DOUBLE_EQ(engine.ownBeat().quartersPerMinute, 96);
}

} // namespace
} // namespace zumbal
