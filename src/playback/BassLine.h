#pragma once

#include "model/globali.h"

#include <array>
#include <string>

namespace zumbal {

// Semitone under each of the 21 columns of one keyboard octave (133 px);
// row 1 is the upper band with the black keys, row 0 the white keys only.
using NoteArray = std::array<std::array<int, 2>, 21>;

NoteArray crea_notearray();

inline constexpr int kKeyboardTop = 353; // the keyboard lies below this y
inline constexpr int kBlackKeyBottom = 403;
inline constexpr int kOctaveWidth = 133;

// The note under a click on the on-screen keyboard (window coordinates,
// y > kKeyboardTop): from C1 (24) to B6 (95).
int keyboardNote(int x, int y, const NoteArray& notearray);

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
