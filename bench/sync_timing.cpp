// How exactly Zumbal follows each master. For the JACK transport and MIDI
// clock, a master of the bench's own on a private dummy JACK server (48 kHz,
// periods of 256) and Zumbal's SoundSystem in this process on the JACK
// driver, a bass drum on every stroke: midi_out is recorded on the server's
// frames, and every kick is compared with the frame the master's beat puts
// its stroke on; a client that runs after Zumbal notes its status in every
// cycle, for the tempo. Each take is made --takes N times (5) and every
// figure's min, median and max across them printed beside its target; a
// take that a server xrun cut into is taken again. The drift over ten
// minutes (--minutes M) is measured on a virtual clock: the engine driven
// buffer by buffer, following the same reader fed a synthetic master, since
// a real-time take on a shared machine would measure its xruns. For Link, a
// second peer of the bench's own leads the session, in a network namespace
// of the bench's own, and each kick is compared, as it is heard, with the
// session's beat at that time.
//
//   sync_timing [--takes N] [--minutes M]

#include "BenchSupport.h"
#include "StrokeFigures.h"
#include "SyncRig.h"
#include "SyncTable.h"
#include "support/ClockSender.h"
#include "support/FakeClocks.h"
#include "support/JackClockSender.h"
#include "support/PrivateNetwork.h"
#include "support/TimebaseMaster.h"
#include "sync/BasicLinkSession.h"

#include <ableton/Link.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;
using bench::kNever;
using bench::Table;
using bench::Take;
using bench::takes;

constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr double kMs = kRate / 1000.0; // frames a millisecond
// On the frame nearest the ideal one.
constexpr double kNearest = 0.5 + 1e-6;
constexpr double kHalfMs = 0.5 * kMs;

double worstOf(const std::vector<double>& v) {
    return v.empty() ? kNever : *std::max_element(v.begin(), v.end());
}

// The worst and median stroke error of a take: frames, and the worst in ms.
void addErrors(Table& t, const char* which, const std::vector<double>& errors, double bound,
               const char* target) {
    t.add(std::string("worst stroke error, ") + which, "frames", worstOf(errors), bound, target);
    t.add("  in ms", "ms", worstOf(errors) / kMs, bound / kMs, "");
    t.add(std::string("median stroke error, ") + which, "frames",
          errors.empty() ? kNever : bench::median(errors), bound, target);
}

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Zumbal's engine on a virtual clock, buffer after buffer as the JACK
// client drives it, following `source`: `cycle(at)` hands the source what
// the cycle from `at` brings, before the buffer is rendered. The kicks on
// the engine's frames.
class KickSink final : public MidiSink {
public:
    explicit KickSink(int note) : m_note(note) {}
    void note(int frame, const uint8_t* bytes, int) override {
        if (bytes[0] == 0x99 && bytes[1] == m_note && bytes[2] > 0)
            kicks.push_back(at + frame);
    }
    void clock(int, uint8_t) override {}
    int64_t at = 0;
    std::vector<int64_t> kicks;

private:
    int m_note;
};
class NoNotes final : public NoteOutput {
public:
    void playNote(int, int, int) override {}
    void setInstrument(int, int) override {}
};
template <class Cycle>
std::vector<int64_t> playVirtual(sync::BeatSource& source, int64_t frames, Cycle&& cycle) {
    auto g = std::make_unique<globali>();
    bench::setKickLoop(*g);
    NoNotes out;
    SeededRandom random{1};
    PlaybackEngine engine(*g, out, random, kRate);
    engine.follow(&source);
    KickSink sink(g->edfiv[0][0]);
    for (; sink.at < frames; sink.at += kPeriod) {
        cycle(sink.at);
        engine.process(
            kPeriod, [](int, int) {}, &sink);
    }
    return sink.kicks;
}

// The drift rows of a virtual run: the last stroke's error, the mean error
// of the last minute's (which a jitter leaves at 0 but a drift does not),
// and the worst one's from `from` on.
void addDrift(Table& t, double bpm, double minutes, const std::vector<double>& ideal,
              const std::vector<int64_t>& played, double from, double bound, const char* target) {
    const bench::Judged judged = bench::judge(ideal, played);
    const double lastMinute = ideal.empty() ? 0 : ideal.back() - 60.0 * kRate;
    double sum = 0;
    int count = 0;
    for (size_t i = 0; i < ideal.size(); ++i)
        if (ideal[i] > lastMinute) {
            sum += judged.errors[i];
            ++count;
        }
    char what[64];
    std::snprintf(what, sizeof what, "drift after %.0f min at %.0f BPM (virtual)", minutes, bpm);
    t.add(what, "frames", judged.errors.empty() ? kNever : judged.errors.back(), bound, target);
    std::snprintf(what, sizeof what, "  mean of the %.0f BPM run's last minute", bpm);
    t.add(what, "frames", count ? sum / count : kNever, bound, target);
    std::snprintf(what, sizeof what, "  worst stroke of the %.0f BPM run", bpm);
    t.add(what, "frames", worstOf(bench::errorsIn(ideal, judged, from, kNever)), bound, target);
}

// ---- JACK transport ------------------------------------------------------

// 120 BPM up to 4 s, then 140; a locate to 20.8 s once the transport is
// at 7 s; 3 s more.
const test::TempoChange kTransportTempo{120, 4 * kRate, 140, 4, 1920, kRate};
constexpr int64_t kLocateAt = 7 * kRate, kLocateTo = 1000077;
constexpr double kAfterLocate = 3;

bool waitForTransport(const test::TimebaseMaster& master, int64_t frame) {
    for (int i = 0; i < 10000; ++i) {
        if (static_cast<int64_t>(jack_get_current_transport_frame(master.client())) >= frame)
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

Take transportTake(bench::SyncRig& rig, Table& t) {
    const uint64_t xruns = rig.xruns();
    test::TimebaseMaster master(kTransportTempo);
    test::JackMidiCapture capture(1, 20000);
    bench::StatusProbe probe(*rig.sound->syncStatus(), 8000);
    if (!master.ready() || !capture.connect("Zumbal:midi_out", 0) ||
        !probe.connectAfter("Zumbal:clock_out"))
        return Take::Failed;
    jack_transport_stop(master.client());
    jack_transport_locate(master.client(), 0);
    std::this_thread::sleep_for(300ms);
    jack_transport_start(master.client());
    if (!waitForTransport(master, kLocateAt))
        return Take::Failed;
    jack_transport_locate(master.client(), kLocateTo);
    sleepFor(kAfterLocate);
    jack_transport_stop(master.client());
    std::this_thread::sleep_for(200ms);
    if (rig.xruns() != xruns)
        return Take::Xrun;

    const std::vector<bench::Rolled> runs = bench::rolled(master.cycles(), kPeriod);
    if (runs.size() != 2) {
        std::fprintf(stderr, "sync_timing: the transport rolled in %zu runs, not 2\n", runs.size());
        return Take::Failed;
    }
    const std::vector<double> ideal = bench::idealStrokes(kTransportTempo, runs);
    const bench::Judged judged = bench::judge(ideal, bench::kicks(capture.events(), rig.kick()));
    const auto start = static_cast<double>(runs[0].from);
    const auto step = static_cast<double>(kTransportTempo.changeFrame - runs[0].offset);
    const auto locate = static_cast<double>(runs[1].from);
    const bench::Stretch atStart = bench::stretch(ideal, judged, start, step, kNearest);
    const bench::Stretch atStep = bench::stretch(ideal, judged, step, locate, kNearest);
    const bench::Stretch atLocate = bench::stretch(ideal, judged, locate, kNever, kNearest);
    addErrors(t, "every stroke", bench::errorsIn(ideal, judged, start, kNever), kNearest,
              "0 (the nearest frame to the ideal)");

    double tempoError = 0;
    for (const bench::StatusProbe::Cycle& c : probe.cycles())
        if (c.rolling)
            tempoError = std::max(tempoError, std::fabs(c.quartersPerMinute - c.transportBpm));
    t.add("worst tempo error while rolling", "BPM", tempoError, 1e-9, "0");
    const char* rightAway = "0: right from the next cycle";
    t.add("lock after the start", "ms", atStart.lockFrames / kMs, 0, "0: from the first stroke");
    t.add("lock after the step 120 -> 140", "ms", atStep.lockFrames / kMs, 0, rightAway);
    t.add("lock after a locate while rolling", "ms", atLocate.lockFrames / kMs, 0, rightAway);
    t.add("strokes played twice or off the beat", "", static_cast<double>(judged.extra), 0, "0");
    return Take::Done;
}

// Ten minutes of a rolling transport at `bpm` under a timebase master.
void transportDrift(Table& t, double bpm, double minutes) {
    const test::TempoChange tempo{bpm, 0, bpm, 4, 1920, kRate};
    sync::JackTransportFollower follower;
    const auto frames = static_cast<int64_t>(minutes * 60 * kRate);
    const std::vector<int64_t> played = playVirtual(follower, frames, [&](int64_t at) {
        jack_position_t position{};
        position.frame = static_cast<jack_nframes_t>(at);
        position.frame_rate = kRate;
        tempo.writeBbt(position);
        follower.cycle(JackTransportRolling, position);
    });
    std::vector<double> ideal;
    for (int64_t k = 0; tempo.frameAt(static_cast<double>(k) / 4) < frames - kPeriod; ++k)
        ideal.push_back(tempo.frameAt(static_cast<double>(k) / 4));
    addDrift(t, bpm, minutes, ideal, played, 0, kNearest, "0");
}

void jackTransport(bench::SyncRig* rig, int n, double minutes) {
    Table t("JACK transport: a timebase master at 120 BPM, 140 from 4 s, a locate while "
            "rolling at 7 s");
    if (!rig)
        t.note("real-time takes: needs jackd");
    else if (!rig->sound->follow(sync::Source::JackTransport) ||
             !takes(t, "real-time takes", n, [&](int) { return transportTake(*rig, t); }))
        t.note("real-time takes: could not be made");
    for (const double bpm : {120.0, 140.0})
        transportDrift(t, bpm, minutes);
    t.print();
}

// ---- MIDI clock ----------------------------------------------------------

double framesPerClock(double bpm) {
    return kRate * 60.0 / (bpm * 24);
}

double framesPerBar(double bpm) {
    return 96 * framesPerClock(bpm);
}

// A take of a clock master: Start, `bars` bars at 120 BPM, with `step` as
// many again at 140, Stop. Every clock's ideal frame since Start, every
// stroke's (each 6th clock's), the kicks judged against them, and Zumbal's
// status in each cycle.
struct ClockRun {
    std::vector<double> clocks, ideal;
    double step = kNever; // the frame from which the clocks go at 140
    bench::Judged judged;
    std::vector<bench::StatusProbe::Cycle> cycles;
};

Take clockRun(bench::SyncRig& rig, const test::ClockSenderOptions& options, int bars, bool step,
              ClockRun& run) {
    const uint64_t xruns = rig.xruns();
    test::JackClockSender sender(framesPerClock(120), options);
    test::JackMidiCapture capture(1, 20000);
    bench::StatusProbe probe(*rig.sound->syncStatus(), 8000);
    if (!sender.connect("Zumbal:midi_in") || !capture.connect("Zumbal:midi_out", 0) ||
        !probe.connectAfter("Zumbal:clock_out"))
        return Take::Failed;
    // Without clocks before Start, the last take's count as lost by now and
    // the loop starts anew; with them, it has locked on them (after 88 at
    // most, however they jitter).
    std::this_thread::sleep_for(options.clockWhileStopped ? 2500ms : 700ms);
    sender.start();
    sleepFor(bars * 4 * 60 / 120.0);
    if (step) {
        sender.setFramesPerClock(framesPerClock(140));
        sleepFor(bars * 4 * 60 / 140.0);
    }
    sender.stop();
    std::this_thread::sleep_for(300ms);
    if (rig.xruns() != xruns)
        return Take::Xrun;
    run.clocks = sender.idealSinceStart();
    if (run.clocks.size() < static_cast<size_t>(96 * bars) || (step && sender.stepClock() < 0))
        return Take::Failed;
    if (step)
        run.step = run.clocks[static_cast<size_t>(sender.stepClock())];
    for (size_t i = 0; i < run.clocks.size(); i += 6)
        run.ideal.push_back(run.clocks[i]);
    run.judged = bench::judge(run.ideal, bench::kicks(capture.events(), rig.kick()));
    run.cycles = probe.cycles();
    return Take::Done;
}

// From a bar after Start to the step, and from two bars after the step on,
// where the targets want every stroke and the tempo right.
Take clockTake(bench::SyncRig& rig, Table& t, double jitterMs, unsigned seed) {
    ClockRun run;
    if (const Take take = clockRun(rig, {jitterMs * kMs, seed, false}, 4, true, run);
        take != Take::Done)
        return take;
    const std::vector<double>& ideal = run.ideal;
    const double start = run.clocks.front(), end = run.clocks.back() + 1;
    const double settled = start + framesPerBar(120), resettled = run.step + 2 * framesPerBar(140);
    std::vector<double> errors = bench::errorsIn(ideal, run.judged, settled, run.step);
    const std::vector<double> after = bench::errorsIn(ideal, run.judged, resettled, end);
    errors.insert(errors.end(), after.begin(), after.end());
    const char* which = "once settled";
    if (jitterMs > 0)
        addErrors(t, which, errors, kHalfMs, "within 0.5 ms");
    else
        addErrors(t, which, errors, kNearest, "0 (the nearest frame to the clock's)");

    // The tempo, against the one the clocks go at; and the last cycle after
    // the step that is more than 0.1 BPM off it.
    double tempoError = 0, tempoOff = run.step;
    for (const bench::StatusProbe::Cycle& c : run.cycles) {
        const auto frame = static_cast<double>(c.frame);
        const double error = std::fabs(c.quartersPerMinute - (frame < run.step ? 120 : 140));
        if ((frame >= settled && frame < run.step) || (frame >= resettled && frame < end))
            tempoError = std::max(tempoError, error);
        if (frame >= run.step && frame < end && error > 0.1)
            tempoOff = frame + kPeriod;
    }
    t.add("worst tempo error once settled", "BPM", tempoError, 0.1, "within 0.1 BPM");
    const bench::Stretch atStart = bench::stretch(ideal, run.judged, start, run.step, kHalfMs);
    const bench::Stretch atStep = bench::stretch(ideal, run.judged, run.step, end, kHalfMs);
    t.add("lock to 0.5 ms after Start", "bars", atStart.lockFrames / framesPerBar(120), 1,
          "within 1 bar");
    t.add("lock to 0.5 ms after the step 120 -> 140", "bars", atStep.lockFrames / framesPerBar(140),
          2, "within 2 bars");
    if (jitterMs == 0) {
        const double exact = bench::stretch(ideal, run.judged, run.step, end, kNearest).lockFrames;
        t.add("lock to the nearest frame after the step", "bars", exact / framesPerBar(140), 2,
              "within 2 bars");
    }
    t.add("tempo within 0.1 BPM after the step", "bars", (tempoOff - run.step) / framesPerBar(140),
          2, "within 2 bars");
    t.add("strokes played twice or off every clock", "", static_cast<double>(run.judged.extra), 0,
          "0");
    return Take::Done;
}

// Clocks that ran before Start: the loop is locked when Start comes, and
// stroke 1 is due on the first clock after it.
Take warmTake(bench::SyncRig& rig, Table& t, double jitterMs, unsigned seed) {
    ClockRun run;
    if (const Take take = clockRun(rig, {jitterMs * kMs, seed, true}, 2, false, run);
        take != Take::Done)
        return take;
    const bench::Stretch s =
        bench::stretch(run.ideal, run.judged, run.clocks.front(), kNever, kHalfMs);
    t.add("lock after Start, clocks running before it", "bars", s.lockFrames / framesPerBar(120), 0,
          "0: stroke 1 on the first clock after Start");
    return Take::Done;
}

// Start and ten minutes of clocks at `bpm`, on a virtual clock: the
// messages of each cycle received, on their frames, before it is rendered,
// as the JACK client receives them.
void clockDrift(Table& t, double bpm, double jitterMs, unsigned seed, double minutes) {
    test::ClockSender sender(kRate, bpm, jitterMs, seed);
    sender.pause(0.1).send({0xFA}).clocks(static_cast<int>(minutes * bpm * 24));
    sync::MidiClockSource source;
    auto next = sender.messages.begin();
    const int64_t frames = sender.messages.back().frame + 1;
    const std::vector<int64_t> played = playVirtual(source, frames, [&](int64_t at) {
        for (; next != sender.messages.end() && next->frame < at + kPeriod; ++next)
            source.received(next->bytes.data(), next->bytes.size(), next->frame);
    });
    std::vector<double> ideal;
    for (const auto& [position, frame] : sender.ideal)
        if (position % 6 == 0 && frame < static_cast<double>(frames - kPeriod))
            ideal.push_back(frame);
    const double settled = ideal.front() + framesPerBar(bpm);
    if (jitterMs > 0)
        addDrift(t, bpm, minutes, ideal, played, settled, kHalfMs, "0 (within the 0.5 ms)");
    else
        addDrift(t, bpm, minutes, ideal, played, settled, kNearest, "0");
}

void midiClock(bench::SyncRig* rig, int n, double minutes) {
    for (const double jitterMs : {0.0, 1.0}) {
        Table t(jitterMs > 0 ? "MIDI clock on midi_in, each clock sent up to 1 ms off its frame "
                               "(uniform, seeded), 120 BPM then 140"
                             : "MIDI clock on midi_in, every clock on its frame, 120 BPM then 140");
        const auto seed = [](int take) { return static_cast<unsigned>(take + 1); };
        t.note("settled: from a bar after Start to the step, and from 2 bars after the step on");
        if (!rig)
            t.note("real-time takes: needs jackd");
        else if (!rig->sound->follow(sync::Source::MidiClock) ||
                 !takes(t, "clocks from Start on", n,
                        [&](int k) { return clockTake(*rig, t, jitterMs, seed(k)); }) ||
                 !takes(t, "clocks before Start", n,
                        [&](int k) { return warmTake(*rig, t, jitterMs, seed(k)); }))
            t.note("real-time takes: could not be made");
        for (const double bpm : {120.0, 140.0})
            for (int take = 0; take < (jitterMs > 0 ? n : 1); ++take)
                clockDrift(t, bpm, jitterMs, seed(take), minutes);
        t.print();
    }
}

// ---- Ableton Link --------------------------------------------------------

// Zumbal's tempo when it joins; it asks the session for no other.
constexpr int kLinkOwnTempo = 120;
constexpr double kLinkTargetUs = 1000; // the Link test's millisecond

// Polls Zumbal's session as the window does, every 20 ms, until `done`
// holds or `seconds` have gone by.
template <class Done> bool pollUntil(bench::SyncRig& rig, double seconds, Done&& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        rig.sound->pollSync(kLinkOwnTempo, false, false, false);
        std::this_thread::sleep_for(20ms);
    }
    return done();
}
void pollFor(bench::SyncRig& rig, double seconds) {
    pollUntil(rig, seconds, [] { return false; });
}

void setTempo(ableton::Link& peer, double bpm) {
    auto state = peer.captureAppSessionState();
    state.setTempo(bpm, peer.clock().micros());
    peer.commitAppSessionState(state);
}

// Zumbal's Play with the other peer leading at 120 BPM, which steps to 140
// 4 s later; 4 s more, then Stop. Each kick heard (its frame's time, plus
// the output's latency) against the session's stroke at that time, on the
// server's clock in microseconds.
Take linkTake(bench::SyncRig& rig, ableton::Link& other, Table& t) {
    const sync::SyncStatus& status = *rig.sound->syncStatus();
    setTempo(other, 120);
    rig.sound->engine().stop();
    if (!pollUntil(rig, 10, [&] { return std::fabs(status.quartersPerMinute() - 120) < 1e-3; }))
        return Take::Failed;
    // Link prefers a peer's own changes for a second.
    pollFor(rig, 1.5);
    const uint64_t xruns = rig.xruns();
    test::JackMidiCapture capture(1, 20000);
    bench::StatusProbe probe(status, 8000);
    if (!capture.connect("Zumbal:midi_out", 0) || !probe.connectAfter("Zumbal:clock_out"))
        return Take::Failed;
    pollFor(rig, 0.2);
    const auto startUs = static_cast<double>(other.clock().micros().count());
    rig.sound->engine().start();
    pollFor(rig, 4);
    const auto before = other.captureAppSessionState();
    const auto stepUs = static_cast<double>(other.clock().micros().count());
    setTempo(other, 140);
    const auto after = other.captureAppSessionState();
    pollFor(rig, 4);
    const auto stopUs = static_cast<double>(other.clock().micros().count());
    rig.sound->engine().stop();
    pollFor(rig, 0.3);
    if (rig.xruns() != xruns)
        return Take::Xrun;

    // A stroke is heard the latency after its frame's time; Link's clock
    // against the server's, whichever each keeps.
    const double latencyUs = rig.sound->audioStats().latencyMs * 1000;
    const double shift = static_cast<double>(other.clock().micros().count() -
                                             static_cast<int64_t>(jack_get_time())) +
                         latencyUs;
    const double stepBeat = after.beatAtTime(std::chrono::microseconds(std::llround(stepUs)), 4);
    const auto timeOf = [&](double beat) {
        return static_cast<double>((beat < stepBeat ? before : after).timeAtBeat(beat, 4).count());
    };
    // Stroke 1 on the session's next bar after the buffer that takes Play is heard.
    const auto playHeard =
        std::chrono::microseconds(std::llround(startUs + latencyUs + kPeriod / kMs * 1000));
    const double first = std::ceil(before.beatAtTime(playHeard, 4) / 4) * 4;
    const double end = stopUs - 50'000;
    std::vector<double> ideal;
    for (double beat = first; timeOf(beat) < end; beat += 0.25)
        ideal.push_back(timeOf(beat) - shift);
    std::vector<int64_t> played = bench::kicks(capture.events(), rig.kick(), true);
    std::erase_if(played, [&](int64_t us) { return static_cast<double>(us) >= end - shift; });
    const bench::Judged judged = bench::judge(ideal, played);
    const double step = stepUs - shift;
    const bench::Stretch atStart =
        bench::stretch(ideal, judged, ideal.front(), step, kLinkTargetUs);
    const bench::Stretch atStep = bench::stretch(ideal, judged, step, kNever, kLinkTargetUs);
    const auto inMs = [](std::vector<double> us) {
        for (double& v : us)
            v /= 1000;
        return us;
    };
    const std::vector<double> every = inMs(bench::errorsIn(ideal, judged, ideal.front(), kNever));
    t.add("worst stroke error, every stroke", "ms", worstOf(every), NAN, "");
    std::vector<double> locked = inMs(atStart.errors), relocked = inMs(atStep.errors);
    locked.insert(locked.end(), relocked.begin(), relocked.end());
    t.add("worst stroke error from each lock on", "ms", worstOf(locked), 1, "within 1 ms");
    t.add("median stroke error from each lock on", "ms",
          locked.empty() ? kNever : bench::median(locked), 1, "within 1 ms");

    // The other's step reaches Zumbal a network hop later, which the row
    // after the step gives: the tempo error counts from its arrival on.
    double tempoHeard = kNever;
    for (const bench::StatusProbe::Cycle& c : probe.cycles()) {
        const auto us = static_cast<double>(c.usecs);
        if (us >= step && std::fabs(c.quartersPerMinute - 140) <= 0.1) {
            tempoHeard = us;
            break;
        }
    }
    double tempoError = 0, tempoOff = step;
    for (const bench::StatusProbe::Cycle& c : probe.cycles()) {
        const auto us = static_cast<double>(c.usecs);
        const double error = std::fabs(c.quartersPerMinute - (us < step ? 120 : 140));
        if ((us >= atStart.lockedAt && us < step) ||
            (us >= std::max(atStep.lockedAt, tempoHeard) && us < end - shift))
            tempoError = std::max(tempoError, error);
        if (us >= step && us < end - shift && error > 0.1)
            tempoOff = us;
    }
    t.add("worst tempo error from each lock on", "BPM", tempoError, 0.1, "within 0.1 BPM");
    t.add("lock after Play", "ms", atStart.lockFrames / 1000, 0,
          "0: stroke 1 on the session's next bar");
    t.add("lock after the other's step 120 -> 140", "ms", atStep.lockFrames / 1000, NAN, "");
    t.add("tempo within 0.1 BPM after the step", "ms", (tempoOff - step) / 1000, NAN, "");
    t.add("strokes played twice or off the session's", "", static_cast<double>(judged.extra), 0,
          "0");
    return Take::Done;
}

// Ten minutes of a session of Zumbal's own at `bpm` on a virtual clock, the
// engine following it buffer by buffer, each buffer heard a fixed latency
// after its time; the kicks against a grid laid from the first one at the
// session's tempo. Link's threads are given a moment of real time to take
// the session's first state in, which the virtual clock would outrun.
void linkDrift(Table& t, double bpm, double minutes) {
    constexpr int64_t kLinkOrigin = 1'000'000'000'000, kMonotonicOrigin = 2'000'000'000'000;
    constexpr int64_t kLatencyNs = 5'333'333;
    test::FakeClocks::link = kLinkOrigin;
    test::FakeClocks::monotonic = kMonotonicOrigin;
    sync::BasicLinkSession<test::FakeClocks> session(bpm);
    session.setQuantum(4);
    session.enable(true);
    sync::LinkSource source(session);
    source.requestRolling(true);
    const auto frames = static_cast<int64_t>(minutes * 60 * kRate);
    const std::vector<int64_t> played = playVirtual(source, frames, [&](int64_t at) {
        const int64_t ns = at * 1'000'000'000 / kRate;
        test::FakeClocks::link = kLinkOrigin + ns;
        test::FakeClocks::monotonic = kMonotonicOrigin + ns;
        source.heardAt(kMonotonicOrigin + ns + kLatencyNs);
        if (at == 10 * kPeriod)
            sleepFor(0.3);
        if (at % (10 * kPeriod) == 0)
            session.poll();
    });
    session.enable(false);
    std::vector<double> ideal;
    // Link counts the beat in whole microseconds: 140 BPM is 428,571 a beat.
    const double length =
        static_cast<double>(ableton::link::Tempo(bpm).microsPerBeat().count()) * kRate / 1e6 / 4;
    // The grid's phase: the first bar's kicks on average, each being on the
    // frame nearest its own ideal one.
    const size_t first = std::min<size_t>(played.size(), 16);
    double phase = 0;
    for (size_t i = 0; i < first; ++i)
        phase += (static_cast<double>(played[i] - played.front()) - i * length) / first;
    const double from = played.empty() ? frames : static_cast<double>(played.front()) + phase;
    for (double frame = from; frame < static_cast<double>(frames - kPeriod); frame += length)
        ideal.push_back(frame);
    // Link's clock counts whole microseconds, a twentieth of a frame each:
    // the heard time and the beat's each round to one.
    constexpr double kLinkNearest = kNearest + 2 * kRate / 1e6;
    addDrift(t, bpm, minutes, ideal, played, ideal.empty() ? 0 : ideal.front(), kLinkNearest,
             "0 (the nearest frame, give or take Link's 2 us)");
}

// A second Link peer of the bench's own leads the session, in a network
// namespace of the bench's own where no other peer joins. The drift runs on
// a virtual clock once the other peer has gone.
void link(bench::SyncRig* rig, bool privateNetwork, int n, double minutes) {
    Table t("Ableton Link: a second peer of the bench's own leads at 120 BPM, then 140; "
            "the kicks as heard against the session's beat");
    if (!rig) {
        t.note("real-time takes: needs jackd");
    } else if (!privateNetwork) {
        t.note("real-time takes: need a private network namespace with its loopback up");
    }
    if (rig && privateNetwork) {
        ableton::Link other(120);
        other.enable(true);
        // Link prefers a session founded more than half a second before another.
        std::this_thread::sleep_for(700ms);
        if (!rig->sound->follow(sync::Source::Link, kLinkOwnTempo, false)) {
            std::printf("\nLink: not yet followable\n");
            return;
        }
        if (!pollUntil(*rig, 10, [&] { return rig->sound->syncStatus()->peers() == 1; }) ||
            !takes(t, "real-time takes", n, [&](int) { return linkTake(*rig, other, t); }))
            t.note("real-time takes: could not be made");
        rig->sound->follow(sync::Source::Internal);
    }
    for (const double bpm : {120.0, 140.0})
        linkDrift(t, bpm, minutes);
    t.print();
}

struct Options {
    int takes = 5;
    double minutes = 10;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--takes" && i + 1 < argc)
            options.takes = std::atoi(argv[++i]);
        else if (arg == "--minutes" && i + 1 < argc)
            options.minutes = std::atof(argv[++i]);
        else
            return std::nullopt;
    }
    if (options.takes < 1 || !(options.minutes > 0))
        return std::nullopt;
    return options;
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    using namespace zumbal;
    const std::optional<Options> options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: sync_timing [--takes N] [--minutes M]\n");
        return 2;
    }
    jack_set_error_function([](const char*) {});
    // Before any thread starts: the Link peers meet only each other.
    const bool privateNetwork = test::enterPrivateNetwork();
    test::LoopbackUp loopback;
    std::unique_ptr<bench::SyncRig> rig;
    if (std::system("command -v jackd >/dev/null 2>&1") == 0) {
        rig = std::make_unique<bench::SyncRig>(kRate, kPeriod);
        if (!rig->ready())
            rig.reset();
    }
    std::printf("Zumbal following a master: a kick on every stroke on midi_out against the "
                "master's ideal frame, %d Hz, periods of %d; real-time takes on a private dummy "
                "JACK server, the drift on a virtual clock. Min, median and max over the takes.\n",
                kRate, kPeriod);
    jackTransport(rig.get(), options->takes, options->minutes);
    midiClock(rig.get(), options->takes, options->minutes);
    link(rig.get(), privateNetwork && loopback.up(), options->takes, options->minutes);
    return 0;
}
