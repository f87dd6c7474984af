#include "playback/BeatSettings.h"

namespace zumbal {

namespace {

// A re-enabled stroke becomes a rest of its row: 1 on drum rows, 10 on the bass row.
int restOf(int cell) {
    return cell / kFirstBassCell * 9 + 1;
}

template <class CellOf>
void setStrokes(globali& g, bool disable, int n, CellOf cellOf, const CellRedraw& redraw) {
    for (int t = 0; t < kTracks; ++t) {
        for (int k = 1; k <= n; ++k) {
            if (g.fastswitch)
                return;
            const int c = cellOf(t, k);
            g.pp[c] = disable ? kDisabled : restOf(c);
            if (redraw)
                redraw(c);
        }
    }
}

} // namespace

void impostabeat_3_4(globali& g, const CellRedraw& redraw) {
    const int n = g.ter_ter ? 3 : 4;
    setStrokes(
        g, g.ter_3_4, n, [](int t, int k) { return kStrokes * t + 11 + k; }, redraw);
}

void impostabeat_ter(globali& g, const CellRedraw& redraw) {
    const int n = g.ter_3_4 ? 3 : 4;
    setStrokes(
        g, g.ter_ter, n, [](int t, int k) { return kStrokes * t + 4 * k - 1; }, redraw);
}

} // namespace zumbal
