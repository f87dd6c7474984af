#include "app/LoopsFolder.h"

#include "assets/DataFolder.h"

#include <QDir>
#include <QFileInfo>

namespace zumbal {

QString locateLoopsFolder(const QString& applicationDir, const QString& dataDir) {
    // The layout decides before the permissions: as root every folder is
    // writable, /usr/bin included.
    const bool installed = dataFolder(applicationDir) != QDir::cleanPath(applicationDir);
    const QString besideProgram = QDir(applicationDir).filePath(QStringLiteral("loops"));
    if (!installed && QFileInfo(applicationDir).isWritable() && QDir().mkpath(besideProgram))
        return besideProgram;
    const QString inUserData = QDir(dataDir).filePath(QStringLiteral("loops"));
    QDir().mkpath(inUserData);
    return inUserData;
}

} // namespace zumbal
