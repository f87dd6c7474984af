#pragma once

#include "sync/ClockFilter.h"
#include "sync/SourceBeat.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zumbal::sync {

// A MIDI clock master followed on the audio thread: every message that
// comes in on Zumbal's MIDI input goes to received() with the frame it was
// heard on, and each buffer asks at() for the beat at its first frame.
// The clocks go through the ClockFilter, so the strokes fall on the
// predicted clock frames and not on the transport's jitter. The beat
// given while following never runs backwards; a Start, a Continue or a
// Song Position Pointer moves it. How the following goes is written to
// the SyncStatus the window polls. Plain arithmetic, no lock, no
// allocation.
class MidiClockFollower {
public:
    MidiClockFollower(int rate, SyncStatus& status) : m_filter(rate), m_status(status) {}

    // One MIDI message heard on `frame`: System Real-Time bytes (clock,
    // Start, Continue, Stop) wherever they stand in it, and Song Position
    // Pointer; anything else is left to the MIDI control.
    void received(const uint8_t* bytes, size_t size, int64_t frame);

    // The beat at `frame`, the first frame of the buffer about to be
    // rendered, with every message up to `now` received: `now` is the
    // frame a message arriving at this moment would be stamped with, which
    // is earlier than `frame` by the output's latency when the stamps are
    // the frames heard at the messages' arrival.
    SourceBeat at(int64_t frame, int64_t now);
    SourceBeat at(int64_t frame) { return at(frame, frame); }

    const ClockFilter& filter() const { return m_filter; }

private:
    void songPosition(const uint8_t* data, const uint8_t* end);
    void relocated();
    SyncState state(int64_t now) const;

    ClockFilter m_filter;
    SyncStatus& m_status;
    bool m_heard = false; // a clock has come since the last Start or Continue
    // The beat last given while rolling and locked, which the next one
    // does not fall behind.
    bool m_following = false;
    double m_lastQuarters = 0;
    // A Start, Continue or Song Position Pointer with the loop locked: the
    // first beat given after it, while no more than that clock and the
    // next have come, goes no further than that clock's position, so that
    // its stroke plays (late, on the buffer's first frame, when the buffer
    // that held it was already rendered).
    bool m_catchUp = false;
    int64_t m_catchUpClock = 0;
};

// The follower as the engine's master: made again, in place, for a new rate.
class MidiClockSource final : public BeatSource {
public:
    void received(const uint8_t* bytes, size_t size, int64_t frame) {
        m_follower->received(bytes, size, frame);
    }
    // Before a buffer whose messages were stamped on arrival: the frame a
    // message arriving now would get (the heard frame, some latency before
    // the buffer's first one).
    void setNow(int64_t frame) { m_now = frame; }
    SourceBeat at(int64_t frame, int rate, const MasterBeat&) override {
        if (rate != m_rate) {
            m_rate = rate;
            m_follower.emplace(rate, m_status);
        }
        const int64_t now = m_now.value_or(frame);
        m_now.reset();
        return m_follower->at(frame, now);
    }
    const SyncStatus& status() const { return m_status; }

private:
    SyncStatus m_status;
    int m_rate = 48000;
    std::optional<MidiClockFollower> m_follower{std::in_place, 48000, m_status};
    std::optional<int64_t> m_now;
};

} // namespace zumbal::sync
