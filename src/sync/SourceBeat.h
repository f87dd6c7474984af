#pragma once

#include "sync/MasterBeat.h"

#include <atomic>
#include <cstdint>

namespace zumbal::sync {

// Where the beat comes from.
enum class Source { Internal, JackTransport, MidiClock, Link };

// What a followed master says at a buffer's first frame, read afresh for
// every buffer on the audio thread.
struct SourceBeat {
    bool rolling = false; // the master plays
    bool locked = false;  // its beat can be followed; while not, Zumbal is silent
    MasterBeat beat;
};

// How the following goes, for the window: the audio thread writes it, the
// GUI polls it. Each field is read on its own; a poll that mixes two
// buffers' fields shows the later one a lamp tick later.
enum class SyncState : int {
    Alone,      // Internal, or a source that has fallen back to Zumbal's own clock
    Waiting,    // no master yet ("waiting for clock")
    Locked,     // following
    Lost,       // the master went away while rolling ("clock lost")
    OutOfRange, // a tempo outside 20..999 BPM ("clock out of range")
};

// A master the engine follows, asked on the audio thread once a buffer.
class BeatSource {
public:
    virtual ~BeatSource() = default;
    // The beat at `frame`, the first frame on the engine's timeline of the
    // buffer about to be rendered at `rate`. `own` is Zumbal's own beat
    // there (quarters since its stroke 1, 0 while stopped) and tempo, for a
    // master that has a start and a stop but no tempo of its own, or that
    // takes Zumbal's beat when it joins.
    virtual SourceBeat at(int64_t frame, int rate, const MasterBeat& own) = 0;
    // GUI side: Zumbal's Play (true) or Stop, for a master that takes them.
    virtual void requestRolling(bool roll) { (void)roll; }
};

class SyncStatus {
public:
    void set(SyncState state, double quartersPerMinute, int peers = 0) {
        m_state.store(static_cast<int>(state), std::memory_order_relaxed);
        m_tempo.store(quartersPerMinute, std::memory_order_relaxed);
        m_peers.store(peers, std::memory_order_relaxed);
    }
    SyncState state() const {
        return static_cast<SyncState>(m_state.load(std::memory_order_relaxed));
    }
    double quartersPerMinute() const { return m_tempo.load(std::memory_order_relaxed); }
    int peers() const { return m_peers.load(std::memory_order_relaxed); }

private:
    std::atomic<int> m_state{static_cast<int>(SyncState::Alone)};
    std::atomic<double> m_tempo{0};
    std::atomic<int> m_peers{0};
};

} // namespace zumbal::sync
