#pragma once

#include "model/StepVariation.h"
#include "model/globali.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zumbal {

// The tag at the end of a loop file's first line, by which the presets list
// recognises loop files.
inline constexpr std::string_view kLoopFileTag = "(Zumbal loop text file format)";
inline constexpr std::string_view kLoopHeaderSuffix =
    " drum loop created by Zumbal (Zumbal loop text file format)";
inline constexpr int kLoopFileVersion = 130;
inline constexpr int kLoopFileLines = 258;
// A loop with a groove is written as version 140, with three lines more:
// the swing, the timing humanize and the velocity humanize. Readers that
// know only 130 read any later version as that layout and stop after line
// 258, so they still load the loop, straight.
inline constexpr int kGrooveFileVersion = 140;
inline constexpr int kGrooveFileLines = kLoopFileLines + 3;
// A loop whose steps vary is written as version 150: the lines of 140 (the
// groove written even when straight), then four blocks of a line per cell,
// in cell order: the chance, the condition, the ratchet and the nudge.
inline constexpr int kVariationFileVersion = 150;
inline constexpr int kVariationFileLines = kGrooveFileLines + 4 * kCells;

// The three layouts, told apart by the number on line 2.
enum class LoopLayout {
    Oldest,     // below 120: six drum tracks, 16 button states, no velocities
    NoVelocity, // 120 to under 130: bass track, 17 states, no velocities
    Current,    // 130 and above; 140 and above may add the groove
};

LoopLayout layoutOf(double version);

// A loop file's values as read, line by line, with the lenient number parse:
// a line that is missing or holds no number reads as 0. Values that the
// file's layout does not hold stay 0; applying the defaults for them is the
// reader's business (the main window and the export differ).
struct LoopRecord {
    double version = 0;
    LoopLayout layout = LoopLayout::Oldest;
    std::array<int, kButtons> pb{};
    std::array<int, kCells> pp{};
    std::array<std::array<int, 2>, kTracks> edfiv{};
    int tempo = 0;
    std::array<int, kCells> volum{};
    // The groove; a loop without one is straight.
    int swing = kStraight;
    int humanizeMs = 0;
    int humanizeVelocity = 0;
    // How each cell's step varies; plain in every layout before 150.
    std::array<StepVariation, kCells> steps{};

    friend bool operator==(const LoopRecord&, const LoopRecord&) = default;
};

struct Groove {
    int swing = kStraight;
    int humanizeMs = 0;
    int humanizeVelocity = 0;
};

// A loop's groove taken into its ranges: swing kStraight..kMaxSwing, the
// humanize amounts 0..their maxima.
Groove grooveOf(const LoopRecord& loop);

// True when the groove, in its ranges, is anything but straight.
bool hasGroove(const LoopRecord& loop);

// True when a step of the loop (isStep()) varies; what a cell that holds
// no step keeps is not written.
bool hasVariations(const LoopRecord& loop);

// Splits text into lines ending in "\n", "\r\n" or a lone "\r".
std::vector<std::string_view> splitLines(std::string_view text);

LoopRecord parseLoop(std::string_view text);

// The 258 lines of the current layout, each ended by "\n"; a loop with a
// groove gets version 140 and its three groove lines after them, a loop
// with variations version 150 and its four blocks after those.
std::string writeLoop(std::string_view name, const LoopRecord& loop);

// True when a first line ends in the 30-character tag; a shorter line never does.
bool hasLoopFileTag(std::string_view firstLine);

// The first line of a text, without its line ending.
std::string_view firstLine(std::string_view text);

} // namespace zumbal
