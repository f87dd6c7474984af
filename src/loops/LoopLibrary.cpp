#include "loops/LoopLibrary.h"

#include "loops/FileNames.h"
#include "loops/PresetList.h"
#include "loops/ReplaceFile.h"

#include <QDir>

namespace zumbal {

std::vector<std::string> LoopLibrary::presets() const {
    if (m_g.drumloopsfolder.empty())
        return {};
    return listLoopFiles(m_g.drumloopsfolder);
}

std::optional<LoopRecord> LoopLibrary::read(const std::string& name, QString& error) const {
    const auto text = readLoopBytes(m_g.drumloopsfolder / name, error);
    if (!text)
        return std::nullopt;
    return parseLoop(*text);
}

QString LoopLibrary::save(const std::string& name, const LoopRecord& loop) const {
    const QString path =
        QDir(QString::fromStdString(m_g.drumloopsfolder.string())).filePath(fileNameText(name));
    return createFile(path, QByteArray::fromStdString(writeLoop(name, loop)));
}

std::optional<std::string> readLoopFileText(const std::filesystem::path& path, QString& error) {
    std::optional<std::string> text = readLoopBytes(path, error);
    if (text && !hasLoopFileTag(firstLine(*text))) {
        error = QStringLiteral("it is not a Zumbal loop file");
        return std::nullopt;
    }
    return text;
}

std::optional<LoopRecord> readLoopFile(const std::filesystem::path& path, QString& error) {
    const std::optional<std::string> text = readLoopFileText(path, error);
    if (!text)
        return std::nullopt;
    return parseLoop(*text);
}

} // namespace zumbal
