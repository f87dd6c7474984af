#include "sync/JackTransportFollower.h"

namespace zumbal::sync {

void JackTransportFollower::cycle(jack_transport_state_t state, const jack_position_t& position) {
    m_state = state;
    m_position = position;
    m_fresh = true;
}

SourceBeat JackTransportFollower::at(int64_t frame, int rate, const MasterBeat& own) {
    if (!m_fresh) {
        // A cycle the engine renders without a reading of its own (the
        // clock moved over a gap, or the output is no longer JACK): the
        // transport went on as it was going, until it counts as lost.
        if (!m_read) {
            m_status.set(SyncState::Waiting, 0);
            return {};
        }
        const double since = static_cast<double>(frame - m_lastFrame);
        if (since > kLostSeconds * rate) {
            m_status.set(SyncState::Lost, 0);
            return {};
        }
        SourceBeat moved = m_last;
        if (moved.rolling)
            moved.beat.quarters += since / rate * moved.beat.quartersPerMinute / 60.0;
        return moved;
    }
    m_fresh = false;
    const bool hadMaster = m_read && m_last.locked && m_hadMasterBbt;
    const TransportBeat read = m_reader.read(m_state, m_position, own.quartersPerMinute);
    m_hadMasterBbt = read.fromMaster;
    if (!read.rolling)
        m_masterLost = false;
    else if (hadMaster && !read.fromMaster && m_last.rolling)
        m_masterLost = true;
    m_last = {read.rolling && !m_masterLost, true, read.beat};
    m_lastFrame = frame;
    m_read = true;
    m_status.set(m_masterLost ? SyncState::Lost : SyncState::Locked, read.beat.quartersPerMinute);
    return m_last;
}

} // namespace zumbal::sync
