#include "app/Preferences.h"

#include "loops/ReplaceFile.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace zumbal {

QString Preferences::defaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("zumbal preferences"));
}

void Preferences::leggipref(globali& g) {
    m_unreadable = false;
    QFile file(m_path);
    if (!file.exists()) {
        g.prefe[0] = "1";
    } else if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        g.prefe[0] = "1";
    } else {
        QByteArray line = file.readLine(4096);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        g.prefe[0] = line.toStdString();
    }
    m_readValue = g.prefe[0];
}

bool Preferences::write(const globali& g) const {
    if (m_unreadable && g.prefe[0] == m_readValue)
        return false;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return replaceFile(m_path, QByteArray::fromStdString(g.prefe[0]) + '\n').isEmpty();
}

} // namespace zumbal
