#pragma once

#include "assets/DataFolder.h"

#include <QDir>
#include <QUrl>

namespace zumbal {

// Every address the program opens, with the short texts that name them. The
// pages are sections of the user guide shipped with the program; real web
// addresses can replace them here. There is no contact address to show, so
// the contact line opens the guide's page on how to reach the project.
inline constexpr const char* kHomePage = "guide.html";
inline constexpr const char* kHomePageText = "The user guide (opens in the browser)";
inline constexpr const char* kContactPage = "guide.html#contact";
inline constexpr const char* kContactText = "Contact: how to reach the project";
inline constexpr const char* kDrumLoopsPage = "guide.html#sharing";

// A page of the guide in the "docs" folder of the program's data folder.
inline QUrl guideUrl(const char* page) {
    const QString path = QString::fromLatin1(page);
    const qsizetype hash = path.indexOf('#');
    QUrl url =
        QUrl::fromLocalFile(QDir(dataFolder()).filePath(QStringLiteral("docs/") + path.left(hash)));
    if (hash >= 0)
        url.setFragment(path.mid(hash + 1));
    return url;
}

} // namespace zumbal
