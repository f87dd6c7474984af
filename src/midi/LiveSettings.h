#pragma once

#include "sync/SourceBeat.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zumbal {

// What a MIDI pedal, key or knob can be bound to.
enum class Bindable {
    NextPreset,
    PreviousPreset,
    PlayStop,
    SemitoneDown,
    SemitoneUp,
    FastSwitch,
    // A song's moves, and the fill.
    NextEntry,
    PreviousEntry,
    RestartEntry,
    Fill,
    // "fill" for the steps that ask for it, while the control is held.
    FillHold,
};
inline constexpr int kBindables = 11;

enum class BindingKind { None, ProgramChange, Note, ControlChange };

// A MIDI message that triggers a Bindable: a program, a note or a controller
// number on one channel.
struct Binding {
    BindingKind kind = BindingKind::None;
    int channel = 0; // 1..16
    int number = 0;  // 0..127
    bool operator==(const Binding&) const = default;
};

// The settings of live use: how presets switch while playing, the MIDI
// channels, and the bindings of MIDI controls to actions.
struct LiveSettings {
    bool switchAtBarLine = false; // "Switch at the bar line"
    int drumChannel = 10;         // MIDI out channels, 1..16
    int bassChannel = 9;
    bool clockWhileStopped = false;
    int inputChannel = 0; // 0: every channel; 1..16: only that one
    // Whose beat the strokes follow, and what Zumbal leads.
    sync::Source sync = sync::Source::Internal;
    bool leadJackTransport = false; // on Zumbal's own clock only
    bool linkStartStop = false;     // start and stop with the Link session
    // The preset a fill plays for one pass, its file name; empty: none.
    std::string fillPreset{};
    std::array<Binding, kBindables> bindings{};
    bool operator==(const LiveSettings&) const = default;
};

// The word for a source in the settings file and on the command line
// ("internal", "jack", "midi", "link"), and back.
const char* syncSourceName(sync::Source source);
std::optional<sync::Source> syncSourceNamed(std::string_view word);

// The settings as "key=value" lines, always in the same order.
std::string writeLiveSettings(const LiveSettings& settings);

// Reads what writeLiveSettings wrote. Unknown keys are ignored; missing keys,
// bad values and values out of range give the defaults. Never throws.
LiveSettings readLiveSettings(std::string_view text);

// The name shown for a bindable action, e.g. "Semitone up (A)".
const char* bindableName(Bindable bindable);

// A binding as the user reads it, e.g. "Note C4 (60), ch 10"; "" for none.
std::string describeBinding(const Binding& binding);

} // namespace zumbal
