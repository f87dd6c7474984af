#pragma once

#include "loops/LoopFile.h"

#include <QByteArray>

namespace zumbal::test {

// A loop file at 120 BPM that strikes `note` on every stroke but the first,
// and `note` + 1 on stroke 1, so that a recording tells where each bar
// begins; notes the start-up loop does not play keep it apart from that too.
inline QByteArray loopStriking(int note) {
    LoopRecord loop;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    loop.pb[0] = loop.pb[1] = kSwitchOn;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c >= kFirstBassCell ? kBassRest : c < kStrokes ? kHit : kRest;
        loop.volum[c] = kDefaultVolume;
    }
    loop.pp[cellIndex(0, 1)] = kRest; // stroke 1 is track 1's
    loop.pp[cellIndex(1, 1)] = kHit;
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {t == 0 ? note : t == 1 ? note + 1 : kDefaultSounds[t], kDefaultVolume};
    loop.tempo = 120;
    return QByteArray::fromStdString(writeLoop("Loop", loop));
}

} // namespace zumbal::test
