#include "playback/PlaybackEngine.h"

namespace zumbal {

PlaybackEngine::PlaybackEngine(globali& g, NoteOutput& out, RandomSource& random, int sampleRate)
    : m_g(g), m_players(makeNotePlayers(out)), m_random(random), m_rate(sampleRate),
      m_timeline(sampleRate) {}

void PlaybackEngine::start() {
    const int64_t at = now();
    m_startSample.store(at, std::memory_order_relaxed);
    m_g.metronomo.store(at);
    m_g.battito = 1;
    m_startSerial.fetch_add(1, std::memory_order_release);
}

void PlaybackEngine::stop() {
    m_g.battito = 0;
}

void PlaybackEngine::atBlockStart(int64_t blockStart) {
    const uint32_t serial = m_startSerial.load(std::memory_order_acquire);
    if (serial != m_seenSerial) {
        m_seenSerial = serial;
        m_timeline.start(m_startSample.load(std::memory_order_relaxed),
                         std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo));
    }
    if (!playing()) {
        if (m_wasPlaying)
            m_players[kBassTrack].PlayNote(m_g.basso_ultima[0], 0);
        m_wasPlaying = false;
        return;
    }
    m_wasPlaying = true;
    m_timeline.setTempo(std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo));
    // A stroke belongs to the block whose start is nearest to its due sample.
    while (m_timeline.nextDue() < blockStart + kBlock / 2) {
        m_g.metronomo.store(static_cast<int64_t>(m_timeline.nextDue()));
        m_timeline.strokeDone();
        const int stroke = playStroke(m_g, m_players, m_random);
        if (stroke == 0)
            break;
        m_lastStroke.store(stroke, std::memory_order_relaxed);
        m_strokesPlayed.fetch_add(1, std::memory_order_release);
    }
}

} // namespace zumbal
