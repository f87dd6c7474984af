// How exactly the stroke clock keeps time. Renders ten minutes of audio
// offline through the real synth at a few tempos, in the live output's buffer
// size, and compares every onset with the ideal grid; then does the same
// arithmetic for the old clock (a 10 ms timer polling a 1/60 s tick counter).
//
// An onset is the sample at which FluidSynth starts the note. It applies a
// note-on at the start of the next 64-frame block it renders, so the recorder
// below notes the engine's position when a note-on is issued; a sparse audio
// check then confirms on the rendered sound that notes start there.

#include "BenchSupport.h"
#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"
#include "playback/SoundSystem.h"
#include "playback/Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 512; // the live output's period
constexpr std::array<int, 4> kTempos{120, 97, 240, 10};
constexpr double kHalfBlockMs = 1000.0 * PlaybackEngine::kBlock / 2 / kRate;

// Targets printed beside the figures.
constexpr double kTargetTempoErrorPct = 0.01;
constexpr double kTargetMaxErrorMs = 0.73;

// Hands every note on to the synth and, for each note-on of one track, notes
// the sample at which the synth will start it: the engine's position, which
// is the start of the block about to be rendered.
class OnsetRecorder final : public NoteOutput {
public:
    OnsetRecorder(NoteOutput& inner, int track) : m_inner(inner), m_track(track) {}

    void watch(const PlaybackEngine& engine) { m_engine = &engine; }
    const std::vector<int64_t>& onsets() const { return m_onsets; }

    void playNote(int track, int note, int velocity) override {
        if (track == m_track && velocity > 0)
            m_onsets.push_back(m_engine->now());
        m_inner.playNote(track, note, velocity);
    }
    void setInstrument(int track, int instrument) override {
        m_inner.setInstrument(track, instrument);
    }

private:
    NoteOutput& m_inner;
    int m_track;
    const PlaybackEngine* m_engine = nullptr;
    std::vector<int64_t> m_onsets;
};

// The chain SoundSystem builds (synth, note output, stroke clock, the synth
// rendering each piece process() hands out) with the recorder slipped in
// between the note players and the synth. SoundSystem keeps its note output
// to itself, so the two are rendered side by side and their sound compared.
struct RecordedChain {
    RecordedChain(globali& g, const std::string& soundFont) : engine(g, recorder, random, kRate) {
        recorder.watch(engine);
        std::string error;
        if (synth.loadSoundFont(soundFont, error))
            fluid.setupChannels();
    }

    void render(float* left, float* right, int frames) {
        engine.process(frames, [&](int offset, int count) {
            synth.render(left + offset, right + offset, count);
        });
    }

    Synth synth;
    FluidNoteOutput fluid{synth};
    OnsetRecorder recorder{fluid, 0};
    SeededRandom random{1};
    PlaybackEngine engine;
};

using LoopSetup = std::function<void(globali&)>;

struct Run {
    int64_t start = 0;           // engine position at engine.start()
    std::vector<int64_t> onsets; // note-ons of track 0, by block start
    std::vector<float> peak;     // max(|left|, |right|) of SoundSystem's output, when kept
    float maxDifference = 0;     // between SoundSystem's output and the recorded chain's
};

void setUpModel(globali& g, int bpm, const LoopSetup& loop) {
    setStartupLoop(g);
    setDefaultButtonStates(g);
    g.tempo = bpm;
    loop(g);
}

// Renders `seconds` of playback through SoundSystem::render and the recorded
// chain in lockstep, in live-sized buffers. A few buffers run before the
// start, as in the program, so the start is not sample 0.
Run render(const std::string& soundFont, int bpm, const LoopSetup& loop, double seconds,
           bool keepPeak) {
    auto shown = std::make_unique<globali>();
    auto recorded = std::make_unique<globali>();
    setUpModel(*shown, bpm, loop);
    setUpModel(*recorded, bpm, loop);

    SoundOptions options;
    options.soundFont = soundFont;
    SoundSystem sound(*shown, options);
    sound.loadSoundFont();
    RecordedChain chain(*recorded, sound.soundFont());

    std::vector<float> l1(kBuffer), r1(kBuffer), l2(kBuffer), r2(kBuffer);
    auto renderBoth = [&] {
        sound.render(l1.data(), r1.data(), kBuffer);
        chain.render(l2.data(), r2.data(), kBuffer);
    };

    Run run;
    for (int i = 0; i < 7; ++i)
        renderBoth();
    run.start = chain.engine.now();
    sound.engine().start();
    chain.engine.start();

    const int64_t end = run.start + static_cast<int64_t>(std::llround(seconds * kRate));
    if (keepPeak)
        run.peak.reserve(static_cast<size_t>(end - run.start));
    while (sound.engine().now() < end) {
        renderBoth();
        for (int i = 0; i < kBuffer; ++i) {
            run.maxDifference =
                std::max({run.maxDifference, std::abs(l1[i] - l2[i]), std::abs(r1[i] - r2[i])});
            if (keepPeak)
                run.peak.push_back(std::max(std::abs(l1[i]), std::abs(r1[i])));
        }
    }
    run.onsets = chain.recorder.onsets();
    return run;
}

struct Figures {
    size_t onsets = 0;
    double bpm = 0;
    double tempoErrorPct = 0;
    double meanErrorMs = 0; // mean of |error|
    double maxErrorMs = 0;  // max of |error|
    double driftMs = 0;     // error of the last onset
    double trendMs = 0;     // change of the error over the run, by a least-squares line
};

// Onset j (counted from 0) is that of stroke first + j x every, and stroke k
// is due at start + k x 15/bpm s. `onsets` and `start` are in samples at `rate`.
Figures measure(const std::vector<int64_t>& onsets, int64_t start, double rate, int bpm,
                int first = 1, int every = 1) {
    Figures f;
    f.onsets = onsets.size();
    if (onsets.size() < 2)
        return f;
    const double stroke = 15.0 / bpm * rate;
    const size_t n = onsets.size();
    std::vector<double> errors(n);
    double sum = 0;
    for (size_t j = 0; j < n; ++j) {
        const double k = first + static_cast<double>(j) * every;
        errors[j] = (static_cast<double>(onsets[j] - start) - k * stroke) * 1000.0 / rate;
        sum += std::abs(errors[j]);
        f.maxErrorMs = std::max(f.maxErrorMs, std::abs(errors[j]));
    }
    f.driftMs = errors.back();
    f.meanErrorMs = sum / n;

    // Onsets are evenly spaced in j, so the line's slope needs no times.
    const double meanJ = (n - 1) / 2.0;
    double meanError = 0;
    for (double e : errors)
        meanError += e / n;
    double sxy = 0, sxx = 0;
    for (size_t j = 0; j < n; ++j) {
        sxy += (j - meanJ) * (errors[j] - meanError);
        sxx += (j - meanJ) * (j - meanJ);
    }
    f.trendMs = sxy / sxx * (n - 1);

    const double span = static_cast<double>(onsets.back() - onsets.front()) / rate;
    f.bpm = static_cast<double>(onsets.size() - 1) * every / span * 60.0 / 4.0;
    f.tempoErrorPct = (f.bpm - bpm) / bpm * 100.0;
    return f;
}

// The old clock, as it ran: a timer every 10 ms reads a counter of 1/60 s
// ticks and plays a stroke once 900/tempo ticks have passed since the last
// one, then restarts the count from the present tick, so every stroke's
// lateness is lost for good. Onsets in milliseconds.
std::vector<int64_t> oldTimerOnsets(int bpm, double seconds) {
    std::vector<int64_t> onsets;
    const double strokeTicks = 900.0 / bpm;
    double metronomo = 0;
    for (int64_t i = 0; i * 10 <= std::llround(seconds * 1000); ++i) {
        const int64_t ticks = i * 6 / 10; // floor(i x 10 ms x 60/s), without rounding error
        if (ticks >= metronomo + strokeTicks) {
            onsets.push_back(i * 10);
            metronomo = static_cast<double>(ticks);
        }
    }
    return onsets;
}

const char* met(bool ok) {
    return ok ? "yes" : "NO";
}

void printHeader() {
    std::printf("%-12s %4s %7s %10s %10s %9s %9s %10s %10s  %s\n", "clock", "BPM", "onsets",
                "eff. BPM", "tempo err", "mean err", "max err", "drift", "trend", "targets met");
    std::printf("%-12s %4s %7s %10s %10s %9s %9s %10s %10s\n", "", "", "", "", "%", "ms", "ms",
                "ms", "ms");
    std::printf("%-12s %4s %7s %10s %10s %9s %9s %10s %10s\n", "target", "", "", "", "< 0.01", "-",
                "<= 0.73", "0", "0");
}

void printRow(const char* clock, int bpm, const Figures& f) {
    const bool tempoOk = std::abs(f.tempoErrorPct) < kTargetTempoErrorPct;
    const bool errorOk = f.maxErrorMs <= kTargetMaxErrorMs;
    // Zero drift: the last onset is no further off than block rounding allows.
    const bool driftOk = std::abs(f.driftMs) <= kHalfBlockMs;
    std::printf(
        "%-12s %4d %7zu %10.4f %10.5f %9.3f %9.3f %10.3f %10.3f  tempo %s, max %s, drift %s\n",
        clock, bpm, f.onsets, f.bpm, f.tempoErrorPct, f.meanErrorMs, f.maxErrorMs, f.driftMs,
        f.trendMs, met(tempoOk), met(errorOk), met(driftOk));
}

constexpr float kSoundThreshold = 1e-3f; // -60 dBFS
constexpr int kQuiet = kRate / 20;       // 50 ms

// Starts of sounds after silence: the first sample at or above the threshold
// after at least kQuiet samples below it.
std::vector<int64_t> audioOnsets(const std::vector<float>& peak) {
    std::vector<int64_t> found;
    int below = kQuiet; // the start of the render counts as silence
    for (size_t i = 0; i < peak.size(); ++i) {
        if (peak[i] < kSoundThreshold) {
            ++below;
            continue;
        }
        if (below >= kQuiet)
            found.push_back(static_cast<int64_t>(i));
        below = 0;
    }
    return found;
}

// A note does not reach the threshold on the first sample FluidSynth plays:
// the SoundFont's envelope delay and attack come first. Measured on a fresh
// synth with the note-on issued before block `block`, so that an onset found
// in a loop can be compared with the block its note-on preceded.
int64_t soundStart(const std::string& soundFont, int note, int block) {
    Synth synth;
    FluidNoteOutput fluid(synth);
    std::string error;
    if (!synth.loadSoundFont(soundFont, error))
        return -1;
    fluid.setupChannels();
    std::vector<float> left(PlaybackEngine::kBlock), right(PlaybackEngine::kBlock), peak;
    for (int b = 0; b < 200; ++b) {
        if (b == block)
            fluid.playNote(0, note, kDefaultVolume);
        synth.render(left.data(), right.data(), PlaybackEngine::kBlock);
        for (int i = 0; i < PlaybackEngine::kBlock; ++i)
            peak.push_back(std::max(std::abs(left[i]), std::abs(right[i])));
    }
    const std::vector<int64_t> found = audioOnsets(peak);
    return found.empty() ? -1 : found.front();
}

// One sharp hit per beat and silence between: every sound that starts in the
// rendered audio must start where a note-on's block starts, plus the note's
// own lead-in.
void audioCheck(const std::string& soundFont, int bpm, int note, double seconds) {
    const int64_t leadIn = soundStart(soundFont, note, 0);
    const bool blockBound = soundStart(soundFont, note, 1) == leadIn + PlaybackEngine::kBlock;
    const Run run = render(
        soundFont, bpm,
        [note](globali& g) {
            clearCells(g);
            g.edfiv[0][0] = note;
            for (int c : {0, 4, 8, 12})
                g.pp[c] = kHit;
        },
        seconds, true);

    std::vector<int64_t> heard = audioOnsets(run.peak);
    for (int64_t& h : heard)
        h += run.start;

    size_t matched = 0;
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (int64_t block : run.onsets) {
        auto it = std::lower_bound(heard.begin(), heard.end(), block);
        if (it == heard.end() || *it - block - leadIn > PlaybackEngine::kBlock)
            continue;
        ++matched;
        lo = std::min(lo, *it - block - leadIn);
        hi = std::max(hi, *it - block - leadIn);
    }
    const Figures f = measure(run.onsets, run.start, kRate, bpm, 1, 4);
    std::printf("%5d %4d %7zu %6zu %8zu %8lld %5s", note, bpm, run.onsets.size(), heard.size(),
                matched, static_cast<long long>(leadIn), blockBound ? "yes" : "NO");
    if (matched > 0)
        std::printf("   %+4lld .. %+-4lld", static_cast<long long>(lo), static_cast<long long>(hi));
    else
        std::printf("   %11s", "-");
    std::printf(" %12.3f\n", f.maxErrorMs);
}

int usage() {
    std::fprintf(stderr, "usage: timing [--soundfont FILE] [--minutes M]\n");
    return 2;
}

int run(int argc, char** argv) {
    const auto options = bench::parseOptions(argc, argv, 10);
    if (!options)
        return usage();
    const std::string& soundFontOption = options->soundFont;
    const double minutes = options->minutes;
    silenceSynthLog();
    const double seconds = minutes * 60;

    // SoundSystem says on stderr when there is no SoundFont; the clock is
    // measured all the same, but the audio check has nothing to hear.
    std::string soundFont;
    {
        globali g;
        SoundOptions options;
        options.soundFont = soundFontOption;
        SoundSystem probe(g, options);
        probe.loadSoundFont();
        soundFont = probe.soundFont();
    }

    std::printf("Stroke timing: %.4g min of audio per tempo, %d Hz, %d-frame buffers, "
                "%d-frame synth blocks\n",
                minutes, kRate, kBuffer, PlaybackEngine::kBlock);
    std::printf("SoundFont: %s\n", soundFont.empty() ? "(none)" : soundFont.c_str());
    std::printf("Loop: every stroke of track 0 a hit, all else at rest. Onset = start of the "
                "synth block that plays the note-on; error against start + k x 15/BPM s.\n\n");
    printHeader();

    float maxDifference = 0;
    for (int bpm : kTempos) {
        const Run r = render(
            soundFont, bpm,
            [](globali& g) {
                clearCells(g);
                for (int c = 0; c < kStrokes; ++c)
                    g.pp[c] = kHit;
            },
            seconds, false);
        maxDifference = std::max(maxDifference, r.maxDifference);
        printRow("engine", bpm, measure(r.onsets, r.start, kRate, bpm));
    }
    for (int bpm : kTempos)
        printRow("10 ms timer", bpm, measure(oldTimerOnsets(bpm, seconds), 0, 1000, bpm));

    std::printf("\nThe 10 ms timer rows are the old clock worked out by arithmetic (no synth).\n");
    std::printf("drift: error of the last onset; trend: how much the error grows over the run "
                "(least-squares line).\n"
                "Drift counts as zero when the last onset is within half a block (%.3f ms) of "
                "its ideal time.\n",
                kHalfBlockMs);
    std::printf("SoundSystem::render vs the recorded chain, same loop: max |sample difference| "
                "%g (%s)\n",
                maxDifference, maxDifference == 0 ? "identical sound" : "DIFFERENT sound");

    std::printf(
        "\nAudio check on SoundSystem::render's output, one hit per beat. A sound starts at "
        "the first sample >= -60 dBFS after >= 50 ms below it.\n"
        "lead-in: where the note starts sounding when its note-on precedes a fresh "
        "synth's first block (the SoundFont's envelope delay and attack);\n"
        "+1 block: the same note-on one block later sounds exactly 64 samples later.\n"
        "start - block - lead-in: where each sound starts, against the block its note-on "
        "preceded, in samples.\n\n");
    std::printf("%5s %4s %7s %6s %8s %8s %5s %14s %12s\n", "note", "BPM", "note-on", "heard",
                "matched", "lead-in", "+1 block", "start-block-lead", "max err ms");
    if (soundFont.empty()) {
        std::printf("skipped: no SoundFont\n");
        return 0;
    }
    audioCheck(soundFont, 120, 75, 60);
    audioCheck(soundFont, 97, 76, 60);
    audioCheck(soundFont, 10, 75, 60);
    return 0;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    return zumbal::run(argc, argv);
}
