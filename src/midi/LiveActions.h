#pragma once

#include "midi/LiveSettings.h"
#include "midi/MidiMessage.h"

#include <optional>

namespace zumbal {

enum class LiveActionKind {
    None,
    LoadPreset, // value: the preset's index, from 0
    Transpose,  // value: the pitch class to transpose to, C = 0 ... B = 11
    NextPreset,
    PreviousPreset,
    PlayStop,
    SemitoneDown,
    SemitoneUp,
    FastSwitchToggle,
    Start,
    Stop,
    NextEntry,
    PreviousEntry,
    RestartEntry,
    Fill,
    GoToEntry, // value: the song's entry, from 0
    HoldFill,  // a held fill's control went down
    ReleaseFill,
};

struct LiveAction {
    LiveActionKind kind = LiveActionKind::None;
    int value = 0;
    bool operator==(const LiveAction&) const = default;
};

// What of the program's state decides how a message acts.
struct LiveState {
    bool fastSwitch = false;
    int presetCount = 0;
    int songEntries = 0; // of the song playing, or waiting to play again
};

// What an incoming MIDI message does. Start, Continue and Stop always act;
// a bound control acts as its binding says; in FastSwitch mode a Program
// Change loads a preset (goes to the song's entry while a song plays) and a
// note transposes.
LiveAction translate(const MidiMessage& m, const LiveSettings& s, const LiveState& state);

// The binding a message lets go of: a note-off (or a note-on of velocity 0)
// or a controller back at 0; nothing for anything else.
std::optional<Binding> releasedBinding(const MidiMessage& m);

// The binding "Learn" takes from a message: a Program Change, a note-on or a
// controller moved above 0. Note-offs, a foot switch's release and anything
// else give nothing.
std::optional<Binding> learnableBinding(const MidiMessage& m);

} // namespace zumbal
