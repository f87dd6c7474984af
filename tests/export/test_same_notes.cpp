#include "export/MidiWriter.h"
#include "loops/LoopModel.h"
#include "playback/PlaybackEngine.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <tuple>

namespace zumbal {
namespace {

// A note-on: its tick (stroke 1 of the first pass is one stroke in, 48 ticks,
// in the file and on the engine's clock alike), its status and its note.
using On = std::tuple<int64_t, int, int>;

// The note-ons of a Standard MIDI File, from every track, in tick order.
std::vector<On> fileOns(const std::vector<uint8_t>& f) {
    std::vector<On> ons;
    for (size_t pos = 14; pos + 8 <= f.size();) {
        const size_t end =
            pos + 8 + (size_t(f[pos + 4]) << 24 | f[pos + 5] << 16 | f[pos + 6] << 8 | f[pos + 7]);
        int64_t tick = 0;
        for (size_t i = pos + 8; i < end;) {
            uint32_t delta = 0;
            do
                delta = delta << 7 | (f[i] & 0x7F);
            while (f[i++] & 0x80);
            tick += delta;
            const uint8_t status = f[i];
            const size_t size = status == 0xFF ? 3 + f[i + 2] : (status & 0xF0) == 0xC0 ? 2 : 3;
            if ((status & 0xF0) == 0x90 && f[i + 2] > 0)
                ons.emplace_back(tick, status, f[i + 1]);
            i += size;
        }
        pos = end;
    }
    std::sort(ons.begin(), ons.end());
    return ons;
}

struct MidiOns final : MidiSink {
    void note(int frame, const uint8_t* bytes, int size) override {
        if (size == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0)
            ons.push_back({base + frame, bytes[0], bytes[1]});
    }
    void clock(int, uint8_t) override {}
    int64_t base = 0;
    std::vector<On> ons; // by frame
};

// One seed decides alike what the engine plays (the synth's notes, as a
// render hears them, and MIDI out) and what the export writes: every
// chance, condition, ratchet and nudge over the same passes.
TEST(SameNotes, TheEngineAndTheExportDecideEveryVaryingStepAlike) {
    constexpr int kRate = 48000, kPasses = 8;
    LoopRecord loop{.layout = LoopLayout::Current, .tempo = 120};
    loop.pb.fill(kSwitchOn);
    loop.pb[kThreeFourButton] = loop.pb[kTernaryButton] = kSwitchOff;
    loop.volum.fill(99);
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {kDefaultSounds[t], 99};
    for (int c = 0; c < kCells; ++c)
        loop.pp[c] = c < kFirstBassCell ? kRest : kBassRest;
    const auto step = [&](int track, int stroke, StepVariation v) {
        const int c = cellIndex(track, stroke);
        loop.pp[c] = track == kBassTrack ? 40 : kHit;
        loop.steps[c] = v;
    };
    for (int s = 1; s <= kStrokes; s += 2)
        step(0, s, {50, kAlways, 1, 0});
    step(1, 5, {100, cycleCondition(2, 4), 3, 0});
    step(1, 13, {70, kNotFirstPass, 2, 4});
    step(2, 3, {100, cycleCondition(1, 2), 1, -5});
    step(3, 16, {60, kAlways, 4, 12});
    step(kBassTrack, 1, {80, kNotFill, 2, 0});
    step(kBassTrack, 9, {100, kFirstPass, 1, -12});
    for (const uint64_t seed : {1u, 7u}) {
        SCOPED_TRACE(seed);
        const std::vector<On> exported = fileOns(writeMidiFile(loop, kPasses, seed));

        globali g;
        loadIntoModel(g, loop, true);
        test::RecordingOutput out;
        SeededRandom random(seed);
        PlaybackEngine engine(g, out, random, kRate);
        out.engine = &engine;
        MidiOns midi;
        const double stroke = kRate * 15.0 / 120, tick = stroke / 48;
        // Exactly the passes, as a render plays them, and every strike after.
        engine.start(PlaybackEngine::FirstStroke::AfterOneStroke, kStrokes * kPasses);
        while (engine.now() < std::llround(stroke * (kStrokes * kPasses + 2))) {
            midi.base = engine.now();
            engine.process(
                256, [](int, int) {}, &midi);
        }
        // MIDI out: on the tick of its frame, counted from stroke 1.
        std::vector<On> played;
        for (const auto& [frame, status, note] : midi.ons)
            played.emplace_back(std::llround(frame / tick), status, note);
        std::sort(played.begin(), played.end());
        std::vector<On> onlyPlayed, onlyExported;
        std::set_difference(played.begin(), played.end(), exported.begin(), exported.end(),
                            std::back_inserter(onlyPlayed));
        std::set_difference(exported.begin(), exported.end(), played.begin(), played.end(),
                            std::back_inserter(onlyExported));
        EXPECT_EQ(onlyPlayed, std::vector<On>{});
        EXPECT_EQ(onlyExported, std::vector<On>{});
        // The synth: the same notes, each at the block nearest its MIDI frame.
        ASSERT_FALSE(out.calls.empty());
        std::vector<std::pair<int64_t, int>> heard;
        for (const test::NoteCall& c : out.calls)
            if (c.velocity > 0)
                heard.emplace_back(c.sample, c.note);
        ASSERT_EQ(heard.size(), midi.ons.size());
        for (size_t i = 0; i < heard.size(); ++i) {
            EXPECT_EQ(heard[i].second, std::get<2>(midi.ons[i])) << i;
            EXPECT_LE(std::abs(heard[i].first - std::get<0>(midi.ons[i])),
                      PlaybackEngine::kBlock / 2)
                << i;
        }
    }
}

} // namespace
} // namespace zumbal
