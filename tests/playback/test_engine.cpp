#include "playback/AllocationCounter.h"
#include "playback/EventSoundMixer.h"
#include "playback/PlaybackEngine.h"
#include "support/RecordingOutput.h"
#include "sync/JackTransportFollower.h"
#include "sync/LinkSession.h"
#include "sync/MidiClockFollower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace zumbal {
namespace {

using test::NoteCall;

constexpr int kRate = 44100;

TEST(StrokeTimeline, StrokesNeverDriftAndANewTempoCountsFromTheLastStrokeOrThePress) {
    for (int tempo : {10, 97, 120, 240}) {
        StrokeTimeline timeline(kRate);
        timeline.start(1000, tempo);
        for (int k = 1; k <= 200000; ++k, timeline.strokeDone())
            ASSERT_DOUBLE_EQ(timeline.nextDue(), 1000 + k * (kRate * 15.0 / tempo)) << tempo;
    }
    StrokeTimeline timeline(kRate);
    timeline.start(700, 120);
    timeline.setTempo(240);
    EXPECT_DOUBLE_EQ(timeline.nextDue(), 700 + 2756.25);
    timeline.strokeDone();
    timeline.setTempo(60);
    timeline.setTempo(60); // the same tempo again moves nothing
    EXPECT_DOUBLE_EQ(timeline.nextDue(), 700 + 2756.25 + 11025);
}

// A device at another rate takes over while a stroke waits: the stroke stays
// at its time in seconds, and the strokes after it are as long as ever.
TEST(StrokeTimeline, ANewSampleRateKeepsTheWaitingStrokeInTime) {
    struct Case {
        int from, to;
        double at; // samples since the last stroke at the old rate
    };
    for (const Case& c : {Case{44100, 48000, 2000}, {48000, 96000, 0}, {96000, 44100, 11999.5}}) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        StrokeTimeline timeline(c.from);
        timeline.start(5000, 120);
        timeline.strokeDone();
        const double last = 5000 + c.from / 8.0, position = last + c.at;
        timeline.setSampleRate(c.to, position);
        const double left = (c.from / 8.0 - c.at) / c.from; // seconds until the next stroke
        EXPECT_NEAR(timeline.nextDue(), position + left * c.to, 1e-6);
        timeline.strokeDone();
        EXPECT_NEAR(timeline.nextDue(), position + left * c.to + c.to / 8.0, 1e-6);
    }
}

// The start-up loop, plus a bass drum on every stroke, on an engine driven by
// a virtual clock: every note is recorded with the frames the synth has
// rendered before it, which is the block start where it starts.
struct Engine : ::testing::Test {
    Engine() {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        for (int s = 0; s < kStrokes; ++s)
            g.pp[s] = kHit;
    }
    void run(int64_t frames, int buffer = 512) {
        for (; frames > 0; frames -= buffer) {
            midi.base = engine.now();
            const auto render = [&](int offset, int count) {
                ASSERT_EQ(midi.base + offset, out.stamp);
                out.stamp += count;
                ++renders;
            };
            engine.process(static_cast<int>(std::min<int64_t>(buffer, frames)), render, &midi);
            ASSERT_EQ(out.stamp, engine.now());
        }
    }
    std::vector<int64_t> hits() const {
        std::vector<int64_t> samples;
        for (const NoteCall& c : out.calls)
            if (c.track == 0 && c.velocity > 0)
                samples.push_back(c.sample);
        return samples;
    }

    // The samples of the drum note-ons and of the clock ticks sent on MIDI.
    struct MidiLog final : MidiSink {
        void note(int frame, const uint8_t* bytes, int size) override {
            if (bytes[0] == 0x99 && bytes[1] == kDefaultSounds[0])
                notes.push_back(base + frame);
            if (size == 3)
                messages.push_back({base + frame, bytes[0], bytes[1]});
        }
        void clock(int frame, uint8_t byte) override {
            if (byte == kMidiClock)
                clocks.push_back(base + frame);
        }
        struct Message {
            int64_t sample;
            uint8_t status, note;
        };
        int64_t base = 0;
        std::vector<int64_t> notes, clocks;
        std::vector<Message> messages; // with two data bytes
    };

    globali g;
    test::RecordingOutput out;
    int renders = 0;
    MidiLog midi;
    test::ScriptedRandom random;
    PlaybackEngine engine{g, out, random, kRate};
};

// Nearest block start to an ideal due sample.
int64_t blockOf(double due) {
    return std::llround(due / PlaybackEngine::kBlock) * PlaybackEngine::kBlock;
}

TEST_F(Engine, StopEndsTheBassNoteOnceAndStartRestartsAtStrokeOne) {
    g.pp[kFirstBassCell] = 40;
    engine.start();
    run(kRate * 2 / 3); // strokes 1..5 have played, up to sample 29400
    engine.stop();
    out.calls.clear();
    run(kRate);
    EXPECT_EQ(engine.strokesPlayed(), 5u);
    EXPECT_EQ(out.calls, (std::vector<NoteCall>{{kBassTrack, 40, 0, 29440}})); // the next block

    out.calls.clear();
    const int64_t press = engine.now();
    engine.start();
    run(6000);
    EXPECT_EQ(hits(), std::vector<int64_t>{blockOf(press + 5512.5)});
    EXPECT_EQ(engine.lastStroke(), 1);

    engine.stop();
    run(kRate * 60);
    out.calls.clear();
    g.battito = 1; // running again without a start, on the old run's timeline: no burst
    run(PlaybackEngine::kBlock);
    EXPECT_EQ(hits().size(), 1u);
}

TEST_F(Engine, AFasterTempoPlaysAnOverdueStrokeOnceAndGoesOnFromThere) {
    g.tempo = 10;
    engine.start();
    run(102400); // stroke 1 at 66150; stroke 2 waits until 132300
    g.tempo = 240;
    run(8000);
    const std::vector<int64_t> expected{blockOf(66150), 102400, blockOf(102400 + 2756.25),
                                        blockOf(102400 + 2 * 2756.25)};
    EXPECT_EQ(hits(), expected);
}

// A change queued for the bar line is applied just before a stroke 1 is
// played: the new loop's first notes are that stroke's, on its block, and
// its tempo counts from there. A change queued again before it lands
// replaces the first, which comes back unapplied.
TEST_F(Engine, ABarLineChangeLandsOnTheNextStrokeOne) {
    struct NewNote final : BarLineChange {
        void apply(globali& g, NotePlayer&) override {
            g.edfiv[0][0] = 50;
            g.tempo = 60;
        }
    };
    engine.start();
    run(kRate); // strokes 1..8
    auto first = std::make_unique<NewNote>();
    auto second = std::make_unique<NewNote>();
    EXPECT_EQ(engine.queueAtBarLine(first.get()), nullptr);
    EXPECT_EQ(engine.queueAtBarLine(second.get()), first.get());
    out.calls.clear();
    run(kRate * 2); // strokes 9..16, then stroke 1
    EXPECT_EQ(engine.takeLanded(), second.get());
    std::vector<std::pair<int, int64_t>> notes; // note, block
    for (const NoteCall& c : out.calls)
        if (c.track == 0 && c.velocity > 0)
            notes.emplace_back(c.note, c.sample);
    const double L = kRate * 15.0 / 120;
    ASSERT_GE(notes.size(), 10u);
    for (size_t k = 0; k < notes.size(); ++k) {
        const bool newLoop = k >= 8; // strokes 9..16 are the old loop's
        EXPECT_EQ(notes[k].first, newLoop ? 50 : kDefaultSounds[0]) << k;
        const double due = newLoop ? 16 * L + 2 * L * double(k - 8) : (k + 8) * L; // 60 BPM
        EXPECT_EQ(notes[k].second, blockOf(due + L)) << k; // stroke 1 came at L
    }
    EXPECT_EQ(engine.takeLanded(), nullptr);
}

// A song on the virtual clock, with a GUI beside it that queues the next
// entry as each lands: every entry plays its passes, in its meter, feel and
// tempo, from the block of its bar line on, and the passes are reported
// bar by bar. A fill queued in a bar plays the next bar in the place of
// one pass; then the entry comes back, or the next one lands if the fill
// took the last pass. A stop in a fill leaves the loop it interrupted.
TEST_F(Engine, ASongPlaysEachEntrysPassesAndAFillTakesThePlaceOfOne) {
    struct Loop final : BarLineChange {
        Loop(int note, int tempo, bool threeFour, bool ternary, int passes_)
            : note(note), tempo(tempo), threeFour(threeFour), ternary(ternary) {
            passes = passes_;
            waitsForPasses = true;
        }
        void apply(globali& g, NotePlayer&) override {
            g.edfiv[0][0] = note;
            g.tempo = tempo;
            g.ter_3_4 = threeFour;
            g.ter_ter = ternary;
        }
        int note, tempo;
        bool threeFour, ternary;
    };
    struct Case {
        int fillBar; // the bar of the song the fill plays, -1: none
        bool stopInFill;
        int skipBar = -1; // the bar where the next entry is asked to land at once
    };
    for (const Case c : {Case{-1, false}, {5, false}, {7, false}, {2, true}, {-1, false, 4}}) {
        SCOPED_TRACE(testing::Message() << c.fillBar << " " << c.skipBar);
        g.edfiv[0][0] = kDefaultSounds[0];
        g.tempo = 120;
        g.ter_3_4 = g.ter_ter = false;
        std::vector<Loop> song{{40, 120, false, false, 2},
                               {41, 90, true, false, 1},
                               {42, 150, false, true, 3},
                               {43, 72, true, true, 2}};
        Loop fill{60, 100, false, false, 0};
        // The bars as they should play.
        std::vector<const Loop*> bars, entries;
        std::vector<PlaybackEngine::Passes> passes;
        for (size_t e = 0, p = 1; e < song.size();) {
            bars.push_back(int(bars.size()) == c.fillBar ? &fill : &song[e]);
            entries.push_back(&song[e]);
            passes.push_back({int(p), song[e].passes});
            if (++p > size_t(song[e].passes) || int(bars.size()) == c.skipBar)
                ++e, p = 1;
        }
        std::optional<Loop> skip;
        const int64_t press = engine.now();
        std::vector<double> starts{press + kRate * 15.0 / 120};
        for (const Loop* b : bars)
            starts.push_back(starts.back() +
                             strokesInBar(b->threeFour, b->ternary) * kRate * 15.0 / b->tempo);
        out.calls.clear();
        size_t next = 0;
        ASSERT_EQ(engine.queueAtBarLine(&song[next++]), nullptr);
        engine.start();
        const size_t played = c.stopInFill ? size_t(c.fillBar) + 1 : bars.size();
        for (size_t bar = 0; bar < played; ++bar) {
            while (engine.now() < (starts[bar] + starts[bar + 1]) / 2) {
                run(512);
                if (engine.takeLanded() && next < song.size()) {
                    ASSERT_EQ(engine.queueAtBarLine(&song[next++]), nullptr);
                }
            }
            EXPECT_EQ(engine.passes(), passes[bar]) << bar;
            EXPECT_EQ(engine.fillPlaying(), bars[bar] == &fill) << bar;
            if (int(bar) + 1 == c.fillBar) {
                ASSERT_EQ(engine.queueFill(&fill), nullptr);
            }
            if (int(bar) + 1 == c.skipBar) {
                skip = song[next - 1];
                skip->waitsForPasses = false;
                ASSERT_EQ(engine.queueAtBarLine(&*skip), &song[next - 1]);
            }
        }
        if (c.stopInFill) {
            EXPECT_EQ(engine.takeLandedFill(), &fill);
            engine.stop();
            run(512);
            EXPECT_FALSE(engine.fillPlaying());
            EXPECT_EQ(g.edfiv[0][0], entries[c.fillBar]->note);
            EXPECT_EQ(g.tempo, entries[c.fillBar]->tempo);
            EXPECT_EQ(engine.withdrawBarLineChange(), &song[next - 1]); // never landed
            continue;
        }
        run(int64_t(starts.back()) - engine.now() - 1);
        engine.stop();
        run(512);
        EXPECT_EQ(engine.takeLandedFill(), c.fillBar >= 0 ? &fill : nullptr);
        // Each bar's kicks: its loop's note, on every stroke it plays, the
        // first on the block of its bar line.
        std::vector<std::vector<const NoteCall*>> kicks(bars.size());
        for (const NoteCall& call : out.calls) {
            const auto bar = std::upper_bound(starts.begin(), starts.end(), call.sample + 32.0) -
                             starts.begin() - 1;
            if (call.track == 0 && call.velocity > 0 && bar >= 0 && bar < int(bars.size()))
                kicks[bar].push_back(&call);
        }
        for (size_t bar = 0; bar < bars.size(); ++bar) {
            SCOPED_TRACE(bar);
            ASSERT_EQ(int(kicks[bar].size()),
                      strokesInBar(bars[bar]->threeFour, bars[bar]->ternary));
            EXPECT_EQ(kicks[bar].front()->sample, blockOf(starts[bar]));
            for (const NoteCall* k : kicks[bar])
                EXPECT_EQ(k->note, bars[bar]->note);
        }
    }
}

// Every note-on sent on MIDI gets exactly one note-off, for its own pitch,
// and a drum's comes with that track's next hit or the stop, after which
// nothing is left on: through a preset switched between strokes or at the
// bar line, and through a bass line with rests or switched off.
TEST_F(Engine, EveryMidiNoteOnGetsOneNoteOffOfItsOwnPitch) {
    struct NewPitches final : BarLineChange {
        void apply(globali& g, NotePlayer&) override {
            g.edfiv[0][0] = 62;
            g.pp[kFirstBassCell] = 45;
        }
    };
    enum class Change { BetweenStrokes, AtBarLine, BassOff };
    for (const Change change : {Change::BetweenStrokes, Change::AtBarLine, Change::BassOff}) {
        SCOPED_TRACE(static_cast<int>(change));
        midi = {};
        setDefaultButtonStates(g);
        g.edfiv[0][0] = kDefaultSounds[0];
        g.pp[kFirstBassCell] = 40;
        g.pp[kFirstBassCell + 6] = 43; // still sounding after stroke 8
        engine.start();
        run(kRate); // strokes 1..8
        NewPitches next;
        if (change == Change::BetweenStrokes)
            next.apply(g, engine.players()[kBassTrack]);
        else if (change == Change::AtBarLine)
            engine.queueAtBarLine(&next);
        else
            g.pb[kBassButton] = kSwitchOff;
        run(kRate * 2);
        engine.stop();
        const int64_t kBlock = PlaybackEngine::kBlock;
        const int64_t stopped = (engine.now() + kBlock - 1) / kBlock * kBlock;
        run(1024);
        engine.takeLanded();

        std::map<std::pair<int, int>, int> sounding; // by channel and note
        std::set<int64_t> hits{stopped};
        for (const auto& m : midi.messages)
            if (m.status == 0x99)
                hits.insert(m.sample);
        for (const auto& m : midi.messages) {
            const int kind = m.status & 0xF0;
            int& on = sounding[{m.status & 15, m.note}];
            if (kind == 0x90) {
                EXPECT_EQ(on++, 0) << "note-on at " << m.sample;
            } else if (kind == 0x80) {
                EXPECT_EQ(on--, 1) << "note-off " << int(m.note) << " at " << m.sample;
                EXPECT_TRUE(m.status != 0x89 || hits.count(m.sample)) << m.sample;
            }
        }
        for (const auto& [key, on] : sounding)
            EXPECT_EQ(on, 0) << "left on: channel " << key.first << ", note " << key.second;
    }
}

// The GUI thread starts and stops playback while the audio thread renders
// one frame at a time: a start seen in the middle of a buffer's decisions
// still plays its stroke 1 one stroke after the press, never at once on the
// last run's overdue timeline.
TEST(EngineThreads, EveryStartPlaysStrokeOneAStrokeAfterThePress) {
    constexpr int rate = 4000, tempo = 240;
    constexpr double L = rate * 15.0 / tempo;
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    g.tempo = tempo;
    test::RecordingOutput out;
    test::ScriptedRandom random;
    PlaybackEngine engine(g, out, random, rate);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        while (!done.load(std::memory_order_relaxed))
            engine.process(1, [](int, int) {});
    });
    const auto waitUntil = [](auto&& ready) {
        while (!ready())
            std::this_thread::yield();
    };
    int early = 0;
    for (int run = 0; run < 3000; ++run) {
        const uint32_t played = engine.strokesPlayed();
        const int64_t press = engine.now();
        engine.start();
        waitUntil([&] { return engine.strokesPlayed() != played; });
        early += engine.now() - press < L - PlaybackEngine::kBlock;
        engine.stop();
        // Long enough for the stop to be seen and the old timeline to fall behind.
        const int64_t stopped = engine.now();
        waitUntil([&] { return engine.now() > stopped + 2 * L; });
    }
    done = true;
    audio.join();
    EXPECT_EQ(early, 0);
}

// A tempo change mid-bar moves the clock with the strokes: every stroke still
// falls on a clock, and the clock's spacing is the old tempo's, then the new.
TEST_F(Engine, ATempoChangeMovesTheClockWithTheStrokes) {
    engine.start();
    run(30870); // some five strokes at 120 BPM
    g.tempo = 200;
    run(30870);
    ASSERT_GE(midi.notes.size(), 10u);
    for (int64_t hit : midi.notes)
        EXPECT_TRUE(std::binary_search(midi.clocks.begin(), midi.clocks.end(), hit)) << hit;
    const double slow = kRate * 15.0 / 120 / 6, fast = kRate * 15.0 / 200 / 6;
    // At most one interval bridges the two grids: the first new tick after the last old one.
    size_t atOld = 0, atNew = 0;
    for (size_t i = 1; i < midi.clocks.size(); ++i) {
        const double step = double(midi.clocks[i] - midi.clocks[i - 1]);
        if (atNew == 0 && std::abs(step - slow) <= 1)
            ++atOld;
        else if (std::abs(step - fast) <= 1)
            ++atNew;
    }
    EXPECT_GE(atOld, 20u);
    EXPECT_GE(atNew, 20u);
    EXPECT_GE(atOld + atNew, midi.clocks.size() - 2); // none when the change fell on a tick
}

// The ideal due sample of each stroke played after a press at `press`, with
// stroke 1 one stroke length after it: the grid, plus the swing of the even
// strokes outside the ternary feel.
std::vector<double> swungDues(const globali& g, int64_t press, size_t count) {
    const double L = kRate * 15.0 / g.tempo;
    std::vector<double> dues;
    int stroke = 1;
    for (size_t k = 1; k <= count; ++k, stroke = nextStroke(stroke, g.ter_3_4, g.ter_ter)) {
        const bool swung = !g.ter_ter && stroke % 2 == 0;
        dues.push_back(press + k * L + (swung ? (g.swing - 50) / 50.0 * L : 0.0));
    }
    return dues;
}

// Every stroke lands on the block nearest its due sample, whatever the
// buffer size, swung or not, and the synth renders in as few calls as that
// allows.
TEST_F(Engine, SwingMovesOnlyTheSecondStrokeOfEachPairAndNeverTheGrid) {
    struct Case {
        int tempo, swing;
        bool threeFour, ternary;
        int buffer;
    };
    for (const Case& c : {Case{120, 50, false, false, 64},
                          {97, 58, false, false, 100},
                          {240, 75, false, false, 333},
                          {60, 66, true, false, 1024},
                          {120, 75, false, true, 512},
                          {97, 66, true, true, 333},
                          {10, 58, false, false, 100}}) {
        SCOPED_TRACE(testing::Message()
                     << c.tempo << " BPM, swing " << c.swing << ", 3/4 " << c.threeFour
                     << ", ternary " << c.ternary << ", buffer " << c.buffer);
        out.calls.clear();
        g.battito = 0;
        g.tempo = c.tempo;
        midi = {};
        g.swing = c.swing;
        g.ter_3_4 = c.threeFour;
        g.ter_ter = c.ternary;
        run(3000);
        const int64_t press = engine.now();
        engine.start();
        renders = 0;
        const auto frames = static_cast<int64_t>(41.2 * kRate * 15.0 / c.tempo);
        run(frames, c.buffer);
        const auto h = hits();
        // One render call a buffer, and one more for a stroke's block inside it.
        EXPECT_LE(renders, (frames + c.buffer - 1) / c.buffer + int64_t(h.size()));
        const auto due = swungDues(g, press, h.size());
        ASSERT_GE(h.size(), 40u);
        ASSERT_EQ(midi.notes.size(), h.size());
        for (size_t k = 0; k < h.size(); ++k) {
            ASSERT_EQ(h[k], blockOf(due[k])) << "stroke " << k + 1;
            ASSERT_EQ(midi.notes[k], ScheduledEvents::frameOf(due[k])) << "stroke " << k + 1;
        }
        // The MIDI clock keeps the straight grid from stroke 1 on.
        const int perStroke = c.ternary ? 8 : 6;
        const double tick = kRate * 15.0 / c.tempo / perStroke;
        ASSERT_GE(midi.clocks.size(), 40u * perStroke);
        for (size_t i = 0; i < midi.clocks.size(); ++i)
            ASSERT_EQ(midi.clocks[i], ScheduledEvents::frameOf(press + (perStroke + i) * tick))
                << "tick " << i;
    }
}

// Swing changed while an even stroke waits: the stroke plays once, at its
// new place or at once if that has gone by, and the odd stroke after it
// stays on the grid.
TEST_F(Engine, ASwingChangedWhileAStrokeWaitsNeitherDropsNorDoublesIt) {
    struct Case {
        int from, to;
        int64_t at;            // where the change comes; stroke 2's grid is 11025
        double secondExpected; // where stroke 2 then sounds
    };
    const double L = kRate * 15.0 / 120;
    for (const Case& c : {Case{75, 50, 12288, 12288},
                          {50, 75, 10752, 2 * L + L / 2},
                          {66, 58, 11264, 2 * L + 0.16 * L},
                          {75, 60, 13312, 13312}}) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        out.calls.clear();
        g.battito = 0;
        run(51200 - engine.now() % 512); // buffers of 512 from the press on
        g.swing = c.from;
        const int64_t press = engine.now();
        engine.start();
        run(c.at);
        g.swing = c.to;
        run(static_cast<int64_t>(4.7 * L) - c.at);
        const std::vector<int64_t> expected{blockOf(press + L), blockOf(press + c.secondExpected),
                                            blockOf(press + 3 * L),
                                            blockOf(press + 4 * L + (c.to - 50) / 50.0 * L)};
        EXPECT_EQ(hits(), expected);
    }
}

// Humanize on a seeded source: the same seed plays the same notes; every
// stroke stays within its amount of its swung due sample (to the block) and
// after the stroke before it, and every velocity within its amount of the
// cell's, clamped to MIDI's range.
// A master of the test's own: from each segment's first frame on, its beat
// runs from `quarters` at `qpm` (a locate or a tempo change starts a new
// segment), or stands while it does not roll.
struct ScriptedMaster final : sync::BeatSource {
    struct Segment {
        int64_t from;
        double quarters, qpm;
        bool rolling = true;
    };
    std::vector<Segment> segments;
    sync::SourceBeat at(int64_t frame, int rate, const sync::MasterBeat&) override {
        const Segment* s = &segments.front();
        for (const Segment& t : segments)
            if (t.from <= frame)
                s = &t;
        const double q = s->quarters + (s->rolling ? (frame - s->from) / 60.0 / rate * s->qpm : 0);
        return {s->rolling, true, {q, s->qpm}};
    }
    // The frames nearest stroke `k` (since bar 1) in the segments that play it.
    void framesOf(int64_t k, int perQuarter, int rate, int64_t end,
                  std::vector<int64_t>& out) const {
        for (size_t i = 0; i < segments.size(); ++i) {
            const Segment& s = segments[i];
            const int64_t until = i + 1 < segments.size() ? segments[i + 1].from : end;
            const auto f =
                std::llround(s.from + (double(k) / perQuarter - s.quarters) * 60.0 * rate / s.qpm);
            if (s.rolling && f >= s.from && f < until)
                out.push_back(f);
        }
    }
};

// Following a master, every stroke and MIDI clock goes out on the frame of
// its beat position, 4 strokes a quarter (3 under the ternary feel), the bar
// counted from the master's bar 1: through a start in the middle of a bar,
// a fractional tempo, a tempo change in the middle of a bar, a locate
// forward and back while rolling, and the master's stop.
TEST_F(Engine, FollowingAMasterPutsEveryStrokeOnItsBeat) {
    struct Case {
        bool threeFour, ternary;
        std::vector<ScriptedMaster::Segment> script;
    };
    constexpr int B = 256; // the buffer; the master changes on a cycle's first frame
    const std::vector<Case> cases = {
        {false,
         false,
         {{0, 5.5, 121.4}, {B * 600, 0, 140}, {B * 603, 34, 140}, {B * 1200, 0, 60, false}}},
        {true, false, {{0, 0, 120}, {B * 450, 13.25, 97.3}, {B * 900, 2, 97.3}}},
        {false, true, {{0, 1, 160}, {B * 300, 3.6, 160}, {B * 1200, 3.6, 160, false}}},
        {true, true, {{0, 3.1, 200}, {B * 750, 0.5, 35}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.threeFour << c.ternary);
        g.ter_3_4 = c.threeFour;
        g.ter_ter = c.ternary;
        for (int s = 0; s < kStrokes; ++s) {
            g.pp[cellIndex(0, s + 1)] = s == 0 ? kHit : kRest;
            g.pp[cellIndex(1, s + 1)] = kHit;
        }
        midi = {};
        ScriptedMaster master;
        master.segments = c.script;
        engine.follow(&master);
        const int64_t start = engine.now(), end = start + B * 1500;
        for (auto& s : master.segments)
            s.from += start;
        run(end - start, B);
        engine.follow(nullptr);
        run(B);
        EXPECT_FALSE(engine.playing());

        const int perQuarter = c.ternary ? 3 : 4;
        const int bar = strokesInBar(c.threeFour, c.ternary);
        std::vector<int64_t> strokes, ones, expectedStrokes, expectedOnes;
        for (const auto& m : midi.messages)
            if (m.status == 0x99)
                (m.note == kDefaultSounds[0] ? ones : strokes).push_back(m.sample);
        for (int64_t k = 0; k < 4000; ++k) {
            master.framesOf(k, perQuarter, kRate, end, expectedStrokes);
            if (k % bar == 0)
                master.framesOf(k, perQuarter, kRate, end, expectedOnes);
        }
        std::sort(expectedStrokes.begin(), expectedStrokes.end());
        std::sort(expectedOnes.begin(), expectedOnes.end());
        ASSERT_GE(expectedOnes.size(), 4u);
        EXPECT_EQ(strokes, expectedStrokes);
        EXPECT_EQ(ones, expectedOnes);
        for (const int64_t f : strokes)
            EXPECT_TRUE(std::binary_search(midi.clocks.begin(), midi.clocks.end(), f)) << f;
        EXPECT_EQ(std::adjacent_find(midi.clocks.begin(), midi.clocks.end(),
                                     [](int64_t a, int64_t b) { return b - a < 10; }),
                  midi.clocks.end());
    }
}

// A master that takes Zumbal's own beat when it is first asked and runs on
// from there at Zumbal's tempo, as a Link session of its own does.
struct CarryOnMaster final : sync::BeatSource {
    std::optional<std::pair<int64_t, sync::MasterBeat>> taken;
    sync::SourceBeat at(int64_t frame, int rate, const sync::MasterBeat& own) override {
        if (!taken)
            taken = {frame, own};
        const auto& [from, beat] = *taken;
        return {true,
                true,
                {beat.quarters + (frame - from) / 60.0 / rate * beat.quartersPerMinute,
                 beat.quartersPerMinute}};
    }
};

// Handing a running loop's beat to such a master moves no stroke: the notes
// are the ones Zumbal's own clock plays, after a feel or meter changed in
// the middle of the run too.
TEST_F(Engine, AMasterTakingZumbalsBeatMovesNoStroke) {
    struct Case {
        const char* what;
        bool ternaryLater, threeFourLater;
    };
    for (const Case c : {Case{"as it started", false, false},
                         {"the ternary feel turned on", true, false},
                         {"3/4 turned on", false, true},
                         {"both", true, true}}) {
        SCOPED_TRACE(c.what);
        const auto play = [&](bool handOver) {
            g.ter_3_4 = g.ter_ter = false;
            g.tempo = 100;
            for (int s = 0; s < kStrokes; ++s)
                g.pp[cellIndex(0, s + 1)] = s == 0 ? kHit : kRest;
            midi = {};
            engine.start();
            run(512 * 300);
            g.ter_ter = c.ternaryLater;
            g.ter_3_4 = c.threeFourLater;
            run(512 * 333);
            CarryOnMaster master;
            if (handOver)
                engine.follow(&master);
            run(512 * 600);
            engine.follow(nullptr);
            engine.stop();
            run(512);
            std::vector<int64_t> ones;
            for (const int64_t note : midi.notes)
                ones.push_back(note - midi.notes.front());
            return ones;
        };
        EXPECT_EQ(play(true), play(false));
    }
}

// Following any of the masters, the audio thread neither allocates nor
// frees: the JACK transport read each cycle, MIDI clocks received and
// filtered, and a Link session's state captured and committed.
TEST_F(Engine, NoSourceAllocatesOnTheAudioThread) {
    if (!allocationsCounted())
        GTEST_SKIP() << "this build does not count allocations";
    sync::JackTransportFollower transport;
    sync::MidiClockSource clock;
    const std::unique_ptr<sync::LinkSession> link = sync::makeLinkSession(120);
    sync::LinkSource linkSource(*link);
    link->enable(true);
    linkSource.requestRolling(true);
    struct Case {
        const char* name;
        sync::BeatSource* source;
    };
    for (const Case c :
         {Case{"JACK transport", &transport}, {"MIDI clock", &clock}, {"Link", &linkSource}}) {
        // The recordings grow off the audio thread.
        out.calls.reserve(out.calls.size() + 20000);
        midi.notes.reserve(midi.notes.size() + 5000);
        midi.clocks.reserve(midi.clocks.size() + 20000);
        midi.messages.reserve(midi.messages.size() + 20000);
        engine.follow(c.source);
        const AudioThreadScope audio;
        const AllocationCounts before = audioThreadAllocations();
        jack_position_t position{};
        position.valid = JackPositionBBT;
        position.frame_rate = kRate;
        position.ticks_per_beat = 1920;
        position.beats_per_bar = 4;
        position.beat_type = 4;
        position.beats_per_minute = 120;
        for (int cycle = 0; cycle < 2000; ++cycle) {
            const int64_t at = engine.now();
            const double q = at / double(kRate) * 2;
            position.bar = int(q / 4) + 1;
            position.beat = int(q) % 4 + 1;
            position.tick = int((q - std::floor(q)) * 1920);
            transport.cycle(JackTransportRolling, position);
            if (cycle % 4 == 0) {
                const uint8_t bytes[] = {uint8_t(cycle == 40 ? 0xFA : 0xF8)};
                clock.received(bytes, 1, at);
            }
            run(256, 256);
        }
        const AllocationCounts after = audioThreadAllocations();
        EXPECT_EQ(after.allocations - before.allocations, 0u) << c.name;
        EXPECT_EQ(after.frees - before.frees, 0u) << c.name;
        EXPECT_GT(engine.strokesPlayed(), 0u) << c.name;
    }
    engine.follow(nullptr);
    link->enable(false);
}

TEST(EngineHumanize, StaysWithinItsAmountsInOrderAndRepeatsWithTheSeed) {
    struct Case {
        int tempo, swing, ms, velocity;
    };
    for (const Case& c :
         {Case{240, 75, 10, 20}, {97, 58, 3, 0}, {60, 50, 0, 7}, {120, 66, 10, 20}}) {
        SCOPED_TRACE(testing::Message() << c.tempo << " BPM, swing " << c.swing << ", " << c.ms
                                        << " ms, velocity " << c.velocity);
        const auto play = [&](uint64_t seed) {
            globali g;
            setStartupLoop(g);
            setDefaultButtonStates(g);
            for (int s = 0; s < kStrokes; ++s) {
                g.pp[s] = kHit;
                g.volum[s] = s % 3 == 0 ? 125 : s % 3 == 1 ? 5 : 64;
            }
            g.tempo = c.tempo;
            g.swing = c.swing;
            g.humanizeMs = c.ms;
            g.humanizeVelocity = c.velocity;
            test::RecordingOutput out;
            SeededRandom random(seed);
            PlaybackEngine engine(g, out, random, kRate);
            out.engine = &engine;
            engine.start();
            while (engine.now() < 64.75 * kRate * 15 / c.tempo)
                engine.process(256, [](int, int) {});
            return std::pair{out.calls, swungDues(g, 0, 64)};
        };
        const auto [calls, dues] = play(7);
        EXPECT_EQ(calls, play(7).first);
        EXPECT_NE(calls, play(8).first);
        std::vector<NoteCall> onsets;
        for (const NoteCall& n : calls)
            if (n.track == 0 && n.velocity > 0)
                onsets.push_back(n);
        ASSERT_EQ(onsets.size(), dues.size());
        const double spread = c.ms * kRate / 1000.0 + PlaybackEngine::kBlock / 2.0;
        int moved = 0, louder = 0;
        for (size_t k = 0; k < onsets.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_LE(std::abs(onsets[k].sample - dues[k]), spread);
            if (k > 0) {
                EXPECT_GE(onsets[k].sample, onsets[k - 1].sample);
            }
            const int cell = static_cast<int>(k % kStrokes);
            const int volume = cell % 3 == 0 ? 125 : cell % 3 == 1 ? 5 : 64;
            EXPECT_GE(onsets[k].velocity, std::max(volume - c.velocity, 1));
            EXPECT_LE(onsets[k].velocity, std::min(volume + c.velocity, 127));
            moved += onsets[k].sample != blockOf(dues[k]);
            louder += onsets[k].velocity != volume;
        }
        EXPECT_EQ(moved > 0, c.ms > 0);
        EXPECT_EQ(louder > 0, c.velocity > 0);
    }
}

TEST(EventSoundMixer, MixesQueuedClipsAndFreesFinishedVoices) {
    EventSoundMixer mixer;
    PcmClip clip{{0.5f, 0.5f, 0.5f}, {-0.25f, -0.25f, -0.25f}};
    std::vector<float> left(2, 0.1f), right(2, 0.0f);
    mixer.play(clip);
    mixer.play(clip);
    mixer.mixInto(left.data(), right.data(), 2);
    EXPECT_FLOAT_EQ(left[0], 1.1f);
    EXPECT_FLOAT_EQ(right[1], -0.5f);
    left.assign(2, 0.0f);
    mixer.mixInto(left.data(), right.data(), 2);
    EXPECT_EQ(left, (std::vector<float>{1.0f, 0.0f})); // the last frame of both
    const PcmClip loud{{2.0f}, {2.0f}};
    for (int i = 0; i < EventSoundMixer::kQueue; ++i)
        mixer.play(clip);
    mixer.play(loud); // the queue is full: dropped
    left.assign(2, 0.0f);
    mixer.mixInto(left.data(), right.data(), 1);
    EXPECT_FLOAT_EQ(left[0], 0.5f * EventSoundMixer::kVoices); // the first eight clips
}

} // namespace
} // namespace zumbal
