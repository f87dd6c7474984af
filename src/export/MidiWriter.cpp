#include "export/MidiWriter.h"

#include "model/FileTypes.h"
#include "model/SoundingNotes.h"

#include <algorithm>
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

// Each stroke ends the notes of the tracks that rest on it; a note that
// sounds again is struck again, and a track that plays another sound from a
// part on, or is off in it, ends the note the part before left sounding. The
// first track's last note ends one stroke after the last stroke written.
Bytes drumTrack(const std::vector<TimedPart>& parts) {
    TrackEvents events;
    SoundingNotes sounding;
    uint32_t end = parts.front().times.first();
    for (const TimedPart& part : parts) {
        const LoopRecord& loop = part.loop;
        const StrokeTimes& times = part.times;
        for (int t = 0; t < kDrumTracks; ++t)
            if (!isOn(loop.pb[t]))
                endNote(events, sounding, times.first(), t, 0x89);
        for (int r = 0; r < part.passes; ++r) {
            for (size_t i = 0; i < times.walk().size(); ++i) {
                const int s = times.walk()[i];
                const uint32_t tick = times.swung(r, i);
                for (int t = 0; t < kDrumTracks; ++t) {
                    if (!isOn(loop.pb[t]))
                        continue;
                    end = times.straight(r, i) + static_cast<uint32_t>(times.length());
                    const int c = cellIndex(t, s);
                    if (loop.pp[c] == kHit) {
                        const uint8_t note = dataByte(loop.edfiv[t][0]);
                        if (const SoundingNotes::Note n = sounding.end(t); n && n.note != note)
                            events.at(tick, {0x89, static_cast<uint8_t>(n.note), 0x40});
                        startNote(events, sounding, tick, t, 0x99, note, dataByte(loop.volum[c]));
                    } else {
                        endNote(events, sounding, tick, t, 0x89);
                    }
                }
            }
        }
    }
    end = std::max(end, events.now());
    endNote(events, sounding, end, 0, 0x89);
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
Bytes bassTrack(const std::vector<TimedPart>& parts) {
    TrackEvents events;
    uint8_t program = parts.front().program;
    events.at(0, {0xC8, program});
    SoundingNotes sounding;
    uint32_t end = parts.front().times.first();
    for (const TimedPart& part : parts) {
        const LoopRecord& loop = part.loop;
        const StrokeTimes& times = part.times;
        if (part.program != program) {
            program = part.program;
            events.at(times.first(), {0xC8, program});
        }
        if (!isOn(loop.pb[kBassButton])) {
            endNote(events, sounding, times.first(), kBassTrack, 0x88);
            continue;
        }
        for (int r = 0; r < part.passes; ++r) {
            for (size_t i = 0; i < times.walk().size(); ++i) {
                const int c = cellIndex(kBassTrack, times.walk()[i]);
                const uint32_t tick = times.swung(r, i);
                end = times.straight(r, i) + static_cast<uint32_t>(times.length());
                const int note = movedBass(loop.pp[c], part.transposition);
                if (note > kBassRest) {
                    endNote(events, sounding, tick, kBassTrack, 0x88);
                    startNote(events, sounding, tick, kBassTrack, 0x98, dataByte(note),
                              dataByte(loop.volum[c]));
                }
            }
        }
    }
    end = std::max(end, events.now());
    endNote(events, sounding, end, kBassTrack, 0x88);
    return events.end(end);
}

} // namespace

std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats) {
    return writeMidiFile({ExportPart{loop, std::clamp(repeats, kMinRepeats, kMaxRepeats), 0}});
}

std::vector<uint8_t> writeMidiFile(const std::vector<ExportPart>& parts) {
    std::vector<TimedPart> timed;
    timed.reserve(parts.size());
    uint64_t first = 0;
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
             program});
        first = after;
    }
    if (timed.empty())
        return {};

    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, kTicksPerQuarter};
    putChunk(out, "MTrk", tempoTrack(timed));
    putChunk(out, "MTrk", drumTrack(timed));
    putChunk(out, "MTrk", bassTrack(timed));
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
