#pragma once

#include "playback/NoteOutput.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace zumbal {

// One thing the stroke clock decided ahead of its moment: a track's note
// (velocity 0 ends it), or, with no track, a clock byte for the MIDI clock.
struct ScheduledEvent {
    double due = 0; // on the audio timeline, in samples
    int track = -1;
    int note = 0;
    int velocity = 0;
    uint8_t clockByte = 0;
};

// The events decided ahead and not yet delivered, in the order of their due
// samples. Two readers take each event at its own moment: the synth at the
// block nearest the due sample, the MIDI output at the frame nearest it.
// Audio side only: a fixed ring, no allocation.
class ScheduledEvents final : public NoteOutput {
public:
    static constexpr uint64_t kCapacity = 1024;

    // The due sample of the notes the stroke step plays next.
    void setDue(double due) { m_due = due; }
    // What humanize adds to the velocity of the notes it starts next. A
    // note it starts stays a note: never softer than 1, which is no note-off.
    void setVelocityShift(int shift) { m_velocityShift = shift; }
    void playNote(int track, int note, int velocity) override {
        if (velocity > 0)
            velocity = std::clamp(velocity + m_velocityShift, 1, 127);
        push({m_due, track, note, velocity, 0});
    }
    // Instruments go to the synth's output directly; nothing is scheduled.
    void setInstrument(int, int) override {}
    void pushClock(double due, uint8_t byte) { push({due, -1, 0, 0, byte}); }

    // Hands the synth every note due before `limit`.
    template <class Take> void takeForSynth(double limit, Take&& take) {
        for (; m_synthRead < m_write && at(m_synthRead).due < limit; ++m_synthRead)
            if (at(m_synthRead).track >= 0)
                take(at(m_synthRead));
    }
    // Whether takeForSynth(limit) would hand the synth a note.
    bool synthNoteBefore(double limit) const {
        for (uint64_t i = m_synthRead; i < m_write && at(i).due < limit; ++i)
            if (at(i).track >= 0)
                return true;
        return false;
    }
    // Hands the MIDI output every event whose nearest frame is before `end`.
    template <class Take> void takeForMidi(int64_t end, Take&& take) {
        for (; m_midiRead < m_write && frameOf(at(m_midiRead).due) < end; ++m_midiRead)
            take(at(m_midiRead));
    }
    // Forgets everything not yet delivered (playback stopped).
    void clear() { m_synthRead = m_midiRead = m_write; }
    // Events dropped because the ring was full.
    uint64_t dropped() const { return m_dropped; }

    static int64_t frameOf(double due) { return static_cast<int64_t>(std::floor(due + 0.5)); }

private:
    // A ratchet's later strikes and a late nudge are decided before the
    // clocks and strokes due ahead of them: each event goes in after every
    // one due no later, but never before one a reader has taken.
    void push(const ScheduledEvent& event) {
        if (m_write - std::min(m_synthRead, m_midiRead) >= kCapacity) {
            ++m_dropped;
            return;
        }
        const uint64_t taken = std::max(m_synthRead, m_midiRead);
        uint64_t i = m_write++;
        for (; i > taken && at(i - 1).due > event.due; --i)
            m_ring[i % kCapacity] = at(i - 1);
        m_ring[i % kCapacity] = event;
    }
    const ScheduledEvent& at(uint64_t i) const { return m_ring[i % kCapacity]; }

    std::array<ScheduledEvent, kCapacity> m_ring{};
    uint64_t m_write = 0, m_synthRead = 0, m_midiRead = 0;
    uint64_t m_dropped = 0;
    double m_due = 0;
    int m_velocityShift = 0;
};

} // namespace zumbal
