// How exactly a song lands on midi_out, and how long its render is.
//
// A song of five entries of different tempos and meters (4/4, 3/4, ternary
// and both) plays through Zumbal's JACK client on a private dummy server at
// 48 kHz, MIDI only, driven as the song player drives it: the first entry
// waits in the engine for the run's first stroke 1, and each next one is
// queued, to wait for the passes of the one playing, as soon as the engine
// hands the one before it back as landed; the main thread looks every 5 or
// every 30 ms (the song player's timer). A fill is queued once, as the
// second entry lands, so that it plays over the third one's first pass and
// the third one comes back after it. After the last entry the song's end
// stops the loop. A second client records midi_out on the server's frames.
// Each loop strikes a note of its own, and that note + 1 on stroke 1 (see
// loopStriking), so the recording tells its bars apart. Every bar's first
// note is compared with the ideal frame of its bar line (stroke 1 of the run
// one stroke length after the start, then each bar strokesInBar x 15/tempo
// x rate frames), every stroke with its own ideal frame, and the strokes of
// every bar are counted. A take that a server xrun cut into is taken again.
//
// Then the same song, each loop striking stroke 1 alone, is rendered as
// `zumbal render SONG --no-tail` renders it: the WAV's length against the
// sum of its bars, and each bar's onset against its ideal sample.
//
//   song_timing [--takes N] [--soundfont FILE]   (default 3 takes per interval)

#include "JackCapture.h"
#include "StrikingLoop.h"
#include "SyncRig.h"
#include "SyncTable.h"
#include "app/CommandLine.h"
#include "app/Subcommands.h"
#include "editor/PendingSwitch.h"
#include "loops/LoopModel.h"
#include "playback/SoundFontLocator.h"
#include "playback/Synth.h"
#include "song/SongFile.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <sndfile.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using bench::Table;
using bench::Take;
using namespace std::chrono_literals;

constexpr int kRate = 48000, kPeriod = 256;

// An entry of the song, or the fill: its loop's note (stroke 1 strikes the
// one above), tempo and meter, and its passes.
struct Entry {
    const char* name;
    int note, tempo;
    bool threeFour, ternary;
    int passes;
};

constexpr std::array<Entry, 5> kSong{{{"entry 1 (120, 4/4, x2)", 60, 120, false, false, 2},
                                      {"entry 2 (96, 3/4, x1)", 62, 96, true, false, 1},
                                      {"entry 3 (90, ter, x2)", 64, 90, false, true, 2},
                                      {"entry 4 (70, 3/4 ter, x1)", 66, 70, true, true, 1},
                                      {"entry 5 (140, 4/4, x1)", 68, 140, false, false, 1}}};
constexpr Entry kFill{"fill (100, 4/4)", 72, 100, false, false, 1};
// The entry whose landing the fill is queued at.
constexpr size_t kFillAfter = 1;

double strokeLength(const Entry& e, int rate) {
    return rate * 15.0 / e.tempo;
}

double barLength(const Entry& e, int rate) {
    return strokesInBar(e.threeFour, e.ternary) * strokeLength(e, rate);
}

// A bar as it should play, and what the table calls its first note.
struct Due {
    const Entry* loop;
    std::string what; // empty: not a row of its own
};

// The song's bars: each entry's passes, the fill in place of the pass after
// the entry it is queued at.
std::vector<Due> dueBars(bool fill) {
    std::vector<Due> bars;
    for (size_t e = 0; e < kSong.size(); ++e)
        for (int pass = 1; pass <= kSong[e].passes; ++pass) {
            const bool filled = fill && e == kFillAfter + 1 && pass == 1;
            const bool back = fill && e == kFillAfter + 1 && pass == 2;
            bars.push_back({filled ? &kFill : &kSong[e],
                            filled      ? std::string(kFill.name) + " over entry 3's pass 1"
                            : back      ? std::string(kSong[e].name) + " after the fill"
                            : pass == 1 ? std::string(kSong[e].name)
                                        : std::string()});
        }
    return bars;
}

// The loop file of `e`, as the song player reads it, with its passes.
PendingSwitch switchTo(const Entry& e, int songEntry) {
    PendingSwitch change;
    change.loop =
        parseLoop(test::loopStriking(e.note, e.tempo, e.threeFour, e.ternary).toStdString());
    change.passes = songEntry >= 0 ? e.passes : 0;
    change.waitsForPasses = songEntry > 0;
    change.songEntry = songEntry;
    return change;
}

// A bar as played: its stroke 1's note, and the frames of its note-ons.
struct Played {
    int marker = 0;
    std::vector<int64_t> strokes;
    int foreign = 0; // notes of another loop
};

std::vector<Played> playedBars(const std::vector<test::CapturedMidi>& events, int& stray) {
    std::vector<Played> bars;
    for (const test::CapturedMidi& e : events) {
        if ((e.bytes[0] & 0xF0) != 0x90 || e.bytes[2] == 0)
            continue;
        const int note = e.bytes[1];
        bool marker = note == kFill.note + 1;
        for (const Entry& entry : kSong)
            marker = marker || note == entry.note + 1;
        if (marker)
            bars.push_back({note, {e.frame}, 0});
        else if (bars.empty())
            ++stray;
        else {
            bars.back().strokes.push_back(e.frame);
            bars.back().foreign += note != bars.back().marker - 1;
        }
    }
    return bars;
}

// The ideal frame's tolerance: the nearest frame, either of two where it
// falls halfway between them.
double tolerance(double ideal) {
    return std::fabs(ideal - std::floor(ideal) - 0.5) < 1e-9 ? 1 : 0;
}

Take songTake(bench::SyncRig& rig, int pollMs, Table& t) {
    PlaybackEngine& engine = rig.sound->engine();
    std::vector<PendingSwitch> entries;
    for (size_t e = 0; e < kSong.size(); ++e)
        entries.push_back(switchTo(kSong[e], static_cast<int>(e)));
    PendingSwitch fill = switchTo(kFill, -1), end;
    end.songEntry = PendingSwitch::kSongEnd;
    end.waitsForPasses = true;
    const std::vector<Due> bars = dueBars(true);
    double length = strokeLength(kSong[0], kRate);
    for (const Due& b : bars)
        length += barLength(*b.loop, kRate);

    test::JackMidiCapture capture(1, 20000);
    if (!capture.connect("Zumbal:midi_out", 0))
        return Take::Failed;
    const uint64_t xruns = rig.xruns();
    // The window has the first entry's loop as Play is pressed.
    loadIntoModel(rig.g, *entries[0].loop, true);
    std::this_thread::sleep_for(100ms);
    int handedBack = engine.queueAtBarLine(&entries[0]) != nullptr;
    engine.start();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(length / kRate + 2);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        BarLineChange* landed = engine.takeLanded();
        if (landed == &end)
            ended = true;
        if (!landed || ended)
            continue;
        const auto e = static_cast<size_t>(static_cast<PendingSwitch*>(landed) - entries.data());
        handedBack +=
            engine.queueAtBarLine(e + 1 < entries.size() ? &entries[e + 1] : &end) != nullptr;
        if (e == kFillAfter)
            handedBack += engine.queueFill(&fill) != nullptr;
    }
    engine.stop();
    engine.withdrawBarLineChange();
    engine.withdrawFill();
    std::this_thread::sleep_for(200ms);
    engine.takeLanded();
    const bool fillLanded = engine.takeLandedFill() == &fill;
    if (rig.xruns() != xruns)
        return Take::Xrun;

    int stray = 0;
    const std::vector<Played> played = playedBars(capture.events(), stray);
    if (played.empty()) {
        std::fprintf(stderr, "song_timing: nothing was played on midi_out\n");
        return Take::Failed;
    }
    // The start is the cycle start one stroke length before the first note:
    // an engine starts at the first frame of a buffer.
    const double first = static_cast<double>(played[0].strokes[0]) - strokeLength(kSong[0], kRate);
    double start = first, off = std::numeric_limits<double>::infinity();
    for (const test::CapturedCycle& c : capture.cycles())
        if (std::fabs(static_cast<double>(c.serverFrame) - first) < off) {
            off = std::fabs(static_cast<double>(c.serverFrame) - first);
            start = static_cast<double>(c.serverFrame);
        }
    double barLine = start + strokeLength(kSong[0], kRate);
    int wrongLoop = 0, wrongCount = 0, foreign = 0;
    double worstStroke = 0;
    for (size_t b = 0; b < bars.size(); ++b) {
        const Entry& due = *bars[b].loop;
        const bool there = b < played.size();
        if (!bars[b].what.empty())
            t.add(bars[b].what, "frames",
                  there ? static_cast<double>(played[b].strokes[0] - std::llround(barLine))
                        : std::numeric_limits<double>::infinity(),
                  tolerance(barLine), "0: the bar line's frame");
        if (there) {
            wrongLoop += played[b].marker != due.note + 1;
            wrongCount += static_cast<int>(played[b].strokes.size()) !=
                          strokesInBar(due.threeFour, due.ternary);
            foreign += played[b].foreign;
            for (size_t s = 0; s < played[b].strokes.size(); ++s) {
                const double ideal = barLine + static_cast<double>(s) * strokeLength(due, kRate);
                worstStroke = std::max(
                    worstStroke,
                    std::fabs(static_cast<double>(played[b].strokes[s] - std::llround(ideal))) -
                        tolerance(ideal));
            }
        }
        barLine += barLength(due, kRate);
    }
    int afterEnd = 0;
    for (const Played& p : played)
        for (const int64_t frame : p.strokes)
            afterEnd +=
                static_cast<double>(frame) >= barLine - strokeLength(kSong.back(), kRate) / 2;
    t.add("every stroke, worst beyond its nearest frame", "frames", worstStroke, 0, "0");
    t.add("bars played less bars due", "",
          static_cast<double>(played.size()) - static_cast<double>(bars.size()), 0, "0");
    t.add("bars of the wrong loop", "", wrongLoop, 0, "0");
    t.add("bars with a stroke count not strokesInBar", "", wrongCount, 0, "0");
    t.add("notes of another loop inside a bar", "", foreign + stray, 0, "0");
    t.add("note-ons after the song's end", "", afterEnd, 0, "0: the end stops the loop");
    t.add("changes handed back unapplied", "", handedBack, 0, "0");
    t.add("fill landed", "", fillLanded ? 0 : 1, 0, "0: yes");
    return Take::Done;
}

void jackSong(int takes) {
    bench::SyncRig rig(kRate, kPeriod);
    for (const int pollMs : {5, 30}) {
        Table t("midi_out on a dummy JACK server, " + std::to_string(kRate) + " Hz, period " +
                std::to_string(kPeriod) +
                "; the next entry queued as the last one is seen landed, "
                "looked for every " +
                std::to_string(pollMs) + " ms");
        if (!rig.ready())
            t.note("real-time takes: needs jackd");
        else if (!bench::takes(t, "real-time takes", takes,
                               [&](int) { return songTake(rig, pollMs, t); }))
            t.note("real-time takes: could not be made");
        t.note("the start: the cycle start one stroke length before the first note (an engine "
               "starts on a buffer's first frame)");
        t.print();
    }
}

// ---- The render -----------------------------------------------------------

// max(|left|, |right|) of each frame of a stereo WAV file, and its rate.
std::vector<float> readPeaks(const std::string& path, int& rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file || info.channels != 2)
        return {};
    std::vector<float> frames(static_cast<size_t>(info.frames) * 2);
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    rate = info.samplerate;
    std::vector<float> peaks(frames.size() / 2);
    for (size_t i = 0; i < peaks.size(); ++i)
        peaks[i] = std::max(std::abs(frames[2 * i]), std::abs(frames[2 * i + 1]));
    return peaks;
}

void renderedSong(const std::string& soundFont) {
    std::printf(
        "\nThe song rendered by `zumbal render SONG --no-tail` (no fill), each loop striking "
        "stroke 1 alone\n");
    if (soundFont.empty()) {
        std::printf("  skipped: no SoundFont\n");
        return;
    }
    std::printf("  SoundFont: %s\n", soundFont.c_str());
    QTemporaryDir dir;
    Song song{"Timing", {}};
    for (const Entry& e : kSong) {
        LoopRecord loop =
            parseLoop(test::loopStriking(36, e.tempo, e.threeFour, e.ternary).toStdString());
        for (int s = 1; s <= kStrokes; ++s)
            loop.pp[cellIndex(0, s)] = kRest;
        const std::string preset = std::string("Entry ") + std::to_string(song.entries.size() + 1);
        test::writeFile(dir.filePath(QString::fromStdString(preset)),
                        QByteArray::fromStdString(writeLoop(preset, loop)));
        song.entries.push_back({e.passes, std::nullopt, preset});
    }
    test::writeFile(dir.filePath("songs/timing"), QByteArray::fromStdString(writeSong(song)));
    Subcommand command;
    command.kind = Subcommand::Kind::Render;
    command.loopFile = dir.filePath("songs/timing");
    command.output = dir.filePath("timing.wav");
    command.soundFont = QString::fromStdString(soundFont);
    command.noTail = true;
    if (runSubcommand(command) != 0) {
        std::printf("  the render failed\n");
        return;
    }
    int rate = 0;
    const std::vector<float> peaks = readPeaks(command.output.toStdString(), rate);
    const std::vector<Due> bars = dueBars(false);
    std::vector<double> ideal{0};
    for (const Due& b : bars)
        ideal.push_back(ideal.back() + barLength(*b.loop, rate));
    std::printf(
        "  %d Hz; WAV frames %zu, the sum of its bars %.3f (nearest %lld): %+lld frames\n", rate,
        peaks.size(), ideal.back(), static_cast<long long>(std::llround(ideal.back())),
        static_cast<long long>(static_cast<int64_t>(peaks.size()) - std::llround(ideal.back())));

    // Stroke 1 of the render is on its first frame: the quiet before it is
    // taken as given, and the first onset's distance from it is the sound's
    // attack, the same for every bar.
    const int quiet = rate / 10;
    std::vector<float> signal(static_cast<size_t>(quiet), 0.0f);
    signal.insert(signal.end(), peaks.begin(), peaks.end());
    std::vector<int64_t> onsets = test::onsets(signal, quiet);
    for (int64_t& o : onsets)
        o -= quiet;
    std::printf("  onsets %zu, bars %zu; the attack (first onset) %lld frames\n", onsets.size(),
                bars.size(), onsets.empty() ? -1LL : static_cast<long long>(onsets[0]));
    std::printf("\n  %-3s %-28s %12s %12s %12s  %s\n", "bar", "loop", "ideal", "block", "onset",
                "onset - attack - block (target 0)");
    for (size_t b = 0; b < bars.size(); ++b) {
        const auto block = std::llround(ideal[b] / PlaybackEngine::kBlock) * PlaybackEngine::kBlock;
        if (b < onsets.size())
            std::printf("  %-3zu %-28s %12.3f %12lld %12lld  %+lld\n", b + 1, bars[b].loop->name,
                        ideal[b], static_cast<long long>(block), static_cast<long long>(onsets[b]),
                        static_cast<long long>(onsets[b] - onsets[0] - block));
        else
            std::printf("  %-3zu %-28s %12.3f %12lld  none\n", b + 1, bars[b].loop->name, ideal[b],
                        static_cast<long long>(block));
    }
    std::fflush(stdout);
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    using namespace zumbal;
    int takes = 3;
    std::string soundFontOption;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--takes" && i + 1 < argc)
            takes = std::atoi(argv[++i]);
        else if (arg == "--soundfont" && i + 1 < argc)
            soundFontOption = argv[++i];
        else
            takes = 0;
    }
    if (takes < 1) {
        std::fprintf(stderr, "usage: song_timing [--takes N] [--soundfont FILE]\n");
        return 2;
    }
    jack_set_error_function([](const char*) {});
    silenceSynthLog();
    std::printf("A song of %zu entries and a fill: every bar's first note against the ideal frame "
                "of its bar line, min, median and max over the takes\n",
                kSong.size());
    jackSong(takes);
    renderedSong(findSoundFont(soundFontOption, std::getenv("ZUMBAL_SOUNDFONT")));
    return 0;
}
