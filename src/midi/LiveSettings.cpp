#include "midi/LiveSettings.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace zumbal {

namespace {

struct BoolKey {
    const char* key;
    bool LiveSettings::*field;
};
struct IntKey {
    const char* key;
    int LiveSettings::*field;
    int low, high;
};

constexpr BoolKey kBoolKeys[] = {
    {"switch_at_bar_line", &LiveSettings::switchAtBarLine},
    {"clock_while_stopped", &LiveSettings::clockWhileStopped},
    {"lead_jack_transport", &LiveSettings::leadJackTransport},
    {"link_start_stop", &LiveSettings::linkStartStop},
};
constexpr IntKey kIntKeys[] = {
    {"drum_channel", &LiveSettings::drumChannel, 1, 16},
    {"bass_channel", &LiveSettings::bassChannel, 1, 16},
    {"input_channel", &LiveSettings::inputChannel, 0, 16},
};
// In the order of Bindable.
constexpr std::array<const char*, kBindables> kBindingKeys{
    "next_preset", "previous_preset", "play_stop",     "semitone_down", "semitone_up", "fastswitch",
    "next_entry",  "previous_entry",  "restart_entry", "fill",          "fill_hold",
};
constexpr std::array<const char*, 4> kKindWords{"none", "program", "note", "cc"};
// In the order of sync::Source.
constexpr std::array<const char*, 4> kSyncWords{"internal", "jack", "midi", "link"};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    while (!(text = trimmed(text)).empty()) {
        const auto end = std::min(text.find_first_of(" \t"), text.size());
        result.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return result;
}

// The whole of `text` as an int in [low, high], or nothing.
std::optional<int> number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<bool> flag(std::string_view text) {
    if (text == "1" || text == "true")
        return true;
    if (text == "0" || text == "false")
        return false;
    return std::nullopt;
}

std::string bindingText(const Binding& b) {
    const char* kind = kKindWords[static_cast<size_t>(b.kind)];
    if (b.kind == BindingKind::None)
        return kind;
    return std::string(kind) + ' ' + std::to_string(b.channel) + ' ' + std::to_string(b.number);
}

Binding parseBinding(std::string_view text) {
    const auto parts = words(text);
    if (parts.size() != 3)
        return {};
    for (size_t k = 1; k < kKindWords.size(); ++k) {
        if (parts[0] != kKindWords[k])
            continue;
        const auto channel = number(parts[1], 1, 16);
        const auto value = number(parts[2], 0, 127);
        if (channel && value)
            return {static_cast<BindingKind>(k), *channel, *value};
    }
    return {};
}

void applyLine(LiveSettings& s, std::string_view key, std::string_view value) {
    const LiveSettings defaults;
    for (const auto& [name, field] : kBoolKeys)
        if (key == name)
            s.*field = flag(value).value_or(defaults.*field);
    for (const auto& [name, field, low, high] : kIntKeys)
        if (key == name)
            s.*field = number(value, low, high).value_or(defaults.*field);
    for (size_t i = 0; i < kBindingKeys.size(); ++i)
        if (key == kBindingKeys[i])
            s.bindings[i] = parseBinding(value);
    if (key == "sync")
        s.sync = syncSourceNamed(value).value_or(defaults.sync);
    if (key == "fill_preset")
        s.fillPreset = value;
}

} // namespace

const char* syncSourceName(sync::Source source) {
    return kSyncWords[static_cast<size_t>(source)];
}

std::optional<sync::Source> syncSourceNamed(std::string_view word) {
    for (size_t i = 0; i < kSyncWords.size(); ++i)
        if (word == kSyncWords[i])
            return static_cast<sync::Source>(i);
    return std::nullopt;
}

std::string writeLiveSettings(const LiveSettings& settings) {
    std::string text;
    for (const auto& [name, field] : kBoolKeys)
        text += std::string(name) + '=' + (settings.*field ? '1' : '0') + '\n';
    for (const auto& [name, field, low, high] : kIntKeys)
        text += std::string(name) + '=' + std::to_string(settings.*field) + '\n';
    for (size_t i = 0; i < kBindingKeys.size(); ++i)
        text += std::string(kBindingKeys[i]) + '=' + bindingText(settings.bindings[i]) + '\n';
    text += std::string("sync=") + syncSourceName(settings.sync) + '\n';
    // A name with a line break in it could not be read back.
    if (!settings.fillPreset.empty() &&
        settings.fillPreset.find_first_of("\r\n") == std::string::npos)
        text += "fill_preset=" + settings.fillPreset + '\n';
    return text;
}

LiveSettings readLiveSettings(std::string_view text) {
    LiveSettings settings;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const auto equals = line.find('=');
        if (equals != std::string_view::npos)
            applyLine(settings, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return settings;
}

const char* bindableName(Bindable bindable) {
    static constexpr std::array<const char*, kBindables> names{
        "Next preset",
        "Previous preset",
        "Play/stop",
        "Semitone down (Q)",
        "Semitone up (A)",
        "FastSwitch on/off",
        "Next song entry (.)",
        "Previous song entry (,)",
        "Restart song entry (/)",
        "Fill (B)",
        "Fill while held (N)",
    };
    return names[static_cast<size_t>(bindable)];
}

std::string describeBinding(const Binding& binding) {
    static constexpr std::array<const char*, 12> notes{"C",  "C#", "D",  "D#", "E",  "F",
                                                       "F#", "G",  "G#", "A",  "A#", "B"};
    const std::string n = std::to_string(binding.number);
    const std::string ch = ", ch " + std::to_string(binding.channel);
    switch (binding.kind) {
    case BindingKind::ProgramChange:
        return "Program " + n + ch;
    case BindingKind::Note: // middle C, 60, is C4
        return "Note " + std::string(notes[binding.number % 12]) +
               std::to_string(binding.number / 12 - 1) + " (" + n + ")" + ch;
    case BindingKind::ControlChange:
        return "CC " + n + ch;
    case BindingKind::None:
        break;
    }
    return {};
}

} // namespace zumbal
