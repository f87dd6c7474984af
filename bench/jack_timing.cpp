// How exactly Zumbal keeps time through its own JACK client. For each server
// rate, a private dummy JACK server runs (in real time: the dummy driver
// cannot go faster), Zumbal's client plays the start-up loop into a second client that records it,
// and the bass drum's onsets (one a second at 120 BPM) are compared with the ideal grid: effective
// tempo, largest distance from the grid, and drift from the first minute to the last.
//
//   jack_timing [--rate HZ] [--soundfont FILE] [--minutes M]   (default: 10 minutes
//                                                              at 44100, 48000, 96000)
// The dummy server runs in real time only; run one process per rate side by
// side to save time. With ZUMBAL_RUNNING_JACK set, the take runs on the JACK
// server already there (PipeWire's, under pw-jack); give its rate.
//
//   jack_timing --stall [--soundfont FILE]
// instead times the callback after a stall (the frames the server played
// without us, then one period of 256 frames at 48 kHz) with the start-up
// loop playing, no server needed: min, median and max of 20 stalls per length.

#include "BenchSupport.h"
#include "JackCapture.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

constexpr int kTempo = 120;
constexpr double kTargetTempoErrorPct = 0.01;

struct Figures {
    size_t onsets = 0;
    double tempo = 0, worstMs = 0, driftMs = 0, seconds = 0;
    uint64_t xruns = 0;
};

Figures measure(int rate, const std::string& soundFont, double minutes) {
    Figures f;
    test::DummyJack server(rate);
    if (!server.ready())
        return f;
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    SoundOptions options;
    options.soundFont = soundFont;
    options.drivers = {"jack"};
    options.connectPorts = false;
    options.seed = 1;
    SoundSystem sound(g, options);
    sound.loadSoundFont();
    sound.startAudio();
    const auto frames = static_cast<int64_t>(minutes * 60 * rate);
    test::JackCapture capture(frames);
    if (!capture.connect("Zumbal:out_left"))
        return f;
    const auto begin = std::chrono::steady_clock::now();
    sound.engine().start();
    while (!capture.full())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    f.xruns = sound.audioStats().serverXruns;

    // Bass drum and snare alternate every half second: the even onsets are the bass drum.
    std::vector<int64_t> kicks;
    const std::vector<int64_t> all = test::onsets(capture.left(), rate / 10);
    for (size_t k = 0; k < all.size(); k += 2)
        kicks.push_back(all[k]);
    f.onsets = kicks.size();
    if (kicks.size() < 3)
        return f;
    const double n = static_cast<double>(kicks.size());
    double meanK = (n - 1) / 2, meanT = 0, num = 0, den = 0;
    for (int64_t t : kicks)
        meanT += static_cast<double>(t) / n;
    for (size_t k = 0; k < kicks.size(); ++k) {
        num += (static_cast<double>(k) - meanK) * (static_cast<double>(kicks[k]) - meanT);
        den += (static_cast<double>(k) - meanK) * (static_cast<double>(k) - meanK);
    }
    const double period = num / den; // frames per bass drum: two beats
    f.tempo = 2 * 60.0 * rate / period;
    // Distance from the ideal grid (one hit every `rate` frames) laid through
    // the middle of the hits: the block rule allows half a block either way.
    double low = 1e18, high = -1e18;
    std::vector<double> residuals;
    for (size_t k = 0; k < kicks.size(); ++k) {
        const double r = static_cast<double>(kicks[k] - kicks[0]) - static_cast<double>(k) * rate;
        residuals.push_back(r);
        low = std::min(low, r);
        high = std::max(high, r);
    }
    f.worstMs = (high - low) / 2 * 1000 / rate;
    const size_t minute = std::min<size_t>(60, residuals.size() / 2);
    double first = 0, last = 0;
    for (size_t k = 0; k < minute; ++k) {
        first += residuals[k] / static_cast<double>(minute);
        last += residuals[residuals.size() - 1 - k] / static_cast<double>(minute);
    }
    f.driftMs = (last - first) * 1000 / rate;
    return f;
}

void printStalls(const std::string& soundFont) {
    constexpr int kRate = 48000, kPeriod = 256, kRepeats = 20;
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    SoundOptions options;
    options.soundFont = soundFont;
    options.synth.sampleRate = kRate;
    options.seed = 1;
    SoundSystem sound(g, options);
    sound.loadSoundFont();
    sound.engine().start();
    std::vector<float> left(kPeriod), right(kPeriod);
    std::printf("The callback after a stall, %d frames at %d Hz, %d stalls each; one period is "
                "%.2f ms\n\nstall s  min ms  median ms  max ms\n",
                kPeriod, kRate, kRepeats, 1000.0 * kPeriod / kRate);
    for (const double seconds : {0.1, 0.5, 1.5, 2.0}) {
        std::vector<double> took;
        for (int r = 0; r < kRepeats; ++r) {
            for (int i = 0; i < 20; ++i) // the loop sounds before the stall
                sound.render(left.data(), right.data(), kPeriod);
            const auto begin = std::chrono::steady_clock::now();
            sound.skip(static_cast<int>(seconds * kRate));
            sound.render(left.data(), right.data(), kPeriod);
            took.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                    .count());
        }
        std::printf("%7.1f  %6.3f  %9.3f  %6.3f\n", seconds,
                    *std::min_element(took.begin(), took.end()), bench::median(took),
                    *std::max_element(took.begin(), took.end()));
    }
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    using namespace zumbal;
    std::vector<int> rates{44100, 48000, 96000};
    std::vector<char*> rest{argv[0]};
    bool stalls = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--rate" && i + 1 < argc)
            rates = {std::atoi(argv[++i])};
        else if (std::string(argv[i]) == "--stall")
            stalls = true;
        else
            rest.push_back(argv[i]);
    }
    const auto options = bench::parseOptions(static_cast<int>(rest.size()), rest.data(), 10);
    if (!options || rates.front() <= 0) {
        std::fprintf(stderr, "usage: jack_timing [--rate HZ] [--soundfont FILE] [--minutes M]\n"
                             "       jack_timing --stall [--soundfont FILE]\n");
        return 2;
    }
    const std::string soundFont =
        findSoundFont(options->soundFont, std::getenv("ZUMBAL_SOUNDFONT"));
    if (soundFont.empty()) {
        std::fprintf(stderr, "jack_timing: no General MIDI SoundFont\n");
        return 1;
    }
    if (stalls) {
        printStalls(soundFont);
        return 0;
    }
    jack_set_error_function([](const char*) {});
    std::printf("Start-up loop at %d BPM through Zumbal's JACK client on a dummy server, %.1f "
                "minutes of audio per rate\nSoundFont: %s\n\n",
                kTempo, options->minutes, soundFont.c_str());
    std::printf("rate    onsets  effective BPM  tempo error %%  max from grid ms  half block ms  "
                "drift ms  xruns  wall s  target met\n");
    for (int rate : rates) {
        const Figures f = measure(rate, soundFont, options->minutes);
        const double error = 100 * (f.tempo / kTempo - 1);
        const double halfBlock = 1000.0 * PlaybackEngine::kBlock / 2 / rate;
        std::printf("%-7d %6zu  %13.5f  %13.5f  %16.3f  %13.3f  %8.3f  %5llu  %6.1f  %s\n", rate,
                    f.onsets, f.tempo, error, f.worstMs, halfBlock, f.driftMs,
                    static_cast<unsigned long long>(f.xruns), f.seconds,
                    std::abs(error) <= kTargetTempoErrorPct && f.worstMs <= halfBlock + 1e-9
                        ? "yes"
                        : "NO");
    }
    return 0;
}
