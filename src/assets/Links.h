#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

namespace zumbal {

// Every address the program opens. The pages are sections of the user guide
// shipped beside the program; real web addresses can replace them here.
inline constexpr const char* kHomePage = "guide.html";
inline constexpr const char* kDrumLoopsPage = "guide.html#loops";
inline constexpr const char* kMailSubject = "Zumbal";

// A page of the guide in the "docs" folder beside the program.
inline QUrl guideUrl(const char* page) {
    const QString path = QString::fromLatin1(page);
    const qsizetype hash = path.indexOf('#');
    QUrl url = QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath())
                                       .filePath(QStringLiteral("docs/") + path.left(hash)));
    if (hash >= 0)
        url.setFragment(path.mid(hash + 1));
    return url;
}

} // namespace zumbal
