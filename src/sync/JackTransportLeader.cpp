#include "sync/JackTransportLeader.h"

namespace zumbal::sync {

JackTransportLeader::Move JackTransportLeader::move() {
    const uint32_t run = m_run;
    const bool wasPlaying = m_playing;
    m_run = m_beat.run;
    m_playing = m_beat.playing;
    if (!leading() || m_fresh.exchange(false, std::memory_order_relaxed))
        return Move::None;
    if (m_beat.playing && m_beat.run != run)
        return Move::Start;
    if (!m_beat.playing && wasPlaying)
        return Move::Stop;
    return Move::None;
}

bool JackTransportLeader::readyToRoll(int period, int rate) const {
    if (!leading() || !m_beat.playing || m_beat.bar > 0 || !(m_beat.quartersPerMinute > 0))
        return true;
    // In the count-in the beat, at this cycle's first frame, is minus the
    // time still to stroke 1: the transport rolls from the next cycle once
    // that cycle starts within half a period of stroke 1, or after it.
    const double toStroke1 = -m_beat.quartersInBar * 60.0 / m_beat.quartersPerMinute * rate;
    return toStroke1 <= 1.5 * period;
}

void JackTransportLeader::fill(jack_position_t& position) const {
    const double qpm = m_beat.quartersPerMinute;
    const int rate = position.frame_rate > 0 ? static_cast<int>(position.frame_rate) : 48000;
    const PublishedBbt p = m_beat.playing ? bbtAt(m_beat)
                                          : bbtAt(beatFromFrame(position.frame, rate, qpm).quarters,
                                                  qpm, m_beat.threeFour);
    position.valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
    position.bar = p.bbt.bar;
    position.beat = p.bbt.beat;
    position.tick = p.bbt.tick;
    position.tick_double = p.fineTick;
    position.bar_start_tick = p.barStartTick;
    position.beats_per_bar = p.bbt.beatsPerBar;
    position.beat_type = p.bbt.beatType;
    position.ticks_per_beat = p.bbt.ticksPerBeat;
    position.beats_per_minute = p.bbt.beatsPerMinute;
}

} // namespace zumbal::sync
