#pragma once

#include "loops/LoopFile.h"
#include "model/globali.h"

namespace zumbal {

// Loads a loop file's values into the model as the main window does: the
// oldest layout gets the bass track off with program 33 and volume 99, the
// older layouts take every velocity from the track volume, the 3/4 and
// ternary flags come from the buttons, and `trans_start` starts again at 0.
// With `normalise` (outside FastSwitch mode) unknown codes become rests and
// the strokes outside the bar are disabled again.
void loadIntoModel(globali& g, const LoopRecord& loop, bool normalise);

// Unknown drum codes to rests, bass codes of 10 or less to rests, and the
// strokes outside a 3/4 or ternary bar disabled, in every track.
void normaliseCells(globali& g);

} // namespace zumbal
