#pragma once

#include "sync/MasterBeat.h"

#include <cstdint>

namespace zumbal::sync {

// MIDI clock in, 24 clocks a quarter, each stamped with the frame it
// arrived on: a second-order delay-locked loop over the stamps estimates
// when each clock was meant to come and how far apart the clocks are, so
// that the strokes go on the predicted clock frames and not on the jitter
// of the transport. The loop starts as a least-squares line through the
// clocks so far and narrows as more come; it locks once the jitter seen
// lets it predict the next clock to about a tenth of a millisecond, and
// within a bar however they jitter. A clock a quarter of a period off the
// prediction, or errors that keep to one side (a ramp), widen it again;
// two clocks in a row off it to one side beyond the jitter seen (a tempo
// step) start it again from those two.
// Start, Continue, Stop and Song Position Pointer keep the count of clocks
// that places the beat. Plain arithmetic: safe on the audio thread.
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
    // The count of the clock that comes next, from the song's start.
    int64_t nextPosition() const { return m_positionPending ? m_position : m_position + 1; }
    // Enough clocks have come, at a steady enough rate, to follow them.
    bool locked() const { return m_locked && !outOfRange(); }
    // The clocks have not come for kLostSeconds before `frame`.
    bool lost(int64_t frame) const;
    bool outOfRange() const;
    double framesPerClock() const { return m_period; }
    double quartersPerMinute() const;
    // The beat at `frame`, from the last clock's filtered frame on, when
    // the clocks have come up to `now`. The beat at `now` waits for a clock
    // that is late, a little past its predicted frame, so that it never runs
    // far past a clock that does not come; beyond `now` (a buffer heard
    // later than the clocks arrive) it runs on at the tempo.
    MasterBeat beatAt(int64_t frame, int64_t now) const;
    MasterBeat beatAt(int64_t frame) const { return beatAt(frame, frame); }

private:
    static constexpr int kLockClocks = 12;

    int64_t missedBefore(double error) const;
    void follow(double frame);
    bool stepped(double error);
    void settle(double error);

    int m_rate;
    bool m_rolling = false;
    // The last clock's count from the song's start, or while pending the
    // next one's.
    int64_t m_position = 0;
    bool m_positionPending = false; // Start or SPP: the next clock is at m_position
    // The loop: the filtered frame of the last clock, the period, their state.
    int64_t m_clocks = 0; // clocks seen since the loop began
    int64_t m_lastFrame = 0;
    double m_filtered = 0;
    double m_period = 0;
    double m_memory = 0; // clocks the loop's gains take in
    double m_noise = 0;  // the jitter's variance, frames squared
    double m_trend = 0;  // the prediction errors' recent mean, frames
    bool m_locked = false;
    int m_farSide = 0; // the side of the last clock far off the prediction, or 0
    // Clocks taken as lost before the last one, and how many of them went
    // into the count.
    int64_t m_missed = 0, m_missedCounted = 0;
};

} // namespace zumbal::sync
