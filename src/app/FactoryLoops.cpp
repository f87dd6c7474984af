#include "app/FactoryLoops.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace zumbal {

int seedFactoryLoops(const QString& folder) {
    const QDir target(folder);
    if (!target.exists() || !target.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        return 0;
    int copied = 0;
    for (QDirIterator it(QStringLiteral(":/loops"), QDir::Files); it.hasNext();) {
        const QString source = it.next();
        const QString destination = target.filePath(QFileInfo(source).fileName());
        // QFile::copy never overwrites; the copy of a resource is read-only.
        if (QFile::copy(source, destination)) {
            QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ReadGroup | QFile::ReadOther);
            ++copied;
        }
    }
    return copied;
}

} // namespace zumbal
