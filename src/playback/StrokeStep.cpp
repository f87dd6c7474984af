#include "playback/StrokeStep.h"

#include <cmath>

namespace zumbal {

NotePlayers makeNotePlayers(NoteOutput& out) {
    return {NotePlayer(out, 0), NotePlayer(out, 1), NotePlayer(out, 2), NotePlayer(out, 3),
            NotePlayer(out, 4), NotePlayer(out, 5), NotePlayer(out, 6)};
}

namespace {

void playDrums(globali& g, NotePlayers& NotePl, RandomSource& random, int battito) {
    for (int t = 0; t < kDrumTracks; ++t) {
        if (!isOn(g.pb[t]))
            continue;
        const int c = cellIndex(t, battito);
        const int note = g.edfiv[t][0];
        const int code = g.pp[c];
        if (code == kHit) {
            NotePl[t].PlayNote(note, 0);
            NotePl[t].PlayNote(note, g.volum[c]);
        } else if (code == kRandomHit) {
            const double r = random.next();
            if (r > 0.75) {
                NotePl[t].PlayNote(note, 0);
                NotePl[t].PlayNote(note, static_cast<int>(std::trunc(g.volum[c] * r)));
            }
        }
    }
}

void playBass(globali& g, NotePlayer& bass, int battito) {
    auto& ultima = g.basso_ultima;
    if (!isOn(g.pb[kBassButton])) {
        bass.PlayNote(ultima[0], 0);
        return;
    }
    if (ultima[1] > 0) {
        ultima[1] = ultima[1] + 1;
        if (ultima[1] > 3)
            bass.PlayNote(ultima[0], 0);
    }
    const int c = cellIndex(kBassTrack, battito);
    const int code = g.pp[c];
    if (code > kBassRest) {
        bass.PlayNote(ultima[0], 0);
        ultima[0] = code;
        ultima[1] = 1;
        bass.PlayNote(code, g.volum[c]);
    }
}

} // namespace

int nextStroke(int battito, bool ter_3_4, bool ter_ter) {
    // 3/4 switched on past stroke 12 lets the bar run on to 16 this once.
    const bool threeFour = ter_3_4 && battito < 13;
    // Stroke 1 is always played, so the walk ends within a bar.
    do
        battito = battito >= kStrokes ? 1 : battito + 1;
    while (!isPlayedStroke(battito, threeFour, ter_ter));
    return battito;
}

double indicatorHue(int battito) {
    return (battito / 2.0 - std::trunc(battito / 2.0)) / 2.0;
}

int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random) {
    const int battito = g.battito;
    if (battito <= 0 || battito > kStrokes)
        return 0;
    playDrums(g, NotePl, random, battito);
    playBass(g, NotePl[kBassTrack], battito);
    int expected = battito;
    g.battito.compare_exchange_strong(expected, nextStroke(battito, g.ter_3_4, g.ter_ter));
    return battito;
}

} // namespace zumbal
