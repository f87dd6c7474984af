#include "midi/LiveActions.h"

#include <gtest/gtest.h>

#include <vector>

namespace zumbal {

void PrintTo(const MidiMessage& m, std::ostream* os) {
    *os << std::hex << int(m.status) << ' ' << int(m.data1) << ' ' << int(m.data2);
}
void PrintTo(const LiveAction& a, std::ostream* os) {
    *os << "action " << int(a.kind) << " value " << a.value;
}

namespace {

using Bytes = std::vector<uint8_t>;
using A = LiveActionKind;

std::vector<MidiMessage> parseAll(const Bytes& bytes) {
    MidiParser parser;
    std::vector<MidiMessage> out;
    for (const uint8_t byte : bytes)
        if (const auto m = parser.feed(byte))
            out.push_back(*m);
    return out;
}

TEST(MidiParser, SplitsAByteStreamIntoMessages) {
    const std::vector<std::pair<Bytes, std::vector<MidiMessage>>> cases{
        {{0x90, 60, 100, 62, 0}, {{0x90, 60, 100}, {0x90, 62, 0}}},           // running status
        {{0xC1, 7, 8, 0xD0, 5}, {{0xC1, 7}, {0xC1, 8}, {0xD0, 5}}},           // one data byte
        {{0x90, 60, 0xF8, 100, 0xFE}, {{0xF8}, {0x90, 60, 100}, {0xFE}}},     // real-time inside
        {{0xF0, 1, 0xFA, 2, 0xF7, 0xB0, 64, 127}, {{0xFA}, {0xB0, 64, 127}}}, // SysEx skipped
        {{0x90, 60, 100, 0xF0, 1, 0xF7, 61, 100}, {{0x90, 60, 100}}},         // ends running status
        {{0xF2, 1, 2, 0xF3, 5, 0xF1, 9, 0xF6, 3}, {}},                        // system common
        {{1, 2, 3, 0xF7, 4, 0xC0, 5}, {{0xC0, 5}}},                           // stray data bytes
        {{0x90, 60, 0xB0, 64, 0}, {{0xB0, 64, 0}}},                           // status interrupts
        {{0xF0, 1, 2, 0x80, 60, 0}, {{0x80, 60, 0}}},                         // unterminated SysEx
    };
    for (const auto& [bytes, messages] : cases)
        EXPECT_EQ(parseAll(bytes), messages) << testing::PrintToString(bytes);
}

TEST(MidiParser, ParsesOneJackEvent) {
    const std::vector<std::pair<Bytes, std::optional<MidiMessage>>> cases{
        {{0x99, 36, 90}, MidiMessage{0x99, 36, 90}},
        {{0xCF, 3}, MidiMessage{0xCF, 3}},
        {{0xFA}, MidiMessage{0xFA}},
        {{0xF0, 1, 2, 0xF7}, {}},
        {{0xF2, 0, 0}, {}},
        {{0x90, 60}, {}},
        {{60, 100}, {}},
        {{0x90, 60, 0x80}, {}},
        {{}, {}},
    };
    for (const auto& [bytes, message] : cases)
        EXPECT_EQ(parseEvent(bytes.data(), bytes.size()), message) << testing::PrintToString(bytes);
}

// Pedal on CC 64 of channel 1 steps forward, note 36 of channel 10 plays and
// stops, and Program 0 of channel 2 toggles FastSwitch.
LiveSettings boundSettings() {
    LiveSettings s;
    s.bindings[int(Bindable::NextPreset)] = {BindingKind::ControlChange, 1, 64};
    s.bindings[int(Bindable::PlayStop)] = {BindingKind::Note, 10, 36};
    s.bindings[int(Bindable::FastSwitch)] = {BindingKind::ProgramChange, 2, 0};
    return s;
}

TEST(Translate, ActsByModeBindingAndChannel) {
    struct Case {
        MidiMessage m;
        bool fastSwitch;
        int presets;
        int inputChannel;
        LiveAction expected;
    };
    const std::vector<Case> cases{
        {{0xC0, 3}, true, 10, 0, {A::LoadPreset, 3}},
        {{0xC0, 20}, true, 10, 0, {A::LoadPreset, 9}}, // beyond the last preset
        {{0xC0, 0}, true, 0, 0, {}},                   // no presets
        {{0xC0, 3}, false, 10, 0, {}},
        {{0x95, 61, 1}, false, 10, 0, {}},
        {{0x80, 61, 64}, true, 10, 0, {}}, // note-offs
        {{0x90, 61, 0}, true, 10, 0, {}},
        {{0xB0, 7, 100}, true, 10, 0, {}},
        {{0x90, 0, 100}, true, 4, 0, {A::Transpose, 0}}, // a note's pitch class, any octave
        {{0x90, 11, 100}, true, 4, 0, {A::Transpose, 11}},
        {{0x90, 127, 100}, true, 4, 0, {A::Transpose, 7}},
        {{0xFA}, false, 0, 5, {A::Start}},
        {{0xFB}, true, 0, 0, {A::Start}},
        {{0xFC}, false, 0, 0, {A::Stop}},
        {{0xF8}, true, 0, 0, {}},
        {{0xFF}, false, 0, 0, {}},
        // Bindings: some only in FastSwitch mode, some in any; they win over
        // the FastSwitch meaning of the same message.
        {{0xB0, 64, 127}, true, 10, 0, {A::NextPreset}},
        {{0xB0, 64, 127}, false, 10, 0, {}},
        {{0xB0, 64, 0}, true, 10, 0, {}}, // the pedal's release
        {{0xB1, 64, 127}, true, 10, 0, {}},
        {{0x99, 36, 90}, false, 10, 0, {A::PlayStop}},
        {{0x99, 36, 90}, true, 10, 0, {A::PlayStop}},
        {{0x9A, 36, 90}, true, 10, 0, {A::Transpose, 0}},
        {{0xC1, 0}, false, 10, 0, {A::FastSwitchToggle}},
        {{0xC1, 0}, true, 10, 0, {A::FastSwitchToggle}},
        {{0xC1, 4}, true, 10, 0, {A::LoadPreset, 4}},
        // Listening on channel 10 only.
        {{0x99, 36, 90}, false, 10, 10, {A::PlayStop}},
        {{0x99, 40, 90}, true, 10, 10, {A::Transpose, 4}},
        {{0xB0, 64, 127}, true, 10, 10, {}},
        {{0xC1, 0}, true, 10, 10, {}},
        {{0xFC}, true, 10, 10, {A::Stop}},
    };
    for (const auto& [m, fastSwitch, presets, inputChannel, expected] : cases) {
        LiveSettings s = boundSettings();
        s.inputChannel = inputChannel;
        EXPECT_EQ(translate(m, s, {fastSwitch, presets}), expected)
            << testing::PrintToString(m) << (fastSwitch ? " in" : " outside")
            << " FastSwitch, listening on " << inputChannel;
    }
    // While a song plays, a Program Change in FastSwitch mode goes to its entry.
    const std::vector<std::pair<LiveState, LiveAction>> songs{
        {{true, 10, 4}, {A::GoToEntry, 2}},
        {{true, 10, 2}, {A::GoToEntry, 1}}, // beyond the last entry
        {{true, 0, 4}, {A::GoToEntry, 2}},
        {{false, 10, 4}, {}},
    };
    for (const auto& [state, expected] : songs)
        EXPECT_EQ(translate({0xC0, 2}, boundSettings(), state), expected) << state.songEntries;
}

// The held fill lets go when its control does; a program change has no
// release, so bound to it the held fill fills the next bar.
TEST(Translate, AHeldFillLetsGoWithItsControl) {
    const std::vector<std::pair<Binding, std::vector<std::pair<MidiMessage, LiveAction>>>> cases{
        {{BindingKind::Note, 10, 38},
         {{{0x99, 38, 90}, {A::HoldFill}},
          {{0x89, 38, 64}, {A::ReleaseFill}},
          {{0x99, 38, 0}, {A::ReleaseFill}},
          {{0x89, 39, 64}, {}},
          {{0x88, 38, 64}, {}}}},
        {{BindingKind::ControlChange, 1, 64},
         {{{0xB0, 64, 127}, {A::HoldFill}}, {{0xB0, 64, 0}, {A::ReleaseFill}}}},
        {{BindingKind::ProgramChange, 1, 5}, {{{0xC0, 5}, {A::Fill}}}},
    };
    for (const auto& [binding, messages] : cases) {
        LiveSettings s;
        s.bindings[int(Bindable::FillHold)] = binding;
        for (const auto& [m, expected] : messages)
            EXPECT_EQ(translate(m, s, {false, 3}), expected) << testing::PrintToString(m);
    }
}

TEST(Translate, LearnedBindingsMatchUntilCleared) {
    const std::vector<std::pair<MidiMessage, std::optional<Binding>>> learnable{
        {{0xC4, 9}, Binding{BindingKind::ProgramChange, 5, 9}},
        {{0x9F, 60, 1}, Binding{BindingKind::Note, 16, 60}},
        {{0xB0, 64, 127}, Binding{BindingKind::ControlChange, 1, 64}},
        {{0x90, 60, 0}, {}},
        {{0x80, 60, 64}, {}},
        {{0xB0, 64, 0}, {}},
        {{0xFA}, {}},
    };
    for (const auto& [m, binding] : learnable)
        EXPECT_EQ(learnableBinding(m), binding) << testing::PrintToString(m);

    const MidiMessage pedal{0xB3, 80, 127};
    const A actions[kBindables] = {A::NextPreset,   A::PreviousPreset, A::PlayStop,
                                   A::SemitoneDown, A::SemitoneUp,     A::FastSwitchToggle,
                                   A::NextEntry,    A::PreviousEntry,  A::RestartEntry,
                                   A::Fill,         A::HoldFill};
    for (int i = 0; i < kBindables; ++i) {
        LiveSettings s;
        s.bindings[i] = *learnableBinding(pedal);
        EXPECT_EQ(translate(pedal, s, {true, 3}), LiveAction{actions[i]}) << i;
        s.bindings[i] = {};
        EXPECT_EQ(translate(pedal, s, {true, 3}), LiveAction{}) << i;
    }
}

TEST(LiveSettingsText, RoundTripsAndReadsLeniently) {
    LiveSettings changed{true, 1, 16, true, 7, {}};
    changed.bindings[0] = {BindingKind::Note, 10, 127};
    changed.bindings[5] = {BindingKind::ProgramChange, 16, 0};
    changed.sync = sync::Source::Link;
    changed.linkStartStop = true;
    changed.bindings[9] = {BindingKind::Note, 10, 36};
    changed.fillPreset = "Fill \xE9 one";
    for (const LiveSettings& s : {LiveSettings{}, boundSettings(), changed})
        EXPECT_EQ(readLiveSettings(writeLiveSettings(s)), s) << writeLiveSettings(s);

    const std::vector<std::pair<std::string_view, LiveSettings>> texts{
        {"", {}},
        {"garbage\n=\n\nunknown=1", {}},
        {" bass_channel = 4 \r\ndrum_channel=3", {.drumChannel = 3, .bassChannel = 4}},
        {"drum_channel=0\nbass_channel=17\ninput_channel=-1", {}},
        {"drum_channel=3x\nbass_channel=\ninput_channel=99999999999", {}},
        {"clock_while_stopped=true\nswitch_at_bar_line=yes", {.clockWhileStopped = true}},
        {"input_channel=16", {.inputChannel = 16}},
        {"sync=jack\nlead_jack_transport=1",
         {.sync = sync::Source::JackTransport, .leadJackTransport = true}},
        {"sync=midi", {.sync = sync::Source::MidiClock}},
        {"sync=Link\nsync=", {}},
        {"fill_preset=Break 2\r\n", {.fillPreset = "Break 2"}},
    };
    for (const auto& [text, settings] : texts)
        EXPECT_EQ(readLiveSettings(text), settings) << text;
    EXPECT_EQ(readLiveSettings("play_stop=cc  3   64").bindings[2],
              (Binding{BindingKind::ControlChange, 3, 64}));
    for (const char* bad : {"play_stop=note 17 60", "play_stop=note 1 128", "play_stop=cc 1",
                            "play_stop=pedal 1 2", "play_stop=none 1 2", "play_stop=note 1 2 3"})
        EXPECT_EQ(readLiveSettings(bad).bindings[2], Binding{}) << bad;
}

} // namespace
} // namespace zumbal
