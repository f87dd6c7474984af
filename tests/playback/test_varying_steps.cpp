#include "playback/AllocationCounter.h"
#include "playback/PlaybackEngine.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace zumbal {
namespace {

using test::NoteCall;

constexpr int kRate = 44100;
constexpr int kBassNote = 40;

int64_t blockOf(double due) {
    return std::llround(due / PlaybackEngine::kBlock) * PlaybackEngine::kBlock;
}

// The samples of the note-ons sent on MIDI, by track (drums by their note).
struct MidiOns final : MidiSink {
    void note(int frame, const uint8_t* bytes, int size) override {
        if (size < 3 || (bytes[0] & 0xF0) != 0x90 || bytes[2] == 0)
            return;
        const auto drum = std::find(kDefaultSounds.begin(), kDefaultSounds.end(), bytes[1]);
        const auto track = bytes[0] == 0x98 ? kBassTrack : drum - kDefaultSounds.begin();
        ons[static_cast<int>(track)].push_back(base + frame);
    }
    void clock(int, uint8_t) override {}
    int64_t base = 0;
    std::map<int, std::vector<int64_t>> ons;
};

// A silent loop with every track on, on an engine driven by a virtual
// clock; every note is stamped with the block start where the synth starts it.
struct Rig {
    explicit Rig(uint64_t seed = 1) : random(seed) {
        clearCells(g);
        resetTrackSounds(g);
        setDefaultButtonStates(g);
        g.tempo = 120;
    }
    void step(int track, int stroke, StepVariation v, int code = kHit) {
        const int c = cellIndex(track, stroke);
        g.pp[c] = track == kBassTrack ? kBassNote : code;
        g.vary[c] = packVariation(v);
    }
    void run(int64_t frames, int buffer = 512) {
        for (; frames > 0; frames -= buffer) {
            midi.base = engine.now();
            engine.process(
                static_cast<int>(std::min<int64_t>(buffer, frames)),
                [&](int, int count) { out.stamp += count; }, &midi);
        }
    }
    void runTo(double sample, int buffer = 512) {
        run(std::llround(sample) - engine.now(), buffer);
    }
    // The note-ons of `track` given to the synth.
    std::vector<int64_t> ons(int track) const {
        std::vector<int64_t> samples;
        for (const NoteCall& c : out.calls)
            if (c.track == track && c.velocity > 0)
                samples.push_back(c.sample);
        return samples;
    }
    double strokeLength() const { return kRate * 15.0 / g.tempo; }

    globali g;
    test::RecordingOutput out;
    MidiOns midi;
    SeededRandom random;
    PlaybackEngine engine{g, out, random, kRate};
};
struct Varying : Rig, ::testing::Test {};

// Each strike of a ratchet and of a nudged step lands on the block nearest
// its own due sample, and on MIDI on that sample's frame: spread evenly up
// to the next stroke as swung, moved by 24ths of a stroke, and kept between
// the neighbouring strokes, which the bass's strikes reach under the
// hardest swing. The early nudges are decided ahead, whatever the buffer.
TEST_F(Varying, RatchetsAndNudgesStrikeOnTheirOwnSamples) {
    struct Row {
        int track, stroke, ratchet, nudge;
    };
    // Stroke 7 nudged half a stroke early meets stroke 6 nudged half a stroke late.
    const std::vector<Row> rows{{0, 2, 2, -1},  {1, 3, 3, 0}, {2, 5, 4, 0},           {3, 6, 1, 12},
                                {4, 7, 1, -12}, {5, 9, 4, 5}, {kBassTrack, 10, 2, 12}};
    for (const Row& r : rows)
        step(r.track, r.stroke, {100, kAlways, r.ratchet, r.nudge});
    struct Feel {
        bool threeFour, ternary;
        int swing, tempo, buffer;
    };
    for (const Feel f : {Feel{false, false, 50, 120, 512},
                         {false, false, 75, 97, 333},
                         {false, true, 50, 120, 256},
                         {false, true, 75, 97, 1024},
                         {true, false, 66, 140, 512},
                         {true, true, 75, 60, 100}}) {
        SCOPED_TRACE(testing::Message() << "3/4 " << f.threeFour << ", ternary " << f.ternary
                                        << ", swing " << f.swing);
        out.calls.clear();
        midi.ons.clear();
        g.ter_3_4 = f.threeFour;
        g.ter_ter = f.ternary;
        g.swing = f.swing;
        g.tempo = f.tempo;
        const double L = strokeLength(), press = static_cast<double>(engine.now());
        // The bar's strokes, swung, from stroke 1 one stroke after the press.
        std::vector<int> strokes{1};
        std::vector<double> due;
        for (size_t k = 0; k <= size_t(strokesInBar(f.threeFour, f.ternary)); ++k) {
            const bool swung = !f.ternary && strokes[k] % 2 == 0;
            due.push_back(press + (k + 1) * L + (swung ? (f.swing - 50) / 50.0 * L : 0));
            strokes.push_back(nextStroke(strokes[k], f.threeFour, f.ternary));
        }
        engine.start();
        runTo(due.back() - L / 2, f.buffer);
        engine.stop();
        run(f.buffer);
        for (const Row& r : rows) {
            const size_t k = std::find(strokes.begin(), strokes.end(), r.stroke) - strokes.begin();
            std::vector<int64_t> blocks, frames;
            double last = 0;
            for (int i = 0; i < r.ratchet; ++i) {
                const double at =
                    std::clamp(due[k] + r.nudge * L / 24 + i * (due[k + 1] - due[k]) / r.ratchet,
                               due[k - 1], due[k + 1]);
                if (i > 0 && at <= last)
                    continue; // clamped onto the strike before: one hit
                last = at;
                blocks.push_back(blockOf(at));
                frames.push_back(ScheduledEvents::frameOf(at));
            }
            EXPECT_EQ(ons(r.track), blocks) << "stroke " << r.stroke;
            EXPECT_EQ(midi.ons[r.track], frames) << "stroke " << r.stroke;
        }
    }
}

// The conditions over eight passes, with a fill bar latched in pass 3, a
// fill held through pass 6 and a fill preset playing pass 8; the passes
// keep counting through the fill, and nothing allocates on the audio thread.
TEST_F(Varying, ConditionsFollowThePassAndTheFill) {
    struct Row {
        int track, condition;
        std::set<int> passes;
    };
    const std::vector<Row> rows{{0, cycleCondition(1, 2), {1, 3, 5, 7}},
                                {1, cycleCondition(2, 4), {2, 6}},
                                {2, kFirstPass, {1}},
                                {3, kNotFirstPass, {2, 3, 4, 5, 6, 7, 8}},
                                {4, kFillOnly, {3, 6, 8}},
                                {5, kNotFill, {1, 2, 4, 5, 7}},
                                {kBassTrack, cycleCondition(3, 3), {3, 6}}};
    for (const Row& r : rows)
        step(r.track, 5, {100, r.condition, 2, -3});
    struct Fill final : BarLineChange {
        void apply(globali&, NotePlayer&) override {}
    } fill;
    const double L = strokeLength(), press = static_cast<double>(engine.now());
    const auto at = [&](int pass, int stroke) { return press + L * ((pass - 1) * 16 + stroke); };
    // The recordings grow off the audio thread.
    out.calls.reserve(1000);
    for (int t = 0; t < kTracks; ++t)
        midi.ons[t].reserve(100);
    const AudioThreadScope audio;
    const AllocationCounts before = audioThreadAllocations();
    engine.start();
    for (int pass = 1; pass <= 8; ++pass) {
        runTo(at(pass, 3));
        engine.holdFill(pass == 6);
        runTo(at(pass, 8));
        engine.holdFill(false);
        if (pass == 2)
            engine.latchFillBar();
        if (pass == 7) {
            ASSERT_EQ(engine.queueFill(&fill), nullptr);
        }
    }
    runTo(at(9, 0));
    EXPECT_EQ(audioThreadAllocations().allocations, before.allocations);
    EXPECT_EQ(engine.takeLandedFill(), &fill);
    for (const Row& r : rows) {
        std::set<int> passes;
        for (const int64_t on : ons(r.track))
            passes.insert(static_cast<int>((on + 32 - press - L) / (16 * L)) + 1);
        EXPECT_EQ(passes, r.passes) << "track " << r.track;
    }
}

// Which steps a chance plays: the same in two runs of one seed and run,
// others with another seed or at the next Play. The random hits draw as
// they always have, whether or not their condition lets them sound.
TEST(VaryingChance, RepeatsWithTheSeedAndTheRunAndLeavesTheRandomHitsAlone) {
    struct Played {
        std::vector<std::vector<int64_t>> hits; // of the chance's track, from each Play
        std::vector<int64_t> randomHits;        // of the plain random hits' track
    };
    const auto play = [](uint64_t seed, int randomCondition) {
        Rig rig(seed);
        for (int s = 1; s <= kStrokes; ++s) {
            rig.step(0, s, {50, kAlways, 1, 0});
            rig.step(1, s, {100, randomCondition, 1, 0}, kRandomHit);
            rig.step(2, s, {}, kRandomHit);
        }
        Played played;
        for (int run = 0; run < 2; ++run) {
            const int64_t press = rig.engine.now();
            const size_t from = rig.ons(0).size();
            rig.engine.start();
            rig.run(std::llround(4.5 * 16 * rig.strokeLength()));
            rig.engine.stop();
            rig.run(512);
            std::vector<int64_t> hits = rig.ons(0);
            hits.erase(hits.begin(), hits.begin() + from);
            for (int64_t& h : hits)
                h -= press;
            played.hits.push_back(hits);
        }
        played.randomHits = rig.ons(2);
        return played;
    };
    const Played seven = play(7, kAlways);
    EXPECT_GT(seven.hits[0].size(), 0u);
    EXPECT_LT(seven.hits[0].size(), 72u); // of 72 strokes
    EXPECT_EQ(seven.hits, play(7, kAlways).hits);
    EXPECT_NE(seven.hits[0], seven.hits[1]); // the next Play
    EXPECT_NE(seven.hits[0], play(8, kAlways).hits[0]);
    EXPECT_EQ(seven.randomHits, play(7, kFirstPass).randomHits);
}

// A tempo change while a ratchet's strikes wait: the strikes decided keep
// their places (up to the next stroke as it was due), and the next stroke
// comes at the new tempo, before the last of them.
TEST_F(Varying, ATempoChangeMidRatchetMovesNoStrikeDecided) {
    step(0, 1, {100, kAlways, 4, 12});
    step(1, 2, {});
    const double L = strokeLength(), press = static_cast<double>(engine.now());
    engine.start();
    runTo(press + L + 1, 64); // stroke 1 decided, its strikes waiting
    g.tempo = 240;
    runTo(press + 4 * L, 64);
    engine.stop();
    run(512);
    std::vector<int64_t> strikes;
    for (int k = 0; k < 4; ++k)
        strikes.push_back(
            ScheduledEvents::frameOf(std::min(press + L * (1.5 + k / 4.0), press + 2 * L)));
    strikes.erase(std::unique(strikes.begin(), strikes.end()), strikes.end());
    EXPECT_EQ(midi.ons[0], strikes);
    ASSERT_EQ(midi.ons[1].size(), 1u);
    EXPECT_LT(midi.ons[1][0], ScheduledEvents::frameOf(press + 2 * L));
}

// A master followed from its bar 1, and sent back to its top while it
// rolls (a MIDI Start without a Stop): each time the first pass is pass 1.
TEST_F(Varying, TheFirstPassIsOneAfterAMastersStartAndItsReturnToTheTop) {
    struct Master final : sync::BeatSource {
        sync::SourceBeat at(int64_t frame, int rate, const sync::MasterBeat&) override {
            return {true, true, {(frame - top) * 2.0 / rate, 120}};
        }
        int64_t top = 0;
    } master;
    step(0, 1, {100, kFirstPass, 1, 0});
    const double bar = 16 * strokeLength();
    const int64_t first = master.top = engine.now();
    engine.follow(&master);
    runTo(blockOf(first + 2.5 * bar));
    const int64_t second = master.top = engine.now();
    runTo(second + 2.5 * bar);
    engine.follow(nullptr);
    run(512);
    EXPECT_EQ(ons(0), (std::vector<int64_t>{blockOf(first), blockOf(second)}));
}

// The ring hands each reader its events in the order of their due samples,
// however they were decided, and never slips one in before an event a
// reader has taken.
TEST(ScheduledEvents, InsertsByDueAfterWhatAReaderHasTaken) {
    ScheduledEvents events;
    const auto push = [&](double due, int note) {
        events.setDue(due);
        events.playNote(0, note, 100);
    };
    push(10, 1);
    push(40, 2);
    std::vector<int> synth, midi;
    events.takeForSynth(20, [&](const ScheduledEvent& e) { synth.push_back(e.note); });
    push(5, 3); // late: after the event already taken
    push(30, 4);
    push(30, 5); // the same due: after the one decided before it
    events.pushClock(20, kMidiClock);
    events.takeForSynth(100, [&](const ScheduledEvent& e) { synth.push_back(e.note); });
    events.takeForMidi(100,
                       [&](const ScheduledEvent& e) { midi.push_back(e.track < 0 ? -1 : e.note); });
    EXPECT_EQ(synth, (std::vector<int>{1, 3, 4, 5, 2}));
    EXPECT_EQ(midi, (std::vector<int>{1, 3, -1, 4, 5, 2}));
}

} // namespace
} // namespace zumbal
