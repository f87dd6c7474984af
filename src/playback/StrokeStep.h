#pragma once

#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/RandomSource.h"

#include <array>

namespace zumbal {

using NotePlayers = std::array<NotePlayer, kTracks>;

NotePlayers makeNotePlayers(NoteOutput& out);

// Plays stroke `battito` of the loop on the note players and advances
// `battito` past the strokes that 3/4 and ternary leave out. Returns the
// stroke it played, or 0 when playback is stopped. The advance is written
// only if nobody changed `battito` meanwhile, so a stop or restart from the
// GUI thread is never overwritten.
int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random);

// The stroke after `battito` under the 3/4 and ternary flags.
int nextStroke(int battito, bool ter_3_4, bool ter_ter);

// Hue of the tempo lamp for a stroke: 0.25 on odd strokes, 0 on even ones.
double indicatorHue(int battito);

} // namespace zumbal
