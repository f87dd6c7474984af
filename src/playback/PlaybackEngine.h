#pragma once

#include "model/SoundingNotes.h"
#include "model/globali.h"
#include "playback/BarLineChange.h"
#include "playback/MidiSink.h"
#include "playback/NoteOutput.h"
#include "playback/PlayingLoop.h"
#include "playback/RandomSource.h"
#include "playback/ScheduledEvents.h"
#include "playback/StrokeStep.h"
#include "playback/StrokeTimeline.h"
#include "sync/SourceBeat.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace zumbal {

// The stroke clock. The audio side calls process() for every buffer it
// renders. At the start of a buffer it decides every stroke (and MIDI clock)
// that sounds or goes out on MIDI within it, ahead of time; then it cuts the
// buffer at the synthesizer's 64-frame blocks and, before rendering a block,
// gives the synth the notes whose due sample lies nearest to that block's
// start. Notes are therefore never more than half a block off the ideal grid
// in the sound, and the grid itself never drifts. The MIDI outputs take
// every event on the frame nearest its due sample.
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

    // GUI side. Start takes effect at the next buffer, stop at the next
    // block (while following a master, both are asked of the master); stop ends the sounding bass
    // note, drops what was decided ahead, ends every note sent on MIDI, and sends "all notes off"
    // and MIDI Stop. A `strokeLimit` above 0 ends the run's strokes after that many: a render plays
    // exactly its passes even when humanize pulls the next bar's first stroke ahead of the end.
    void start(FirstStroke first = FirstStroke::AfterOneStroke, uint32_t strokeLimit = 0);
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

    // GUI side: `change` waits for the next stroke 1. A change still waiting
    // is handed back (it never applied); so is `change` itself while an
    // earlier one has landed and not been collected by takeLanded().
    BarLineChange* queueAtBarLine(BarLineChange* change) {
        return m_pendingChange.exchange(change, std::memory_order_acq_rel);
    }
    // GUI side: takes back the waiting change, if any (playback stopped).
    BarLineChange* withdrawBarLineChange() {
        return m_pendingChange.exchange(nullptr, std::memory_order_acq_rel);
    }
    // GUI side: the change that was applied at a stroke 1, once; the caller
    // shows it and owns it from here on.
    BarLineChange* takeLanded() {
        return m_landedChange.exchange(nullptr, std::memory_order_acq_rel);
    }

    // GUI side: `fill` plays one pass from the next stroke 1, over any
    // change landing there, and then the loop that played before it comes
    // back at the following stroke 1, unless a change lands there. A fill
    // still waiting is handed back (it never applied).
    BarLineChange* queueFill(BarLineChange* fill) {
        return m_pendingFill.exchange(fill, std::memory_order_acq_rel);
    }
    BarLineChange* withdrawFill() {
        return m_pendingFill.exchange(nullptr, std::memory_order_acq_rel);
    }
    // GUI side: the fill that landed at a stroke 1, once; the caller owns it.
    BarLineChange* takeLandedFill() {
        return m_landedFill.exchange(nullptr, std::memory_order_acq_rel);
    }
    // GUI side: whether a fill plays now; once it has ended, the loop in the
    // model is again the one it interrupted (or the change that landed).
    bool fillPlaying() const { return m_fillPlaying.load(std::memory_order_acquire); }
    // GUI side: the musician put another loop in the model over a playing
    // fill (a preset, New Loop, an undo): the fill ends here, and nothing
    // comes back over that loop after it.
    void keepLoopOverFill() { m_fillPlaying.store(false, std::memory_order_release); }
    // GUI side: the steps whose condition asks for a fill play while
    // `held` (a key or a pedal held down), as they do in a fill's pass.
    void holdFill(bool held) { m_fillHeld.store(held, std::memory_order_release); }
    // GUI side: the next bar is a fill for the steps' conditions, for one
    // pass, without a fill preset to play.
    void latchFillBar() { m_fillBarLatched.store(true, std::memory_order_release); }

    // The pass of the bar that the last change with passes plays now,
    // counted from 1 to `of`; `of` is 0 while no such change plays.
    struct Passes {
        int pass = 0, of = 0;
        friend bool operator==(const Passes&, const Passes&) = default;
    };
    Passes passes() const {
        const uint32_t packed = m_passCount.load(std::memory_order_acquire);
        return {static_cast<int>(packed >> 8), static_cast<int>(packed & 0xFF)};
    }

    // GUI side: the master whose beat the strokes follow from the next
    // buffer on, or nullptr for Zumbal's own clock. While following, the
    // engine plays when the master rolls and stops when it stops, whatever
    // start() and stop() say; `source` must outlive the engine's use of it.
    void follow(sync::BeatSource* source) { m_source.store(source, std::memory_order_release); }

    // Audio side, after process(): Zumbal's own beat at now(), the first
    // frame of the next buffer, for a program that Zumbal leads.
    sync::OwnBeat ownBeat() const;

    // GUI side: whether clock_out ticks at the tempo while playback is stopped.
    void setClockWhileStopped(bool on) { m_clockWhileStopped.store(on, std::memory_order_relaxed); }

    // GUI side: the MIDI channels (0..15) of the drum tracks and the bass.
    void setMidiChannels(int drums, int bass) {
        m_drumChannel.store(drums & 15, std::memory_order_relaxed);
        m_bassChannel.store(bass & 15, std::memory_order_relaxed);
    }

    // Audio side: advance the timeline by `frames`, calling render(offset, count)
    // for consecutive pieces that cover the buffer, and writing the buffer's
    // MIDI into `midi` when there is one. The synth is rendered lazily: a
    // piece ends only where the synth must be called (a block that starts
    // notes, or the stop's note-off) and at the buffer's end, so every note
    // still starts on its block, while each render call, which costs the
    // synth an allocation of its own, covers as much as it can.
    template <class Render> void process(int frames, Render&& render, MidiSink* midi = nullptr) {
        const int64_t begin = m_pos.load(std::memory_order_relaxed);
        if (midi)
            sendProgram(*midi);
        decide(begin, begin + frames);
        int done = 0, rendered = 0;
        while (done < frames) {
            const int64_t pos = begin + done;
            if (pos % kBlock == 0) {
                const bool play = playing();
                if (done > rendered && callsSynthAt(pos, play)) {
                    render(rendered, done - rendered);
                    rendered = done;
                }
                atBlockStart(pos, midi, begin, play);
            }
            const int n = static_cast<int>(std::min<int64_t>(frames - done, kBlock - pos % kBlock));
            sendMidi(pos + n, midi, begin);
            done += n;
            m_pos.store(pos + n, std::memory_order_release);
        }
        if (done > rendered)
            render(rendered, done - rendered);
    }

    // Events the schedule had no room for; 0 unless something is badly wrong.
    uint64_t droppedEvents() const { return m_scheduled.dropped(); }

private:
    void decide(int64_t begin, int64_t end);
    void followMaster(sync::BeatSource& source, int64_t begin);
    void startRun(int64_t begin, bool strokeAtStart);
    // A new run of passes: the next stroke 1 is pass 1 of the next run.
    void restartPasses();
    sync::OwnBeat ownBeatAt(int64_t frame, bool playing) const;
    // Audio side: Zumbal's own beat at `frame`, in quarters since the run's
    // stroke 1 (before it, the count-in's negative beats); 0 while stopped.
    double ownQuarters(int64_t frame) const;
    double nextStrokeDue();
    StrokeMoment strokeMoment(double at, double previous) const;
    // Samples in a 24th of a stroke, the step a nudge moves by.
    double nudgeUnit() const { return m_timeline.strokeLength() / kNudgeSteps; }
    void scheduleClock(double due, int64_t begin);
    // At every stroke 1 of a run: the pass that ended is counted, and what
    // is due there lands.
    void barLine();
    bool applyBarLineChange();
    void restoreBeforeFill();
    void loopChanged();
    void publishPasses() {
        const int of = m_passesOf, pass = of > 0 ? of - m_passesLeft + 1 : 0;
        m_passCount.store(static_cast<uint32_t>(pass) << 8 | static_cast<uint32_t>(of),
                          std::memory_order_release);
    }
    void tickWhileStopped(int64_t begin, double horizon);
    // Whether atBlockStart() gives the synth anything at `blockStart`.
    bool callsSynthAt(int64_t blockStart, bool play) const {
        return play ? m_scheduled.synthNoteBefore(blockStart + kBlock / 2.0) : m_wasPlaying;
    }
    void atBlockStart(int64_t blockStart, MidiSink* midi, int64_t begin, bool play);
    void sendMidi(int64_t end, MidiSink* midi, int64_t begin);
    void sendProgram(MidiSink& midi);
    void sendNote(MidiSink& midi, int frame, int track, int note, int velocity);

    globali& m_g;
    NoteOutput& m_out;
    NotePlayers m_players;
    // The stroke step plays into the schedule; the schedule feeds m_out.
    ScheduledEvents m_scheduled;
    NotePlayers m_strokePlayers;
    RandomSource& m_random;
    std::atomic<int> m_rate;
    StrokeTimeline m_timeline;

    std::atomic<int64_t> m_pos{0};
    std::atomic<int64_t> m_startSample{0};
    std::atomic<uint32_t> m_startSerial{0};
    std::atomic<bool> m_strokeAtStart{false};
    std::atomic<uint32_t> m_strokeLimit{0};
    std::atomic<int> m_lastStroke{0};
    std::atomic<uint32_t> m_strokesPlayed{0};

    std::atomic<int> m_drumChannel{9}, m_bassChannel{8};
    std::atomic<bool> m_clockWhileStopped{false};
    std::atomic<BarLineChange*> m_pendingChange{nullptr};
    std::atomic<BarLineChange*> m_landedChange{nullptr};
    std::atomic<BarLineChange*> m_pendingFill{nullptr};
    std::atomic<BarLineChange*> m_landedFill{nullptr};
    std::atomic<bool> m_fillPlaying{false};
    std::atomic<bool> m_fillHeld{false};
    std::atomic<bool> m_fillBarLatched{false};
    std::atomic<uint32_t> m_passCount{0};
    std::atomic<sync::BeatSource*> m_source{nullptr};

    // Audio side only.
    uint32_t m_seenSerial = 0;
    uint32_t m_runStrokes = 0;
    int64_t m_runBars = 0;                 // the run's stroke 1s decided so far: the pass
    uint32_t m_runsStarted = 0, m_run = 0; // the run playing, from 0 at the first
    bool m_fillBar = false;                // the bar latched as a fill plays
    bool m_decidedPlaying = false;         // in the last buffer decided
    // The last decided stroke's due position, and the humanize shift drawn
    // for the next one (drawn once, when that stroke is first looked at).
    double m_lastDue = 0;
    double m_nextHumanize = 0;
    bool m_humanizeDrawn = false;
    bool m_wasPlaying = false;
    bool m_clockStarted = false;
    double m_idleClock = -1; // the next tick while stopped; -1: not ticking
    int m_sentProgram = -1, m_sentProgramChannel = -1;
    // The passes still to play of the change that landed last, and all of them.
    int m_passesLeft = 0, m_passesOf = 0;
    // The loop a playing fill interrupted, which comes back after it.
    PlayingLoop m_beforeFill;
    SoundingNotes m_sentNotes; // on MIDI
    // Following a master: the index of the next stroke counted from its
    // bar 1, and the feel that index was counted in.
    bool m_following = false;
    int64_t m_followNext = 0;
    bool m_followThreeFour = false, m_followTernary = false;
};

} // namespace zumbal
