#include "export/MidiWriter.h"

#include "model/FileTypes.h"

#include <algorithm>
#include <array>
#include <cctype>

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

// The strokes of one pattern under the 3/4 and ternary flags.
std::vector<int> strokeWalk(bool threeFour, bool ternary) {
    std::vector<int> strokes;
    for (int s = 1; s <= kStrokes; ++s)
        if (isPlayedStroke(s, threeFour, ternary))
            strokes.push_back(s);
    return strokes;
}

Bytes tempoTrack(bool threeFour, bool ternary, int strokeTicks, int tempo) {
    const uint8_t numerator = ternary && !threeFour ? 6 : threeFour ? 3 : 4;
    const uint8_t denominator = ternary && !threeFour ? 3 : 2;
    const auto clocks = static_cast<uint8_t>(8 * (kTicksPerQuarter / strokeTicks));
    const auto micros = static_cast<uint32_t>(120.0 / tempo * 500000.0);
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

Bytes drumTrack(const LoopRecord& loop, const std::vector<int>& walk, int repeats, uint8_t L) {
    Bytes out;
    std::array<uint8_t, kDrumTracks> last{};
    for (int r = 0; r < repeats; ++r) {
        for (int s : walk) {
            bool first = true;
            for (int t = 0; t < kDrumTracks; ++t) {
                if (!isOn(loop.pb[t]))
                    continue;
                const uint8_t delta = first ? L : 0;
                first = false;
                const int c = cellIndex(t, s);
                if (loop.pp[c] == kHit) {
                    last[t] = dataByte(loop.edfiv[t][0]);
                    out.insert(out.end(), {delta, 0x99, last[t], dataByte(loop.volum[c])});
                } else {
                    out.insert(out.end(), {delta, 0x89, last[t], 0x40});
                }
            }
        }
    }
    out.insert(out.end(), {L, 0x89, last[0], 0x40, 0x00, 0xFF, 0x2F, 0x00});
    return out;
}

Bytes bassTrack(const LoopRecord& loop, const std::vector<int>& walk, int repeats, uint8_t L) {
    // Programs are counted from 1 in the loop; clamped first, so that no
    // number from a file can overflow.
    Bytes out{0x00, 0xC8, dataByte(std::clamp(loop.edfiv[kBassTrack][0], 0, 128) - 1)};
    uint8_t last = 0;
    if (isOn(loop.pb[kBassButton])) {
        for (int r = 0; r < repeats; ++r) {
            for (int s : walk) {
                const int c = cellIndex(kBassTrack, s);
                if (loop.pp[c] > kBassRest) {
                    out.insert(out.end(), {L, 0x88, last, 0x40});
                    last = dataByte(loop.pp[c]);
                    out.insert(out.end(), {0x00, 0x98, last, dataByte(loop.volum[c])});
                } else {
                    out.insert(out.end(), {L, 0x88, 0x00, 0x40});
                }
            }
        }
    }
    out.insert(out.end(), {L, 0x88, last, 0x40, 0x00, 0xFF, 0x2F, 0x00});
    return out;
}

} // namespace

std::vector<uint8_t> writeMidiFile(const LoopRecord& loop, int repeats) {
    repeats = std::clamp(repeats, kMinRepeats, kMaxRepeats);
    const bool threeFour = isOn(loop.pb[kThreeFourButton]);
    const bool ternary = isOn(loop.pb[kTernaryButton]);
    const uint8_t L = ternary ? 64 : 48;
    int tempo = std::clamp(loop.tempo, kMinTempo, kMaxTempo);
    if (ternary)
        tempo = tempo * 4 / 3;
    const std::vector<int> walk = strokeWalk(threeFour, ternary);

    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, kTicksPerQuarter};
    putChunk(out, "MTrk", tempoTrack(threeFour, ternary, L, tempo));
    putChunk(out, "MTrk", drumTrack(loop, walk, repeats, L));
    putChunk(out, "MTrk", bassTrack(loop, walk, repeats, L));
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
