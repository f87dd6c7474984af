#pragma once

#include <QString>

namespace zumbal {

// The loops folder: "loops" beside the executable when the program runs from
// a folder of the user's (a build tree, an unpacked folder) and it exists or
// can be made there; an installed program (its data in <prefix>/share/zumbal,
// see dataFolder) or one in a folder the user cannot write uses "loops" in the
// user's data folder, so nothing is ever made in a system folder. When neither
// can be made the second is returned all the same; the presets list is then
// empty.
QString locateLoopsFolder(const QString& applicationDir, const QString& dataDir);

} // namespace zumbal
