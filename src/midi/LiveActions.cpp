#include "midi/LiveActions.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zumbal {

namespace {

constexpr uint8_t kNoteOff = 0x80, kNoteOn = 0x90, kControlChange = 0xB0, kProgramChange = 0xC0;

LiveAction realTimeAction(uint8_t status) {
    switch (status) {
    case 0xFA: // Start
    case 0xFB: // Continue: the loop has no song position to go on from
        return {LiveActionKind::Start};
    case 0xFC:
        return {LiveActionKind::Stop};
    default:
        return {};
    }
}

// The action of the first binding `m` matches, if any, and whether it also
// acts outside FastSwitch mode.
std::optional<std::pair<LiveActionKind, bool>> boundAction(const MidiMessage& m,
                                                           const LiveSettings& s) {
    static constexpr std::array<std::pair<LiveActionKind, bool>, kBindables> actions{{
        {LiveActionKind::NextPreset, false},
        {LiveActionKind::PreviousPreset, false},
        {LiveActionKind::PlayStop, true},
        {LiveActionKind::SemitoneDown, false},
        {LiveActionKind::SemitoneUp, false},
        {LiveActionKind::FastSwitchToggle, true},
        {LiveActionKind::NextEntry, true},
        {LiveActionKind::PreviousEntry, true},
        {LiveActionKind::RestartEntry, true},
        {LiveActionKind::Fill, true},
        {LiveActionKind::HoldFill, true},
    }};
    const Binding& hold = s.bindings[static_cast<size_t>(Bindable::FillHold)];
    if (const auto released = releasedBinding(m); released && *released == hold)
        return std::pair{LiveActionKind::ReleaseFill, true};
    const auto binding = learnableBinding(m);
    if (!binding)
        return std::nullopt;
    const auto found = std::find(s.bindings.begin(), s.bindings.end(), *binding);
    if (found == s.bindings.end())
        return std::nullopt;
    // A program change is never let go of: held, it fills the next bar.
    if (*found == hold && found->kind == BindingKind::ProgramChange)
        return std::pair{LiveActionKind::Fill, true};
    return actions[static_cast<size_t>(found - s.bindings.begin())];
}

LiveAction fastSwitchAction(const MidiMessage& m, const LiveState& state) {
    const int type = m.status & 0xF0;
    if (type == kProgramChange && state.songEntries > 0)
        return {LiveActionKind::GoToEntry, std::min<int>(m.data1, state.songEntries - 1)};
    if (type == kProgramChange && state.presetCount > 0)
        return {LiveActionKind::LoadPreset, std::min<int>(m.data1, state.presetCount - 1)};
    if (type == kNoteOn && m.data2 > 0)
        return {LiveActionKind::Transpose, m.data1 % 12};
    return {};
}

} // namespace

LiveAction translate(const MidiMessage& m, const LiveSettings& s, const LiveState& state) {
    if (m.status >= 0xF8)
        return realTimeAction(m.status);
    if (m.status < 0x80 || m.status >= 0xF0)
        return {};
    const int channel = (m.status & 0x0F) + 1;
    if (s.inputChannel != 0 && channel != s.inputChannel)
        return {};
    if (const auto bound = boundAction(m, s)) {
        const auto [kind, anyMode] = *bound;
        return anyMode || state.fastSwitch ? LiveAction{kind} : LiveAction{};
    }
    return state.fastSwitch ? fastSwitchAction(m, state) : LiveAction{};
}

namespace {

// The control a message moves and whether it went down (a Program Change, a
// note-on, a controller above 0) or came up (a note-off, a note-on of
// velocity 0, a controller at 0); nothing for any other message.
std::optional<std::pair<Binding, bool>> controlOf(const MidiMessage& m) {
    const int channel = (m.status & 0x0F) + 1;
    const int number = m.data1 & 0x7F;
    switch (m.status & 0xF0) {
    case kProgramChange:
        return std::pair{Binding{BindingKind::ProgramChange, channel, number}, true};
    case kNoteOff:
        return std::pair{Binding{BindingKind::Note, channel, number}, false};
    case kNoteOn:
        return std::pair{Binding{BindingKind::Note, channel, number}, m.data2 > 0};
    case kControlChange:
        return std::pair{Binding{BindingKind::ControlChange, channel, number}, m.data2 > 0};
    }
    return std::nullopt;
}

std::optional<Binding> controlMoved(const MidiMessage& m, bool down) {
    const auto control = controlOf(m);
    if (!control || control->second != down)
        return std::nullopt;
    return control->first;
}

} // namespace

std::optional<Binding> releasedBinding(const MidiMessage& m) {
    return controlMoved(m, false);
}

std::optional<Binding> learnableBinding(const MidiMessage& m) {
    return controlMoved(m, true);
}

} // namespace zumbal
