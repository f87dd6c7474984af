#pragma once

#include "sync/LinkSession.h"

#include <ableton/Link.hpp>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zumbal::sync {

// The machine's clocks: Link's own on Linux, CLOCK_MONOTONIC_RAW, and
// CLOCK_MONOTONIC, on which the audio outputs say when a buffer is heard.
// NTP slews the second (up to 500 ppm) and never the first, so the two
// drift apart and the offset between them is measured again and again.
struct SystemClocks {
    int64_t linkNs() const { return read(CLOCK_MONOTONIC_RAW); }
    int64_t monotonicNs() const { return read(CLOCK_MONOTONIC); }
    // Link's clock as Link reads it.
    std::chrono::microseconds micros() const { return std::chrono::microseconds(linkNs() / 1000); }

private:
    static int64_t read(clockid_t id) {
        timespec ts{};
        clock_gettime(id, &ts);
        return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
    }
};

// LinkSession on a Link peer whose clock is `Clocks` (SystemClocks, or a
// test's): linkNs() and micros() are Link's clock, monotonicNs() the audio
// outputs'. BasicLink makes its clock itself, so every Clocks reads the
// same two.
template <class Clocks> class BasicLinkSession final : public LinkSession {
public:
    explicit BasicLinkSession(double bpm)
        : m_link(valid(bpm) ? bpm : 120), m_tempo(valid(bpm) ? bpm : 120) {
        m_linkMinusMonotonic.store(measureOffset(), std::memory_order_relaxed);
        writeStatus();
    }

    void enable(bool on) override;
    bool enabled() const override { return m_enabled.load(std::memory_order_relaxed); }
    void setStartStopSync(bool on) override {
        m_link.enableStartStopSync(on);
        m_startStopSync.store(on, std::memory_order_relaxed);
    }
    int peers() const override { return static_cast<int>(m_link.numPeers()); }
    void requestTempo(double bpm) override {
        if (!valid(bpm))
            return;
        m_tempo.store(bpm, std::memory_order_relaxed);
        m_tempoPending.store(true, std::memory_order_release);
    }
    void requestPlaying(bool playing) override {
        m_ownPlaying.store(playing, std::memory_order_relaxed);
        m_playRequest.store(playing ? kPlay : kStop, std::memory_order_release);
    }
    void setQuantum(int quarters) override {
        m_quantum.store(quarters > 0 ? quarters : 4, std::memory_order_relaxed);
    }
    void poll() override {
        m_linkMinusMonotonic.store(measureOffset(), std::memory_order_relaxed);
        writeStatus();
    }

    SourceBeat at(int64_t heardMonotonicNs, double ownQuarters) override;

private:
    enum : int { kNoRequest, kPlay, kStop };
    using Link = ableton::BasicLink<Clocks>;

    static bool valid(double bpm) { return std::isfinite(bpm) && bpm > 0; }
    // Link's clock minus the audio outputs', from the narrowest of a few
    // readings of the one between two of the other.
    int64_t measureOffset() const;
    void writeStatus();
    // What the first buffer after enable() sets: Zumbal's tempo for a
    // session of its own, its beat either way.
    void carryOn(typename Link::SessionState& state, std::chrono::microseconds at,
                 double ownQuarters, double quantum);

    Clocks m_clocks;
    Link m_link;
    std::atomic<int64_t> m_linkMinusMonotonic{0};
    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_startStopSync{false};
    std::atomic<uint32_t> m_enableSerial{0};
    std::atomic<double> m_tempo;
    std::atomic<bool> m_tempoPending{false};
    std::atomic<bool> m_ownPlaying{false};
    std::atomic<int> m_playRequest{kNoRequest};
    std::atomic<int> m_quantum{4};

    // Audio side only.
    uint32_t m_seenSerial = 0;
    bool m_wasPlaying = false;
};

template <class Clocks> void BasicLinkSession<Clocks>::enable(bool on) {
    if (on == m_enabled.load(std::memory_order_relaxed))
        return;
    if (!on) {
        // Leaving changes no tempo: Zumbal goes on at the session's, and a
        // session it founds next starts there.
        m_tempo.store(m_link.captureAppSessionState().tempo(), std::memory_order_relaxed);
        m_enabled.store(false, std::memory_order_release);
        m_link.enable(false);
        writeStatus();
        return;
    }
    m_linkMinusMonotonic.store(measureOffset(), std::memory_order_relaxed);
    // The audio thread leaves the session alone while Link is off, so this
    // is the one commit from here: a session Zumbal founds starts at its
    // tempo and play state, one found on the network replaces both.
    auto state = m_link.captureAppSessionState();
    const auto now = m_clocks.micros();
    state.setTempo(m_tempo.load(std::memory_order_relaxed), now);
    state.setIsPlaying(m_ownPlaying.load(std::memory_order_relaxed), now);
    m_link.commitAppSessionState(state);
    m_tempoPending.store(false, std::memory_order_relaxed);
    m_playRequest.store(kNoRequest, std::memory_order_relaxed);
    m_enableSerial.fetch_add(1, std::memory_order_release);
    m_link.enable(true);
    m_enabled.store(true, std::memory_order_release);
    writeStatus();
}

template <class Clocks>
SourceBeat BasicLinkSession<Clocks>::at(int64_t heardMonotonicNs, double ownQuarters) {
    SourceBeat out;
    out.beat.quartersPerMinute = m_tempo.load(std::memory_order_relaxed);
    if (!m_enabled.load(std::memory_order_acquire))
        return out;
    if (heardMonotonicNs <= 0)
        heardMonotonicNs = m_clocks.monotonicNs();
    const std::chrono::microseconds t(
        (heardMonotonicNs + m_linkMinusMonotonic.load(std::memory_order_relaxed)) / 1000);
    const double quantum = m_quantum.load(std::memory_order_relaxed);
    auto state = m_link.captureAudioSessionState();
    const uint32_t serial = m_enableSerial.load(std::memory_order_acquire);
    if (serial != m_seenSerial) {
        m_seenSerial = serial;
        carryOn(state, t, ownQuarters, quantum);
    }
    if (m_tempoPending.exchange(false, std::memory_order_acq_rel))
        state.setTempo(m_tempo.load(std::memory_order_relaxed), t);
    if (const int request = m_playRequest.exchange(kNoRequest, std::memory_order_acq_rel);
        request != kNoRequest)
        state.setIsPlaying(request == kPlay, t);
    // A start, Zumbal's or a peer's: beat 0 on the first bar of the
    // session's phase from the start on (the start itself when alone), the
    // beats before it a count-in below 0.
    if (state.isPlaying() && !m_wasPlaying)
        state.requestBeatAtStartPlayingTime(0, quantum);
    m_wasPlaying = state.isPlaying();
    m_link.commitAudioSessionState(state);

    out.locked = true;
    out.rolling = !m_startStopSync.load(std::memory_order_relaxed) ||
                  (state.isPlaying() && t >= state.timeForIsPlaying());
    out.beat = {state.beatAtTime(t, quantum), state.tempo()};
    return out;
}

template <class Clocks>
void BasicLinkSession<Clocks>::carryOn(typename Link::SessionState& state,
                                       std::chrono::microseconds at, double ownQuarters,
                                       double quantum) {
    // Set again here, for enable() may have come within Link's second of
    // preferring the audio thread's last commit (from before Link was
    // turned off) over the one enable() made.
    if (m_link.numPeers() == 0)
        state.setTempo(m_tempo.load(std::memory_order_relaxed), at);
    // Alone this maps the beat exactly; in a session Link keeps the
    // session's phase and moves only the count.
    state.requestBeatAtTime(ownQuarters, at, quantum);
    // Already playing is no start: the beat goes on.
    m_wasPlaying = state.isPlaying();
}

template <class Clocks> int64_t BasicLinkSession<Clocks>::measureOffset() const {
    int64_t best = 0, narrowest = std::numeric_limits<int64_t>::max();
    for (int i = 0; i < 4; ++i) {
        const int64_t before = m_clocks.monotonicNs();
        const int64_t link = m_clocks.linkNs();
        const int64_t after = m_clocks.monotonicNs();
        if (after - before < narrowest) {
            narrowest = after - before;
            best = link - (before + (after - before) / 2);
        }
    }
    return best;
}

template <class Clocks> void BasicLinkSession<Clocks>::writeStatus() {
    if (!m_enabled.load(std::memory_order_relaxed)) {
        m_status.set(SyncState::Alone, m_tempo.load(std::memory_order_relaxed));
        return;
    }
    m_status.set(SyncState::Locked, m_link.captureAppSessionState().tempo(), peers());
}

} // namespace zumbal::sync
