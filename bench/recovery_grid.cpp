// Does the beat come back on its grid when the sound server is restarted?
// Plays a kick on every beat at 120 BPM through a PulseAudio stream (also
// PipeWire's), records the server's monitor of the default sink and prints,
// for each stretch between two losses of the server, how far its kicks sit
// from the grid of the first stretch. The recorder is a record stream of
// its own whose samples are dated on CLOCK_MONOTONIC by its latency
// reports, or, with --recorder jack on PipeWire (under pw-jack), a JACK
// client of the graph that dates every sample by the graph's cycle times,
// which a PulseAudio client's reports, off by milliseconds, do not blur.
// bench/recovery_grid.sh starts and restarts the servers. Prints figures
// only.
//
//   recovery_grid --seconds S [--latency MS] [--recorder pulse|jack]

#include "BenchSupport.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"

#include <jack/jack.h>
#include <pulse/simple.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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

// The JACK recorder's client: the start of every kick on `port`, as the
// graph's time of its frame.
class JackKicks {
public:
    JackKicks() = default;
    JackKicks(const JackKicks&) = delete;
    JackKicks& operator=(const JackKicks&) = delete;
    ~JackKicks() {
        if (m_client)
            jack_client_close(m_client);
    }

    bool open(const char* source) {
        m_client = jack_client_open("recovery_grid", JackNoStartServer, nullptr);
        if (!m_client)
            return false;
        m_port = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &JackKicks::process, this);
        jack_on_shutdown(
            m_client, [](void* self) { static_cast<JackKicks*>(self)->m_gone = true; }, this);
        return m_port && jack_activate(m_client) == 0 &&
               jack_connect(m_client, source, jack_port_name(m_port)) == 0;
    }
    bool gone() const { return m_gone; }
    Stretch stretch() const {
        Stretch s;
        for (size_t i = 0; i < m_count.load(std::memory_order_acquire); ++i)
            s.kicksNs.push_back(double(m_kicksUs[i]) * 1e3);
        return s;
    }

private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackKicks*>(data);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->m_port, frames));
        const jack_nframes_t first = jack_last_frame_time(self->m_client);
        for (jack_nframes_t i = 0; i < frames; ++i, ++self->m_frame) {
            if (std::fabs(in[i]) <= 0.02f)
                continue;
            const size_t n = self->m_count.load(std::memory_order_relaxed);
            if ((self->m_lastLoud < 0 || self->m_frame > self->m_lastLoud + kRate / 4) &&
                n < self->m_kicksUs.size()) {
                self->m_kicksUs[n] = jack_frames_to_time(self->m_client, first + i);
                self->m_count.store(n + 1, std::memory_order_release);
            }
            self->m_lastLoud = self->m_frame;
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<bool> m_gone{false};
    int64_t m_frame = 0, m_lastLoud = -1;
    std::array<jack_time_t, 1000> m_kicksUs{};
    std::atomic<size_t> m_count{0};
};

// Records until `seconds` have gone, a stretch for each server. `start`
// starts the sound once the recorder has first joined the graph: a JACK
// client changes the graph's quantum when it joins, which would move the
// sound of the stretch under way by as much as the latency changes.
template <class Start> std::vector<Stretch> recordOnJack(double seconds, Start&& start) {
    std::vector<Stretch> stretches;
    const int64_t end = monotonicNs() + static_cast<int64_t>(seconds * 1e9);
    bool started = false;
    while (monotonicNs() < end) {
        JackKicks kicks;
        if (!kicks.open("rec:monitor_FL")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (!std::exchange(started, true))
            start();
        while (monotonicNs() < end && !kicks.gone())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (Stretch s = kicks.stretch(); !s.kicksNs.empty())
            stretches.push_back(std::move(s));
    }
    return stretches;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 0, latencyMs = 0;
    std::string recorder = "pulse";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (arg == "--latency")
            latencyMs = std::atof(argv[i + 1]);
        else if (arg == "--recorder")
            recorder = argv[i + 1];
    }
    if (seconds <= 0 || (recorder != "pulse" && recorder != "jack")) {
        std::fprintf(stderr,
                     "usage: recovery_grid --seconds S [--latency MS] [--recorder pulse|jack]\n");
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
    const auto start = [&] {
        sound.startAudio();
        sound.engine().start();
    };
    std::vector<Stretch> stretches;
    if (recorder == "jack") {
        stretches = recordOnJack(seconds, start);
    } else {
        start();
        stretches = record(seconds);
    }
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
