#include "sync/JackTransport.h"

#include <cmath>

namespace zumbal::sync {

namespace {

// The beat `frames` on from `beat`, at its tempo.
MasterBeat movedOn(MasterBeat beat, double frames, int rate) {
    beat.quarters += frames / rate * beat.quartersPerMinute / 60.0;
    return beat;
}

} // namespace

TransportBeat TransportReader::read(jack_transport_state_t state, const jack_position_t& position,
                                    double ownQuartersPerMinute) {
    TransportBeat out;
    out.rolling = state == JackTransportRolling;
    const int rate = position.frame_rate > 0 ? static_cast<int>(position.frame_rate) : 48000;
    const auto frame = static_cast<int64_t>(position.frame);
    if (!(position.valid & JackPositionBBT)) {
        m_last.reset();
        out.beat = beatFromFrame(frame, rate, ownQuartersPerMinute);
        return out;
    }
    Bbt bbt{position.bar,
            position.beat,
            position.tick,
            position.ticks_per_beat,
            position.beats_per_bar,
            position.beat_type,
            position.beats_per_minute};
    std::optional<MasterBeat> beat = beatFromBbt(bbt);
    if (beat) {
        // The fraction of a tick that the whole-tick field leaves out.
        if ((position.valid & JackTickDouble) && position.tick_double >= position.tick &&
            position.tick_double < position.tick + 1.0)
            beat->quarters += (position.tick_double - position.tick) / position.ticks_per_beat *
                              4.0 / position.beat_type;
        if (position.valid & JackBBTFrameOffset)
            *beat = movedOn(*beat, position.bbt_offset, rate);
        m_last = beat;
        m_lastFrame = frame;
    } else if (m_last) {
        beat = movedOn(*m_last, static_cast<double>(frame - m_lastFrame), rate);
    } else {
        out.beat = beatFromFrame(frame, rate, ownQuartersPerMinute);
        return out;
    }
    out.fromMaster = true;
    out.beat = *beat;
    return out;
}

} // namespace zumbal::sync
