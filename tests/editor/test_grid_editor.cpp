#include "../support/Golden.h"
#include "editor/GridEditor.h"
#include "editor/GridGeometry.h"
#include "model/StepVariation.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWindow>

namespace zumbal {

// The grid on a plain screen and on one with twice the pixels (two screens of
// the offscreen platform, see two-screens.json): moved from one to the other,
// it paints its cells again from pictures made at the new pixel ratio.
class GridEditorTest : public QObject {
    Q_OBJECT

    static void compareGolden(const QImage& actual, const QString& name) {
        test::compareGolden(actual, QStringLiteral(QT_TESTCASE_SOURCEDIR "/golden"), name);
    }

    static void moveTo(QWidget& widget, QScreen* screen) {
        widget.windowHandle()->setScreen(screen);
        widget.move(screen->geometry().topLeft() + QPoint(20, 20));
        QTRY_COMPARE(widget.devicePixelRatioF(), screen->devicePixelRatio());
    }
    static std::pair<QScreen*, QScreen*> plainAndHidpiScreens() {
        std::pair<QScreen*, QScreen*> screens{};
        for (QScreen* screen : QGuiApplication::screens())
            (screen->devicePixelRatio() == 2 ? screens.second : screens.first) = screen;
        return screens;
    }

private slots:
    void paintsSharpAfterMovingToAScreenWithAnotherPixelRatio() {
        const auto [plainScreen, hidpiScreen] = plainAndHidpiScreens();
        QVERIFY(plainScreen && hidpiScreen);
        globali g;
        clearCells(g);
        g.pp[0] = kHit;
        g.pp[5] = kRandomHit;
        g.pp[cellIndex(1, 2)] = kHit;
        g.pp[cellIndex(2, 13)] = kDisabled;
        g.pp[kFirstBassCell + 1] = 60;
        g.pp[kFirstBassCell + 6] = 35;
        GridEditor grid(g);
        grid.resize(590, 285);
        grid.setInstrument(1, 42);
        for (int c = 0; c < kCells; ++c)
            grid.disegna_drum(c, GridEditor::kNoOrigin, 0);
        grid.markBassCell(kFirstBassCell + 3);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        moveTo(grid, plainScreen);
        const QImage plain = grid.image();
        QCOMPARE(plain.size(), QSize(590, 285));
        compareGolden(plain, QStringLiteral("grid-dpr1"));

        moveTo(grid, hidpiScreen);
        const QImage sharp = grid.image();
        QCOMPARE(sharp.size(), QSize(1180, 570));
        compareGolden(sharp, QStringLiteral("grid-dpr2"));
        // Made at the new ratio, not the old pictures stretched.
        QVERIFY(sharp != plain.scaled(sharp.size()));

        moveTo(grid, plainScreen);
        QCOMPARE(grid.image(), plain);
    }

    // A step whose variation is not plain carries a mark, on either screen; a
    // rest holding one and a plain step look as they always did.
    void aVariedStepIsMarked() {
        const auto [plainScreen, hidpiScreen] = plainAndHidpiScreens();
        QVERIFY(plainScreen && hidpiScreen);
        globali g;
        clearCells(g);
        for (int c : {0, 1})
            g.pp[c] = kHit;
        for (int c : {97, 98})
            g.pp[c] = 60;
        StepVariation twice;
        twice.ratchet = 2;
        for (int c : {1, 3, 98})
            g.vary[c] = packVariation(twice);
        GridEditor grid(g);
        grid.resize(590, 285);
        for (int c = 0; c < kCells; ++c)
            grid.disegna_drum(c, GridEditor::kNoOrigin, 0);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        for (QScreen* screen : {plainScreen, hidpiScreen}) {
            moveTo(grid, screen);
            const QImage image = grid.image();
            const auto cell = [&](int c) {
                const qreal r = screen->devicePixelRatio();
                const QRect square(cellOrigin(c).x * r, cellOrigin(c).y * r, 32 * r, 32 * r);
                return image.copy(square);
            };
            QVERIFY(cell(1) != cell(0));
            QVERIFY(cell(98) != cell(97));
            QCOMPARE(cell(3), cell(2));
            // Only the corner changes.
            const QRect corner(19, 5, 9, 9);
            QImage outside = cell(1);
            QImage plain = cell(0);
            for (QImage* picture : {&outside, &plain}) {
                QPainter painter(picture);
                painter.fillRect(corner, Qt::black);
            }
            QCOMPARE(outside, plain);
        }
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::GridEditorTest)
#include "test_grid_editor.moc"
