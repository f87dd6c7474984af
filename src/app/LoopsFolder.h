#pragma once

#include <QString>

namespace zumbal {

// The loops folder: "loops" beside the executable when it exists or can be
// made there, else "loops" in the user's data folder. When neither can be
// made the second is returned all the same; the presets list is then empty.
QString locateLoopsFolder(const QString& applicationDir, const QString& dataDir);

} // namespace zumbal
