#pragma once

#include "model/globali.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zumbal {

// Where strokes fall on the audio timeline. Stroke k after the anchor is due
// at anchor + k x (15 / tempo) s, computed from the anchor every time, so the
// position never accumulates rounding. A tempo change moves the anchor to the
// last stroke: the waiting stroke comes one new stroke length after it.
//
// Swing moves the second stroke of each pair (the even strokes of the bar)
// within its pair: at swing s percent it is due s/100 x 2 stroke lengths
// after the pair's first stroke instead of one. Only that stroke moves; the
// grid it sits on, and so every stroke after it, stays where it was.
//
// The MIDI clock ticks on the same timeline, a whole number of clocks per
// stroke: clock i after the anchor is due at anchor + i x stroke length /
// clocks per stroke, so every stroke falls on a clock. When the anchor or
// the spacing changes, the clock goes on from the first tick after the last
// one sent.
class StrokeTimeline {
public:
    explicit StrokeTimeline(int sampleRate) : m_rate(sampleRate) {}

    // Playback starts at `sample`; stroke 1 is due one stroke length later,
    // or at `sample` itself when `strokeAtStart`.
    // The clock starts on stroke 1.
    void start(int64_t sample, int tempo, bool strokeAtStart = false) {
        m_tempo = tempo;
        m_anchor = static_cast<double>(sample) - (strokeAtStart ? strokeLength() : 0.0);
        m_last = m_anchor;
        m_count = 0;
        m_clockCount = m_clocksPerStroke;
        m_clockRunning = false;
    }

    void setTempo(double tempo) {
        if (tempo == m_tempo)
            return;
        m_anchor = m_last;
        m_count = 0;
        m_tempo = tempo;
        rebaseClock();
    }

    // The exact due position, in samples and fractions of a sample: rounding
    // it first would push a stroke that falls half a sample before the middle
    // of a block into the later block.
    double nextDue() const { return m_anchor + static_cast<double>(m_count + 1) * strokeLength(); }
    // No stroke has been played since the anchor was laid (a start, a tempo
    // change or a restart).
    bool freshAnchor() const { return m_count == 0; }

    // How far swing moves `stroke` (1..16) off its grid position. The
    // ternary feel has no pairs to swing.
    double swingShift(int stroke, int swing, bool ternary) const {
        if (ternary || stroke % 2 != 0)
            return 0.0;
        return (std::clamp(swing, kStraight, kMaxSwing) - kStraight) / 50.0 * strokeLength();
    }
    // The next stroke's due position, `stroke` being its number in the bar,
    // and that of the stroke after it, numbered `following`.
    double nextDue(int stroke, int swing, bool ternary) const {
        return nextDue() + swingShift(stroke, swing, ternary);
    }
    double followingDue(int following, int swing, bool ternary) const {
        return nextDue() + strokeLength() + swingShift(following, swing, ternary);
    }

    // A stroke that is played late, at `position`, starts the grid anew there:
    // lateness is never caught up with a burst of strokes.
    void restartFrom(double position) {
        m_anchor = position;
        m_last = position;
        m_count = 0;
        rebaseClock();
    }

    // From `position` on, samples come at `rate`: what is left of the wait
    // for the next stroke keeps its length in time.
    void setSampleRate(int rate, double position) {
        if (rate == m_rate)
            return;
        m_anchor = position + (m_last - position) * rate / m_rate;
        m_last = m_anchor;
        m_count = 0;
        if (m_clockRunning)
            m_lastClock = position + (m_lastClock - position) * rate / m_rate;
        m_rate = rate;
        rebaseClock();
    }

    // Following a master: as its beat says at `from`, the first frame of
    // this buffer, the next stroke is due at `next` and strokes are `length`
    // apart. Laid afresh for every buffer from the master's position, so
    // nothing accumulates. The clock goes on from the tick after the last
    // one sent, a tick the master's jitter moved a little counting as sent;
    // on a grid `placed` anew (a locate) from the first tick of the new place.
    void follow(double from, double next, double length, bool placed) {
        m_tempo = m_rate * 15.0 / length;
        m_anchor = next - length;
        m_last = m_anchor;
        m_count = 0;
        if (!m_clockRunning)
            m_clockCount = m_clocksPerStroke;
        else if (placed)
            m_clockCount =
                std::max<int64_t>(static_cast<int64_t>(std::ceil((from - 0.5 - m_anchor) *
                                                                 m_clocksPerStroke / length)),
                                  0);
        else
            m_clockCount = std::max<int64_t>(
                std::llround((m_lastClock - m_anchor) * m_clocksPerStroke / length) + 1, 0);
    }
    // Strokes played since the grid was last laid.
    int64_t strokesSinceAnchor() const { return m_count; }

    void strokeDone() {
        m_last = nextDue();
        ++m_count;
    }

    double tempo() const { return m_tempo; }
    double strokeLength() const { return m_rate * 15.0 / m_tempo; }

    // 6 clocks a stroke make 24 a quarter note of four strokes; the ternary
    // feel's quarter has three strokes, so 8.
    void setClocksPerStroke(int clocks) {
        if (clocks == m_clocksPerStroke)
            return;
        m_clocksPerStroke = clocks;
        rebaseClock();
    }
    double nextClockDue() const {
        return m_anchor + static_cast<double>(m_clockCount) * strokeLength() / m_clocksPerStroke;
    }
    void clockDone() {
        m_lastClock = nextClockDue();
        m_clockRunning = true;
        ++m_clockCount;
    }

private:
    // The first clock after the last one sent, counted from the anchor; the
    // first of a play stays on stroke 1.
    void rebaseClock() {
        if (!m_clockRunning) {
            m_clockCount = m_count + m_clocksPerStroke;
            return;
        }
        const double after = (m_lastClock - m_anchor) * m_clocksPerStroke / strokeLength();
        m_clockCount = after < 0 ? 0 : static_cast<int64_t>(std::floor(after + 1e-9)) + 1;
    }

    int m_rate;
    double m_anchor = 0;
    double m_last = 0;
    int64_t m_count = 0;
    double m_tempo = 120;
    int m_clocksPerStroke = 6;
    int64_t m_clockCount = 6;
    double m_lastClock = 0;
    bool m_clockRunning = false;
};

} // namespace zumbal
