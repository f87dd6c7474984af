#pragma once

#include "sync/SourceBeat.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace zumbal::sync {

// Zumbal as a peer of an Ableton Link session: the session's tempo and
// its beat, counted in quarters with beat 0 of each bar of the quantum on
// Zumbal's stroke 1, and, with start/stop sync, whether it plays. Link's
// own headers stay behind this interface (BasicLinkSession.h).
//
// GUI side (any thread but the audio thread): everything but at(). The
// requests are handed to the audio thread, which puts them into the
// session on the next buffer, at the time that buffer is heard.
//
// Audio side: at(), once a buffer; it only captures and commits Link's
// audio session state, and never locks, allocates or waits.
class LinkSession {
public:
    virtual ~LinkSession() = default;

    // On: Zumbal joins the session it finds on the network, or founds one
    // of its own at its tempo, its play state and, from the first buffer
    // on, its beat, so that turning Link on alone moves nothing. Off, the
    // session's last tempo becomes Zumbal's (status() tells it).
    virtual void enable(bool on) = 0;
    virtual bool enabled() const = 0;
    // Start and stop with the session's peers that do so too.
    virtual void setStartStopSync(bool on) = 0;
    virtual int peers() const = 0;
    // Zumbal's tempo (slider, tap tempo): the session's from the next
    // buffer on, within Link's 20..999 BPM. Remembered while Link is off;
    // not a finite tempo above 0: ignored. The user's changes only: the
    // session's tempo shown from status() and handed back would undo a
    // peer's next change.
    virtual void requestTempo(double bpm) = 0;
    // Zumbal's Play and Stop. With start/stop sync they start and stop the
    // session; with or without it a start places stroke 1: at once alone,
    // on the session's next bar of the quantum with peers. Remembered
    // while Link is off, for the session enable() founds.
    virtual void requestPlaying(bool playing) = 0;
    // Zumbal's bar: 4 quarters, 3 under 3/4.
    virtual void setQuantum(int quarters) = 0;
    // At least once a second: measures the audio outputs' clock against
    // Link's again (NTP slews the one and not the other) and writes
    // status().
    virtual void poll() = 0;
    // Locked while on, Alone while off; the session's tempo and peers.
    const SyncStatus& status() const { return m_status; }

    // Audio side: the session at the moment the buffer's first frame is
    // heard, `heardMonotonicNs` on CLOCK_MONOTONIC (0: now). `ownQuarters`
    // is Zumbal's own beat at that frame, quarters since its bar 1; the
    // first buffer after enable() carries it on (alone exactly; in a
    // session its bar count only, the phase being the session's).
    // Rolling: the session plays, with start/stop sync; always, without.
    // Locked while on; off, nothing is followed.
    virtual SourceBeat at(int64_t heardMonotonicNs, double ownQuarters) = 0;

protected:
    SyncStatus m_status;
};

// A session on the machine's clocks, at Zumbal's tempo `bpm`, off.
std::unique_ptr<LinkSession> makeLinkSession(double bpm);

// The session as the master the engine follows. With start/stop sync the
// session's play state rules; without, Zumbal's own Play and Stop do, and
// the session gives the beat.
class LinkSource final : public BeatSource {
public:
    explicit LinkSource(LinkSession& session) : m_session(session) {}

    // Audio side, before each buffer: when its first frame is heard.
    void heardAt(int64_t monotonicNs) { m_heardNs = monotonicNs; }
    SourceBeat at(int64_t, int, const MasterBeat& own) override {
        SourceBeat beat = m_session.at(m_heardNs, own.quarters);
        if (!m_startStopSync.load(std::memory_order_relaxed))
            beat.rolling = beat.rolling && m_playing.load(std::memory_order_relaxed);
        return beat;
    }

    // GUI side.
    void requestRolling(bool roll) override {
        m_playing.store(roll, std::memory_order_relaxed);
        m_session.requestPlaying(roll);
    }
    void setStartStopSync(bool on) {
        m_startStopSync.store(on, std::memory_order_relaxed);
        m_session.setStartStopSync(on);
    }
    LinkSession& session() { return m_session; }

private:
    LinkSession& m_session;
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_startStopSync{false};
    int64_t m_heardNs = 0; // audio thread only
};

} // namespace zumbal::sync
