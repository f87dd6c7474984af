// How exactly Zumbal follows a MIDI clock. A master on a virtual clock sends
// Start and ten minutes (--minutes M) of clocks at 120 BPM, then a run that
// steps to 140; the follower's beat, asked for buffer after buffer as the
// engine asks it, is laid on the grid of strokes, and every stroke is
// compared with the ideal frame of its clock. Without jitter and with
// ±1 ms of it, over several seeds, with the messages received when the
// buffer is rendered (no latency) and a latency of 1024 frames ahead.

#include "BenchSupport.h"
#include "support/ClockSender.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 48000;
constexpr int kBuffer = 256;
// Once locked, strokes on jittered clocks are to be within half a
// millisecond of the unjittered grid; on clocks without jitter, on the
// frame of their clock (half a frame off the ideal where it falls between
// frames).
double targetFrames(double jitterMs) {
    return jitterMs > 0 ? 0.5e-3 * kRate : 0.5 + 1e-9;
}
constexpr int kSeeds = 9;

struct Figures {
    double worst = 0, median = 0; // |error| of the strokes once locked, frames
    double tempoError = 0;        // the worst |BPM - 120| once locked
    double lockBars = 0;          // from Start to the first stroke of the run within the target
    double relockBars = 0;        // from the step to 140 to the same
    double drift = 0;             // the last stroke's error after the run, frames
};

// Bars from `fromClock` to the first stroke after which every stroke is
// within the target; the strokes from it on go into `locked`.
double barsToLock(const std::vector<test::FollowedStroke>& strokes, double target,
                  int64_t fromClock, int64_t toClock, std::vector<double>& locked) {
    size_t first = strokes.size();
    for (size_t i = strokes.size(); i-- > 0;) {
        const int64_t clock = strokes[i].index * 6;
        if (clock < fromClock)
            break;
        if (clock >= toClock)
            continue;
        if (std::fabs(strokes[i].error) > target)
            break;
        first = i;
    }
    for (size_t i = first; i < strokes.size() && strokes[i].index * 6 < toClock; ++i)
        locked.push_back(std::fabs(strokes[i].error));
    return first < strokes.size() ? double(strokes[first].index * 6 - fromClock) / 96 : 1e9;
}

Figures run(double jitterMs, unsigned seed, int lookAhead, double minutes) {
    Figures f;
    const int clocks = static_cast<int>(minutes * 120 * 24);
    test::ClockSender steady(kRate, 120, jitterMs, seed);
    steady.send({0xFA}).clocks(clocks);
    test::FollowRun a(kRate);
    // Up to the last clock: past it the beat waits for clocks that never come.
    a.play(steady, steady.messages.back().frame, kBuffer, lookAhead);
    std::vector<double> locked;
    f.lockBars = barsToLock(a.strokes, targetFrames(jitterMs), 0, clocks, locked);
    f.median = bench::median(locked);
    f.worst = locked.empty() ? 1e9 : *std::max_element(locked.begin(), locked.end());
    f.drift = a.strokes.empty() ? 1e9 : a.strokes.back().error;
    // The tempo from the bar after the lock on, the window's figure.
    for (size_t i = static_cast<size_t>((f.lockBars + 1) * 2 * kRate / kBuffer);
         i < a.tempos.size(); ++i)
        f.tempoError = std::max(f.tempoError, std::fabs(a.tempos[i] - 120));

    // Eight bars at 120, then eight at 140.
    test::ClockSender step(kRate, 120, jitterMs, seed + 1000);
    step.send({0xFA}).clocks(768).tempo(140).clocks(768);
    test::FollowRun b(kRate);
    b.play(step, step.messages.back().frame, kBuffer, lookAhead);
    std::vector<double> after;
    f.relockBars = barsToLock(b.strokes, targetFrames(jitterMs), 768, 1536, after);
    return f;
}

void print(const char* what, std::vector<double> v, double scale, const char* unit) {
    std::sort(v.begin(), v.end());
    std::printf("  %-30s min %8.3f  median %8.3f  max %8.3f %s\n", what, v.front() * scale,
                bench::median(v) * scale, v.back() * scale, unit);
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    using namespace zumbal;
    const std::optional<bench::Options> options = bench::parseOptions(argc, argv, 10);
    if (!options) {
        std::fprintf(stderr, "usage: sync_midiclock [--minutes M]\n");
        return 2;
    }
    const double ms = 1000.0 / kRate;
    std::printf("MIDI clock at 120 BPM, %d Hz, buffers of %d, %.0f minutes, %d seeds\n", kRate,
                kBuffer, options->minutes, kSeeds);
    for (const int lookAhead : {0, 1024}) {
        for (const double jitter : {0.0, 1.0}) {
            std::vector<Figures> all;
            for (unsigned seed = 1; seed <= kSeeds; ++seed)
                all.push_back(run(jitter, seed, lookAhead, options->minutes));
            const auto column = [&](double Figures::*field) {
                std::vector<double> v;
                for (const Figures& f : all)
                    v.push_back(f.*field);
                return v;
            };
            std::printf("jitter ±%.0f ms, latency %d frames:\n", jitter, lookAhead);
            print("worst stroke error", column(&Figures::worst), 1, "frames");
            print("", column(&Figures::worst), ms, "ms");
            print("median stroke error", column(&Figures::median), 1, "frames");
            print("", column(&Figures::median), ms, "ms");
            print("worst tempo error", column(&Figures::tempoError), 1, "BPM");
            print("bars to lock after Start", column(&Figures::lockBars), 1, "bars");
            print("bars to lock after 120 -> 140", column(&Figures::relockBars), 1, "bars");
            print("drift at the end", column(&Figures::drift), 1, "frames");
        }
    }
    return 0;
}
