#include "sync/MidiClockFollower.h"

#include <algorithm>

namespace zumbal::sync {

namespace {

constexpr uint8_t kClock = 0xF8, kStart = 0xFA, kContinue = 0xFB, kStop = 0xFC;
constexpr uint8_t kSongPosition = 0xF2;

bool isRealTime(uint8_t byte) {
    return byte >= 0xF8;
}

} // namespace

void MidiClockFollower::received(const uint8_t* bytes, size_t size, int64_t frame) {
    const uint8_t* end = bytes + size;
    for (const uint8_t* b = bytes; b != end; ++b) {
        switch (*b) {
        case kClock:
            m_filter.clock(frame);
            m_heard = true;
            break;
        case kStart:
            m_filter.start();
            relocated();
            break;
        case kContinue:
            // Continue while playing changes nothing.
            if (!m_filter.rolling()) {
                m_filter.resume();
                relocated();
            }
            break;
        case kStop:
            m_filter.stop();
            break;
        case kSongPosition:
            songPosition(b + 1, end);
            break;
        default:
            break;
        }
    }
}

// The pointer's two data bytes, least significant first; real-time bytes
// may stand between them, another status byte abandons it.
void MidiClockFollower::songPosition(const uint8_t* data, const uint8_t* end) {
    int value = 0, got = 0;
    for (; data != end && got < 2; ++data) {
        if (isRealTime(*data))
            continue;
        if (*data & 0x80)
            return;
        value |= *data << (7 * got++);
    }
    if (got < 2)
        return;
    m_filter.songPosition(value);
    relocated();
}

void MidiClockFollower::relocated() {
    m_following = false;
    if (m_filter.rolling())
        m_heard = false;
    m_catchUp = m_filter.locked();
    m_catchUpClock = m_filter.nextPosition();
}

SyncState MidiClockFollower::state(int64_t now) const {
    if (m_filter.lost(now))
        return m_filter.rolling() && m_heard ? SyncState::Lost : SyncState::Waiting;
    if (m_filter.outOfRange())
        return SyncState::OutOfRange;
    return m_filter.locked() ? SyncState::Locked : SyncState::Waiting;
}

SourceBeat MidiClockFollower::at(int64_t frame, int64_t now) {
    const SyncState state = this->state(now);
    m_status.set(state, m_filter.quartersPerMinute());
    SourceBeat out;
    out.beat = m_filter.beatAt(frame, now);
    out.locked = state == SyncState::Locked;
    out.rolling = m_filter.rolling() && !m_filter.lost(now) && state != SyncState::OutOfRange;
    if (!out.rolling || !out.locked) {
        m_following = false;
        return out;
    }
    double& quarters = out.beat.quarters;
    if (m_following)
        quarters = std::max(quarters, m_lastQuarters);
    else if (m_catchUp && m_filter.nextPosition() <= m_catchUpClock + 2)
        quarters = std::min(quarters,
                            static_cast<double>(m_catchUpClock) / ClockFilter::kClocksPerQuarter);
    m_catchUp = false;
    m_following = true;
    m_lastQuarters = quarters;
    return out;
}

} // namespace zumbal::sync
