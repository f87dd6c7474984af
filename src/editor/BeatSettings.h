#pragma once

#include "model/globali.h"

namespace zumbal {

// Disable (code 3) or re-enable as rests the strokes that the 3/4 beat leaves
// out (13..16, or 13..15 under ternary), after `ter_3_4` has been set.
// Nothing changes in FastSwitch mode.
void impostabeat_3_4(globali& g);

// The same for the ternary subdivision (strokes 4, 8, 12 and, without 3/4, 16),
// after `ter_ter` has been set.
void impostabeat_ter(globali& g);

} // namespace zumbal
