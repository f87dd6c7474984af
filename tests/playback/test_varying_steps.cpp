#include "playback/PlaybackEngine.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace zumbal {
namespace {

using test::NoteCall;

constexpr int kRate = 44100;
constexpr int kBassNote = 40;

int64_t blockOf(double due) {
    return std::llround(due / PlaybackEngine::kBlock) * PlaybackEngine::kBlock;
}

// The note-ons sent on MIDI: the channel and note, and the sample of their frame.
struct MidiOns final : MidiSink {
    void note(int frame, const uint8_t* bytes, int size) override {
        if (size == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0)
            ons.push_back({bytes[0] & 0x0F, bytes[1], base + frame});
    }
    void clock(int, uint8_t) override {}
    struct On {
        int channel, note;
        int64_t sample;
    };
    int64_t base = 0;
    std::vector<On> ons;
};

// A silent loop with every track on, on an engine driven by a virtual
// clock; every note is stamped with the block start where the synth starts it.
struct Varying : ::testing::Test {
    explicit Varying(uint64_t seed = 1) : random(seed) {
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
    // The note-ons of `track`.
    std::vector<int64_t> ons(int track) const {
        std::vector<int64_t> samples;
        for (const NoteCall& c : out.calls)
            if (c.track == track && c.velocity > 0)
                samples.push_back(c.sample);
        return samples;
    }
    std::vector<int64_t> midiOns(int track) const {
        const int channel = track == kBassTrack ? 8 : 9;
        const int note = track == kBassTrack ? kBassNote : kDefaultSounds[track];
        std::vector<int64_t> samples;
        for (const MidiOns::On& on : midi.ons)
            if (on.channel == channel && on.note == note)
                samples.push_back(on.sample);
        return samples;
    }
    double strokeLength() const { return kRate * 15.0 / g.tempo; }

    globali g;
    test::RecordingOutput out;
    MidiOns midi;
    SeededRandom random;
    PlaybackEngine engine{g, out, random, kRate};
};

// Each strike of a ratchet and of a nudged step lands on the block nearest
// its own due sample, and on MIDI on that sample's frame: spread evenly up
// to the next stroke as swung, moved by 24ths of a stroke, and kept between
// the neighbouring strokes, which the hardest swing reaches.
TEST_F(Varying, RatchetsAndNudgesStrikeOnTheirOwnSamples) {
    struct Row {
        int track, stroke, ratchet, nudge;
    };
    const std::vector<Row> rows{{0, 2, 2, 0},   {1, 3, 3, 0},           {2, 5, 4, 0},
                                {3, 6, 1, -12}, {4, 7, 1, -1},          {5, 9, 4, 5},
                                {0, 13, 1, 12}, {kBassTrack, 10, 2, 12}};
    struct Feel {
        bool ternary;
        int swing, tempo, buffer;
    };
    for (const Feel f : {Feel{false, 50, 120, 512},
                         {false, 75, 97, 333},
                         {true, 50, 120, 256},
                         {true, 75, 97, 1024}}) {
        SCOPED_TRACE(testing::Message() << "ternary " << f.ternary << ", swing " << f.swing);
        out.calls.clear();
        midi.ons.clear();
        clearCells(g);
        for (const Row& r : rows)
            step(r.track, r.stroke, {100, kAlways, r.ratchet, r.nudge});
        g.ter_ter = f.ternary;
        g.swing = f.swing;
        g.tempo = f.tempo;
        run(4096);
        const double L = strokeLength(), press = static_cast<double>(engine.now());
        // The bar's strokes, swung, from stroke 1 one stroke after the press.
        std::vector<int> strokes{1};
        while (strokes.size() < size_t(strokesInBar(false, f.ternary)) + 1)
            strokes.push_back(nextStroke(strokes.back(), false, f.ternary));
        std::vector<double> due;
        for (size_t k = 0; k < strokes.size(); ++k) {
            const bool swung = !f.ternary && strokes[k] % 2 == 0;
            due.push_back(press + (k + 1) * L + (swung ? (f.swing - 50) / 50.0 * L : 0));
        }
        engine.start();
        runTo(due.back() - L / 2, f.buffer);
        engine.stop();
        run(f.buffer);
        for (const Row& r : rows) {
            SCOPED_TRACE(testing::Message() << "stroke " << r.stroke);
            const size_t k = std::find(strokes.begin(), strokes.end(), r.stroke) - strokes.begin();
            const double previous = k > 0 ? due[k - 1] : press;
            std::vector<int64_t> blocks, frames;
            for (int i = 0; i < r.ratchet; ++i) {
                const double at =
                    std::clamp(due[k] + r.nudge * L / 24 + i * (due[k + 1] - due[k]) / r.ratchet,
                               previous, due[k + 1]);
                blocks.push_back(blockOf(at));
                frames.push_back(ScheduledEvents::frameOf(at));
            }
            // Another row of the track plays far from this one.
            const auto near = [&](std::vector<int64_t> v) {
                std::erase_if(v, [&](int64_t on) {
                    return on < previous - L / 4 || on > due[k + 1] + L / 4;
                });
                return v;
            };
            const std::vector<int64_t> sound = near(ons(r.track)), sent = near(midiOns(r.track));
            EXPECT_EQ(sound, blocks);
            EXPECT_EQ(sent, frames);
        }
    }
}

// The conditions over eight passes, with a fill bar latched in pass 3, a
// fill held through pass 6 and a fill preset playing pass 8; the passes
// keep counting through the fill.
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
        step(r.track, 5, {100, r.condition, 1, 0});
    struct Fill final : BarLineChange {
        void apply(globali&, NotePlayer&) override {}
    } fill;
    const double L = strokeLength(), press = static_cast<double>(engine.now());
    const auto at = [&](int pass, int stroke) { return press + L * ((pass - 1) * 16 + stroke); };
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
        std::vector<std::vector<int64_t>> hits; // of the chance's track, since each Play
        size_t strokes = 0;                     // of the first run
        std::vector<NoteCall> randomHits;       // of the plain random hits' track
    };
    const auto play = [](uint64_t seed, bool randomCondition) {
        struct Engine : Varying {
            using Varying::Varying;
            void TestBody() override {}
        } e(seed);
        for (int s = 1; s <= kStrokes; ++s) {
            e.step(0, s, {50, kAlways, 1, 0});
            e.step(1, s, {100, randomCondition ? kFirstPass : kAlways, 1, 0}, kRandomHit);
            e.step(2, s, {}, kRandomHit);
        }
        Played played;
        for (int run = 0; run < 2; ++run) {
            const size_t from = e.out.calls.size();
            const int64_t press = e.engine.now();
            e.engine.start();
            e.run(std::llround(4.5 * 16 * e.strokeLength()));
            e.engine.stop();
            e.run(512);
            if (run == 0)
                played.strokes = e.engine.strokesPlayed();
            std::vector<int64_t> hits;
            for (size_t i = from; i < e.out.calls.size(); ++i)
                if (e.out.calls[i].track == 0 && e.out.calls[i].velocity > 0)
                    hits.push_back(e.out.calls[i].sample - press);
            played.hits.push_back(hits);
        }
        for (const NoteCall& c : e.out.calls)
            if (c.track == 2)
                played.randomHits.push_back(c);
        return played;
    };
    const Played seven = play(7, false);
    ASSERT_FALSE(seven.hits[0].empty());
    EXPECT_LT(seven.hits[0].size(), seven.strokes);
    EXPECT_EQ(seven.hits, play(7, false).hits);
    EXPECT_NE(seven.hits[0], seven.hits[1]); // another run
    EXPECT_NE(seven.hits[0], play(8, false).hits[0]);
    EXPECT_EQ(seven.randomHits, play(7, true).randomHits);
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
