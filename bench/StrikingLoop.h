#pragma once

#include "loops/LoopFile.h"

#include <QByteArray>

namespace zumbal::test {

// A loop file at `tempo` that strikes `note` on every stroke but the first,
// and `note` + 1 on stroke 1, so that a recording tells where each bar
// begins; notes the start-up loop does not play keep it apart from that too.
inline QByteArray loopStriking(int note, int tempo = 120, bool threeFour = false,
                               bool ternary = false) {
    LoopRecord loop;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    loop.pb[0] = loop.pb[1] = kSwitchOn;
    loop.pb[kThreeFourButton] = threeFour ? kSwitchOn : kSwitchOff;
    loop.pb[kTernaryButton] = ternary ? kSwitchOn : kSwitchOff;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c >= kFirstBassCell ? kBassRest : c < kStrokes ? kHit : kRest;
        loop.volum[c] = kDefaultVolume;
    }
    loop.pp[cellIndex(0, 1)] = kRest; // stroke 1 is track 1's
    loop.pp[cellIndex(1, 1)] = kHit;
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {t == 0 ? note : t == 1 ? note + 1 : kDefaultSounds[t], kDefaultVolume};
    loop.tempo = tempo;
    return QByteArray::fromStdString(writeLoop("Loop", loop));
}

} // namespace zumbal::test
