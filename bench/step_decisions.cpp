// Which passes the varying steps play in. On the engine's virtual clock,
// a loop of three steps (a kick on 2:4, a snare at a 25 % chance, a hat on
// the first pass only) plays ten runs of 1,000 passes each, a Play apiece;
// every note is dated to its pass. Prints where the 2:4 step played against
// passes 2, 6, 10, ..., the 25 % step's count against the binomial 99.9 %
// interval, and how often the first-pass step played in each run.
//
//   step_decisions [--seed S]

#include "model/StepVariation.h"
#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 44100, kRuns = 10, kPasses = 1000;

// The pass of each note-on, by track.
struct PassCounter final : NoteOutput {
    void playNote(int track, int, int velocity) override {
        if (velocity > 0 && track < 3)
            passes[track].push_back(
                static_cast<int>((static_cast<double>(engine->now()) - start) / bar) + 1);
    }
    void setInstrument(int, int) override {}
    const PlaybackEngine* engine = nullptr;
    double start = 0, bar = 0;
    std::vector<int> passes[3];
};

int run(uint64_t seed) {
    globali g;
    clearCells(g);
    resetTrackSounds(g);
    setDefaultButtonStates(g);
    g.tempo = 240;
    const auto step = [&](int track, StepVariation v) {
        g.pp[cellIndex(track, 5)] = kHit;
        g.vary[cellIndex(track, 5)] = packVariation(v);
    };
    step(0, {100, cycleCondition(2, 4), 1, 0});
    step(1, {25, kAlways, 1, 0});
    step(2, {100, kFirstPass, 1, 0});
    PassCounter out;
    SeededRandom random(seed);
    PlaybackEngine engine(g, out, random, kRate);
    out.engine = &engine;
    const double stroke = kRate * 15.0 / g.tempo;
    out.bar = 16 * stroke;
    int wrongCycle = 0, chanceHits = 0;
    std::vector<int> firsts;
    for (int r = 0; r < kRuns; ++r) {
        for (auto& p : out.passes)
            p.clear();
        // Stroke 1 is due one stroke after the start.
        out.start = static_cast<double>(engine.now()) + stroke;
        engine.start(PlaybackEngine::FirstStroke::AfterOneStroke, 16 * kPasses);
        while (engine.now() < out.start + kPasses * out.bar + stroke)
            engine.process(512, [](int, int) {});
        engine.stop();
        engine.process(512, [](int, int) {});
        std::vector<int> due;
        for (int p = 2; p <= kPasses; p += 4)
            due.push_back(p);
        wrongCycle += out.passes[0] != due;
        chanceHits += static_cast<int>(out.passes[1].size());
        firsts.push_back(static_cast<int>(out.passes[2].size()) *
                         (out.passes[2] == std::vector{1}));
    }
    const double n = kRuns * kPasses, mean = n * 0.25, sd = std::sqrt(n * 0.25 * 0.75);
    const double low = mean - 3.29 * sd, high = mean + 3.29 * sd;
    std::printf("Varying steps over %d runs of %d passes on the virtual clock (seed %llu)\n", kRuns,
                kPasses, static_cast<unsigned long long>(seed));
    std::printf("  2:4 step: runs where it played other passes than 2, 6, 10, ...: %d (target 0)\n",
                wrongCycle);
    std::printf("  25 %% step: %d of %.0f passes; binomial 99.9 %% interval %.0f..%.0f: %s\n",
                chanceHits, n, low, high,
                chanceHits >= low && chanceHits <= high ? "within" : "OUTSIDE");
    std::printf("  first-pass step, plays on pass 1 of each run (target 1 each):");
    for (int f : firsts)
        std::printf(" %d", f);
    std::printf("\n");
    return 0;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    uint64_t seed = 1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seed") == 0)
            seed = std::strtoull(argv[i + 1], nullptr, 10);
    return zumbal::run(seed);
}
