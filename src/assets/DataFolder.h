#pragma once

#include <QString>

namespace zumbal {

// The folder of the files the program reads at run time but does not carry
// inside itself (the user guide). Installed, the program sits in
// <prefix>/bin and its data in <prefix>/share/zumbal; run from a build tree
// or an unpacked folder, the data sits beside the program.
QString dataFolder(const QString& applicationDir);

// dataFolder() for the running program.
QString dataFolder();

} // namespace zumbal
