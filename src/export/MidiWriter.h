#pragma once

#include "loops/LoopFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zumbal {

inline constexpr int kMinRepeats = 1;
inline constexpr int kMaxRepeats = 110;
inline constexpr int kTicksPerQuarter = 192;
// The seed of the steps' chances in an export made without one.
inline constexpr uint64_t kDefaultExportSeed = 1;

// Reads a stored loop for export, into a record of its own: a file of the
// oldest layout has no bass notes and its bass track off; every older layout
// takes its velocities from the track volumes. Nothing is normalised.
LoopRecord readLoopForExport(std::string_view text);

// The loop repeated `repeats` times as a Standard MIDI File: format 1, 192
// ticks per quarter note, a tempo and meter track, the drums on channel 10
// and the bass on channel 9. Random hits are written as rests, and a note-off
// only where it ends a note that sounds. The tempo is taken within 10..240
// (a ternary quarter note is three strokes long, to the nearest microsecond)
// and every data byte within 0..127, so the file is always well formed. The
// swing moves the second stroke of each pair to its swing percentage of the
// pair, to the nearest tick (not under the ternary feel); the humanize
// amounts are for playback only and are not written.
//
// Steps that vary are written as the program plays them, pass by pass from
// pass 1, with no fill playing: a step sounds where its condition holds and,
// for a hit or a bass note, its chance drawn for `seed` in a first run; a
// ratchet strikes it evenly up to the next stroke, and a nudge moves every
// strike by its 24ths of a stroke, to the nearest tick, never before the
// stroke before nor after the stroke after. Each later strike of a ratchet
// ends the note before it. A loop whose steps are all plain is written as it
// always was.
std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats,
                                   uint64_t seed = kDefaultExportSeed);

// The ticks a file spans at most: the longest delta time of four bytes, so
// that any delta between two of its events can be written.
inline constexpr uint64_t kMaxExportTicks = (uint64_t{1} << 28) - 1;

// A stretch of an export: `passes` passes of `loop` as readLoopForExport()
// reads it, its bass notes moved by `transposition` semitones as a
// FastSwitch key moves them (rests stay rests).
struct ExportPart {
    LoopRecord loop;
    int passes = 1;
    int transposition = 0;
};

// The parts one after the other, each written as a loop's export is, as one
// file: a part's stroke 1 comes one stroke of the part before after that
// part's last stroke, and there the tempo and meter track has the part's
// time signature and tempo and the bass track its program, each where it
// changes. One part is the loop's export, byte for byte. The passes are
// numbered on across the parts, as the program counts them across preset
// switches. Empty when there is no part or the parts would outlast
// kMaxExportTicks.
std::vector<uint8_t> writeMidiFile(const std::vector<ExportPart>& parts,
                                   uint64_t seed = kDefaultExportSeed);

// The file name of an export: the name typed for it, kept to letters, digits
// and spaces, or the loop's name when nothing is left; then ".mid".
std::string exportFileName(std::string_view exportName, std::string_view loopName);

} // namespace zumbal
