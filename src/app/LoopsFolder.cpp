#include "app/LoopsFolder.h"

#include <QDir>

namespace zumbal {

QString locateLoopsFolder(const QString& applicationDir, const QString& dataDir) {
    const QString besideProgram = QDir(applicationDir).filePath(QStringLiteral("loops"));
    if (QDir().mkpath(besideProgram))
        return besideProgram;
    const QString inUserData = QDir(dataDir).filePath(QStringLiteral("loops"));
    QDir().mkpath(inUserData);
    return inUserData;
}

} // namespace zumbal
