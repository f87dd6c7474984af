// Where the strikes of varying steps fall. Plays a loop of ratchets and
// nudged steps for a few minutes in the live output's buffer size, at a few
// tempos and feels, and compares each strike with its ideal sample: in the
// sound, the block start where the synth starts the note (within half a
// block, as for any stroke); on MIDI out, the frame it is sent on (exact).

#include "BenchSupport.h"
#include "model/StepVariation.h"
#include "model/globali.h"
#include "playback/MidiSink.h"
#include "playback/NoteOutput.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 512;

struct Step {
    int track, stroke, ratchet, nudge;
};
// Strokes played under both feels, two apart on each track, so that no
// strike of one step meets another's.
constexpr std::array<Step, 8> kSteps{{{0, 1, 4, 0},
                                      {0, 6, 2, -12},
                                      {1, 3, 3, 5},
                                      {2, 2, 2, 12},
                                      {3, 7, 1, -1},
                                      {4, 10, 4, -7},
                                      {5, 13, 3, 12},
                                      {kBassTrack, 14, 2, -12}}};

struct Feel {
    int tempo, swing;
    bool ternary;
};
constexpr std::array<Feel, 5> kFeels{
    {{120, 50, false}, {97, 66, false}, {240, 75, false}, {97, 50, true}, {10, 58, false}}};

// The strikes the engine hands out: each note-on's track and the engine's
// position when the synth gets it (the block it starts), and the frame of
// each note-on sent on MIDI.
struct Strikes final : NoteOutput, MidiSink {
    void playNote(int track, int, int velocity) override {
        if (velocity > 0)
            sound[track].push_back(engine->now());
    }
    void setInstrument(int, int) override {}
    void note(int frame, const uint8_t* bytes, int size) override {
        if (size == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0)
            midi[(bytes[0] & 0x0F) == 8 ? kBassTrack : trackOf(bytes[1])].push_back(base + frame);
    }
    void clock(int, uint8_t) override {}
    static int trackOf(int note) {
        return static_cast<int>(std::find(kDefaultSounds.begin(), kDefaultSounds.end(), note) -
                                kDefaultSounds.begin());
    }
    const PlaybackEngine* engine = nullptr;
    int64_t base = 0;
    std::array<std::vector<int64_t>, kTracks + 1> sound, midi;
};

void setUpLoop(globali& g, const Feel& f) {
    clearCells(g);
    resetTrackSounds(g);
    setDefaultButtonStates(g);
    g.tempo = f.tempo;
    g.swing = f.swing;
    g.ter_ter = f.ternary;
    for (const Step& s : kSteps) {
        const int c = cellIndex(s.track, s.stroke);
        g.pp[c] = s.track == kBassTrack ? 40 : kHit;
        g.vary[c] = packVariation({100, kAlways, s.ratchet, s.nudge});
    }
}

// The ideal strikes of each track for `strokes` strokes from stroke 1, one
// stroke after `press`.
std::array<std::vector<double>, kTracks> idealStrikes(const Feel& f, double press, int strokes) {
    const double L = kRate * 15.0 / f.tempo;
    const auto due = [&](int k, int stroke) {
        const bool swung = !f.ternary && stroke % 2 == 0;
        return press + (k + 1) * L + (swung ? (f.swing - 50) / 50.0 * L : 0.0);
    };
    std::array<std::vector<double>, kTracks> ideal;
    int stroke = 1;
    double previous = press;
    for (int k = 0; k < strokes; ++k) {
        const int next = nextStroke(stroke, false, f.ternary);
        const double at = due(k, stroke), following = due(k + 1, next);
        for (const Step& s : kSteps) {
            if (s.stroke != stroke)
                continue;
            for (int i = 0; i < s.ratchet; ++i) {
                const double strike =
                    std::clamp(at + s.nudge * L / kNudgeSteps + i * (following - at) / s.ratchet,
                               previous, following);
                // One clamped onto the strike before it is that strike.
                if (i == 0 || strike > ideal[s.track].back())
                    ideal[s.track].push_back(strike);
            }
        }
        previous = at;
        stroke = next;
    }
    return ideal;
}

struct Errors {
    std::vector<double> soundMs, midiFrames;
    size_t unmatched = 0;
};

void measure(const Feel& f, double minutes, Errors& errors) {
    globali g;
    setUpLoop(g, f);
    Strikes strikes;
    SeededRandom random(1);
    PlaybackEngine engine(g, strikes, random, kRate);
    strikes.engine = &engine;
    const auto render = [&] {
        strikes.base = engine.now();
        engine.process(
            kBuffer, [](int, int) {}, &strikes);
    };
    for (int i = 0; i < 7; ++i)
        render();
    const auto press = static_cast<double>(engine.now());
    const double L = kRate * 15.0 / f.tempo;
    const int strokes = std::max(static_cast<int>(minutes * 60 * kRate / L), 2);
    // Exactly those strokes, and every strike of the last one.
    engine.start(PlaybackEngine::FirstStroke::AfterOneStroke, static_cast<uint32_t>(strokes));
    while (engine.now() < press + (strokes + 2) * L)
        render();
    const auto ideal = idealStrikes(f, press, strokes);
    for (int t = 0; t < kTracks; ++t) {
        const size_t n =
            std::min({ideal[t].size(), strikes.sound[t].size(), strikes.midi[t].size()});
        // A strike missing, or one too many, in the sound or on MIDI.
        errors.unmatched +=
            2 * ideal[t].size() + strikes.sound[t].size() + strikes.midi[t].size() - 4 * n;
        for (size_t i = 0; i < n; ++i) {
            errors.soundMs.push_back((strikes.sound[t][i] - ideal[t][i]) * 1000.0 / kRate);
            errors.midiFrames.push_back(static_cast<double>(strikes.midi[t][i]) -
                                        std::floor(ideal[t][i] + 0.5));
        }
    }
}

void print(const char* what, std::vector<double> v, const char* unit) {
    if (v.empty())
        return;
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    std::printf("  %-14s min %+8.3f  median %+8.3f  max %+8.3f %s\n", what, *lo, bench::median(v),
                *hi, unit);
}

int run(int argc, char** argv) {
    const auto options = bench::parseOptions(argc, argv, 2);
    if (!options) {
        std::fprintf(stderr, "usage: step_timing [--minutes M]\n");
        return 2;
    }
    std::printf("Strikes of ratchets and nudged steps against their ideal samples, %g min a "
                "feel, %d-frame buffers (half a block is %.3f ms)\n",
                options->minutes, kBuffer, 1000.0 * PlaybackEngine::kBlock / 2 / kRate);
    Errors all;
    for (const Feel& f : kFeels) {
        Errors errors;
        measure(f, options->minutes, errors);
        std::printf("%3d BPM, swing %d%s: %zu strikes, %zu unmatched\n", f.tempo, f.swing,
                    f.ternary ? ", ternary" : "", errors.soundMs.size(), errors.unmatched);
        print("sound", errors.soundMs, "ms");
        print("MIDI out", errors.midiFrames, "frames");
        all.soundMs.insert(all.soundMs.end(), errors.soundMs.begin(), errors.soundMs.end());
        all.midiFrames.insert(all.midiFrames.end(), errors.midiFrames.begin(),
                              errors.midiFrames.end());
        all.unmatched += errors.unmatched;
    }
    std::printf("all: %zu strikes, %zu unmatched\n", all.soundMs.size(), all.unmatched);
    print("sound", all.soundMs, "ms");
    print("MIDI out", all.midiFrames, "frames");
    return 0;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    return zumbal::run(argc, argv);
}
