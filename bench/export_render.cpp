// What the two offline commands cost: building the MIDI bytes of a loop in
// which every cell sounds, at the most passes an export takes, and rendering
// a busy factory loop to audio, against real time.

#include "BenchSupport.h"
#include "app/CommandLine.h"
#include "app/Subcommands.h"
#include "export/MidiWriter.h"
#include "loops/LoopFile.h"
#include "loops/LoopModel.h"
#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace zumbal {
namespace {

constexpr int kMidiRuns = 20;
constexpr int kRenderRuns = 3;
constexpr int kRenderRepeats = 8;

double seconds() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// Every drum cell a hit and every bass cell a note: the most events a pass can hold.
LoopRecord everyCellSounds() {
    LoopRecord loop;
    loop.version = kLoopFileVersion;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    for (int t = 0; t < kDrumTracks; ++t)
        loop.pb[t] = kSwitchOn;
    loop.pb[kBassButton] = kSwitchOn;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c < kFirstBassCell ? kHit : 36 + c % kStrokes;
        loop.volum[c] = kDefaultVolume;
    }
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {kDefaultSounds[t], kDefaultVolume};
    loop.tempo = kStartTempo;
    return loop;
}

void midiFigures(const char* name, const LoopRecord& loop) {
    std::vector<double> times;
    size_t bytes = 0;
    for (int i = 0; i < kMidiRuns; ++i) {
        const double begin = seconds();
        bytes = writeMidiFile(loop, kMaxRepeats).size();
        times.push_back(seconds() - begin);
    }
    std::printf("%-28s %4d %10zu %12.1f %12.1f\n", name, kMaxRepeats, bytes,
                bench::median(times) * 1e6, *std::min_element(times.begin(), times.end()) * 1e6);
}

struct RenderTime {
    double audioSeconds = 0;
    double wallSeconds = 0;
};

// The render alone: SoundFont loaded beforehand, the sound only clipped and
// interleaved as for the file, not written.
RenderTime renderOnly(const std::string& text, const std::string& soundFont) {
    auto g = std::make_unique<globali>();
    loadIntoModel(*g, parseLoop(text), true);
    SoundOptions options;
    options.soundFont = soundFont;
    options.seed = kDefaultRenderSeed;
    SoundSystem sound(*g, options);
    sound.loadSoundFont();
    std::vector<float> frames(2 * kRenderBuffer);
    const double begin = seconds();
    const RenderResult r =
        renderLoop(sound, *g, kRenderRepeats, [&](const float* l, const float* rt, int n) {
            for (int i = 0; i < n; ++i) {
                frames[2 * i] = std::clamp(l[i], -1.0f, 1.0f);
                frames[2 * i + 1] = std::clamp(rt[i], -1.0f, 1.0f);
            }
            return true;
        });
    return {static_cast<double>(r.frames) / sound.engine().sampleRate(), seconds() - begin};
}

// The whole command in this process: reading the loop, loading the SoundFont,
// rendering and writing the WAV file.
double wholeCommand(const std::string& loopPath, const std::string& soundFont,
                    const std::string& out) {
    Subcommand command;
    command.kind = Subcommand::Kind::Render;
    command.loopFile = QString::fromStdString(loopPath);
    command.repeats = kRenderRepeats;
    command.output = QString::fromStdString(out);
    command.soundFont = QString::fromStdString(soundFont);
    const double begin = seconds();
    const int code = runSubcommand(command);
    return code == 0 ? seconds() - begin : -1;
}

int run(int argc, char** argv) {
    std::string loopPath = std::string(ZUMBAL_LOOPS_DIR) + "/Funk Ghosts";
    std::string soundFontOption;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--loop" && i + 1 < argc)
            loopPath = argv[++i];
        else if (arg == "--soundfont" && i + 1 < argc)
            soundFontOption = argv[++i];
        else {
            std::fprintf(stderr, "usage: export_render [--loop FILE] [--soundfont FILE]\n");
            return 2;
        }
    }
    std::ifstream in(loopPath, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    if (!in || text.empty()) {
        std::fprintf(stderr, "export_render: cannot read %s\n", loopPath.c_str());
        return 1;
    }
    const std::string loopName = std::filesystem::path(loopPath).filename().string();
    silenceSynthLog();

    std::printf("MIDI bytes: writeMidiFile, median and best of %d runs, wall clock\n\n", kMidiRuns);
    std::printf("%-28s %4s %10s %12s %12s\n", "loop", "R", "bytes", "median us", "best us");
    midiFigures("every cell sounding", everyCellSounds());
    midiFigures(loopName.c_str(), readLoopForExport(text));

    const std::string soundFont = findSoundFont(soundFontOption, std::getenv("ZUMBAL_SOUNDFONT"));
    std::printf("\nRender: %s at R = %d, seed %llu, %d-frame buffers; median of %d runs\n",
                loopName.c_str(), kRenderRepeats,
                static_cast<unsigned long long>(kDefaultRenderSeed), kRenderBuffer, kRenderRuns);
    if (soundFont.empty()) {
        std::printf("skipped: no SoundFont\n");
        return 0;
    }
    std::printf("SoundFont: %s\n\n", soundFont.c_str());
    std::vector<double> wall, whole;
    double audio = 0;
    const auto out = std::filesystem::temp_directory_path() /
                     ("zumbal-bench-" + std::to_string(getpid()) + ".wav");
    for (int i = 0; i < kRenderRuns; ++i) {
        const RenderTime t = renderOnly(text, soundFont);
        audio = t.audioSeconds;
        wall.push_back(t.wallSeconds);
        whole.push_back(wholeCommand(loopPath, soundFont, out.string()));
    }
    std::error_code ec;
    std::filesystem::remove(out, ec);
    std::printf("%-44s %8s %8s %12s\n", "", "audio s", "wall s", "x real time");
    std::printf("%-44s %8.2f %8.3f %12.1f\n", "engine + synth (SoundFont already loaded)", audio,
                bench::median(wall), audio / bench::median(wall));
    if (*std::min_element(whole.begin(), whole.end()) < 0)
        std::printf("%-44s failed\n", "whole command (load, render, write WAV)");
    else
        std::printf("%-44s %8.2f %8.3f %12.1f\n", "whole command (load, render, write WAV)", audio,
                    bench::median(whole), audio / bench::median(whole));
    return 0;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    return zumbal::run(argc, argv);
}
