#pragma once

#include "model/globali.h"

#include <array>
#include <optional>
#include <string_view>

// How a drawn button's state code answers the mouse, and how each code looks.
// Kept free of Qt so the rules read as data and are tested on their own.
namespace zumbal {

// State codes besides the three the model names (kSwitchOff, kSwitchOn,
// kPushButton).
inline constexpr int kSwitchOffHover = 2;
inline constexpr int kSwitchOnHover = 102;
inline constexpr int kPushButtonHighlighted = 12;
inline constexpr int kSwitchGreyed = -1;
inline constexpr int kPushButtonGreyed = -11;
inline constexpr int kPushButtonGreyedHighlighted = -12;

// The main window toggles on the press itself; the other windows light a
// button while the pointer is over it and act on the lit state.
enum class ButtonTable { MainWindow, Dialog };
enum class ButtonEvent { MouseDown, MouseEnter, MouseExit };

struct ButtonTransition {
    int to = 0;
    bool click = false; // the ambient click sounds with this change

    friend bool operator==(const ButtonTransition&, const ButtonTransition&) = default;
};

// Nothing when the event leaves this state alone.
std::optional<ButtonTransition> nextButtonState(ButtonTable table, ButtonEvent event, int from);

// A button as it is drawn: its state, and whether the pointer lights it. The
// light is a look only; the model, the engine and the loop files see the
// state under it. The transitions above speak in codes, where a lit state
// has a code of its own: kSwitchOffHover is kSwitchOff lit,
// kPushButtonHighlighted is kPushButton lit.
struct ShownButton {
    int state = 0;
    bool lit = false;
};

// Any code that is not a lit one is a state of its own, unlit.
ShownButton shownButton(int code);
// A state without a lit code is drawn as itself, lit or not.
int shownCode(ShownButton button);

struct HsvF {
    double h = 0;
    double s = 0;
    double v = 0;
};

struct ButtonLook {
    HsvF caption;
    std::array<std::string_view, 3> skins; // left, centre, right pictures
};

// A code no table produces gets the greyed switch look: it then reads as a
// control that is not available, which is also how it behaves, since no
// event moves it.
ButtonLook buttonLook(int state);

} // namespace zumbal
