#include "playback/PlaybackEngine.h"

namespace zumbal {

PlaybackEngine::PlaybackEngine(globali& g, NoteOutput& out, RandomSource& random, int sampleRate)
    : m_g(g), m_players(makeNotePlayers(out)), m_random(random), m_rate(sampleRate),
      m_timeline(sampleRate) {}

void PlaybackEngine::start(FirstStroke first) {
    const int64_t at = now();
    m_startSample.store(at, std::memory_order_relaxed);
    m_strokeAtStart.store(first == FirstStroke::AtStart, std::memory_order_relaxed);
    m_g.metronomo.store(at);
    // The serial is published before `battito`: the audio side reads them in
    // the opposite order, so whenever it sees playback running it also sees
    // the timeline of this start.
    m_startSerial.fetch_add(1, std::memory_order_release);
    m_g.battito = 1;
}

void PlaybackEngine::setSampleRate(int rate) {
    m_timeline.setSampleRate(rate, static_cast<double>(now()));
    m_rate.store(rate, std::memory_order_relaxed);
}

void PlaybackEngine::stop() {
    m_g.battito = 0;
}

void PlaybackEngine::atBlockStart(int64_t blockStart) {
    const bool playingNow = playing();
    const uint32_t serial = m_startSerial.load(std::memory_order_acquire);
    if (serial != m_seenSerial) {
        m_seenSerial = serial;
        m_timeline.start(m_startSample.load(std::memory_order_relaxed),
                         std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo),
                         m_strokeAtStart.load(std::memory_order_relaxed));
    }
    if (!playingNow) {
        if (m_wasPlaying)
            m_players[kBassTrack].PlayNote(m_g.basso_ultima[0], 0);
        m_wasPlaying = false;
        return;
    }
    m_wasPlaying = true;
    m_timeline.setTempo(std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo));
    // A stroke belongs to the block whose start is nearest to its due sample.
    constexpr double half = kBlock / 2.0;
    while (m_timeline.nextDue() < blockStart + half) {
        // Only a faster tempo can leave a stroke overdue from an earlier
        // block; it plays now, once, and the grid goes on from here.
        if (m_timeline.nextDue() < blockStart - half)
            m_timeline.restartFrom(static_cast<double>(blockStart));
        else
            m_timeline.strokeDone();
        m_g.metronomo.store(blockStart);
        const int stroke = playStroke(m_g, m_players, m_random);
        if (stroke == 0)
            break;
        m_lastStroke.store(stroke, std::memory_order_relaxed);
        m_strokesPlayed.fetch_add(1, std::memory_order_release);
    }
}

} // namespace zumbal
