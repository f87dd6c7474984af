#pragma once

#include "sync/MasterBeat.h"

#include <cstdint>

namespace zumbal::sync {

// MIDI clock in, 24 clocks a quarter, each stamped with the frame it
// arrived on: a second-order delay-locked loop over the stamps estimates
// when each clock was meant to come and how far apart the clocks are, so
// that the strokes go on the predicted clock frames and not on the jitter
// of the transport. The loop starts wide, to lock within a bar, and
// narrows as it settles; a clock far off the prediction (a tempo step)
// widens it again. Start, Continue, Stop and Song Position Pointer keep the
// count of clocks that places the beat. Plain arithmetic: safe on the
// audio thread.
class ClockFilter {
public:
    static constexpr int kClocksPerQuarter = 24;
    static constexpr double kMinBpm = 20, kMaxBpm = 999;
    // Clocks that stop this long (seconds) lose the lock.
    static constexpr double kLostSeconds = 0.5;

    explicit ClockFilter(int rate) : m_rate(rate) {}

    // A clock arrived on `frame`.
    void clock(int64_t frame);
    // Start: the next clock is the first of the song, stroke 1.
    void start();
    // Continue: the clocks go on from where Stop left them.
    void resume() { m_rolling = true; }
    void stop() { m_rolling = false; }
    // Song Position Pointer, in sixteenths (6 clocks each) from the song's start.
    void songPosition(int sixteenths);

    bool rolling() const { return m_rolling; }
    // Enough clocks have come, at a steady enough rate, to follow them.
    bool locked() const { return m_clocks >= kLockClocks && !outOfRange(); }
    // The clocks have not come for kLostSeconds before `frame`.
    bool lost(int64_t frame) const;
    bool outOfRange() const;
    double framesPerClock() const { return m_period; }
    double quartersPerMinute() const;
    // The beat at `frame`, from the last clock's filtered frame on; the
    // position of the clock that comes next waits for it, so the beat never
    // runs past a clock that is late.
    MasterBeat beatAt(int64_t frame) const;

private:
    static constexpr int kLockClocks = 12;

    int m_rate;
    bool m_rolling = false;
    // Clocks counted since the song position (the next clock's position).
    int64_t m_position = 0;
    bool m_positionPending = false; // Start or SPP: the next clock is at m_position
    // The loop: the filtered frame of the last clock, the period, their state.
    int64_t m_clocks = 0; // clocks seen since the loop began
    int64_t m_lastFrame = 0;
    double m_filtered = 0;
    double m_period = 0;
    double m_bandwidth = 0; // relative to the clock rate
};

} // namespace zumbal::sync
