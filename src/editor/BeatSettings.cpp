#include "editor/BeatSettings.h"

namespace zumbal {

namespace {

// A re-enabled stroke becomes a rest of its row: 1 on drum rows, 10 on the bass row.
int restOf(int cell) {
    return cell / kFirstBassCell * 9 + 1;
}

// Turns the strokes that a switch leaves out (those played with it off but
// not with it on) off or back on, track by track.
template <class PlayedWith> void setStrokes(globali& g, bool disable, PlayedWith playedWith) {
    for (int t = 0; t < kTracks; ++t) {
        for (int s = 1; s <= kStrokes; ++s) {
            if (!playedWith(s, false) || playedWith(s, true))
                continue;
            if (g.fastswitch)
                return;
            const int c = cellIndex(t, s);
            g.pp[c] = disable ? kDisabled : restOf(c);
        }
    }
}

} // namespace

void impostabeat_3_4(globali& g) {
    const bool ternary = g.ter_ter;
    setStrokes(g, g.ter_3_4,
               [ternary](int s, bool threeFour) { return isPlayedStroke(s, threeFour, ternary); });
}

void impostabeat_ter(globali& g) {
    const bool threeFour = g.ter_3_4;
    setStrokes(g, g.ter_ter,
               [threeFour](int s, bool ternary) { return isPlayedStroke(s, threeFour, ternary); });
}

} // namespace zumbal
