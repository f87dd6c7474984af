#include "loops/ReplaceFile.h"

#include <QSaveFile>

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

} // namespace zumbal
