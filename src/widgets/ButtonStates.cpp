#include "widgets/ButtonStates.h"

#include <algorithm>
#include <span>

namespace zumbal {

namespace {

struct TransitionRow {
    ButtonEvent event;
    int from;
    ButtonTransition transition;
};

using enum ButtonEvent;

constexpr std::array kMainWindowRows{
    TransitionRow{MouseDown, kSwitchOff, {kSwitchOn, true}},
    TransitionRow{MouseDown, kSwitchOn, {kSwitchOff, true}},
    TransitionRow{MouseDown, kPushButton, {kPushButtonHighlighted, false}},
    TransitionRow{MouseDown, kPushButtonHighlighted, {kPushButton, false}},
    TransitionRow{MouseEnter, kPushButton, {kPushButtonHighlighted, false}},
    TransitionRow{MouseExit, kPushButtonHighlighted, {kPushButton, false}},
};

constexpr std::array kDialogRows{
    TransitionRow{MouseEnter, kSwitchOff, {kSwitchOffHover, false}},
    TransitionRow{MouseEnter, kPushButton, {kPushButtonHighlighted, false}},
    TransitionRow{MouseEnter, kSwitchOn, {kSwitchOnHover, false}},
    TransitionRow{MouseExit, kSwitchOffHover, {kSwitchOff, false}},
    TransitionRow{MouseExit, kPushButtonHighlighted, {kPushButton, false}},
    TransitionRow{MouseExit, kSwitchOnHover, {kSwitchOn, false}},
    TransitionRow{MouseDown, kSwitchOffHover, {kSwitchOn, true}},
    TransitionRow{MouseDown, kSwitchOnHover, {kSwitchOff, true}},
    TransitionRow{MouseDown, kPushButtonHighlighted, {kPushButton, false}},
};

struct LitRow {
    int state;
    int lit;
};

constexpr std::array kLitCodes{
    LitRow{kSwitchOff, kSwitchOffHover},
    LitRow{kSwitchOn, kSwitchOnHover},
    LitRow{kPushButton, kPushButtonHighlighted},
    LitRow{kPushButtonGreyed, kPushButtonGreyedHighlighted},
};

struct LookRow {
    int state;
    ButtonLook look;
};

constexpr ButtonLook kGreyedSwitchLook{{0, 0, 0.6}, {"t1dul", "t1duc", "t1dur"}};
constexpr ButtonLook kPushButtonGreyedLook{{0, 0, 0.6}, {"t1bdl", "t1bdc", "t1bdr"}};

constexpr std::array kLooks{
    LookRow{kSwitchOff, {{0, 1, 0.7}, {"t1rl", "t1rc", "t1rr"}}},
    LookRow{kSwitchOffHover, {{0.12, 1, 0.8}, {"t1gul", "t1guc", "t1gur"}}},
    LookRow{kSwitchOn, {{0.3, 1, 0.8}, {"t1vl", "t1vc", "t1vr"}}},
    LookRow{kSwitchOnHover, {{0.12, 1, 0.8}, {"t1gdl", "t1gdc", "t1gdr"}}},
    LookRow{kPushButton, {{0.6, 1, 0.5}, {"t1bel", "t1bec", "t1ber"}}},
    LookRow{kPushButtonHighlighted, {{0, 1, 0.7}, {"t1bel", "t1bec", "t1ber"}}},
    LookRow{kPushButtonGreyed, kPushButtonGreyedLook},
    LookRow{kPushButtonGreyedHighlighted, kPushButtonGreyedLook},
    LookRow{kSwitchGreyed, kGreyedSwitchLook},
};

} // namespace

std::optional<ButtonTransition> nextButtonState(ButtonTable table, ButtonEvent event, int from) {
    const std::span<const TransitionRow> rows =
        table == ButtonTable::MainWindow ? std::span<const TransitionRow>(kMainWindowRows)
                                         : std::span<const TransitionRow>(kDialogRows);
    const auto row = std::ranges::find_if(
        rows, [&](const TransitionRow& r) { return r.event == event && r.from == from; });
    if (row == rows.end())
        return std::nullopt;
    return row->transition;
}

ShownButton shownButton(int code) {
    const auto row = std::ranges::find(kLitCodes, code, &LitRow::lit);
    return row == kLitCodes.end() ? ShownButton{code, false} : ShownButton{row->state, true};
}

int shownCode(ShownButton button) {
    const auto row = std::ranges::find(kLitCodes, button.state, &LitRow::state);
    return button.lit && row != kLitCodes.end() ? row->lit : button.state;
}

ButtonLook buttonLook(int state) {
    const auto row = std::ranges::find(kLooks, state, &LookRow::state);
    return row == kLooks.end() ? kGreyedSwitchLook : row->look;
}

} // namespace zumbal
