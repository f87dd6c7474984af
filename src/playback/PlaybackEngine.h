#pragma once

#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/RandomSource.h"
#include "playback/StrokeStep.h"
#include "playback/StrokeTimeline.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace zumbal {

// The stroke clock. The audio side calls process() for every buffer it
// renders; process() cuts the buffer at the synthesizer's 64-frame blocks and,
// before rendering a block, plays every stroke whose due sample lies nearest
// to that block's start. Notes are therefore never more than half a block
// off the ideal grid, and the grid itself never drifts.
//
// The GUI thread only starts and stops playback and reads the lamp; it never
// touches the note output.
class PlaybackEngine {
public:
    static constexpr int kBlock = 64;

    PlaybackEngine(globali& g, NoteOutput& out, RandomSource& random, int sampleRate);

    // When stroke 1 of a play is due: one stroke length after the start, as
    // live play has always done, or on the start's own sample, as a render
    // that must line up with a DAW's grid needs.
    enum class FirstStroke { AfterOneStroke, AtStart };

    // GUI side. Start takes effect at the next block. Stop too, and it ends
    // the sounding bass note.
    void start(FirstStroke first = FirstStroke::AfterOneStroke);
    void stop();
    bool playing() const { return m_g.battito > 0; }
    // Samples rendered so far: the present on the audio timeline.
    int64_t now() const { return m_pos.load(std::memory_order_acquire); }
    // The last stroke played and how many have been played, for the tempo lamp.
    int lastStroke() const { return m_lastStroke.load(std::memory_order_relaxed); }
    uint32_t strokesPlayed() const { return m_strokesPlayed.load(std::memory_order_acquire); }

    NotePlayers& players() { return m_players; }
    int sampleRate() const { return m_rate.load(std::memory_order_relaxed); }

    // While no audio runs: the samples to come are at `rate`. A stroke that is
    // waiting keeps its place in time.
    void setSampleRate(int rate);
    // While no audio runs: `frames` went by unheard and unrendered. The
    // stroke clock treats the strokes due meanwhile as overdue.
    void jump(int64_t frames) { m_pos.fetch_add(frames, std::memory_order_acq_rel); }

    // Audio side: advance the timeline by `frames`, calling render(offset, count)
    // for consecutive pieces of the buffer that never cross a block boundary.
    template <class Render> void process(int frames, Render&& render) {
        int done = 0;
        while (done < frames) {
            int64_t pos = m_pos.load(std::memory_order_relaxed);
            if (pos % kBlock == 0)
                atBlockStart(pos);
            const int n = static_cast<int>(std::min<int64_t>(frames - done, kBlock - pos % kBlock));
            render(done, n);
            done += n;
            m_pos.store(pos + n, std::memory_order_release);
        }
    }

private:
    void atBlockStart(int64_t blockStart);

    globali& m_g;
    NotePlayers m_players;
    RandomSource& m_random;
    std::atomic<int> m_rate;
    StrokeTimeline m_timeline;

    std::atomic<int64_t> m_pos{0};
    std::atomic<int64_t> m_startSample{0};
    std::atomic<uint32_t> m_startSerial{0};
    std::atomic<bool> m_strokeAtStart{false};
    std::atomic<int> m_lastStroke{0};
    std::atomic<uint32_t> m_strokesPlayed{0};

    // Audio side only.
    uint32_t m_seenSerial = 0;
    bool m_wasPlaying = false;
};

} // namespace zumbal
