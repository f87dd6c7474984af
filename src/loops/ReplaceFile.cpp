#include "loops/ReplaceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zumbal {

QString replaceFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a failed write (a full disk) is seen here: a
    // buffered one would be flushed by commit(), which renames the file
    // whether or not the flush wrote anything.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return reason;
        }
        done += n;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString createFile(const QString& path, const QByteArray& bytes) {
    QTemporaryFile temp(QFileInfo(path).absolutePath() + QStringLiteral("/.zumbal-XXXXXX"));
    if (!temp.open())
        return temp.errorString();
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = temp.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0 || !temp.flush())
            return temp.errorString();
        done += n;
    }
    if (fsync(temp.handle()) != 0 && errno != EINVAL)
        return QString::fromLocal8Bit(std::strerror(errno));
    // Both make the name only if it is free, in one step; a file system
    // without hard links may still rename without replacing.
    const QByteArray from = QFile::encodeName(temp.fileName()), to = QFile::encodeName(path);
    if (link(from.constData(), to.constData()) == 0)
        return {};
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        temp.setAutoRemove(false);
        return {};
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace zumbal
