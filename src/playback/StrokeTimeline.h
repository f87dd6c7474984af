#pragma once

#include <cstdint>

namespace zumbal {

// Where strokes fall on the audio timeline. Stroke k after the anchor is due
// at anchor + k x (15 / tempo) s, computed from the anchor every time, so the
// position never accumulates rounding. A tempo change moves the anchor to the
// last stroke: the waiting stroke comes one new stroke length after it.
class StrokeTimeline {
public:
    explicit StrokeTimeline(int sampleRate) : m_rate(sampleRate) {}

    // Playback starts at `sample`; stroke 1 is due one stroke length later,
    // or at `sample` itself when `strokeAtStart`.
    void start(int64_t sample, int tempo, bool strokeAtStart = false) {
        m_tempo = tempo;
        m_anchor = static_cast<double>(sample) - (strokeAtStart ? strokeLength() : 0.0);
        m_last = m_anchor;
        m_count = 0;
    }

    void setTempo(int tempo) {
        if (tempo == m_tempo)
            return;
        m_anchor = m_last;
        m_count = 0;
        m_tempo = tempo;
    }

    // The exact due position, in samples and fractions of a sample: rounding
    // it first would push a stroke that falls half a sample before the middle
    // of a block into the later block.
    double nextDue() const { return m_anchor + static_cast<double>(m_count + 1) * strokeLength(); }

    // A stroke that is played late, at `position`, starts the grid anew there:
    // lateness is never caught up with a burst of strokes.
    void restartFrom(double position) {
        m_anchor = position;
        m_last = position;
        m_count = 0;
    }

    // From `position` on, samples come at `rate`: what is left of the wait
    // for the next stroke keeps its length in time.
    void setSampleRate(int rate, double position) {
        if (rate == m_rate)
            return;
        m_anchor = position + (m_last - position) * rate / m_rate;
        m_last = m_anchor;
        m_count = 0;
        m_rate = rate;
    }

    void strokeDone() {
        m_last = nextDue();
        ++m_count;
    }

    int tempo() const { return m_tempo; }
    double strokeLength() const { return m_rate * 15.0 / m_tempo; }

private:
    int m_rate;
    double m_anchor = 0;
    double m_last = 0;
    int64_t m_count = 0;
    int m_tempo = 120;
};

} // namespace zumbal
