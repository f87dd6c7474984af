// How exactly swing lands. Plays ten minutes (--minutes M) of a drum hit on
// every stroke through the stroke clock on a virtual clock, in the live
// output's buffer size, at a few tempos and swings, and compares every onset
// with the ideal swung sample: the odd strokes on the grid, the even ones
// swing/100 x 2 stroke lengths after the stroke before them.
//
// An onset is the sample at which the synth starts the note: the engine's
// position when it hands the note-on over, which is the start of the block
// about to be rendered. The MIDI clock is not measured; it stays on the grid.

#include "BenchSupport.h"
#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"
#include "playback/StrokeStep.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 512; // the live output's period
constexpr std::array<int, 3> kTempos{60, 97, 240};
constexpr std::array<int, 4> kSwings{50, 58, 66, 75};
constexpr double kTargetMs = 1000.0 * PlaybackEngine::kBlock / 2 / kRate;

// Notes the engine's position at every note-on of track 0.
class OnsetRecorder final : public NoteOutput {
public:
    void watch(const PlaybackEngine& engine) { m_engine = &engine; }
    const std::vector<int64_t>& onsets() const { return m_onsets; }
    void playNote(int track, int, int velocity) override {
        if (track == 0 && velocity > 0)
            m_onsets.push_back(m_engine->now());
    }
    void setInstrument(int, int) override {}

private:
    const PlaybackEngine* m_engine = nullptr;
    std::vector<int64_t> m_onsets;
};

struct Figures {
    size_t strokes = 0;
    double worst = 0; // the largest |error|, in samples
    double last = 0;  // the last stroke's error, in samples
};

Figures play(int bpm, int swing, double minutes) {
    auto g = std::make_unique<globali>();
    setStartupLoop(*g);
    setDefaultButtonStates(*g);
    for (int s = 1; s <= kStrokes; ++s)
        g->pp[cellIndex(0, s)] = kHit;
    g->tempo = bpm;
    g->swing = swing;

    OnsetRecorder recorder;
    SeededRandom random{1};
    PlaybackEngine engine(*g, recorder, random, kRate);
    recorder.watch(engine);
    const auto silent = [](int, int) {};
    for (int i = 0; i < 7; ++i) // as in the program, the start is not sample 0
        engine.process(kBuffer, silent);
    const int64_t start = engine.now();
    engine.start();
    const int64_t end = start + std::llround(minutes * 60 * kRate);
    while (engine.now() < end)
        engine.process(kBuffer, silent);

    // Stroke k (from 1) of the run is due at start + k stroke lengths, the
    // even strokes of the bar moved by the swing.
    const double length = kRate * 15.0 / bpm;
    const double shift = (swing - kStraight) / 50.0 * length;
    Figures f;
    f.strokes = recorder.onsets().size();
    int stroke = 1;
    for (size_t j = 0; j < f.strokes; ++j, stroke = nextStroke(stroke, false, false)) {
        const double due = start + (j + 1) * length + (stroke % 2 == 0 ? shift : 0.0);
        f.last = static_cast<double>(recorder.onsets()[j]) - due;
        f.worst = std::max(f.worst, std::abs(f.last));
    }
    return f;
}

double toMs(double samples) {
    return samples * 1000.0 / kRate;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    using namespace zumbal;
    const auto options = bench::parseOptions(argc, argv, 10);
    if (!options) {
        std::fprintf(stderr, "usage: groove_timing [--minutes M]\n");
        return 2;
    }
    std::printf("%.1f minutes a case, %d-frame buffers at %d Hz; onset = block start at which the "
                "synth starts the note\n\n",
                options->minutes, kBuffer, kRate);
    std::printf("%4s %6s %8s %14s %10s %14s %10s\n", "BPM", "swing", "strokes", "worst samples",
                "worst ms", "last samples", "last ms");
    bool withinTarget = true;
    for (const int bpm : kTempos)
        for (const int swing : kSwings) {
            const Figures f = play(bpm, swing, options->minutes);
            std::printf("%4d %5d%% %8zu %14.2f %10.3f %+14.2f %+10.3f\n", bpm, swing, f.strokes,
                        f.worst, toMs(f.worst), f.last, toMs(f.last));
            withinTarget = withinTarget && toMs(f.worst) <= kTargetMs + 1e-9;
        }
    std::printf("\ntarget: worst within half a synth block, %.3f ms (%d samples): %s\n", kTargetMs,
                PlaybackEngine::kBlock / 2, withinTarget ? "met" : "MISSED");
    return 0;
}
