#include "sync/ClockFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zumbal::sync {

namespace {

// The loop's bandwidth, as a fraction of the clock rate: wide to lock, then
// narrow to smooth the jitter.
constexpr double kWide = 0.05;
constexpr double kNarrow = 0.004;
// A clock further than this fraction of a period off the prediction
// re-opens the loop.
constexpr double kRelock = 0.25;
// At most this many clocks in a row are taken as lost on the way.
constexpr double kMaxMissed = 3;

} // namespace

void ClockFilter::start() {
    m_rolling = true;
    m_position = 0;
    m_positionPending = true;
}

void ClockFilter::songPosition(int sixteenths) {
    m_position = int64_t{sixteenths} * (kClocksPerQuarter / 4);
    m_positionPending = true;
}

void ClockFilter::clock(int64_t frame) {
    if (m_clocks > 0 && static_cast<double>(frame - m_lastFrame) > kLostSeconds * m_rate)
        m_clocks = 0; // a clock after a silence starts the loop again
    if (m_clocks == 0) {
        m_filtered = static_cast<double>(frame);
        m_period = 0;
    } else if (m_clocks == 1) {
        m_period = static_cast<double>(frame) - m_filtered;
        m_filtered = static_cast<double>(frame);
        m_bandwidth = kWide;
    } else {
        double predicted = m_filtered + m_period;
        double error = static_cast<double>(frame) - predicted;
        // A locked loop takes a clock whole periods late for the one after
        // clocks that got lost, so the count stays on the sender's.
        if (m_clocks >= kLockClocks && error > kRelock * m_period) {
            const double missed = std::round(error / m_period);
            if (missed >= 1 && missed <= kMaxMissed &&
                std::fabs(error - missed * m_period) <= kRelock * m_period) {
                predicted += missed * m_period;
                error -= missed * m_period;
                if (m_rolling && !m_positionPending)
                    m_position += static_cast<int64_t>(missed);
            }
        }
        if (std::fabs(error) > kRelock * m_period)
            m_bandwidth = kWide;
        // Fons Adriaensen's DLL: omega = 2 pi B T with B T the relative bandwidth.
        const double omega = 2 * std::numbers::pi * m_bandwidth;
        m_filtered = predicted + std::sqrt(2.0) * omega * error;
        m_period += omega * omega * error;
        m_bandwidth = std::max(kNarrow, m_bandwidth * 0.97);
    }
    m_lastFrame = frame;
    ++m_clocks;
    if (!m_rolling)
        return;
    if (m_positionPending)
        m_positionPending = false;
    else
        ++m_position;
}

bool ClockFilter::lost(int64_t frame) const {
    return m_clocks == 0 || static_cast<double>(frame - m_lastFrame) > kLostSeconds * m_rate;
}

double ClockFilter::quartersPerMinute() const {
    return m_period > 0 ? 60.0 * m_rate / (m_period * kClocksPerQuarter) : 0;
}

bool ClockFilter::outOfRange() const {
    const double bpm = quartersPerMinute();
    return m_clocks >= 2 && (bpm < kMinBpm || bpm > kMaxBpm);
}

MasterBeat ClockFilter::beatAt(int64_t frame) const {
    const double since = m_period > 0 ? (static_cast<double>(frame) - m_filtered) / m_period : 0;
    const double clocks = static_cast<double>(m_position) + std::clamp(since, 0.0, 1.0);
    return {clocks / kClocksPerQuarter, quartersPerMinute()};
}

} // namespace zumbal::sync
