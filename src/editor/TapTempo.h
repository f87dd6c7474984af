#pragma once

#include <deque>
#include <optional>

namespace zumbal {

// Tap tempo: the tempo follows the average interval of the last taps, one
// tap a beat. A pause of more than two seconds starts a new count.
class TapTempo {
public:
    static constexpr double kReset = 2.0; // seconds without a tap
    static constexpr int kTaps = 8;       // the last taps averaged

    // A tap at `seconds` on any steady clock; from the second tap on, the
    // tempo in beats per minute, kMinTempo..kMaxTempo.
    std::optional<int> tap(double seconds);

private:
    std::deque<double> m_taps;
};

} // namespace zumbal
