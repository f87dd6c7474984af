#pragma once

#include "model/globali.h"

#include <string>

namespace zumbal {

// A note number's name with its octave: 60 is "C4", 24 "C1", 11 "B-1".
std::string crea_basso_testo(int note);

// Moves every bass note by n semitones; rests and disabled strokes stay. No
// limit: a note moved to 10 or below turns into a rest (or the disabled code)
// and stays one. Runs on the audio thread at a bar line too: nothing here allocates.
void transpose(globali& g, int n);

// Semitones that a FastSwitch key transposes by: -1 for "q", +1 for "a", the
// key's semitone minus `trans_start` for the twelve letters, 0 for any other key.
int fastSwitchTransposition(char32_t key, int trans_start);

} // namespace zumbal
