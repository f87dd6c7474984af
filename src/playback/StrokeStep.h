#pragma once

#include "model/StepVariation.h"
#include "model/globali.h"
#include "playback/NoteOutput.h"
#include "playback/RandomSource.h"
#include "playback/ScheduledEvents.h"

#include <array>
#include <cstdint>

namespace zumbal {

using NotePlayers = std::array<NotePlayer, kTracks>;

NotePlayers makeNotePlayers(NoteOutput& out);

// Plays stroke `battito` of the loop on the note players and advances
// `battito` past the strokes that 3/4 and ternary leave out. Returns the
// stroke it played, or 0 when playback is stopped. The advance is written
// only if nobody changed `battito` meanwhile, so a stop or restart from the
// GUI thread is never overwritten.
int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random);

// Where a stroke falls on the timeline and the pass it plays in: what the
// steps that vary need beside the model.
struct StrokeMoment {
    double due = 0;       // the stroke's own due sample
    double previous = 0;  // the previous stroke's due sample
    double next = 0;      // the next stroke's, swung
    double nudgeUnit = 0; // samples in a 24th of a stroke
    int pass = 0;         // from 1 at the run's first stroke 1
    bool fill = false;
    uint64_t seed = 0;
    uint32_t run = 0;
};

// As above, with the notes played into `schedule` (which `NotePl` play
// into): a plain step sounds at the stroke's due sample, a varying one as
// its variation says, each strike at its own due sample.
int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random, const StrokeMoment& moment,
               ScheduledEvents& schedule);

// The due samples of a step's strikes, returned in `dues`; the count is returned.
// They are spread evenly up to the next stroke, moved by the nudge, and
// kept between the previous stroke and the next one.
int strikeDues(const StepVariation& v, const StrokeMoment& moment,
               std::array<double, kMaxRatchet>& dues);

// The largest early nudge among the steps stroke `battito` plays, in 24ths
// of a stroke; 0 when none is nudged early.
int earlyNudge(const globali& g, int battito);

// The stroke after `battito` under the 3/4 and ternary flags.
int nextStroke(int battito, bool ter_3_4, bool ter_ter);

// Hue of the tempo lamp for a stroke: 0.25 on odd strokes, 0 on even ones.
double indicatorHue(int battito);

} // namespace zumbal
