#pragma once

#include <array>

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

} // namespace zumbal
