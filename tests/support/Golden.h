#pragma once

#include <QImage>
#include <QString>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace zumbal::test {

// Compares `actual` with the reference picture <folder>/<name>.png, allowing
// 2 levels of difference per channel for the rasteriser's rounding;
// ZUMBAL_UPDATE_GOLDEN=1 rewrites the reference instead.
inline void compareGolden(const QImage& actual, const QString& folder, const QString& name) {
    const QString path = folder + QStringLiteral("/%1.png").arg(name);
    const QImage image = actual.convertToFormat(QImage::Format_ARGB32);
    if (qEnvironmentVariableIsSet("ZUMBAL_UPDATE_GOLDEN"))
        QVERIFY(image.save(path));
    const QImage expected = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), expected.size());
    int worst = 0;
    for (qsizetype i = 0; i < image.sizeInBytes(); ++i)
        worst = std::max(worst, std::abs(image.constBits()[i] - expected.constBits()[i]));
    QVERIFY2(worst <= 2, qPrintable(name + QStringLiteral(" differs by %1").arg(worst)));
}

} // namespace zumbal::test
