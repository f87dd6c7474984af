#include "loops/LoopRecovery.h"

#include "loops/FileNames.h"
#include "loops/LoopLibrary.h"
#include "loops/ReplaceFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zumbal {

QString LoopRecovery::defaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("zumbal recovered loop"));
}

std::string LoopRecovery::bytesOf(LoopRecord loop) const {
    // PLAY and the globe change their state under the pointer and while
    // pressed; stopping the start-up loop is no edit.
    loop.pb[kPlayButton] = kPushButton;
    loop.pb[kWebButton] = kPushButton;
    return writeLoop(fileNameBytes(QFileInfo(m_path).fileName()), loop);
}

void LoopRecovery::setBaseline(const LoopRecord& loop) {
    m_written = bytesOf(loop);
}

QString LoopRecovery::update(const LoopRecord& loop) {
    std::string bytes = bytesOf(loop);
    if (bytes == m_written)
        return {};
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QString error = replaceFile(m_path, QByteArray::fromStdString(bytes));
    if (error.isEmpty())
        m_written = std::move(bytes);
    return error;
}

bool LoopRecovery::exists() const {
    return QFileInfo(m_path).isFile();
}

std::optional<LoopRecord> LoopRecovery::read(QString& error) const {
    return readLoopFile(fileNameBytes(m_path), error);
}

} // namespace zumbal
