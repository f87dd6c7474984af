#pragma once

#include "sync/MasterBeat.h"

#include <jack/transport.h>

#include <atomic>
#include <cstdint>

namespace zumbal::sync {

// Zumbal as the JACK transport's timebase master, on its own clock. At the
// end of each buffer the engine's beat is published on the process thread:
// that is the beat at the next cycle's first frame, which is the cycle the
// timebase callback (called right after the process callback) fills in.
// Zumbal's Play locates the transport to frame 0 and starts it; the
// transport is held starting through the count-in and rolls from the cycle
// nearest stroke 1, bar 1 beat 1 tick 0. Zumbal's Stop stops it. While
// Zumbal is stopped, a transport that another client rolls counts its bars
// from its frame at Zumbal's tempo, frame 0 being bar 1. Taking and giving
// back the role are the JACK device's; everything here is plain arithmetic
// or lock-free.
class JackTransportLeader {
public:
    // What Zumbal's Play or Stop asks of the transport in a cycle.
    enum class Move { None, Start, Stop }; // Start: locate to frame 0 and start

    // GUI side: whether Zumbal is to lead. The JACK device takes the role
    // when asked, and again whenever it opens.
    void setWanted(bool on) { m_wanted.store(on, std::memory_order_relaxed); }
    bool wanted() const { return m_wanted.load(std::memory_order_relaxed); }
    // The device: Zumbal has become the timebase master, or is no longer.
    // A run playing when it becomes the master was not started by a Play
    // while leading, and moves nothing.
    void setLeading(bool on) {
        if (on)
            m_fresh.store(true, std::memory_order_relaxed);
        m_leading.store(on, std::memory_order_release);
    }
    bool leading() const { return m_leading.load(std::memory_order_acquire); }

    // Process thread, after each render.
    void publish(const OwnBeat& beat) { m_beat = beat; }
    // Process thread, once a cycle after the render: what to do with the
    // transport for a Play or a Stop heard since the last cycle.
    Move move();
    // Process thread, JACK's sync callback while the transport starts:
    // whether it may roll from the next cycle, `period` frames on.
    bool readyToRoll(int period, int rate) const;
    // Process thread, the timebase callback: the BBT for `position`, the
    // next cycle's (its frame and frame rate set, the rest Zumbal's).
    void fill(jack_position_t& position) const;

private:
    std::atomic<bool> m_wanted{false};
    std::atomic<bool> m_leading{false};
    std::atomic<bool> m_fresh{false};
    // Process thread only.
    OwnBeat m_beat;
    uint32_t m_run = 0; // the run and playing seen at the last move()
    bool m_playing = false;
};

} // namespace zumbal::sync
