#include "sync/MasterBeat.h"

#include "model/globali.h"

#include <algorithm>
#include <cmath>

namespace zumbal::sync {

std::optional<MasterBeat> beatFromBbt(const Bbt& bbt) {
    if (bbt.bar < 1 || bbt.beat < 1 || bbt.beatsPerBar <= 0 || bbt.beat > bbt.beatsPerBar + 1 ||
        bbt.ticksPerBeat <= 0 || bbt.tick < 0 || bbt.tick >= bbt.ticksPerBeat ||
        bbt.beatType <= 0 || !(bbt.beatsPerMinute > 0))
        return std::nullopt;
    const double beats = (bbt.bar - 1) * static_cast<double>(bbt.beatsPerBar) + (bbt.beat - 1) +
                         bbt.tick / bbt.ticksPerBeat;
    const double quarterPerBeat = 4.0 / bbt.beatType;
    return MasterBeat{beats * quarterPerBeat, bbt.beatsPerMinute * quarterPerBeat};
}

PublishedBbt bbtAt(double quarters, double quartersPerMinute, bool threeFour) {
    constexpr double kTicksPerBeat = 1920;
    const int beatsPerBar = threeFour ? 3 : 4;
    const double q = std::max(0.0, quarters);
    const auto beats = static_cast<int64_t>(std::floor(q));
    PublishedBbt out;
    out.bbt.bar = static_cast<int32_t>(beats / beatsPerBar + 1);
    out.bbt.beat = static_cast<int32_t>(beats % beatsPerBar + 1);
    out.fineTick = std::min((q - static_cast<double>(beats)) * kTicksPerBeat, kTicksPerBeat - 1e-6);
    out.bbt.tick = static_cast<int32_t>(out.fineTick);
    out.bbt.ticksPerBeat = kTicksPerBeat;
    out.bbt.beatsPerBar = static_cast<float>(beatsPerBar);
    out.bbt.beatType = 4;
    out.bbt.beatsPerMinute = quartersPerMinute;
    out.barStartTick = static_cast<double>(out.bbt.bar - 1) * beatsPerBar * kTicksPerBeat;
    return out;
}

PublishedBbt bbtAt(const OwnBeat& beat) {
    // A bar's quarters run from 0; those past its end (its stroke 1 falls
    // on the next frame) carry into the next bar.
    PublishedBbt out =
        bbtAt(beat.bar > 0 ? beat.quartersInBar : 0.0, beat.quartersPerMinute, beat.threeFour);
    const int64_t before = std::max<int64_t>(beat.bar, 1) - 1;
    out.bbt.bar += static_cast<int32_t>(before);
    out.barStartTick += static_cast<double>(before) * out.bbt.beatsPerBar * out.bbt.ticksPerBeat;
    return out;
}

MasterBeat beatFromFrame(int64_t frame, int rate, double quartersPerMinute) {
    return {static_cast<double>(frame) / rate * quartersPerMinute / 60.0, quartersPerMinute};
}

int strokeOfIndex(int64_t index, bool threeFour, bool ternary) {
    const int barStrokes = strokesInBar(threeFour, ternary);
    int wanted = static_cast<int>((index % barStrokes + barStrokes) % barStrokes);
    for (int s = 1; s <= kStrokes; ++s)
        if (isPlayedStroke(s, threeFour, ternary) && wanted-- == 0)
            return s;
    return 1;
}

void BeatGrid::setFeel(bool threeFour, bool ternary) {
    if (threeFour == m_threeFour && ternary == m_ternary)
        return;
    m_threeFour = threeFour;
    m_ternary = ternary;
    m_strokesPerQuarter = ternary ? 3 : 4;
    m_next.reset();
}

void BeatGrid::due(const MasterBeat& beat, int frames, int rate, std::vector<DueStroke>& out) {
    out.clear();
    if (frames <= 0 || !(beat.quartersPerMinute > 0))
        return;
    const double framesPerStroke = 60.0 * rate / (beat.quartersPerMinute * m_strokesPerQuarter);
    const double strokes = beat.quarters * m_strokesPerQuarter; // at the buffer's first frame
    // The frame nearest stroke k's ideal one, from this buffer's start.
    const auto frameOf = [&](int64_t k) {
        return static_cast<int64_t>(
            std::floor((static_cast<double>(k) - strokes) * framesPerStroke + 0.5));
    };
    // The first stroke whose frame is in this buffer; a grid that has moved
    // (a locate, a tempo jump) starts there, one that runs on goes on from
    // the next stroke it has not given.
    int64_t first = static_cast<int64_t>(std::ceil(strokes - 0.5 / framesPerStroke));
    while (frameOf(first) < 0)
        ++first;
    while (frameOf(first - 1) >= 0)
        --first;
    if (m_next && *m_next >= first - 1 && *m_next <= first + 1)
        first = *m_next;
    for (int64_t k = std::max<int64_t>(first, 0);; ++k) {
        // A stroke the last buffer's rounding left over plays on the first frame.
        const int64_t at = std::max<int64_t>(frameOf(k), 0);
        if (at >= frames) {
            m_next = k;
            break;
        }
        out.push_back({static_cast<int>(at), strokeOfIndex(k, m_threeFour, m_ternary), k});
    }
}

} // namespace zumbal::sync
