#pragma once

#include "app/CommandLine.h"

namespace zumbal {

// Runs `zumbal export-midi` or `zumbal render` without any application
// object. Returns the exit code: 0 when the file is written, 1 when a file
// cannot be read or written or there is no SoundFont to render with, after
// one line on stderr. The output is written whole or not at all.
int runSubcommand(const Subcommand& command);

} // namespace zumbal
