#include "model/globali.h"

namespace zumbal {

void clearCells(globali& g) {
    for (int c = 0; c < kCells; ++c) {
        g.pp[c] = c < kFirstBassCell ? kRest : kBassRest;
        g.volum[c] = kDefaultVolume;
        g.vary[c] = 0;
    }
}

void resetTrackSounds(globali& g) {
    for (int t = 0; t < kTracks; ++t) {
        g.edfiv[t][0] = kDefaultSounds[t];
        g.edfiv[t][1] = kDefaultVolume;
    }
}

void setStartupLoop(globali& g) {
    g.ter_3_4 = false;
    g.ter_ter = false;
    clearCells(g);
    resetTrackSounds(g);
    for (int c : {0, 8, 20, 28})
        g.pp[c] = kHit;
    g.tempo = kStartTempo;
    g.fastswitch = false;
    g.key_tasto_indice = kFirstBassCell;
    g.trans_start = 0;
}

void setNewLoop(globali& g) {
    g.ter_3_4 = false;
    g.ter_ter = false;
    g.swing = kStraight;
    g.humanizeMs = 0;
    g.humanizeVelocity = 0;
    clearCells(g);
    resetTrackSounds(g);
}

void setDefaultButtonStates(globali& g) {
    for (int i = 0; i < kDrumTracks; ++i) {
        g.pb[i] = kSwitchOn;
        g.pb[i + 6] = kSwitchOff;
    }
    g.pb[kThreeFourButton] = kSwitchOff;
    g.pb[kTernaryButton] = kSwitchOff;
    g.pb[kBassButton] = kSwitchOn;
}

bool eventSoundsOn(const globali& g) {
    return g.prefe[0] == "1";
}

} // namespace zumbal
