#include "../support/Golden.h"
#include "AppFixture.h"
#include "editor/GridGeometry.h"

#include <QTest>

namespace zumbal {

// The real main window's drawing.
class PatternEditorTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static QImage cellImage(Fixture& f, int cell) {
        const Point o = cellOrigin(cell);
        return f.w().grid().image().copy(o.x, o.y, 32, 32);
    }
    static void compareGolden(const QImage& actual, const QString& name) {
        test::compareGolden(actual, QStringLiteral(QT_TESTCASE_SOURCEDIR "/golden"), name);
    }

private slots:
    void drawingMatchesTheReferencesUntilNewLoopClearsIt() {
        Fixture f;
        f.g().pp[17] = kRandomHit;
        f.g().pp[34] = kDisabled;
        f.g().pp[99] = 60;
        f.w().disegna_drum(17, 999, 0);
        f.w().disegna_drum(34, 999, 0);
        f.w().disegna_drum(99, 999, 0);
        const std::pair<int, const char*> cells[]{{0, "hit-kick"},  {17, "random-snare"},
                                                  {34, "disabled"}, {35, "rest"},
                                                  {99, "bass-C4"},  {96, "bass-selected"}};
        for (auto [cell, name] : cells)
            compareGolden(cellImage(f, cell), QStringLiteral("cell-") + name);
        QTest::mouseClick(f.w().buttons().canv_bott[6], Qt::LeftButton);
        const std::pair<int, const char*> buttons[]{{0, "drum-on"},
                                                    {6, "rc-on"},
                                                    {7, "rc-off"},
                                                    {kPlayButton, "play"},
                                                    {kWebButton, "web"}};
        for (auto [i, name] : buttons)
            compareGolden(f.w().buttons().canv_bott[i]->backdrop().toImage(),
                          QStringLiteral("button-") + name);
        QTest::keyClick(&f.w(), Qt::Key_N, Qt::ControlModifier);
        for (int cell : {0, 6, 17, 34})
            QCOMPARE(cellImage(f, cell), cellImage(f, 35));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::PatternEditorTest)
#include "test_pattern_editor.moc"
