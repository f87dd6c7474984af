#pragma once

#include <cmath>
#include <cstdint>

namespace zumbal {

// Where strokes fall on the audio timeline. Stroke k after the anchor is due
// at anchor + k x (15 / tempo) s, computed from the anchor every time, so the
// position never accumulates rounding. A tempo change moves the anchor to the
// last stroke: the waiting stroke comes one new stroke length after it.
class StrokeTimeline {
public:
    explicit StrokeTimeline(int sampleRate) : m_rate(sampleRate) {}

    // Playback starts at `sample`; stroke 1 is due one stroke length later.
    void start(int64_t sample, int tempo) {
        m_anchor = sample;
        m_last = sample;
        m_count = 0;
        m_tempo = tempo;
    }

    void setTempo(int tempo) {
        if (tempo == m_tempo)
            return;
        m_anchor = m_last;
        m_count = 0;
        m_tempo = tempo;
    }

    int64_t nextDue() const {
        return m_anchor + std::llround(static_cast<double>(m_count + 1) * strokeLength());
    }

    void strokeDone() {
        m_last = nextDue();
        ++m_count;
    }

    int tempo() const { return m_tempo; }
    double strokeLength() const { return m_rate * 15.0 / m_tempo; }

private:
    int m_rate;
    int64_t m_anchor = 0;
    int64_t m_last = 0;
    int64_t m_count = 0;
    int m_tempo = 120;
};

}  // namespace zumbal
