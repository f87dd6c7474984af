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
std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats);

// The file name of an export: the name typed for it, kept to letters, digits
// and spaces, or the loop's name when nothing is left; then ".mid".
std::string exportFileName(std::string_view exportName, std::string_view loopName);

} // namespace zumbal
