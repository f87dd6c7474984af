#include "export/MidiWriter.h"
#include "support/BarRuleTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <tuple>

namespace zumbal {
namespace {

using Bytes = std::vector<uint8_t>;

// The end of a track, `delta` ticks after its last event.
Bytes endAfter(uint32_t delta) {
    Bytes out{uint8_t(delta & 0x7F)};
    while (delta >>= 7)
        out.insert(out.begin(), uint8_t(0x80 | (delta & 0x7F)));
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A track of `events` and its end.
Bytes track(const Bytes& events) {
    return events + endAfter(0);
}

// An event of a track, at its absolute tick.
struct Event {
    uint32_t tick;
    Bytes message;
};

// A track's events, read strictly: deltas as variable-length quantities of
// at most four bytes, a status byte on every event (no running status), data
// bytes below 0x80, and an end of track closing it.
std::vector<Event> events(const Bytes& b) {
    std::vector<Event> out;
    uint32_t tick = 0;
    size_t i = 0;
    while (i < b.size()) {
        uint32_t delta = 0;
        for (int n = 0;; ++n) {
            EXPECT_LT(n, 4) << "delta at " << i;
            delta = delta << 7 | (b.at(i) & 0x7F);
            if (b.at(i++) < 0x80 || n >= 3)
                break;
        }
        tick += delta;
        const uint8_t status = b.at(i);
        EXPECT_GE(status, 0x80) << "running status at " << i;
        const size_t data = status == 0xFF ? 3 + b.at(i + 2) : (status & 0xF0) == 0xC0 ? 2 : 3;
        const Bytes& message =
            out.emplace_back(tick, Bytes(b.begin() + i, b.begin() + i + data)).message;
        for (size_t d = 1; d < data; ++d)
            EXPECT_TRUE(status == 0xFF || message[d] < 0x80) << "data at " << i + d;
        i += data;
        if (message == Bytes{0xFF, 0x2F, 0})
            break;
    }
    EXPECT_EQ(i, b.size());
    EXPECT_TRUE(!out.empty() && out.back().message == (Bytes{0xFF, 0x2F, 0}));
    return out;
}

// The file's three tracks, read strictly: the header, every chunk's declared
// length, and each track's events.
std::vector<Bytes> tracks(const Bytes& f) {
    EXPECT_EQ(Bytes(f.begin(), f.begin() + std::min<size_t>(14, f.size())),
              (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 192}));
    std::vector<Bytes> out;
    size_t pos = 14;
    for (size_t end; pos + 8 <= f.size(); pos = end) {
        EXPECT_EQ(std::string(f.begin() + pos, f.begin() + pos + 4), "MTrk");
        end =
            pos + 8 + (size_t(f[pos + 4]) << 24 | f[pos + 5] << 16 | f[pos + 6] << 8 | f[pos + 7]);
        EXPECT_LE(end, f.size());
        events(out.emplace_back(f.begin() + pos + 8, f.begin() + std::min(end, f.size())));
    }
    EXPECT_EQ(pos, f.size());
    EXPECT_EQ(out.size(), 3u);
    out.resize(3);
    return out;
}

std::vector<Bytes> tracks(const LoopRecord& loop, int repeats) {
    return tracks(writeMidiFile(loop, repeats));
}

// Every track off, every cell a rest, 4/4 at 120 BPM.
LoopRecord silentLoop() {
    LoopRecord loop{.layout = LoopLayout::Current, .tempo = 120};
    loop.pb.fill(kSwitchOff);
    loop.volum.fill(99);
    for (int c = 0; c < kCells; ++c)
        loop.pp[c] = c < kFirstBassCell ? kRest : kBassRest;
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {kDefaultSounds[t], 99};
    return loop;
}

// Each meter's tempo track, and its drum track (one on, no hits) and bass
// track (off). The tempo is taken within 10..240; a ternary quarter is three
// strokes, to the nearest microsecond.
TEST(MidiWriter, MeterAndTempo) {
    // 3/4, ternary, tempo; the time signature (nn dd cc), microseconds a quarter, strokes.
    const std::array<int, 8> cases[] = {
        {0, 0, 120, 4, 2, 0x20, 500000, 16}, {0, 1, 120, 6, 3, 0x18, 375000, 12},
        {1, 0, 120, 3, 2, 0x20, 500000, 12}, {1, 1, 120, 3, 2, 0x18, 375000, 9},
        {0, 1, 100, 6, 3, 0x18, 450000, 12}, {0, 1, 112, 6, 3, 0x18, 401786, 12},
        {1, 1, 0, 3, 2, 0x18, 4500000, 9},   {0, 0, 97, 4, 2, 0x20, 618556, 16},
        {0, 0, 0, 4, 2, 0x20, 6000000, 16},  {0, 0, 1000, 4, 2, 0x20, 250000, 16},
    };
    for (const auto [threeFour, ternary, tempo, nn, dd, cc, micros, strokes] : cases) {
        SCOPED_TRACE(testing::Message() << threeFour << ternary << " " << tempo);
        LoopRecord loop = silentLoop();
        loop.pb[0] = kSwitchOn;
        loop.pb[kThreeFourButton] = threeFour ? kSwitchOn : kSwitchOff;
        loop.pb[kTernaryButton] = ternary ? kSwitchOn : kSwitchOff;
        loop.tempo = tempo;
        const auto t = tracks(loop, 1);
        EXPECT_EQ(t[0],
                  track({0, 0xFF, 0x58, 4, uint8_t(nn), uint8_t(dd), uint8_t(cc), 8, 0, 0xFF, 0x51,
                         3, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)}));
        const uint8_t L = ternary ? 64 : 48;
        EXPECT_EQ(t[1], endAfter((strokes + 1) * L)); // no hits: no note-offs
        EXPECT_EQ(t[2], (Bytes{0, 0xC8, 32} + endAfter(L)));
    }
}

TEST(MidiWriter, DrumAndBassEventsAndRepeats) {
    LoopRecord loop = silentLoop();
    loop.edfiv[kBassTrack][0] = 36;
    auto t = tracks(loop, 5);
    EXPECT_EQ(t[1], endAfter(0x30));
    EXPECT_EQ(t[2], (Bytes{0x00, 0xC8, 35} + endAfter(0x30)));

    loop.pb[0] = loop.pb[kBassButton] = kSwitchOn;
    loop.edfiv[0][0] = 38;
    loop.pp[0] = kHit;
    loop.volum[0] = 77;
    loop.pp[5] = kRandomHit; // written as a rest
    loop.pp[kFirstBassCell] = 36;
    t = tracks(loop, 1);
    // The first rest ends the hit; the bass note lasts until the end.
    EXPECT_EQ(t[1], (Bytes{0x30, 0x99, 38, 77, 0x30, 0x89, 38, 0x40} + endAfter(15 * 48)));
    EXPECT_EQ(t[2], track({0x00, 0xC8, 35, 0x30, 0x98, 36, 99, 0x86, 0x00, 0x88, 36, 0x40}));

    // Two tracks at one stroke: only the first event waits a stroke.
    loop.pb[2] = kSwitchOn;
    loop.pp[32] = kHit;
    EXPECT_EQ(tracks(loop, 1)[1], (Bytes{0x30, 0x99, 38, 77, 0x00, 0x99, 42, 99, 0x30, 0x89, 38,
                                         0x40, 0x00, 0x89, 42, 0x40} +
                                   endAfter(15 * 48)));

    loop.edfiv[0][0] = 300;
    loop.volum[0] = -20;
    loop.pp[kFirstBassCell] = 140; // transposed above 127
    loop.volum[kFirstBassCell] = 1000;
    loop.edfiv[kBassTrack][0] = 0; // a cleared bass field
    t = tracks(loop, 1);
    // A note-on at velocity 0 ends its note itself.
    EXPECT_EQ(t[1], (Bytes{0x30, 0x99, 127, 0, 0x00, 0x99, 42, 99, 0x30, 0x89, 42, 0x40} +
                     endAfter(15 * 48)));
    EXPECT_EQ(t[2], track({0x00, 0xC8, 0, 0x30, 0x98, 127, 127, 0x86, 0x00, 0x88, 127, 0x40}));

    // Hits on every stroke leave no note-off to drop: the track is as it always was.
    LoopRecord full = silentLoop();
    full.pb[0] = kSwitchOn;
    Bytes hits;
    for (int s = 1; s <= kStrokes; ++s) {
        full.pp[cellIndex(0, s)] = kHit;
        hits = hits + Bytes{0x30, 0x99, 36, 99};
    }
    EXPECT_EQ(tracks(full, 1)[1], track(hits + Bytes{0x30, 0x89, 36, 0x40}));
}

// Every note-on of a swung export lies within half a tick of its ideal
// place; every note-off ends a note that sounds, and the tracks keep their
// length.
// A straight swing, the humanize amounts and the ternary feel leave the file
// as it is without a groove.
TEST(MidiWriter, SwungStrokesAtTheirSwingOfThePair) {
    for (const test::BarCase& bar : test::kBarCases) {
        for (const int swing : {50, 58, 66, 75}) {
            SCOPED_TRACE(testing::Message() << bar.threeFour << bar.ternary << " " << swing);
            LoopRecord loop = silentLoop();
            loop.pb[0] = loop.pb[1] = loop.pb[kBassButton] = kSwitchOn;
            loop.pb[kThreeFourButton] = bar.threeFour ? kSwitchOn : kSwitchOff;
            loop.pb[kTernaryButton] = bar.ternary ? kSwitchOn : kSwitchOff;
            for (int s = 1; s <= kStrokes; ++s) {
                loop.pp[cellIndex(0, s)] = kHit;
                loop.pp[cellIndex(1, s)] = s % 3 == 0 ? kHit : kRest;
                loop.pp[cellIndex(kBassTrack, s)] = 40 + s;
            }
            const Bytes straight = writeMidiFile(loop, 3);
            loop.swing = swing;
            loop.humanizeMs = kMaxHumanizeMs;
            loop.humanizeVelocity = kMaxHumanizeVelocity;
            if (swing == kStraight || bar.ternary) {
                EXPECT_EQ(writeMidiFile(loop, 3), straight);
            }

            const double L = bar.ternary ? 64 : 48;
            std::vector<double> ideal;
            for (int pass = 0; pass < 3; ++pass)
                for (size_t i = 0; i < bar.played.size(); ++i) {
                    const double tick = double(size_t(pass) * bar.played.size() + i + 1) * L;
                    const bool swung = !bar.ternary && bar.played[i] % 2 == 0;
                    ideal.push_back(swung ? tick - L + swing / 100.0 * 2 * L : tick);
                }
            const auto t = tracks(loop, 3);
            // Track 0 strikes every stroke, the bass plays a note on each.
            for (const auto& [track, channel, note] :
                 {std::tuple{t[1], 9, 36}, std::tuple{t[2], 8, -1}}) {
                std::set<int> sounding;
                std::vector<uint32_t> ticks;
                const std::vector<Event> all = events(track);
                for (const Event& e : all) {
                    if (e.message[0] == (0x90 | channel)) {
                        sounding.insert(e.message[1]);
                        if (note < 0 || e.message[1] == note)
                            ticks.push_back(e.tick);
                    } else if (e.message[0] == (0x80 | channel)) {
                        EXPECT_EQ(sounding.erase(e.message[1]), 1u) << "note-off at " << e.tick;
                    }
                }
                ASSERT_EQ(ticks.size(), ideal.size());
                for (size_t i = 0; i < ticks.size(); ++i)
                    EXPECT_LE(std::abs(ticks[i] - ideal[i]), 0.5) << "stroke " << i;
                EXPECT_EQ(double(all.back().tick), double(ideal.size() + 1) * L);
            }
        }
    }
}

// A song's parts one after the other, each part's stroke 1 one stroke of
// the part before after its last stroke: the time signature, the tempo and
// the bass program where a part changes them, the bass in each part's key,
// and no note left sounding into a part that has its track off or plays
// another sound on it. Past the ticks a file can hold, nothing is written.
TEST(MidiWriter, PartsFollowOnTheirBarLinesWithTheirMeterTempoAndKey) {
    struct Part {
        bool threeFour, ternary;
        int tempo, passes, program, transposition;
        bool bass, secondTrack;
    };
    // 4/4 at 120, 3/4 at 100 in E, 3/4 ternary at 90 on another program with
    // the bass off, and the same meter and tempo again with the bass on.
    const Part song[] = {{false, false, 120, 2, 34, 0, true, false},
                         {true, false, 100, 1, 34, 4, true, false},
                         {true, true, 90, 1, 40, 0, false, true},
                         {true, true, 90, 1, 40, 0, true, false}};
    std::vector<ExportPart> parts;
    std::vector<uint32_t> first; // each part's stroke 1
    uint32_t tick = 48;          // one stroke of the first part
    for (const Part& p : song) {
        LoopRecord loop = silentLoop();
        loop.pb[kThreeFourButton] = p.threeFour ? kSwitchOn : kSwitchOff;
        loop.pb[kTernaryButton] = p.ternary ? kSwitchOn : kSwitchOff;
        loop.pb[kBassButton] = p.bass ? kSwitchOn : kSwitchOff;
        loop.pb[0] = kSwitchOn;
        loop.pb[1] = p.secondTrack ? kSwitchOn : kSwitchOff;
        loop.tempo = p.tempo;
        loop.edfiv[kBassTrack][0] = p.program;
        loop.edfiv[0][0] = 36 + 2 * int(parts.size()); // another sound in each part
        loop.edfiv[1][0] = 50;
        // Stroke 1 and the bar's last stroke, whose note sounds into the next part.
        const int last = p.threeFour ? (p.ternary ? 11 : 12) : (p.ternary ? 15 : 16);
        loop.pp[cellIndex(0, 1)] = loop.pp[cellIndex(0, last)] = loop.pp[cellIndex(1, last)] = kHit;
        loop.pp[cellIndex(kBassTrack, 1)] = 40;
        parts.push_back({loop, p.passes, p.transposition});
        first.push_back(tick);
        tick += uint32_t(p.passes * strokesInBar(p.threeFour, p.ternary) * (p.ternary ? 64 : 48));
    }
    const uint32_t end = tick;
    const auto t = tracks(writeMidiFile(parts));
    const auto meta = [](uint32_t at, Bytes bytes) { return std::pair(at, bytes); };
    const auto list = [](const Bytes& track) {
        std::vector<std::pair<uint32_t, Bytes>> out;
        for (const Event& e : events(track))
            out.emplace_back(e.tick, e.message);
        return out;
    };
    using List = std::vector<std::pair<uint32_t, Bytes>>;
    // 500000, 600000 and 45000000 / 90 = 500000 microseconds a quarter.
    EXPECT_EQ(
        list(t[0]),
        (List{meta(0, {0xFF, 0x58, 4, 4, 2, 0x20, 8}), meta(0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}),
              meta(first[1], {0xFF, 0x58, 4, 3, 2, 0x20, 8}),
              meta(first[1], {0xFF, 0x51, 3, 0x09, 0x27, 0xC0}),
              meta(first[2], {0xFF, 0x58, 4, 3, 2, 0x18, 8}),
              meta(first[2], {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}), meta(first[2], {0xFF, 0x2F, 0})}));
    EXPECT_EQ(list(t[2]),
              (List{meta(0, {0xC8, 33}), meta(first[0], {0x98, 40, 99}),
                    meta(first[0] + 768, {0x88, 40, 0x40}), meta(first[0] + 768, {0x98, 40, 99}),
                    meta(first[1], {0x88, 40, 0x40}), meta(first[1], {0x98, 44, 99}), // in E
                    meta(first[2], {0xC8, 39}), meta(first[2], {0x88, 44, 0x40}), // the bass off
                    meta(first[3], {0x98, 40, 99}), meta(end, {0x88, 40, 0x40}),
                    meta(end, {0xFF, 0x2F, 0})}));
    // At each part's stroke 1, the last stroke's notes of the part before end.
    List drums;
    for (const auto& e : list(t[1]))
        if (std::find(first.begin() + 1, first.end(), e.first) != first.end() || e.first == end)
            drums.push_back(e);
    EXPECT_EQ(drums, (List{meta(first[1], {0x89, 36, 0x40}), meta(first[1], {0x99, 38, 99}),
                           meta(first[2], {0x89, 38, 0x40}), meta(first[2], {0x99, 40, 99}),
                           meta(first[3], {0x89, 50, 0x40}), meta(first[3], {0x89, 40, 0x40}),
                           meta(first[3], {0x99, 42, 99}), meta(end, {0x89, 42, 0x40}),
                           meta(end, {0xFF, 0x2F, 0})}));

    EXPECT_TRUE(writeMidiFile(std::vector<ExportPart>{}).empty());
    // 4/4 bars of 768 ticks: 349,525 fit in a file, 349,526 do not.
    std::vector<ExportPart> longest(3530, {silentLoop(), 99, 0});
    longest.push_back({silentLoop(), 55, 0});
    EXPECT_FALSE(writeMidiFile(longest).empty());
    longest.back().passes = 56;
    EXPECT_TRUE(writeMidiFile(longest).empty());
}

// The ticks of the note-ons of `note` on `channel` (counted from 0) in a
// track; every note-off of that channel ends a note that sounds.
std::vector<uint32_t> noteOns(const Bytes& track, int channel, int note) {
    std::vector<uint32_t> ticks;
    std::set<int> sounding;
    for (const Event& e : events(track)) {
        if (e.message[0] == (0x90 | channel)) {
            sounding.insert(e.message[1]);
            if (e.message[1] == note)
                ticks.push_back(e.tick);
        } else if (e.message[0] == (0x80 | channel)) {
            EXPECT_EQ(sounding.erase(e.message[1]), 1u) << "note-off at " << e.tick;
        }
    }
    return ticks;
}

// A ratchet strikes evenly up to the next stroke's (swung) tick, a nudge
// moves every strike by 24ths of a 48- or 64-tick stroke, to the nearest
// tick and never past the next stroke; strikes clamped onto one tick are one.
TEST(MidiWriter, RatchetsAndNudgesStrikeAtTheirTicks) {
    struct Case {
        bool ternary;
        int swing, stroke, ratchet, nudge;
        std::vector<uint32_t> ticks;
    };
    const Case cases[] = {
        {false, 50, 1, 2, 0, {48, 72}},
        {false, 50, 1, 3, 0, {48, 64, 80}},
        {false, 50, 1, 4, 0, {48, 60, 72, 84}},
        {false, 50, 1, 1, -12, {24}},
        {false, 50, 1, 1, -1, {46}},
        {false, 50, 1, 1, 5, {58}},
        {false, 50, 1, 1, 12, {72}},
        {false, 50, 1, 4, 12, {72, 84, 96}}, // 108 is clamped onto stroke 2
        {true, 50, 1, 3, 0, {64, 85, 107}},
        {true, 50, 1, 2, -1, {61, 93}},
        {true, 50, 1, 1, 5, {77}},
        {true, 66, 1, 1, 12, {96}},       // the ternary feel is never swung
        {false, 66, 1, 2, 0, {48, 80}},   // stroke 2 swung to 111
        {false, 66, 2, 2, 0, {111, 128}}, // 33 ticks to stroke 3
        {false, 66, 2, 1, -12, {87}},
        {false, 66, 2, 3, 12, {135, 144}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ternary << " " << c.swing << " " << c.stroke << " "
                                        << c.ratchet << " " << c.nudge);
        LoopRecord loop = silentLoop();
        loop.pb[0] = loop.pb[kBassButton] = kSwitchOn;
        loop.pb[kTernaryButton] = c.ternary ? kSwitchOn : kSwitchOff;
        loop.swing = c.swing;
        for (const int cell : {cellIndex(0, c.stroke), cellIndex(kBassTrack, c.stroke)}) {
            loop.pp[cell] = cell < kFirstBassCell ? kHit : 40;
            loop.steps[cell] = {100, kAlways, c.ratchet, c.nudge};
        }
        const auto t = tracks(loop, 1);
        EXPECT_EQ(noteOns(t[1], 9, 36), c.ticks);
        EXPECT_EQ(noteOns(t[2], 8, 40), c.ticks);
    }
    // Each later strike ends the one before. The last, clamped onto stroke 2,
    // lasts until stroke 3 as a note struck there would.
    LoopRecord loop = silentLoop();
    loop.pb[0] = kSwitchOn;
    loop.pp[0] = kHit;
    loop.steps[0] = {100, kAlways, 2, 12};
    EXPECT_EQ(tracks(loop, 1)[1],
              (Bytes{72, 0x99, 36, 99, 24, 0x89, 36, 0x40, 0, 0x99, 36, 99, 48, 0x89, 36, 0x40} +
               endAfter(14 * 48)));
}

// The passes a stroke-1 step sounds on in each track's notes, from pass 1.
std::string passesStruck(const Bytes& track, int channel, int note, uint32_t first, uint32_t bar,
                         int passes) {
    std::string struck(size_t(passes), '0');
    for (const uint32_t tick : noteOns(track, channel, note))
        if ((tick - first) % bar == 0 && (tick - first) / bar < uint32_t(passes))
            struck[(tick - first) / bar] = '1';
    return struck;
}

// No fill plays in a file: "fill" never holds, "not fill" always.
TEST(MidiWriter, ConditionsHoldByPassWithNoFill) {
    const std::pair<int, const char*> cases[] = {
        {cycleCondition(1, 2), "10101010"},
        {cycleCondition(2, 4), "01000100"},
        {kFirstPass, "10000000"},
        {kNotFirstPass, "01111111"},
        {kFillOnly, "00000000"},
        {kNotFill, "11111111"},
    };
    LoopRecord loop = silentLoop();
    for (int t = 0; t < kDrumTracks; ++t) {
        loop.pb[t] = kSwitchOn;
        loop.pp[cellIndex(t, 1)] = kHit;
        loop.steps[cellIndex(t, 1)].condition = cases[t].first;
    }
    const auto t = tracks(loop, 8);
    for (int track = 0; track < kDrumTracks; ++track)
        EXPECT_EQ(passesStruck(t[1], 9, kDefaultSounds[track], 48, 768, 8), cases[track].second)
            << cases[track].first;
}

// Each step's chance is drawn for the seed, the export's first run, the pass
// and the cell: one seed writes the same file every time, another another.
TEST(MidiWriter, ChancesDrawnForTheSeedPassAndCell) {
    LoopRecord loop = silentLoop();
    loop.pb[0] = loop.pb[kBassButton] = kSwitchOn;
    for (int s = 1; s <= kStrokes; ++s)
        for (const int cell : {cellIndex(0, s), cellIndex(kBassTrack, s)}) {
            loop.pp[cell] = cell < kFirstBassCell ? kHit : 40;
            loop.steps[cell].chance = 50;
        }
    for (const uint64_t seed : {1u, 2u}) {
        SCOPED_TRACE(seed);
        const auto t = tracks(writeMidiFile(loop, 8, seed));
        for (const auto& [track, channel, note, row] :
             {std::tuple{t[1], 9, 36, 0}, std::tuple{t[2], 8, 40, int(kBassTrack)}}) {
            std::vector<uint32_t> expected;
            for (int pass = 1; pass <= 8; ++pass)
                for (int s = 1; s <= kStrokes; ++s)
                    if (chanceHolds(seed, 0, pass, cellIndex(row, s), 50))
                        expected.push_back(uint32_t(((pass - 1) * kStrokes + s) * 48));
            EXPECT_EQ(noteOns(track, channel, note), expected);
        }
    }
    EXPECT_EQ(writeMidiFile(loop, 8), writeMidiFile(loop, 8, 1));
    EXPECT_NE(writeMidiFile(loop, 8, 1), writeMidiFile(loop, 8, 2));
}

// A song's passes are numbered on across its parts: the second part's
// three passes are passes 4 to 6.
TEST(MidiWriter, SongPassesCountOnAcrossParts) {
    LoopRecord first = silentLoop();
    first.pb[0] = first.pb[1] = kSwitchOn;
    first.pp[cellIndex(0, 1)] = kHit;
    LoopRecord second = first;
    second.pb[kThreeFourButton] = kSwitchOn;
    second.pp[cellIndex(1, 1)] = kHit;
    second.steps[cellIndex(0, 1)].condition = cycleCondition(2, 4); // pass 6
    second.steps[cellIndex(1, 1)].condition = cycleCondition(1, 3); // pass 4
    const auto t = tracks(writeMidiFile({{first, 3, 0}, {second, 3, 0}}));
    const uint32_t start = 48 + 3 * 768; // the second part's stroke 1
    EXPECT_EQ(noteOns(t[1], 9, 36), (std::vector<uint32_t>{48, 816, 1584, start + 2 * 576}));
    EXPECT_EQ(noteOns(t[1], 9, 38), std::vector<uint32_t>{start});
}

// A loop file may hold any int: the program byte is clamped before the
// program number is made 0-based, so the extremes cannot overflow.
TEST(MidiWriter, BassProgramsFromAnyNumberInTheFile) {
    LoopRecord loop = silentLoop();
    const std::vector<std::pair<int, uint8_t>> cases{
        {INT_MIN, 0}, {-5, 0}, {0, 0}, {1, 0}, {34, 33}, {128, 127}, {129, 127}, {INT_MAX, 127}};
    for (const auto& [program, byte] : cases) {
        loop.edfiv[kBassTrack][0] = program;
        EXPECT_EQ(tracks(loop, 1)[2], (Bytes{0x00, 0xC8, byte} + endAfter(0x30))) << program;
    }
}

TEST(ExportReader, OldFilesHaveNoBassAndTakeTheirTrackVolumes) {
    std::string old = "x drum loop created by Zumbal (Zumbal loop text file format)\n119\n";
    for (int i = 0; i < 16 + 96; ++i)
        old += i < 16 ? "101\n" : i == 16 ? "0\n" : "7\n";
    for (int t = 0; t < 6; ++t)
        old += "36\n" + std::to_string(50 + t) + "\n";
    const LoopRecord loop = readLoopForExport(old + "100\n");
    EXPECT_EQ(loop.pb[kBassButton], kSwitchOff);
    EXPECT_EQ(loop.pp[kFirstBassCell], 0);
    EXPECT_EQ(loop.pp[1], 7); // not normalised
    EXPECT_EQ(loop.volum[16], 51);
    EXPECT_EQ(tracks(loop, 1)[2], (Bytes{0, 0xC8, 32} + endAfter(0x40))); // program 33, ternary
}

// The export reads a loop's groove from its file like the main window.
TEST(ExportReader, ReadsTheGrooveOfAVersion140File) {
    LoopRecord loop = silentLoop();
    loop.pb[0] = kSwitchOn;
    loop.pp[1] = kHit;
    loop.swing = 66;
    EXPECT_EQ(writeMidiFile(readLoopForExport(writeLoop("x", loop)), 2), writeMidiFile(loop, 2));
}

TEST(ExportFileName, TypedNameFilteredElseTheLoopsName) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"My Song", "loop", "My Song.mid"},
        {"../etc/passwd", "loop", "etcpasswd.mid"},
        {"", "Funk Ghosts", "Funk Ghosts.mid"},
        {"   ", "Waltz", "Waltz.mid"},
        {"", "a/b", "ab.mid"},
        {"", "", "loop.mid"},
    };
    for (const auto& [typed, loop, file] : cases)
        EXPECT_EQ(exportFileName(typed, loop), file) << typed << "|" << loop;
}

} // namespace
} // namespace zumbal
