#include "playback/PlaybackEngine.h"

#include <cmath>
#include <limits>

namespace zumbal {

PlaybackEngine::PlaybackEngine(globali& g, NoteOutput& out, RandomSource& random, int sampleRate)
    : m_g(g), m_out(out), m_players(makeNotePlayers(out)),
      m_strokePlayers(makeNotePlayers(m_scheduled)), m_random(random), m_rate(sampleRate),
      m_timeline(sampleRate) {}

void PlaybackEngine::start(FirstStroke first, uint32_t strokeLimit) {
    const int64_t at = now();
    m_startSample.store(at, std::memory_order_relaxed);
    m_strokeAtStart.store(first == FirstStroke::AtStart, std::memory_order_relaxed);
    m_strokeLimit.store(strokeLimit, std::memory_order_relaxed);
    m_g.metronomo.store(at);
    // The serial is published before `battito`, and decide() reads them in
    // the opposite order: whenever it sees playback running it also sees the
    // timeline of this start.
    m_startSerial.fetch_add(1, std::memory_order_release);
    m_g.battito = 1;
    if (sync::BeatSource* source = m_source.load(std::memory_order_acquire))
        source->requestRolling(true);
}

void PlaybackEngine::setSampleRate(int rate) {
    m_timeline.setSampleRate(rate, static_cast<double>(now()));
    m_rate.store(rate, std::memory_order_relaxed);
}

void PlaybackEngine::stop() {
    m_g.battito = 0;
    if (sync::BeatSource* source = m_source.load(std::memory_order_acquire))
        source->requestRolling(false);
}

void PlaybackEngine::decide(int64_t begin, int64_t end) {
    bool play = playing();
    const uint32_t serial = m_startSerial.load(std::memory_order_acquire);
    if (serial != m_seenSerial) {
        m_seenSerial = serial;
        startRun(m_startSample.load(std::memory_order_relaxed),
                 m_strokeAtStart.load(std::memory_order_relaxed));
    }
    if (sync::BeatSource* source = m_source.load(std::memory_order_acquire)) {
        followMaster(*source, begin);
        play = playing();
    } else if (m_following) {
        // Back to Zumbal's own clock: the followed run ends here.
        m_following = false;
        m_g.battito = 0;
        play = false;
    }
    // Whatever goes out on MIDI in this buffer (the frame nearest the due
    // sample comes before its end), and whatever the synth starts at one of
    // its blocks (the block nearest the due sample starts in it).
    constexpr double half = kBlock / 2.0;
    const int64_t lastBlock = (end - 1) / kBlock * kBlock;
    const double horizon =
        std::max(static_cast<double>(end) - 0.5, lastBlock >= begin ? lastBlock + half : 0.0);
    m_decidedPlaying = play;
    if (!play) {
        // A stop in a fill leaves the loop it interrupted.
        if (m_fillPlaying.exchange(false, std::memory_order_acq_rel))
            restoreBeforeFill();
        tickWhileStopped(begin, horizon);
        return;
    }
    m_idleClock = -1;
    if (!m_following)
        m_timeline.setTempo(std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo));
    m_timeline.setClocksPerStroke(m_g.ter_ter ? 8 : 6);
    const uint32_t limit = m_strokeLimit.load(std::memory_order_relaxed);
    for (;;) {
        // The stroke's due position is looked at afresh in every buffer, so
        // a new swing is heard at the next stroke not yet decided.
        const bool more = limit == 0 || m_runStrokes < limit;
        const double due = more ? nextStrokeDue() : std::numeric_limits<double>::infinity();
        const double clockDue = m_timeline.nextClockDue();
        if (clockDue <= due && clockDue < horizon) {
            scheduleClock(clockDue, begin);
            continue;
        }
        // A stroke with a step nudged early is decided as far ahead, so
        // that the step's strike still lands on its own sample.
        const double early = more ? earlyNudge(m_g, m_g.battito) * nudgeUnit() : 0.0;
        if (due - early >= horizon)
            break;
        // A faster tempo can leave a stroke's grid behind, a smaller swing
        // only an even stroke (never past the middle of its pair, where the
        // largest swing puts it). Either way the stroke plays now, once; only
        // a grid left behind goes on from here, and lateness is never caught
        // up with a burst of strokes.
        double at = due;
        if (at < begin - half) {
            at = static_cast<double>(begin);
            // A grid just laid again (a faster tempo) starts here, as does
            // one that even the largest swing cannot explain.
            // A followed grid is laid afresh from the master in every buffer.
            if (!m_following &&
                (m_timeline.freshAnchor() ||
                 m_timeline.nextDue(m_g.battito, kMaxSwing, m_g.ter_ter) < begin - half))
                m_timeline.restartFrom(at);
            else
                m_timeline.strokeDone();
        } else {
            m_timeline.strokeDone();
        }
        m_followNext += m_following;
        const double previous = m_lastDue;
        m_lastDue = at;
        m_humanizeDrawn = false;
        m_scheduled.setDue(at);
        const int velocity = std::clamp<int>(m_g.humanizeVelocity, 0, kMaxHumanizeVelocity);
        m_scheduled.setVelocityShift(
            velocity > 0 ? static_cast<int>(m_random.next() * (2 * velocity + 1)) - velocity : 0);
        m_g.metronomo.store(std::llround(at / kBlock) * kBlock);
        if (m_g.battito == 1) {
            ++m_runBars;
            barLine();
        }
        const int played =
            playStroke(m_g, m_strokePlayers, m_random, strokeMoment(at, previous), m_scheduled);
        if (played == 0)
            break;
        ++m_runStrokes;
        m_lastStroke.store(played, std::memory_order_relaxed);
        m_strokesPlayed.fetch_add(1, std::memory_order_release);
    }
}

sync::OwnBeat PlaybackEngine::ownBeat() const {
    return ownBeatAt(now(), m_decidedPlaying);
}

// The bar in progress is the one of the last stroke 1 decided, and the
// next stroke's place in the bar, less the strokes still to it, says how
// far into the bar `frame` is: a tempo or a feel changed in the bar moves
// nothing already played.
sync::OwnBeat PlaybackEngine::ownBeatAt(int64_t frame, bool playing) const {
    const bool threeFour = m_g.ter_3_4, ternary = m_g.ter_ter;
    const int perQuarter = ternary ? 3 : 4;
    sync::OwnBeat beat;
    beat.playing = playing;
    beat.run = m_seenSerial;
    beat.threeFour = threeFour;
    if (!beat.playing) {
        beat.quartersPerMinute =
            std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo) * 4.0 / perQuarter;
        return beat;
    }
    beat.quartersPerMinute = m_timeline.tempo() * 4.0 / perQuarter;
    beat.bar = m_runBars;
    const double ahead =
        (m_timeline.nextDue() - static_cast<double>(frame)) / m_timeline.strokeLength();
    int before = 0;
    for (int s = 1; s < m_g.battito; ++s)
        before += isPlayedStroke(s, threeFour, ternary);
    // The next stroke a stroke 1: the present is at the end of the bar.
    if (before == 0 && m_runBars > 0)
        before = strokesInBar(threeFour, ternary);
    beat.quartersInBar = (before - ahead) / perQuarter;
    return beat;
}

// Quarters since the run's stroke 1 (before it, the count-in's negative
// beats), every bar counted in the present meter, so that the stroke a
// master places there is the one Zumbal's own clock would play.
double PlaybackEngine::ownQuarters(int64_t frame) const {
    const sync::OwnBeat beat = ownBeatAt(frame, m_decidedPlaying);
    if (!beat.playing)
        return 0;
    const int quartersPerBar = beat.threeFour ? 3 : 4;
    return beat.bar > 0 ? (beat.bar - 1) * quartersPerBar + beat.quartersInBar : beat.quartersInBar;
}

void PlaybackEngine::startRun(int64_t begin, bool strokeAtStart) {
    m_runStrokes = 0;
    restartPasses();
    m_lastDue = static_cast<double>(begin);
    m_humanizeDrawn = false;
    m_timeline.start(begin, std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo), strokeAtStart);
    m_clockStarted = false;
    m_passesLeft = m_passesOf = 0;
    publishPasses();
}

void PlaybackEngine::restartPasses() {
    m_runBars = 0;
    m_run = m_runsStarted++;
    m_fillBar = false;
}

// The master's beat at the buffer's first frame places the strokes: stroke
// k since its bar 1 is due where the beat reaches k / 4 quarters (k / 3
// under the ternary feel). The next stroke to decide goes on from the last
// buffer's while the master runs on; a start, a locate, a jump of the
// master's tempo or a change of feel places it again from where the master
// now is, with the stroke of the bar that belongs there.
void PlaybackEngine::followMaster(sync::BeatSource& source, int64_t begin) {
    const int rate = m_rate.load(std::memory_order_relaxed);
    const bool threeFour = m_g.ter_3_4, ternary = m_g.ter_ter;
    const int perQuarter = ternary ? 3 : 4;
    const sync::MasterBeat own{m_following ? 0 : ownQuarters(begin),
                               std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo) * 4.0 / perQuarter};
    const sync::SourceBeat master = source.at(begin, rate, own);
    if (!master.rolling || !master.locked || !(master.beat.quartersPerMinute > 0)) {
        m_following = false;
        m_g.battito = 0;
        return;
    }
    const double length = 60.0 * rate / (master.beat.quartersPerMinute * perQuarter);
    const double strokes = master.beat.quarters * perQuarter; // at `begin`
    // The first stroke not yet due half a block before the buffer; the
    // master's negative beats are a count-in to its bar 1.
    const auto first = std::max<int64_t>(
        static_cast<int64_t>(std::ceil(strokes - static_cast<double>(kBlock) / 2 / length)), 0);
    if (!m_following)
        startRun(begin, false);
    const bool placed = !m_following || m_g.battito == 0 || m_followNext < first - 1 ||
                        m_followNext > first + 1 || threeFour != m_followThreeFour ||
                        ternary != m_followTernary;
    if (placed) {
        // Placed again in the master's first bar (a MIDI Start while it
        // rolls, a locate to the top): the passes count from 1 again, as
        // after the master's own start.
        if (m_following && first < strokesInBar(threeFour, ternary))
            restartPasses();
        m_followNext = first;
        m_followThreeFour = threeFour;
        m_followTernary = ternary;
        m_g.battito = sync::strokeOfIndex(first, threeFour, ternary);
    }
    m_following = true;
    m_timeline.follow(static_cast<double>(begin),
                      static_cast<double>(begin) +
                          (static_cast<double>(m_followNext) - strokes) * length,
                      length, placed);
}

// The next stroke's due position: its grid position, swung, then moved by
// humanize no further than the last stroke's due position or the following
// stroke's, so strokes never trade places.
double PlaybackEngine::nextStrokeDue() {
    const int stroke = m_g.battito;
    const bool ternary = m_g.ter_ter;
    const int swing = m_g.swing;
    const double due = m_timeline.nextDue(stroke, swing, ternary);
    const int ms = std::clamp<int>(m_g.humanizeMs, 0, kMaxHumanizeMs);
    if (ms == 0)
        return due;
    if (!m_humanizeDrawn) {
        m_nextHumanize =
            (2 * m_random.next() - 1) * ms * m_rate.load(std::memory_order_relaxed) / 1000.0;
        m_humanizeDrawn = true;
    }
    const double following =
        m_timeline.followingDue(nextStroke(stroke, m_g.ter_3_4, ternary), swing, ternary);
    return std::clamp(due + m_nextHumanize, m_lastDue, std::max(m_lastDue, following));
}

// The stroke about to play, decided at `at` after the one at `previous`,
// with the next stroke where the grid and the swing put it.
StrokeMoment PlaybackEngine::strokeMoment(double at, double previous) const {
    const bool ternary = m_g.ter_ter;
    const int following = nextStroke(m_g.battito, m_g.ter_3_4, ternary);
    StrokeMoment moment;
    moment.due = at;
    moment.previous = previous;
    moment.next = m_timeline.nextDue(following, m_g.swing, ternary);
    moment.nudgeUnit = nudgeUnit();
    moment.pass = static_cast<int>(std::min<int64_t>(m_runBars, std::numeric_limits<int>::max()));
    moment.fill = m_fillPlaying.load(std::memory_order_acquire) || m_fillBar ||
                  m_fillHeld.load(std::memory_order_acquire);
    moment.seed = m_random.seed();
    moment.run = m_run;
    return moment;
}

void PlaybackEngine::tickWhileStopped(int64_t begin, double horizon) {
    if (!m_clockWhileStopped.load(std::memory_order_relaxed)) {
        m_idleClock = -1;
        return;
    }
    // A follower keeps the tempo between songs; a gap in the ticks (the
    // setting just turned on) starts them again from here.
    if (m_idleClock < begin - 0.5)
        m_idleClock = static_cast<double>(begin);
    const double spacing = m_rate.load(std::memory_order_relaxed) * 15.0 /
                           std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo) / (m_g.ter_ter ? 8 : 6);
    for (; m_idleClock < horizon; m_idleClock += spacing)
        m_scheduled.pushClock(m_idleClock, kMidiClock);
}

// A song's entry holds its next one back until its passes are played; a
// fill plays one of them. After the fill's pass the loop it
// interrupted comes back, unless a change lands in its place.
void PlaybackEngine::barLine() {
    if (m_passesLeft > 0)
        --m_passesLeft;
    m_fillBar = m_fillBarLatched.exchange(false, std::memory_order_acq_rel);
    const bool landed = applyBarLineChange();
    // The GUI takes the flag down itself when the musician puts another loop
    // over the fill: that loop stays.
    if (m_fillPlaying.exchange(false, std::memory_order_acq_rel) && !landed)
        restoreBeforeFill();
    // The GUI collects a landed fill within a few milliseconds; until it
    // has, the next one waits a bar rather than be lost.
    if (m_landedFill.load(std::memory_order_acquire) == nullptr) {
        if (BarLineChange* fill = m_pendingFill.exchange(nullptr, std::memory_order_acq_rel)) {
            m_beforeFill.capture(m_g);
            fill->apply(m_g, m_players[kBassTrack]);
            m_landedFill.store(fill, std::memory_order_release);
            m_fillPlaying.store(true, std::memory_order_release);
            loopChanged();
        }
    }
    publishPasses();
}

bool PlaybackEngine::applyBarLineChange() {
    // The GUI collects a landed change within a few milliseconds; until it
    // has, the next one waits a bar rather than be lost.
    if (m_landedChange.load(std::memory_order_acquire) != nullptr)
        return false;
    const BarLineChange* waiting = m_pendingChange.load(std::memory_order_acquire);
    if (!waiting || (waiting->waitsForPasses && m_passesLeft > 0))
        return false;
    BarLineChange* change = m_pendingChange.exchange(nullptr, std::memory_order_acq_rel);
    if (!change)
        return false;
    change->apply(m_g, m_players[kBassTrack]);
    m_passesLeft = m_passesOf = std::clamp(change->passes, 0, 255);
    m_landedChange.store(change, std::memory_order_release);
    loopChanged();
    return true;
}

void PlaybackEngine::restoreBeforeFill() {
    m_beforeFill.restore(m_g, m_players[kBassTrack]);
    loopChanged();
}

// The new loop's tempo and feel count from this stroke 1 on; a followed
// loop keeps the master's tempo.
void PlaybackEngine::loopChanged() {
    if (!m_following)
        m_timeline.setTempo(std::clamp<int>(m_g.tempo, kMinTempo, kMaxTempo));
    m_timeline.setClocksPerStroke(m_g.ter_ter ? 8 : 6);
}

void PlaybackEngine::scheduleClock(double due, int64_t begin) {
    // A clock left behind by a tempo change is skipped, not sent in a burst.
    if (due >= static_cast<double>(begin) - 0.5) {
        if (!m_clockStarted)
            m_scheduled.pushClock(due, kMidiStart);
        m_clockStarted = true;
        m_scheduled.pushClock(due, kMidiClock);
    }
    m_timeline.clockDone();
}

void PlaybackEngine::atBlockStart(int64_t blockStart, MidiSink* midi, int64_t begin, bool play) {
    if (!play) {
        if (m_wasPlaying) {
            m_scheduled.clear();
            m_players[kBassTrack].PlayNote(m_g.basso_ultima[0], 0);
            if (midi) {
                const int frame = static_cast<int>(blockStart - begin);
                for (int t = 0; t < kTracks; ++t)
                    sendNote(*midi, frame, t, 0, 0);
                for (const int channel : {m_drumChannel.load(std::memory_order_relaxed),
                                          m_bassChannel.load(std::memory_order_relaxed)}) {
                    const uint8_t allNotesOff[] = {static_cast<uint8_t>(0xB0 | channel), 123, 0};
                    midi->note(frame, allNotesOff, 3);
                }
                if (m_clockStarted)
                    midi->clock(frame, kMidiStop);
            }
            m_clockStarted = false;
        }
        m_wasPlaying = false;
        return;
    }
    m_wasPlaying = true;
    // A stroke belongs to the block whose start is nearest to its due sample.
    m_scheduled.takeForSynth(blockStart + kBlock / 2.0, [this](const ScheduledEvent& e) {
        m_out.playNote(e.track, e.note, e.velocity);
    });
}

void PlaybackEngine::sendMidi(int64_t end, MidiSink* midi, int64_t begin) {
    m_scheduled.takeForMidi(end, [&](const ScheduledEvent& e) {
        if (!midi)
            return;
        // Anything decided for a frame already gone goes out at once.
        const auto frame =
            static_cast<int>(std::max<int64_t>(ScheduledEvents::frameOf(e.due) - begin, 0));
        if (e.track < 0)
            midi->clock(frame, e.clockByte);
        else
            sendNote(*midi, frame, e.track, e.note, e.velocity);
    });
}

void PlaybackEngine::sendNote(MidiSink& midi, int frame, int track, int note, int velocity) {
    // Whatever the stroke step names, a track's note-off ends the note the
    // track has sounding: a preset switched in between has changed its pitch,
    // and an ended bass note is ended again at every stroke.
    if (const SoundingNotes::Note sounding = m_sentNotes.end(track)) {
        const uint8_t off[] = {static_cast<uint8_t>(0x80 | sounding.channel),
                               static_cast<uint8_t>(sounding.note), 0x40};
        midi.note(frame, off, 3);
    }
    if (velocity == 0)
        return;
    const int channel = track == kBassTrack ? m_bassChannel.load(std::memory_order_relaxed)
                                            : m_drumChannel.load(std::memory_order_relaxed);
    const uint8_t on[] = {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
                          static_cast<uint8_t>(velocity)};
    midi.note(frame, on, 3);
    m_sentNotes.started(track, note, channel);
}

void PlaybackEngine::sendProgram(MidiSink& midi) {
    // Programs are counted from 1; a cleared field (0) plays program 1.
    const int program = std::clamp<int>(m_g.edfiv[kBassTrack][0], 1, 128) - 1;
    const int channel = m_bassChannel.load(std::memory_order_relaxed);
    if (program == m_sentProgram && channel == m_sentProgramChannel)
        return;
    m_sentProgram = program;
    m_sentProgramChannel = channel;
    const uint8_t bytes[] = {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)};
    midi.note(0, bytes, 2);
}

} // namespace zumbal
