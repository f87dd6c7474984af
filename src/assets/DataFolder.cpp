#include "assets/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zumbal {

QString dataFolder(const QString& applicationDir) {
    // ZUMBAL_BIN_TO_DATA is the installed data folder relative to the
    // installed program, "../share/zumbal" for the usual layout.
    const QString installed =
        QDir::cleanPath(QDir(applicationDir).filePath(QStringLiteral(ZUMBAL_BIN_TO_DATA)));
    return QFileInfo(installed).isDir() ? installed : QDir::cleanPath(applicationDir);
}

QString dataFolder() {
    return dataFolder(QCoreApplication::applicationDirPath());
}

} // namespace zumbal
