#pragma once

#include "sync/MasterBeat.h"

#include <jack/transport.h>

#include <cstdint>
#include <optional>

namespace zumbal::sync {

// What a JACK transport says at a cycle's first frame.
struct TransportBeat {
    bool rolling = false;
    bool fromMaster = false; // a timebase master's BBT, not the bare frame
    MasterBeat beat;
};

// Reads the transport once a cycle (jack_transport_query at the cycle's
// start), afresh from that cycle's position, never accumulated: with a
// timebase master from its bar, beat and tick (its double-resolution tick
// where it gives one, moved on by the BBT's frame offset), without one from
// the transport's frame at Zumbal's own tempo, frame 0 being bar 1. A cycle
// whose BBT makes no position keeps the last good one, moved on to its
// frame. Plain arithmetic: safe on the audio thread.
class TransportReader {
public:
    TransportBeat read(jack_transport_state_t state, const jack_position_t& position,
                       double ownQuartersPerMinute);

private:
    std::optional<MasterBeat> m_last; // the last good BBT's beat, at m_lastFrame
    int64_t m_lastFrame = 0;
};

} // namespace zumbal::sync
