#pragma once

#include "sync/SourceBeat.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace zumbal {

struct CommandLine {
    QString soundFont;        // --soundfont FILE
    QString audio;            // --audio pulseaudio|alsa|jack|null; empty: try them in turn
    QString loops;            // --loops DIR
    int period = 0;           // --period FRAMES; 0: the synth's default
    double latency = 0;       // --latency MS; 0: two periods
    bool connectPorts = true; // --no-connect clears it
    bool stats = false;       // --stats
    QString loopFile;         // LOOPFILE: opened and played instead of the start-up loop
    // --sync internal|jack|midi|link: in place of the live settings' choice.
    std::optional<sync::Source> sync;
    bool jackTransportMaster = false; // --jack-transport-master
};

inline constexpr int kMinLatencyMs = 2;
inline constexpr int kMaxLatencyMs = 500;

// Renders without --seed use this one, so that a loop always renders the same.
inline constexpr uint64_t kDefaultRenderSeed = 1;

// The commands that work without a display: `zumbal export-midi FILE ...`
// and `zumbal render FILE ...`, FILE a loop file or a song file.
struct Subcommand {
    enum class Kind { ExportMidi, Render };
    Kind kind = Kind::ExportMidi;
    QString loopFile; // the loop file or song file
    int repeats = 4;  // -r N
    bool repeatsGiven = false;
    QString loops;  // --loops DIR, for a song: the loops folder of its presets
    QString output; // -o FILE; empty: named after the loop, in the current folder
    uint64_t seed = kDefaultRenderSeed; // --seed S
    QString soundFont;                  // --soundfont FILE, render only; empty: the usual search
    bool noTail = false;                // --no-tail, render only
};

struct CommandLineResult {
    std::optional<CommandLine> options;   // the program starts with these
    std::optional<Subcommand> subcommand; // or runs this, without a display
    // Neither: exit with `exitCode`.
    int exitCode = 0;
    QString message; // printed on stdout for 0 (help, version), stderr otherwise
};

CommandLineResult parseCommandLine(const QStringList& arguments);

} // namespace zumbal
