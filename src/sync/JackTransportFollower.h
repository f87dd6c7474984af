#pragma once

#include "sync/JackTransport.h"
#include "sync/SourceBeat.h"

#include <jack/transport.h>

#include <atomic>
#include <cstdint>

namespace zumbal::sync {

// The JACK transport as the master Zumbal follows. The JACK process
// callback hands over the transport as it stands at each cycle's start; the
// engine, on the same thread and in the same cycle, asks for the beat at
// the cycle's first frame. A timebase master's BBT gives the beat; without
// one, the transport's frame at Zumbal's own tempo. Zumbal's Play and Stop
// become requests to start and stop the transport, which the callback
// makes. Lock-free throughout.
class JackTransportFollower final : public BeatSource {
public:
    // Cycles without a reading (the output is no longer JACK) go on from the
    // last one for this long before the transport counts as lost.
    static constexpr double kLostSeconds = 0.5;

    // Process thread, at the start of each cycle.
    void cycle(jack_transport_state_t state, const jack_position_t& position);
    SourceBeat at(int64_t frame, int rate, const MasterBeat& own) override;

    // GUI side: start (true) or stop the transport from the next cycle.
    void requestRolling(bool roll) override {
        m_request.store(roll ? kStart : kStop, std::memory_order_release);
    }
    // Process thread: the request to make, if any: +1 start, -1 stop, 0 none.
    int takeRequest() {
        const int r = m_request.exchange(kNone, std::memory_order_acq_rel);
        return r == kStart ? 1 : r == kStop ? -1 : 0;
    }

    const SyncStatus& status() const { return m_status; }

private:
    enum Request : int { kNone, kStart, kStop };

    std::atomic<int> m_request{kNone};
    SyncStatus m_status;
    // Audio thread only.
    TransportReader m_reader;
    bool m_fresh = false;
    jack_transport_state_t m_state = JackTransportStopped;
    jack_position_t m_position{};
    bool m_read = false; // a reading has been turned into a beat
    SourceBeat m_last;
    int64_t m_lastFrame = 0;
    // A timebase master went away while rolling: silent until the
    // transport stops.
    bool m_masterLost = false;
    bool m_hadMasterBbt = false;
};

} // namespace zumbal::sync
