#include "export/MidiWriter.h"

#include "model/FileTypes.h"
#include "model/SoundingNotes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
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

Bytes tempoTrack(bool threeFour, bool ternary, int strokeTicks, int tempo) {
    const uint8_t numerator = ternary && !threeFour ? 6 : threeFour ? 3 : 4;
    const uint8_t denominator = ternary && !threeFour ? 3 : 2;
    const auto clocks = static_cast<uint8_t>(8 * (kTicksPerQuarter / strokeTicks));
    const uint32_t micros = quarterMicros(tempo, ternary);
    return {0x00,
            0xFF,
            0x58,
            0x04,
            numerator,
            denominator,
            clocks,
            0x08,
            0x00,
            0xFF,
            0x51,
            0x03,
            static_cast<uint8_t>(micros >> 16),
            static_cast<uint8_t>(micros >> 8),
            static_cast<uint8_t>(micros),
            0x00,
            0xFF,
            0x2F,
            0x00};
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

// Where the strokes of the export fall. Stroke n of the whole export (from 1)
// sounds at n strokes' length; with swing, the second stroke of each pair
// (strokes 2, 4, 6, ... of the bar) moves to `swing` percent of its pair.
// The ternary feel plays three strokes a beat, so it is never swung.
class StrokeTimes {
public:
    StrokeTimes(bool threeFour, bool ternary, int swing)
        : m_length(ternary ? 64 : 48),
          m_swungOffset(ternary ? m_length : (swing * 2 * m_length + 50) / 100) {
        for (int s = 1; s <= kStrokes; ++s)
            if (isPlayedStroke(s, threeFour, ternary))
                m_walk.push_back(s);
    }

    int length() const { return m_length; }
    const std::vector<int>& walk() const { return m_walk; }

    // The straight tick of the `index`th stroke of the walk in pass `pass`.
    uint32_t straight(int pass, size_t index) const {
        return static_cast<uint32_t>((pass * m_walk.size() + index + 1) * m_length);
    }

    uint32_t swung(int pass, size_t index) const {
        const uint32_t tick = straight(pass, index);
        return m_walk[index] % 2 == 0 ? tick - m_length + m_swungOffset : tick;
    }

private:
    int m_length;
    int m_swungOffset;
    std::vector<int> m_walk;
};

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
// sounds again is struck again. The first track's last note ends one stroke
// after the last stroke written.
Bytes drumTrack(const LoopRecord& loop, const StrokeTimes& times, int repeats) {
    TrackEvents events;
    SoundingNotes sounding;
    uint32_t last = 0;
    for (int r = 0; r < repeats; ++r) {
        for (size_t i = 0; i < times.walk().size(); ++i) {
            const int s = times.walk()[i];
            for (int t = 0; t < kDrumTracks; ++t) {
                if (!isOn(loop.pb[t]))
                    continue;
                last = times.straight(r, i);
                const int c = cellIndex(t, s);
                if (loop.pp[c] == kHit) {
                    startNote(events, sounding, times.swung(r, i), t, 0x99,
                              dataByte(loop.edfiv[t][0]), dataByte(loop.volum[c]));
                } else {
                    endNote(events, sounding, times.swung(r, i), t, 0x89);
                }
            }
        }
    }
    const auto end = static_cast<uint32_t>(last + times.length());
    endNote(events, sounding, end, 0, 0x89);
    return events.end(end);
}

Bytes bassTrack(const LoopRecord& loop, const StrokeTimes& times, int repeats) {
    TrackEvents events;
    // Programs are counted from 1 in the loop; clamped first, so that no
    // number from a file can overflow.
    events.at(0, {0xC8, dataByte(std::clamp(loop.edfiv[kBassTrack][0], 0, 128) - 1)});
    SoundingNotes sounding;
    uint32_t last = 0;
    if (isOn(loop.pb[kBassButton])) {
        // A bass note lasts until the next one, or the end.
        for (int r = 0; r < repeats; ++r) {
            for (size_t i = 0; i < times.walk().size(); ++i) {
                const int c = cellIndex(kBassTrack, times.walk()[i]);
                const uint32_t tick = times.swung(r, i);
                last = times.straight(r, i);
                if (loop.pp[c] > kBassRest) {
                    endNote(events, sounding, tick, kBassTrack, 0x88);
                    startNote(events, sounding, tick, kBassTrack, 0x98, dataByte(loop.pp[c]),
                              dataByte(loop.volum[c]));
                }
            }
        }
    }
    const auto end = static_cast<uint32_t>(last + times.length());
    endNote(events, sounding, end, kBassTrack, 0x88);
    return events.end(end);
}

} // namespace

std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats) {
    repeats = std::clamp(repeats, kMinRepeats, kMaxRepeats);
    const bool threeFour = isOn(loop.pb[kThreeFourButton]);
    const bool ternary = isOn(loop.pb[kTernaryButton]);
    const StrokeTimes times(threeFour, ternary, grooveOf(loop).swing);
    const int tempo = std::clamp(loop.tempo, kMinTempo, kMaxTempo);

    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, kTicksPerQuarter};
    putChunk(out, "MTrk", tempoTrack(threeFour, ternary, times.length(), tempo));
    putChunk(out, "MTrk", drumTrack(loop, times, repeats));
    putChunk(out, "MTrk", bassTrack(loop, times, repeats));
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
