#include "export/MidiWriter.h"

#include "model/FileTypes.h"
#include "model/SoundingNotes.h"
#include "model/StepVariation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace zumbal {

LoopRecord readLoopForExport(std::string_view text) {
    LoopRecord loop = parseLoop(text);
    if (loop.layout == LoopLayout::Oldest) {
        loop.pb[kBassButton] = kSwitchOff;
        // No bass track in these files; its program is the one the main
        // window gives them, so the program change stays a valid byte.
        loop.edfiv[kBassTrack][0] = 33;
    }
    if (loop.layout != LoopLayout::Current) {
        for (int c = 0; c < kCells; ++c)
            loop.volum[c] = loop.edfiv[c / kStrokes][1];
    }
    return loop;
}

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t dataByte(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 127));
}

void put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(Bytes& out, const char* tag, const Bytes& body) {
    out.insert(out.end(), tag, tag + 4);
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

// A quarter note's length in microseconds: four strokes of 15 / tempo s, or
// under the ternary feel three, exactly as playback times them (to the
// nearest microsecond; a straight tempo keeps its whole-number division).
uint32_t quarterMicros(int tempo, bool ternary) {
    return ternary ? static_cast<uint32_t>(std::lround(45'000'000.0 / tempo))
                   : static_cast<uint32_t>(120.0 / tempo * 500000.0);
}

// A track's events at absolute ticks, each written after the delta from the
// event before it as a variable-length quantity.
class TrackEvents {
public:
    void at(uint32_t tick, std::initializer_list<uint8_t> event) {
        putDelta(tick - m_now);
        m_now = tick;
        m_out.insert(m_out.end(), event);
    }
    Bytes end(uint32_t tick) {
        at(tick, {0xFF, 0x2F, 0x00});
        return std::move(m_out);
    }
    // The tick of the last event written.
    uint32_t now() const { return m_now; }

private:
    void putDelta(uint32_t delta) {
        int shift = 21;
        while (shift > 0 && (delta >> shift) == 0)
            shift -= 7;
        for (; shift > 0; shift -= 7)
            m_out.push_back(static_cast<uint8_t>(0x80 | ((delta >> shift) & 0x7F)));
        m_out.push_back(static_cast<uint8_t>(delta & 0x7F));
    }

    Bytes m_out;
    uint32_t m_now = 0;
};

// The time signature (numerator, the power of 2 of its denominator, MIDI
// clocks a metronome click) and the microseconds a quarter note of a part.
struct Meter {
    uint8_t numerator, denominator, clocks;
    uint32_t micros;

    bool sameSignature(const Meter& other) const {
        return numerator == other.numerator && denominator == other.denominator &&
               clocks == other.clocks;
    }
};

// Where the strokes of a part of the export fall. Its stroke 1 sounds at
// tick `first`: one stroke's length for the first part, so that stroke n of
// a loop's export sounds at n strokes' length, and for each later part, one
// stroke of the part before after that part's last stroke. With swing, the
// second stroke of each pair (strokes 2, 4, 6, ... of the bar) moves to
// `swing` percent of its pair. The ternary feel plays three strokes a beat,
// so it is never swung.
class StrokeTimes {
public:
    StrokeTimes(bool threeFour, bool ternary, int swing, uint32_t first)
        : m_length(ternary ? 64 : 48),
          m_swungOffset(ternary ? m_length : (swing * 2 * m_length + 50) / 100), m_first(first) {
        for (int s = 1; s <= kStrokes; ++s)
            if (isPlayedStroke(s, threeFour, ternary))
                m_walk.push_back(s);
    }

    int length() const { return m_length; }
    const std::vector<int>& walk() const { return m_walk; }
    uint32_t first() const { return m_first; }

    // The straight tick of the `index`th stroke of the walk in pass `pass`.
    uint32_t straight(int pass, size_t index) const {
        return m_first + static_cast<uint32_t>((pass * m_walk.size() + index) * m_length);
    }

    uint32_t swung(int pass, size_t index) const {
        const uint32_t tick = straight(pass, index);
        return m_walk[index] % 2 == 0 ? tick - m_length + m_swungOffset : tick;
    }

private:
    int m_length;
    int m_swungOffset;
    uint32_t m_first;
    std::vector<int> m_walk;
};

// A part as the tracks write it.
struct TimedPart {
    const LoopRecord& loop;
    int passes;
    int transposition;
    StrokeTimes times;
    Meter meter;
    uint8_t program;
    int firstPass; // the export's pass number of the part's first pass, from 1
};

Bytes tempoTrack(const std::vector<TimedPart>& parts) {
    TrackEvents events;
    const Meter* before = nullptr;
    for (const TimedPart& part : parts) {
        const Meter& m = part.meter;
        const uint32_t tick = before ? part.times.first() : 0;
        if (!before || !m.sameSignature(*before))
            events.at(tick, {0xFF, 0x58, 0x04, m.numerator, m.denominator, m.clocks, 0x08});
        if (!before || m.micros != before->micros)
            events.at(tick, {0xFF, 0x51, 0x03, static_cast<uint8_t>(m.micros >> 16),
                             static_cast<uint8_t>(m.micros >> 8), static_cast<uint8_t>(m.micros)});
        before = &m;
    }
    return events.end(events.now());
}

// Writes a note-on of `track`; at velocity 0 it ends the note instead.
void startNote(TrackEvents& events, SoundingNotes& sounding, uint32_t tick, int track,
               uint8_t status, uint8_t note, uint8_t velocity) {
    events.at(tick, {status, note, velocity});
    if (velocity > 0)
        sounding.started(track, note);
    else
        sounding.end(track);
}

// Writes the note-off of the note `track` has sounding, if any.
void endNote(TrackEvents& events, SoundingNotes& sounding, uint32_t tick, int track,
             uint8_t status) {
    if (const SoundingNotes::Note n = sounding.end(track))
        events.at(tick, {status, static_cast<uint8_t>(n.note), 0x40});
}

// What a stroke does to a track's note at a tick.
struct NoteAction {
    enum class Kind : uint8_t {
        Strike,   // a hit: the note struck again, another note ended first
        Restrike, // a ratchet's later strike or a bass note: the note ended, then struck
        Rest,     // the note ended, unless it was struck at this very tick
        End,      // the note ended: the track is off or plays on
        Program,  // the bass program changed to `note`
    };
    uint32_t tick;
    Kind kind;
    int track;
    uint8_t note = 0, velocity = 0;
};

// The actions of one MIDI track, written in the order of their ticks (those
// of one tick in the order they were added). A ratchet or a nudge puts a
// stroke's notes among its neighbours' but never before the stroke before
// it, so what is added from a stroke on falls no earlier than the stroke
// before it: everything before that can be written.
class NoteQueue {
public:
    NoteQueue(TrackEvents& events, uint8_t channel) : m_events(events), m_channel(channel) {
        m_struckAt.fill(kNothing);
    }

    // After the actions added before it at its tick and earlier ones.
    void add(const NoteAction& action) {
        m_pending.insert(
            std::upper_bound(m_pending.begin(), m_pending.end(), action.tick,
                             [](uint32_t tick, const NoteAction& a) { return tick < a.tick; }),
            action);
    }

    void writeBefore(uint32_t tick) {
        auto written = m_pending.begin();
        for (; written != m_pending.end() && written->tick < tick; ++written)
            write(*written);
        m_pending.erase(m_pending.begin(), written);
    }

    void writeAll() { writeBefore(UINT32_MAX); }

    // Ends the note `track` has sounding, at the end of the track.
    void endAt(uint32_t tick, int track) {
        endNote(m_events, m_sounding, tick, track, off());
        m_struckAt[track] = kNothing;
    }

private:
    static constexpr int64_t kNothing = -1;

    uint8_t on() const { return static_cast<uint8_t>(0x90 | m_channel); }
    uint8_t off() const { return static_cast<uint8_t>(0x80 | m_channel); }

    void write(const NoteAction& a) {
        const int t = a.track;
        const bool struckHere = m_struckAt[t] == int64_t{a.tick};
        switch (a.kind) {
        case NoteAction::Kind::Program:
            m_events.at(a.tick, {static_cast<uint8_t>(0xC0 | m_channel), a.note});
            return;
        case NoteAction::Kind::Rest:
            if (struckHere)
                return; // it lasts until the track's next stroke
            [[fallthrough]];
        case NoteAction::Kind::End:
            endAt(a.tick, t);
            return;
        case NoteAction::Kind::Strike:
        case NoteAction::Kind::Restrike:
            break;
        }
        const SoundingNotes::Note n = m_sounding.end(t);
        // A strike on the tick of the one before it, clamped onto it, adds
        // nothing but a note of no length.
        if (n && struckHere && n.note == a.note) {
            m_sounding.started(t, n.note);
            return;
        }
        if (n && (a.kind == NoteAction::Kind::Restrike || n.note != a.note))
            m_events.at(a.tick, {off(), static_cast<uint8_t>(n.note), 0x40});
        startNote(m_events, m_sounding, a.tick, t, on(), a.note, a.velocity);
        m_struckAt[t] = a.velocity > 0 ? int64_t{a.tick} : kNothing;
    }

    TrackEvents& m_events;
    uint8_t m_channel;
    SoundingNotes m_sounding;
    // The tick the note of each track that sounds was struck at.
    std::array<int64_t, kTracks> m_struckAt{};
    std::vector<NoteAction> m_pending;
};

// A stroke among its neighbours: where the stroke before it, it and the
// stroke after it are due, as swung, and a stroke's length in its bar.
struct StrokeSpan {
    uint32_t before, due, next;
    int length;

    // Strike k of a ratchet of n, nudged by `nudge` 24ths of a stroke: k
    // n-ths of the way to the next stroke, to the nearest tick, and never
    // before the stroke before nor after the stroke after.
    uint32_t strike(int k, int n, int nudge) const {
        const double at = due + static_cast<double>(k) * (next - due) / n +
                          static_cast<double>(nudge) * length / kNudgeSteps;
        return static_cast<uint32_t>(std::clamp<int64_t>(std::llround(at), before, next));
    }
};

// Adds the strikes of a step that sounds: the first as `first`, a ratchet's
// later ones each ending the note before them.
void strikeStep(NoteQueue& queue, const StrokeSpan& span, const StepVariation& step, int track,
                NoteAction::Kind first, uint8_t note, uint8_t velocity) {
    for (int k = 0; k < step.ratchet; ++k)
        queue.add({span.strike(k, step.ratchet, step.nudge),
                   k == 0 ? first : NoteAction::Kind::Restrike, track, note, velocity});
}

// Whether a step sounds on pass `pass` of the export: its condition (no fill
// plays in a file) and its chance, drawn as the first run of `seed` draws it.
bool stepSounds(const StepVariation& step, uint64_t seed, int pass, int cell) {
    return conditionHolds(step.condition, pass, false) &&
           chanceHolds(seed, 0, pass, cell, step.chance);
}

// Walks the strokes of every pass of every part in order, each with its
// span, its part and its pass number, writing the queue's actions that no
// later stroke can come before.
template <typename EachPart, typename EachStroke>
void walkStrokes(const std::vector<TimedPart>& parts, NoteQueue& queue, EachPart eachPart,
                 EachStroke eachStroke) {
    uint32_t before =
        parts.front().times.first() - static_cast<uint32_t>(parts.front().times.length());
    for (const TimedPart& part : parts) {
        const StrokeTimes& times = part.times;
        if (!eachPart(part)) {
            before = times.swung(part.passes - 1, times.walk().size() - 1);
            continue;
        }
        for (int r = 0; r < part.passes; ++r) {
            for (size_t i = 0; i < times.walk().size(); ++i) {
                const uint32_t due = times.swung(r, i);
                const uint32_t next =
                    i + 1 < times.walk().size() ? times.swung(r, i + 1) : times.straight(r + 1, 0);
                queue.writeBefore(before);
                eachStroke(part, part.firstPass + r, times.walk()[i],
                           StrokeSpan{before, due, next, times.length()}, times.straight(r, i));
                before = due;
            }
        }
    }
    queue.writeAll();
}

// Each stroke ends the notes of the tracks that rest on it; a note that
// sounds again is struck again, and a track that plays another sound from a
// part on, or is off in it, ends the note the part before left sounding. The
// first track's last note ends one stroke after the last stroke written. A
// step that does not sound on a pass is a rest there.
Bytes drumTrack(const std::vector<TimedPart>& parts, uint64_t seed) {
    TrackEvents events;
    NoteQueue queue(events, 9);
    uint32_t end = parts.front().times.first();
    walkStrokes(
        parts, queue,
        [&](const TimedPart& part) {
            for (int t = 0; t < kDrumTracks; ++t)
                if (!isOn(part.loop.pb[t]))
                    queue.add({part.times.first(), NoteAction::Kind::End, t});
            return true;
        },
        [&](const TimedPart& part, int pass, int s, const StrokeSpan& span, uint32_t straight) {
            const LoopRecord& loop = part.loop;
            for (int t = 0; t < kDrumTracks; ++t) {
                if (!isOn(loop.pb[t]))
                    continue;
                end = straight + static_cast<uint32_t>(span.length);
                const int c = cellIndex(t, s);
                const StepVariation step = inRange(loop.steps[c]);
                if (loop.pp[c] == kHit && stepSounds(step, seed, pass, c))
                    strikeStep(queue, span, step, t, NoteAction::Kind::Strike,
                               dataByte(loop.edfiv[t][0]), dataByte(loop.volum[c]));
                else
                    queue.add({span.due, NoteAction::Kind::Rest, t});
            }
        });
    end = std::max(end, events.now());
    queue.endAt(end, 0);
    return events.end(end);
}

// A bass code moved as transpose() moves the model's: rests and disabled
// strokes stay, and the sum saturates.
int movedBass(int code, int semitones) {
    if (code <= kBassRest)
        return code;
    return static_cast<int>(std::clamp<int64_t>(int64_t{code} + semitones, INT_MIN, INT_MAX));
}

// A bass note lasts until the next one, the end, or a part with the bass off;
// the program is changed where a part plays another.
Bytes bassTrack(const std::vector<TimedPart>& parts, uint64_t seed) {
    TrackEvents events;
    uint8_t program = parts.front().program;
    events.at(0, {0xC8, program});
    NoteQueue queue(events, 8);
    uint32_t end = parts.front().times.first();
    walkStrokes(
        parts, queue,
        [&](const TimedPart& part) {
            if (part.program != program) {
                program = part.program;
                queue.add({part.times.first(), NoteAction::Kind::Program, kBassTrack, program});
            }
            if (isOn(part.loop.pb[kBassButton]))
                return true;
            queue.add({part.times.first(), NoteAction::Kind::End, kBassTrack});
            return false;
        },
        [&](const TimedPart& part, int pass, int s, const StrokeSpan& span, uint32_t straight) {
            const int c = cellIndex(kBassTrack, s);
            end = straight + static_cast<uint32_t>(span.length);
            const int note = movedBass(part.loop.pp[c], part.transposition);
            const StepVariation step = inRange(part.loop.steps[c]);
            if (note > kBassRest && stepSounds(step, seed, pass, c))
                strikeStep(queue, span, step, kBassTrack, NoteAction::Kind::Restrike,
                           dataByte(note), dataByte(part.loop.volum[c]));
        });
    end = std::max(end, events.now());
    queue.endAt(end, kBassTrack);
    return events.end(end);
}

} // namespace

std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats, uint64_t seed) {
    return writeMidiFile({ExportPart{loop, std::clamp(repeats, kMinRepeats, kMaxRepeats), 0}},
                         seed);
}

std::vector<uint8_t> writeMidiFile(const std::vector<ExportPart>& parts, uint64_t seed) {
    std::vector<TimedPart> timed;
    timed.reserve(parts.size());
    uint64_t first = 0;
    int firstPass = 1;
    for (const ExportPart& part : parts) {
        const LoopRecord& loop = part.loop;
        const bool threeFour = isOn(loop.pb[kThreeFourButton]);
        const bool ternary = isOn(loop.pb[kTernaryButton]);
        const int passes = std::clamp(part.passes, kMinRepeats, kMaxRepeats);
        const int tempo = std::clamp(loop.tempo, kMinTempo, kMaxTempo);
        const int length = ternary ? 64 : 48;
        if (timed.empty())
            first = static_cast<uint64_t>(length);
        // The end of the file is one stroke after the last, at most.
        const uint64_t after = first + static_cast<uint64_t>(passes) *
                                           static_cast<uint64_t>(strokesInBar(threeFour, ternary)) *
                                           static_cast<uint64_t>(length);
        if (after > kMaxExportTicks)
            return {};
        // Programs are counted from 1 in the loop; clamped first, so that no
        // number from a file can overflow.
        const uint8_t program = dataByte(std::clamp(loop.edfiv[kBassTrack][0], 0, 128) - 1);
        timed.push_back(
            {loop, passes, part.transposition,
             StrokeTimes(threeFour, ternary, grooveOf(loop).swing, static_cast<uint32_t>(first)),
             Meter{static_cast<uint8_t>(ternary && !threeFour ? 6
                                        : threeFour           ? 3
                                                              : 4),
                   static_cast<uint8_t>(ternary && !threeFour ? 3 : 2),
                   static_cast<uint8_t>(8 * (kTicksPerQuarter / length)),
                   quarterMicros(tempo, ternary)},
             program, firstPass});
        first = after;
        firstPass += passes;
    }
    if (timed.empty())
        return {};

    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, kTicksPerQuarter};
    putChunk(out, "MTrk", tempoTrack(timed));
    putChunk(out, "MTrk", drumTrack(timed, seed));
    putChunk(out, "MTrk", bassTrack(timed, seed));
    return out;
}

std::string exportFileName(std::string_view exportName, std::string_view loopName) {
    const auto allowed = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 &&
               static_cast<unsigned char>(c) < 128;
    };
    const auto keep = [&](std::string_view name) {
        std::string kept;
        for (char c : name)
            if (allowed(c) || c == ' ')
                kept += c;
        return kept;
    };
    std::string name = keep(exportName);
    if (name.find_first_not_of(' ') == std::string::npos)
        name = keep(loopName);
    if (name.find_first_not_of(' ') == std::string::npos)
        name = "loop";
    // Files of the registered MIDI type are known here by their extension.
    return name + std::string(primaryExtension(pAudioMid));
}

} // namespace zumbal
