#include "sync/ClockFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zumbal::sync {

namespace {

// The loop's gains are those of a least-squares line through the last
// `memory` clocks: from 2 clocks (the period of two) it takes in more and
// more of them, and so smooths the jitter better and better, until it
// reaches the narrow DLL's, with a bandwidth of this fraction of the clock
// rate, for good.
constexpr double kNarrow = 0.003;
// A clock further than this fraction of a period off the prediction
// re-opens the loop to this memory.
constexpr double kRelock = 0.25;
constexpr double kReopened = 6;
// The prediction errors' mean over about this many clocks tells a tempo
// that moves (a ramp) from jitter: a mean this many of its own standard
// deviations off zero, and at least a frame, halves the memory.
constexpr double kTrendClocks = 16;
constexpr double kTrendDeviations = 4;
// Locked: the next clock's frame known to this many seconds (a standard
// deviation, from the jitter seen and the clocks taken in), or, however
// they jitter, this many clocks come: 8 short of a bar, so that the first
// stroke of bar 2 plays through an output latency of a few clocks.
constexpr double kSureSeconds = 0.12e-3;
constexpr int64_t kSureClocks = 88;
// Two clocks in a row this many standard deviations of the prediction off
// it, to the same side and by at least this many frames, are a tempo step:
// the loop starts again from the last two clocks rather than bending the
// old line towards the new tempo over bars.
constexpr double kStepDeviations = 4;
constexpr double kStepFrames = 2;
// At most this many clocks in a row are taken as lost on the way.
constexpr double kMaxMissed = 3;
// The beat runs on through one clock lost on the way and a little jitter,
// no further: it never runs far past clocks that stopped.
constexpr double kAheadClocks = 2 + kRelock;

// A least-squares line's prediction of the next point from `n` equally
// spaced ones, in units of their variance.
double predictionVariance(double n) {
    return 1 / n + 3 * (n + 1) / (n * (n - 1));
}

} // namespace

void ClockFilter::start() {
    m_rolling = true;
    m_position = 0;
    m_positionPending = true;
    m_missedCounted = 0;
}

void ClockFilter::songPosition(int sixteenths) {
    m_position = int64_t{sixteenths} * (kClocksPerQuarter / 4);
    m_positionPending = true;
    m_missedCounted = 0;
}

void ClockFilter::clock(int64_t frame) {
    if (m_clocks > 0 && static_cast<double>(frame - m_lastFrame) > kLostSeconds * m_rate)
        m_clocks = 0; // a clock after a silence starts the loop again
    if (m_clocks == 0) {
        m_filtered = static_cast<double>(frame);
        m_period = 0;
        m_locked = false;
    } else if (m_clocks == 1) {
        m_period = static_cast<double>(frame) - m_filtered;
        m_filtered = static_cast<double>(frame);
        m_memory = 2;
        m_noise = m_trend = 0;
        m_farSide = 0;
        m_missed = 0;
    } else {
        follow(static_cast<double>(frame));
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

// Clocks lost on the way before one `error` frames after the prediction: a
// locked loop takes a clock whole periods late for the one after them.
int64_t ClockFilter::missedBefore(double error) const {
    if (m_clocks < kLockClocks || error <= kRelock * m_period)
        return 0;
    const double missed = std::round(error / m_period);
    return missed >= 1 && missed <= kMaxMissed &&
                   std::fabs(error - missed * m_period) <= kRelock * m_period
               ? static_cast<int64_t>(missed)
               : 0;
}

void ClockFilter::follow(double frame) {
    double predicted = m_filtered + m_period;
    double error = frame - predicted;
    const int64_t missed = missedBefore(error);
    if (missed > 0 && m_missed > 0) {
        // Whole periods late twice running: the tempo fell to a half or a
        // third, and no clock got lost; the loop starts again from the last
        // two clocks.
        m_position -= m_missedCounted;
        m_period = frame - static_cast<double>(m_lastFrame);
        m_filtered = frame;
        m_memory = 2;
        m_missed = m_missedCounted = 0;
        return;
    }
    m_missed = missed;
    m_missedCounted = 0;
    if (missed > 0) {
        // So that the count stays on the sender's.
        predicted += static_cast<double>(missed) * m_period;
        error -= static_cast<double>(missed) * m_period;
        if (m_rolling && !m_positionPending)
            m_position += m_missedCounted = missed;
    }
    if (stepped(error)) {
        m_period = frame - static_cast<double>(m_lastFrame);
        m_filtered = frame;
        m_memory = 2;
        m_trend = 0;
        return;
    }
    settle(error);
    const double n = m_memory;
    // Fons Adriaensen's DLL: omega = 2 pi B T with B T the relative bandwidth.
    const double omega = 2 * std::numbers::pi * kNarrow;
    m_filtered =
        predicted + std::max(2 * (2 * n - 1) / (n * (n + 1)), std::sqrt(2.0) * omega) * error;
    m_period += std::max(6 / (n * (n + 1)), omega * omega) * error;
}

// Whether a clock `error` frames off the prediction is the second in a row
// that only a new tempo explains.
bool ClockFilter::stepped(double error) {
    const double spread = std::sqrt(m_noise * (1 + predictionVariance(m_memory)));
    const bool far = m_clocks >= kLockClocks &&
                     std::fabs(error) > std::max(kStepDeviations * spread, kStepFrames);
    const int side = far ? (error > 0 ? 1 : -1) : 0;
    const bool step = side != 0 && side == m_farSide;
    m_farSide = step ? 0 : side;
    return step;
}

// The loop's memory and lock from a clock `error` frames off the prediction.
void ClockFilter::settle(double error) {
    if (std::fabs(error) > kRelock * m_period) {
        m_memory = std::min(m_memory, kReopened) + 1;
        m_trend = 0;
        return;
    }
    // The jitter's variance, from errors that also hold the prediction's own.
    const double weight = std::max(1.0 / static_cast<double>(m_clocks - 1), 1.0 / kSureClocks);
    m_noise += (error * error / (1 + predictionVariance(m_memory)) - m_noise) * weight;
    m_trend += (error - m_trend) / kTrendClocks;
    const double trendDeviation = std::sqrt(m_noise / (2 * kTrendClocks));
    if (std::fabs(m_trend) > std::max(kTrendDeviations * trendDeviation, 1.0)) {
        m_memory = std::max(m_memory / 2, kReopened);
        m_trend = 0;
    }
    m_memory += 1;
    // The jitter's variance as it may be from the errors seen so far.
    const double errors = std::min(static_cast<double>(m_clocks - 1), double{kSureClocks});
    const double noise = m_noise * (1 + 3 * std::sqrt(2 / errors));
    const double sure = kSureSeconds * m_rate;
    if (m_clocks + 1 >= kLockClocks &&
        (m_clocks + 1 >= kSureClocks || noise * predictionVariance(m_memory) <= sure * sure))
        m_locked = true;
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

MasterBeat ClockFilter::beatAt(int64_t frame, int64_t now) const {
    // Before the clock that Start or Song Position Pointer placed, the beat
    // leads up to its position rather than running on from it.
    double clocks = static_cast<double>(m_positionPending ? m_position - 1 : m_position);
    if (m_period > 0) {
        const double sinceNow = (static_cast<double>(now) - m_filtered) / m_period;
        clocks += std::min(sinceNow, kAheadClocks) + static_cast<double>(frame - now) / m_period;
    }
    return {clocks / kClocksPerQuarter, quartersPerMinute()};
}

} // namespace zumbal::sync
