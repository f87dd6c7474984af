#pragma once

#include <QString>

namespace zumbal {

// Copies the factory loops compiled into the program into an empty loops
// folder, so that a first run has presets to play. A folder that already
// holds anything is left alone, and no existing file is ever replaced.
// Returns the number of loops copied.
int seedFactoryLoops(const QString& folder);

} // namespace zumbal
