// What playing costs: the render callback's CPU time per minute of audio,
// for a light and for the heaviest possible loop, and how long the SoundFont
// takes to load before the audio may start.

#include "BenchSupport.h"
#include "model/globali.h"
#include "playback/AllocationCounter.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "playback/Synth.h"
#include "support/SynthRig.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zumbal {
namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 512; // the live output's period
constexpr double kTargetCorePct = 1.0;
constexpr int kWarmLoads = 5;

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double wallSeconds() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// ---- CPU time of the render callback ----

using LoopSetup = std::function<void(globali&)>;

struct CpuFigures {
    double cpuSeconds = 0;
    double worstBufferMs = 0;
};

// Renders `minutes` of playback through SoundSystem::render, as the audio
// callback does, on this thread, and counts only this thread's CPU time.
CpuFigures renderCost(const std::string& soundFont, int bpm, bool play, const LoopSetup& loop,
                      double minutes) {
    auto g = std::make_unique<globali>();
    setStartupLoop(*g);
    setDefaultButtonStates(*g);
    g->tempo = bpm;
    loop(*g);
    SoundOptions options;
    options.soundFont = soundFont;
    SoundSystem sound(*g, options);
    sound.loadSoundFont();
    if (play)
        sound.engine().start();

    std::vector<float> left(kBuffer), right(kBuffer);
    const int64_t buffers = std::llround(minutes * 60 * kRate / kBuffer);
    CpuFigures f;
    const double begin = threadCpuSeconds();
    double last = begin;
    for (int64_t i = 0; i < buffers; ++i) {
        sound.render(left.data(), right.data(), kBuffer);
        const double now = threadCpuSeconds();
        f.worstBufferMs = std::max(f.worstBufferMs, (now - last) * 1000);
        last = now;
    }
    f.cpuSeconds = last - begin;
    return f;
}

void startupLoop(globali&) {}

// Every one of the 112 cells sounds: all drum cells hits, every bass cell a
// note (a different one on each stroke, so every stroke starts a new note).
void everyCellSounds(globali& g) {
    for (int c = 0; c < kFirstBassCell; ++c)
        g.pp[c] = kHit;
    for (int k = 0; k < kStrokes; ++k)
        g.pp[kFirstBassCell + k] = 36 + k;
}

void printCpu(const char* loop, const char* bpm, const CpuFigures& f, double minutes,
              bool playing) {
    const double pct = f.cpuSeconds / (minutes * 60) * 100;
    const double periodMs = 1000.0 * kBuffer / kRate;
    std::printf("%-26s %4s %6.1f %9.3f %10.4f %8.3f %7.3f (of %.2f)  %s\n", loop, bpm, minutes,
                f.cpuSeconds, f.cpuSeconds / minutes, pct, f.worstBufferMs, periodMs,
                playing ? (pct < kTargetCorePct ? "yes" : "NO") : "-");
}

// ---- render calls and allocations per period ----

constexpr int kPeriodRuns = 5;
constexpr double kPeriodSeconds = 20;

struct PeriodFigures {
    std::vector<double> calls, allocations, cpuMicros;
    uint64_t sound = 1469598103934665603ull; // FNV-1a of the audio of every run
};

// Plays the loop through the engine and the synth in periods on this thread,
// marked as the audio thread, with the synth rendered lazily or block by
// block (as every period was before the engine rendered lazily).
void renderPeriods(const std::string& soundFont, int bpm, const LoopSetup& loop, bool byBlock,
                   PeriodFigures& f) {
    test::SynthRig rig(soundFont);
    setStartupLoop(rig.g);
    setDefaultButtonStates(rig.g);
    rig.g.tempo = bpm;
    loop(rig.g);
    std::vector<float> stereo(2 * kBuffer);
    rig.engine.start();
    // libgomp sets up a thread at its first parallel region.
    rig.period(stereo.data(), stereo.data() + kBuffer, kBuffer, byBlock);
    const auto periods = static_cast<int>(kPeriodSeconds * kRate / kBuffer);
    const AudioThreadScope audio;
    const AllocationCounts before = audioThreadAllocations();
    const uint64_t calls = rig.synth.renderCalls();
    double cpu = 0;
    for (int i = 0; i < periods; ++i) {
        const double begin = threadCpuSeconds();
        rig.period(stereo.data(), stereo.data() + kBuffer, kBuffer, byBlock);
        cpu += threadCpuSeconds() - begin;
        for (const float sample : stereo) {
            uint32_t bits = 0;
            std::memcpy(&bits, &sample, sizeof bits);
            f.sound = (f.sound ^ bits) * 1099511628211ull;
        }
    }
    f.calls.push_back(static_cast<double>(rig.synth.renderCalls() - calls) / periods);
    f.allocations.push_back(
        static_cast<double>(audioThreadAllocations().allocations - before.allocations) / periods);
    f.cpuMicros.push_back(cpu * 1e6 / periods);
}

void printSpread(const std::vector<double>& v, const char* format) {
    std::printf(format, *std::min_element(v.begin(), v.end()));
    std::printf(format, bench::median(v));
    std::printf(format, *std::max_element(v.begin(), v.end()));
    std::printf("  ");
}

void printPeriods(const std::string& soundFont, const char* name, int bpm, const LoopSetup& loop) {
    PeriodFigures modes[2]; // block by block, lazy
    for (int run = 0; run < kPeriodRuns; ++run)
        for (const bool byBlock : {true, false})
            renderPeriods(soundFont, bpm, loop, byBlock, modes[byBlock ? 0 : 1]);
    for (const bool byBlock : {true, false}) {
        const PeriodFigures& f = modes[byBlock ? 0 : 1];
        std::printf("%-24s %4d %-9s ", byBlock ? name : "", bpm, byBlock ? "by block" : "lazy");
        printSpread(f.calls, "%6.2f");
        if (allocationsCounted())
            printSpread(f.allocations, "%6.2f");
        else
            std::printf("%-20s", "   (not counted)");
        printSpread(f.cpuMicros, "%7.1f");
        std::printf("%s\n", byBlock ? "" : modes[0].sound == f.sound ? "yes" : "NO");
    }
}

// ---- SoundFont load time ----

// Share of a file's pages that are in the page cache.
double cachedShare(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat st {};
    fstat(fd, &st);
    const size_t size = static_cast<size_t>(st.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED)
        return -1;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    double share = -1;
    if (mincore(map, size, resident.data()) == 0)
        share = static_cast<double>(std::count_if(resident.begin(), resident.end(),
                                                  [](unsigned char r) { return r & 1; })) /
                resident.size();
    munmap(map, size);
    return share;
}

// Asks the kernel to forget the file's cached pages, so that the next load
// reads the disk as on a first launch after boot. Best effort: pages other
// processes hold stay.
void dropFromPageCache(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

struct LoadTime {
    bool ok = false;
    double load = 0;         // fluid_synth_sfload through Synth::loadSoundFont
    double loadAndSetup = 0; // plus selecting the players' drum kit and bass program
    bool sounds = false;     // a kick drum is heard afterwards
};

// One load on a fresh synth, as the program does it at start-up.
LoadTime loadOnce(const std::string& path, bool dynamicSamples) {
    Synth synth;
    LoadTime t;
    if (dynamicSamples &&
        fluid_settings_setint(synth.settings(), "synth.dynamic-sample-loading", 1) != FLUID_OK)
        return t;
    FluidNoteOutput fluid(synth);
    std::string error;
    const double begin = wallSeconds();
    t.ok = synth.loadSoundFont(path, error);
    t.load = wallSeconds() - begin;
    if (!t.ok)
        return t;
    fluid.setupChannels();
    t.loadAndSetup = wallSeconds() - begin;

    fluid.playNote(0, 36, kDefaultVolume);
    std::vector<float> left(kBuffer), right(kBuffer);
    for (int i = 0; i < 8 && !t.sounds; ++i) {
        synth.render(left.data(), right.data(), kBuffer);
        t.sounds =
            std::any_of(left.begin(), left.end(), [](float s) { return std::abs(s) > 1e-3f; });
    }
    return t;
}

void printLoad(const std::string& path, bool dynamicSamples) {
    const std::string name = std::filesystem::path(path).filename().string();
    const char* setting = dynamicSamples ? "dynamic-sample-loading=1" : "default";
    dropFromPageCache(path);
    const double cached = cachedShare(path);
    const LoadTime first = loadOnce(path, dynamicSamples);
    if (!first.ok) {
        std::printf("%-16s %-25s could not be loaded%s\n", name.c_str(), setting,
                    dynamicSamples ? " (setting refused?)" : "");
        return;
    }
    std::vector<double> load, loadAndSetup;
    bool sounds = first.sounds;
    for (int i = 0; i < kWarmLoads; ++i) {
        const LoadTime t = loadOnce(path, dynamicSamples);
        load.push_back(t.load);
        loadAndSetup.push_back(t.loadAndSetup);
        sounds = sounds && t.sounds;
    }
    std::printf("%-16s %-25s %7.0f %%  %8.1f %8.1f   %8.1f %8.1f   %s\n", name.c_str(), setting,
                cached * 100, first.load * 1000, first.loadAndSetup * 1000,
                bench::median(load) * 1000, bench::median(loadAndSetup) * 1000,
                sounds ? "yes" : "NO");
}

int usage() {
    std::fprintf(stderr, "usage: cost [--soundfont FILE] [--minutes M]\n");
    return 2;
}

int run(int argc, char** argv) {
    const auto options = bench::parseOptions(argc, argv, 3);
    if (!options)
        return usage();
    const std::string& soundFontOption = options->soundFont;
    const double minutes = options->minutes;
    silenceSynthLog();
    const std::string soundFont = findSoundFont(soundFontOption, std::getenv("ZUMBAL_SOUNDFONT"));

    std::printf("Playing cost: SoundSystem::render in %d-frame buffers at %d Hz, this thread's "
                "CPU time (CLOCK_THREAD_CPUTIME_ID)\n",
                kBuffer, kRate);
    std::printf("SoundFont: %s\n\n", soundFont.empty() ? "(none: silent)" : soundFont.c_str());
    std::printf("%-26s %4s %6s %9s %10s %8s %18s  %s\n", "loop", "BPM", "audio", "CPU", "CPU per",
                "% of", "worst buffer", "target");
    std::printf("%-26s %4s %6s %9s %10s %8s %18s  %s\n", "", "", "min", "s", "audio min s",
                "one core", "ms", "< 1 % met");
    printCpu("stopped (synth idle)", "-", renderCost(soundFont, 120, false, startupLoop, minutes),
             minutes, false);
    printCpu("start-up loop", "120", renderCost(soundFont, 120, true, startupLoop, minutes),
             minutes, true);
    printCpu("all 112 cells sounding", "120",
             renderCost(soundFont, 120, true, everyCellSounds, minutes), minutes, true);
    printCpu("all 112 cells sounding", "240",
             renderCost(soundFont, 240, true, everyCellSounds, minutes), minutes, true);

    if (!soundFont.empty()) {
        std::printf("\nRender calls, audio-thread allocations and CPU time per %d-frame period: "
                    "the synth rendered block by\nblock (every period before lazy rendering) and "
                    "lazily; %d runs of %.0f s each, min median max.\n\n",
                    kBuffer, kPeriodRuns, kPeriodSeconds);
        std::printf("%-24s %4s %-9s %-20s  %-20s  %-23s  %s\n", "loop", "BPM", "render", "calls",
                    "allocations", "CPU us", "same audio");
        printPeriods(soundFont, "start-up loop", 120, startupLoop);
        printPeriods(soundFont, "all 112 cells sounding", 240, everyCellSounds);
    }

    std::printf("\nSoundFont load, wall clock, a fresh synth each time. \"first\" follows "
                "dropping the file from the page cache\n(posix_fadvise; \"cached\" says how much "
                "of it stayed); \"warm\" is the median of %d loads after it. \"+ setup\" adds\n"
                "selecting the players' drum kit and bass program. Dynamic sample loading reads "
                "a preset's samples when it is selected;\nthe load itself selects the default "
                "presets of all 16 channels.\n\n",
                kWarmLoads);
    std::printf("%-16s %-25s %9s  %8s %8s   %8s %8s   %s\n", "SoundFont", "setting", "cached",
                "first", "+ setup", "warm", "+ setup", "sounds");
    std::printf("%-16s %-25s %9s  %8s %8s   %8s %8s\n", "", "", "", "ms", "ms", "ms", "ms");
    for (const std::string& path : {std::string("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
                                    std::string("/usr/share/sounds/sf2/TimGM6mb.sf2")}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            std::printf("%-16s not installed\n",
                        std::filesystem::path(path).filename().string().c_str());
            continue;
        }
        printLoad(path, false);
        if (path.find("FluidR3") != std::string::npos)
            printLoad(path, true);
    }

    // Launch to first stroke needs the whole program started from outside;
    // it is measured by its own tool and its figure belongs here.
    std::printf("\nlaunch to first stroke: measured by bench/first-stroke (see README)\n");
    return 0;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    return zumbal::run(argc, argv);
}
