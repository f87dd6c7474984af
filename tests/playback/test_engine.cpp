#include "model/globali.h"
#include "playback/EventSoundMixer.h"
#include "playback/PlaybackEngine.h"
#include "playback/StrokeTimeline.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zumbal {
namespace {

using test::NoteCall;
using test::RecordingOutput;
using test::ScriptedRandom;

constexpr int kRate = 44100;

TEST(StrokeTimeline, StrokesNeverDriftFromTheGrid) {
    for (int tempo : {10, 97, 120, 240}) {
        StrokeTimeline timeline(kRate);
        timeline.start(1000, tempo);
        const double length = kRate * 15.0 / tempo;
        for (int k = 1; k <= 200000; ++k) {
            ASSERT_DOUBLE_EQ(timeline.nextDue(), 1000 + k * length) << tempo << " stroke " << k;
            timeline.strokeDone();
        }
    }
}

TEST(StrokeTimeline, NewTempoCountsFromTheLastStroke) {
    StrokeTimeline timeline(kRate);
    timeline.start(0, 120);
    timeline.strokeDone(); // at 5512.5
    timeline.setTempo(60);
    EXPECT_DOUBLE_EQ(timeline.nextDue(), 5512.5 + 11025);
    timeline.setTempo(60); // the same tempo again moves nothing
    EXPECT_DOUBLE_EQ(timeline.nextDue(), 5512.5 + 11025);
}

TEST(StrokeTimeline, TempoChangeBeforeTheFirstStrokeCountsFromThePress) {
    StrokeTimeline timeline(kRate);
    timeline.start(700, 120);
    timeline.setTempo(240);
    EXPECT_DOUBLE_EQ(timeline.nextDue(), 700 + 2756.25);
}

// The start-up loop on an engine driven by a virtual clock: buffers of any
// size are "rendered" by doing nothing, and every note is recorded with the
// block start at which the synth would start it.
struct EngineFixture : ::testing::Test {
    EngineFixture() {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        out.engine = &engine;
    }
    void run(int64_t frames, int buffer = 512) {
        while (frames > 0) {
            const int n = static_cast<int>(std::min<int64_t>(buffer, frames));
            engine.process(n, [](int, int) {});
            frames -= n;
        }
    }
    std::vector<int64_t> noteOnSamples(int track) const {
        std::vector<int64_t> samples;
        for (const NoteCall& c : out.calls)
            if (c.track == track && c.velocity > 0)
                samples.push_back(c.sample);
        return samples;
    }

    globali g;
    RecordingOutput out;
    ScriptedRandom random{{}};
    PlaybackEngine engine{g, out, random, kRate};
};

// Nearest block start to an ideal due sample.
int64_t blockOf(double due) {
    return std::llround(due / PlaybackEngine::kBlock) * PlaybackEngine::kBlock;
}

TEST_F(EngineFixture, StrokesLandOnTheBlockNearestTheirDueSample) {
    for (int buffer : {64, 100, 512, 1024}) {
        out.calls.clear();
        g.battito = 0;
        run(5000, buffer);
        for (int s = 1; s <= 16; ++s)
            g.pp[s - 1] = kHit;
        const int64_t press = engine.now();
        engine.start();
        run(kRate * 4, buffer); // 32 strokes at 120 BPM
        const auto hits = noteOnSamples(0);
        const auto due = [&](size_t k) { return press + (k + 1) * kRate * 15.0 / 120; };
        // The last stroke is played only if its block has started before the end.
        const size_t expected = blockOf(due(31)) < engine.now() ? 32 : 31;
        ASSERT_EQ(hits.size(), expected) << buffer;
        for (size_t k = 0; k < hits.size(); ++k) {
            EXPECT_EQ(hits[k], blockOf(due(k))) << "buffer " << buffer << " stroke " << k + 1;
            EXPECT_LE(std::abs(hits[k] - due(k)), 32.0);
        }
    }
}

TEST_F(EngineFixture, StopAndStartAgainRestartsAtStrokeOne) {
    engine.start();
    run(kRate * 2 / 3); // strokes 1..5 have played
    EXPECT_EQ(g.battito, 6);
    engine.stop();
    run(kRate);
    EXPECT_EQ(engine.strokesPlayed(), 5u);
    out.calls.clear();
    const int64_t press = engine.now();
    engine.start();
    EXPECT_EQ(g.battito, 1);
    run(6000);
    ASSERT_EQ(noteOnSamples(0).size(), 1u); // bass drum on stroke 1
    EXPECT_EQ(noteOnSamples(0)[0], blockOf(press + 5512.5));
    EXPECT_EQ(engine.lastStroke(), 1);
}

TEST_F(EngineFixture, TempoChangeTimesTheWaitingStrokeFromTheLastOne) {
    for (int s = 1; s <= 16; ++s)
        g.pp[s - 1] = kHit;
    engine.start();
    run(12000); // strokes 1 (5512.5) and 2 (11025) have played
    ASSERT_EQ(noteOnSamples(0).size(), 2u);
    g.tempo = 60;
    run(40000);
    const auto hits = noteOnSamples(0);
    ASSERT_GE(hits.size(), 4u);
    EXPECT_EQ(hits[2], blockOf(11025 + 11025));
    EXPECT_EQ(hits[3], blockOf(11025 + 2 * 11025));
}

TEST_F(EngineFixture, AFasterTempoPlaysAnOverdueStrokeOnceAndGoesOnFromThere) {
    for (int s = 1; s <= 16; ++s)
        g.pp[s - 1] = kHit;
    g.tempo = 10;
    engine.start();
    run(102400);   // stroke 1 at 66150; stroke 2 waits until 132300
    g.tempo = 240; // due at 66150 + 2756.25: long past
    run(PlaybackEngine::kBlock);
    auto hits = noteOnSamples(0);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1], 102400);
    run(10000);
    hits = noteOnSamples(0);
    ASSERT_GE(hits.size(), 4u);
    EXPECT_EQ(hits[2], blockOf(102400 + 2756.25));
    EXPECT_EQ(hits[3], blockOf(102400 + 2 * 2756.25));
}

TEST_F(EngineFixture, PlayingOnAStaleTimelineNeverBursts) {
    for (int s = 1; s <= 16; ++s)
        g.pp[s - 1] = kHit;
    engine.start();
    run(10000);
    engine.stop();
    run(kRate * 60);
    out.calls.clear();
    g.battito = 1; // running again, but the timeline is still the old run's
    run(PlaybackEngine::kBlock);
    EXPECT_EQ(noteOnSamples(0).size(), 1u);
}

TEST_F(EngineFixture, StopEndsTheSoundingBassNoteOnce) {
    g.pp[kFirstBassCell] = 40;
    engine.start();
    run(6000);
    engine.stop();
    out.calls.clear();
    run(kRate);
    EXPECT_EQ(out.calls, (std::vector<NoteCall>{{kBassTrack, 40, 0, 6016}}));
}

TEST_F(EngineFixture, NothingPlaysWhileStopped) {
    g.battito = 0;
    run(kRate);
    EXPECT_TRUE(out.calls.empty());
    EXPECT_EQ(engine.now(), kRate);
}

TEST(EventSoundMixer, MixesQueuedClipsAndFreesFinishedVoices) {
    EventSoundMixer mixer;
    PcmClip clip{{0.5f, 0.5f, 0.5f}, {-0.25f, -0.25f, -0.25f}};
    std::vector<float> left(2, 0.1f), right(2, 0.0f);
    mixer.play(clip);
    mixer.play(clip);
    mixer.mixInto(left.data(), right.data(), 2);
    EXPECT_FLOAT_EQ(left[0], 1.1f);
    EXPECT_FLOAT_EQ(right[1], -0.5f);
    std::fill(left.begin(), left.end(), 0.0f);
    mixer.mixInto(left.data(), right.data(), 2);
    EXPECT_FLOAT_EQ(left[0], 1.0f); // the last frame of both
    EXPECT_FLOAT_EQ(left[1], 0.0f);
    std::fill(left.begin(), left.end(), 0.0f);
    for (int i = 0; i < EventSoundMixer::kQueue + 5; ++i)
        mixer.play(clip); // more than the queue holds: the excess is dropped
    mixer.mixInto(left.data(), right.data(), 1);
    EXPECT_FLOAT_EQ(left[0], 0.5f * EventSoundMixer::kVoices);
}

} // namespace
} // namespace zumbal
