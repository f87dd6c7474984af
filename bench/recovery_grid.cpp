// Does the beat come back on its grid when the sound server is restarted?
// Plays a kick on every beat at 120 BPM through a PulseAudio stream (also
// PipeWire's), records the server's monitor of the default sink with a
// record stream of its own whose samples are dated on CLOCK_MONOTONIC, and
// prints, for each stretch between two losses of the server, how far its
// kicks sit from the grid of the first stretch. bench/recovery_grid.sh
// starts and restarts the servers. Prints figures only.
//
//   recovery_grid --seconds S [--latency MS]

#include "BenchSupport.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"

#include <pulse/simple.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace zumbal;

namespace {

constexpr int kRate = 48000;
constexpr int kRead = 480; // frames a read
constexpr double kBeatNs = 0.5e9;

// One stretch of recording from one server: the kicks' times.
struct Stretch {
    std::vector<double> kicksNs;
};

// Records the monitor until `seconds` have gone, starting a new stretch
// each time the server goes away and comes back.
std::vector<Stretch> record(double seconds) {
    std::vector<Stretch> stretches;
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kRead * sizeof(float);
    const int64_t end = monotonicNs() + static_cast<int64_t>(seconds * 1e9);
    while (monotonicNs() < end) {
        int error = 0;
        pa_simple* in =
            pa_simple_new(nullptr, "recovery_grid", PA_STREAM_RECORD, "@DEFAULT_MONITOR@",
                          "monitor", &format, nullptr, &attr, &error);
        if (!in) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        // The samples' times: the recorder's reports, each dated by the
        // latency of the record stream, laid on one line per stretch.
        std::vector<float> samples;
        std::vector<double> offsetsNs; // report time minus the sample index's time
        std::vector<float> buffer(kRead);
        while (monotonicNs() < end) {
            if (pa_simple_read(in, buffer.data(), buffer.size() * sizeof(float), &error) < 0)
                break;
            const pa_usec_t latency = pa_simple_get_latency(in, &error);
            samples.insert(samples.end(), buffer.begin(), buffer.end());
            const double lastSampleNs = double(monotonicNs()) - double(latency) * 1e3;
            offsetsNs.push_back(lastSampleNs - double(samples.size()) * 1e9 / kRate);
        }
        pa_simple_free(in);
        if (offsetsNs.size() < 10)
            continue;
        const double originNs = bench::median(offsetsNs);
        // A kick starts where the sound rises after a quarter of a second of quiet.
        Stretch stretch;
        std::optional<size_t> lastLoud;
        for (size_t i = 0; i < samples.size(); ++i) {
            if (std::fabs(samples[i]) <= 0.02f)
                continue;
            if (!lastLoud || i > *lastLoud + kRate / 4)
                stretch.kicksNs.push_back(originNs + double(i) * 1e9 / kRate);
            lastLoud = i;
        }
        stretches.push_back(std::move(stretch));
    }
    return stretches;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 0, latencyMs = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (arg == "--latency")
            latencyMs = std::atof(argv[i + 1]);
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: recovery_grid --seconds S [--latency MS]\n");
        return 2;
    }
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    for (int t = 0; t < kTracks; ++t)
        for (int s = 1; s <= kStrokes; ++s)
            g.pp[cellIndex(t, s)] = t == kBassTrack        ? kBassRest
                                    : t == 0 && s % 4 == 1 ? kHit
                                                           : kRest;
    g.tempo = 120;
    SoundOptions options;
    options.soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
    options.drivers = {"pulseaudio"};
    options.synth.sampleRate = kRate;
    options.latencyMs = latencyMs;
    options.seed = 1;
    SoundSystem sound(g, options);
    sound.loadSoundFont();
    sound.startAudio();
    sound.engine().start();

    const std::vector<Stretch> stretches = record(seconds);
    if (stretches.empty() || stretches[0].kicksNs.empty()) {
        std::printf("no kicks recorded\n");
        return 1;
    }
    const double refNs = stretches[0].kicksNs.front();
    for (size_t s = 0; s < stretches.size(); ++s) {
        std::vector<double> offMs;
        for (const double kick : stretches[s].kicksNs) {
            const double beats = (kick - refNs) / kBeatNs;
            offMs.push_back((beats - std::round(beats)) * kBeatNs / 1e6);
        }
        if (offMs.empty())
            continue;
        const auto [lo, hi] = std::minmax_element(offMs.begin(), offMs.end());
        std::printf("stretch %zu: %zu kicks, off the first stretch's grid by %+.3f ms median "
                    "(min %+.3f, max %+.3f)\n",
                    s + 1, offMs.size(), bench::median(offMs), *lo, *hi);
    }
    const AudioStats st = sound.audioStats();
    std::printf("output %s, latency %.1f ms at the end, underruns %llu\n", st.output.c_str(),
                st.latencyMs, static_cast<unsigned long long>(st.underruns));
    return 0;
}
