#include "editor/TapTempo.h"

#include "model/globali.h"

#include <algorithm>
#include <cmath>

namespace zumbal {

std::optional<int> TapTempo::tap(double seconds) {
    if (!m_taps.empty() && (seconds - m_taps.back() > kReset || seconds < m_taps.back()))
        m_taps.clear();
    m_taps.push_back(seconds);
    if (m_taps.size() > kTaps)
        m_taps.pop_front();
    if (m_taps.size() < 2)
        return std::nullopt;
    const double beat = (m_taps.back() - m_taps.front()) / static_cast<double>(m_taps.size() - 1);
    // Taps closer than the clock can tell apart are as fast as it goes.
    const double bpm = beat > 0 ? 60.0 / beat : kMaxTempo;
    return static_cast<int>(std::lround(std::clamp<double>(bpm, kMinTempo, kMaxTempo)));
}

} // namespace zumbal
