#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

// The one shared state of the program: the loop of seven tracks by sixteen
// strokes, the transport state of the stroke clock and a few settings of the
// main window. The audio thread reads the loop while the GUI thread edits it,
// so every element either side touches is an atomic; single element reads and
// writes are all the consistency the loop needs.
namespace zumbal {

using AtomicInt = std::atomic<int32_t>;

inline constexpr int kTracks = 7;
inline constexpr int kDrumTracks = 6;
inline constexpr int kBassTrack = 6;
inline constexpr int kStrokes = 16;
inline constexpr int kCells = kTracks * kStrokes;             // 112
inline constexpr int kFirstBassCell = kDrumTracks * kStrokes; // 96
inline constexpr int kButtons = 17;

// Stroke codes of `pp`.
inline constexpr int kHit = 0;
inline constexpr int kRest = 1;
inline constexpr int kRandomHit = 2;
inline constexpr int kDisabled = 3;
inline constexpr int kBassRest = 10;

// Button state codes of `pb`.
inline constexpr int kSwitchOff = 1;
inline constexpr int kSwitchOn = 101;
inline constexpr int kPushButton = 11;

// Button numbers with a role of their own.
inline constexpr int kPlayButton = 12;
inline constexpr int kWebButton = 13;
inline constexpr int kThreeFourButton = 14;
inline constexpr int kTernaryButton = 15;
inline constexpr int kBassButton = 16;

inline constexpr int kMinTempo = 10;
inline constexpr int kMaxTempo = 240;
inline constexpr int kStartTempo = 120;
inline constexpr int kDefaultVolume = 99;

// Sounds of the start-up loop and of New Loop, by track.
inline constexpr std::array<int, kTracks> kDefaultSounds{36, 38, 42, 46, 53, 52, 33};

// The cell of a track's stroke; strokes count from 1.
constexpr int cellIndex(int track, int stroke) {
    return kStrokes * track + (stroke - 1);
}

// The bar rule, for everything that walks the bar (the stroke clock, the
// 3/4 and ter switches, loading, the MIDI export): the ternary feel leaves
// out every fourth stroke (4, 8, 12, 16), 3/4 the last four (13 to 16).
constexpr bool isPlayedStroke(int stroke, bool threeFour, bool ternary) {
    return !(ternary && stroke % 4 == 0) && !(threeFour && stroke > 12);
}

// The strokes one pass of the bar plays: 16, 12 under 3/4 or ternary, 9 under both.
constexpr int strokesInBar(bool threeFour, bool ternary) {
    int played = 0;
    for (int s = 1; s <= kStrokes; ++s)
        played += isPlayedStroke(s, threeFour, ternary);
    return played;
}

// Whether a cell holding `code` is a step that plays and may vary: a hit or
// a random hit on a drum track, a note on the bass track.
constexpr bool isStep(int cell, int code) {
    return cell < kFirstBassCell ? code == kHit || code == kRandomHit : code > kBassRest;
}

constexpr bool isOn(int buttonState) {
    return buttonState >= kSwitchOn;
}

// The groove's ranges.
inline constexpr int kStraight = 50;
inline constexpr int kMaxSwing = 75;
inline constexpr int kMaxHumanizeMs = 10;
inline constexpr int kMaxHumanizeVelocity = 20;

struct globali {
    // Stroke code of each cell, cellIndex(track, stroke): kHit, kRest,
    // kRandomHit, kDisabled on drum rows; kBassRest or a MIDI note on the bass row.
    std::array<AtomicInt, kCells> pp{};
    // Velocity of each cell, 0..127 when sent; same index as `pp`.
    std::array<AtomicInt, kCells> volum{};
    // How each cell's step varies, packed (packVariation(); 0: a plain step).
    std::array<AtomicInt, kCells> vary{};
    // Per track: [0] the sound (drum note, or bass program from 1), [1] the track volume.
    std::array<std::array<AtomicInt, 2>, kTracks> edfiv{};
    // State code of each of the 17 drawn buttons: kSwitchOff, kSwitchOn or kPushButton.
    std::array<AtomicInt, kButtons> pb{};
    // The sounding bass note: [0] its MIDI note, [1] strokes it has sounded.
    std::array<AtomicInt, 2> basso_ultima{};
    // The preferences: [0] "1" plays the event sounds.
    std::array<std::string, 1> prefe{};

    std::filesystem::path drumloopsfolder; // whose loop files are the presets
    std::atomic<bool> fastswitch{false};   // FastSwitch mode is on
    AtomicInt battito{0};                  // 0: stopped; 1..16: the next stroke to play
    std::atomic<bool> ter_3_4{false};      // 3/4: strokes 13 to 16 are left out
    std::atomic<bool> ter_ter{false};      // ternary: strokes 4, 8, 12 and 16 are left out
    AtomicInt loopattuale{0};              // presets row FastSwitch has loaded; presets from 2
    std::string nome_file;                 // the current loop's file name, as bytes
    AtomicInt tempo{0};                    // beats per minute, 10..240
    AtomicInt key_tasto_indice{0};         // the selected bass cell, 96..111, for the keyboard
    AtomicInt trans_start{0};              // semitones the bass has moved since its load
    // The groove, saved with the loop. `swing`: where the second stroke of
    // each pair falls, in percent of the pair, kStraight..kMaxSwing;
    // `humanizeMs` and `humanizeVelocity`: how far each played stroke's time
    // (0..kMaxHumanizeMs) and velocity (0..kMaxHumanizeVelocity) wander at random.
    AtomicInt swing{kStraight};
    AtomicInt humanizeMs{0};
    AtomicInt humanizeVelocity{0};
    // Sample of the audio timeline at which playback last started or the
    // last stroke sounded. The stroke clock counts audio samples, not 1/60 s
    // ticks, so this is 64 bits.
    std::atomic<int64_t> metronomo{0};
};

// Every drum cell a rest, every bass cell a bass rest, all velocities default.
void clearCells(globali& g);

// Track sounds and track volumes back to their defaults.
void resetTrackSounds(globali& g);

// The loop the program plays when it opens: bass drum on strokes 1 and 9,
// snare on 5 and 13, no flags, bass cell 96 selected. Leaves the transport alone.
void setStartupLoop(globali& g);

// The model half of New Loop: flags off, all cells at rest, default sounds
// and volumes, a straight groove. Buttons, fields and the tempo are the
// window's part.
void setNewLoop(globali& g);

// Button states given by the main window's button table.
void setDefaultButtonStates(globali& g);

bool eventSoundsOn(const globali& g);

} // namespace zumbal
