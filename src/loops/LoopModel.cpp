#include "loops/LoopModel.h"

#include <algorithm>

namespace zumbal {

void loadIntoModel(globali& g, const LoopRecord& loop, bool normalise) {
    const bool oldest = loop.layout == LoopLayout::Oldest;
    if (oldest) {
        g.pb[kBassButton] = kSwitchOff;
        g.edfiv[kBassTrack][0] = 33;
        g.edfiv[kBassTrack][1] = kDefaultVolume;
        for (int c = kFirstBassCell; c < kCells; ++c)
            g.pp[c] = kBassRest;
    }
    for (int i = 0; i < (oldest ? kButtons - 1 : kButtons); ++i)
        g.pb[i] = loop.pb[i];
    for (int c = 0; c < (oldest ? kFirstBassCell : kCells); ++c)
        g.pp[c] = loop.pp[c];
    for (int t = 0; t < (oldest ? kDrumTracks : kTracks); ++t) {
        g.edfiv[t][0] = loop.edfiv[t][0];
        g.edfiv[t][1] = loop.edfiv[t][1];
    }
    g.tempo = std::clamp(loop.tempo, kMinTempo, kMaxTempo);
    for (int c = 0; c < kCells; ++c)
        g.volum[c] =
            loop.layout == LoopLayout::Current ? loop.volum[c] : g.edfiv[c / kStrokes][1].load();
    for (int c = 0; c < kCells; ++c)
        g.vary[c] = packVariation(loop.steps[c]);
    const Groove groove = grooveOf(loop);
    g.swing = groove.swing;
    g.humanizeMs = groove.humanizeMs;
    g.humanizeVelocity = groove.humanizeVelocity;
    g.ter_3_4 = isOn(g.pb[kThreeFourButton]);
    g.ter_ter = isOn(g.pb[kTernaryButton]);
    if (normalise)
        normaliseCells(g);
    g.trans_start = 0;
}

void normaliseCells(globali& g) {
    for (int c = 0; c < kFirstBassCell; ++c) {
        if (g.pp[c] >= kDisabled)
            g.pp[c] = kRest;
    }
    for (int c = kFirstBassCell; c < kCells; ++c) {
        if (g.pp[c] <= kBassRest)
            g.pp[c] = kBassRest;
    }
    for (int t = 0; t < kTracks; ++t)
        for (int s = 1; s <= kStrokes; ++s)
            if (!isPlayedStroke(s, g.ter_3_4, g.ter_ter))
                g.pp[cellIndex(t, s)] = kDisabled;
}

} // namespace zumbal
