#include "../gui/AppFixture.h"
#include "windows/drumswin.h"
#include "windows/groovewin.h"
#include "windows/volumewin.h"

#include <QTest>

namespace zumbal {

class AuxWindowsTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;
private slots:
    // A right click on a cell that is not disabled, or a click on a track volume
    // field, opens the volume window. Opening
    // shows the stroke's velocity or the track's volume and writes nothing back;
    // the slider then sets that stroke, or the track's volume field.
    void volumeWindowFromTheGridAndTheFields() {
        Fixture f;
        const auto velocity = [&](int c) { return f.g().volum[c].load(); };
        f.g().volum[36] = 70;
        QTest::mouseClick(&f.w().grid(), Qt::RightButton, {}, QPoint(152, 85));
        auto* volume = f.w().findChild<volumewin*>();
        QVERIFY(volume && volume->isVisible());
        QCOMPARE(volume->ind_a_text->text() + " " + volume->ind_b_text->text(), "2 4");
        QCOMPARE(volume->Slider1->value(), 70);
        volume->Slider1->setValue(0);
        QCOMPARE(std::pair(velocity(36), velocity(37)), std::pair(0, 99));
        f.g().pp[3] = kDisabled;
        QTest::mouseClick(&f.w().grid(), Qt::RightButton, {}, QPoint(108, 5));
        QCOMPARE(volume->ind_a_text->text() + " " + volume->ind_b_text->text(), "2 4");

        f.g().edfiv[6][1] = 80;
        f.g().volum[100] = 5;
        QTest::mouseClick(f.w().fields().EditFV[6], Qt::LeftButton);
        QCOMPARE(volume->ind_a_text->text() + " " + volume->ind_b_text->text(), "6 ALL");
        QCOMPARE(std::pair(volume->Slider1->value(), velocity(100)), std::pair(80, 5));
        volume->Slider1->setValue(40);
        QCOMPARE(f.w().fields().EditFV[6]->text(), QStringLiteral("40"));
        for (int c = 96; c < 112; ++c)
            QCOMPARE(velocity(c), 40);
        QCOMPARE(velocity(36), 0);
    }

    // A click on an instrument field opens the drums window, highlighting the
    // field's instrument, or the last cell (not choosable) for any other; a
    // click on that last cell changes nothing.
    void drumsWindowPicksAnInstrumentAndMenusOpenTheOthers() {
        Fixture f;
        const std::tuple<int, QPoint> highlights[] = {
            {36, {0, 21}},
            {90, {388, 315}},
            {51, {194, 0}},
        };
        for (auto [note, at] : highlights) {
            f.g().edfiv[1][0] = note;
            QTest::mouseClick(f.w().fields().EditFI[1], Qt::LeftButton);
            const auto* drums = f.w().findChild<drumswin*>();
            QVERIFY(drums && drums->isVisible() && drums->cont_m == 1);
            QCOMPARE(drums->Canva_sel->pos(), at);
        }
        drumswin& drums = *f.w().findChild<drumswin*>();
        const std::array<int, 3> moves[] = {
            {193, 20, 35},
            {194, 21, 52},
            {600, 400, 82},
        };
        for (auto [x, y, note] : moves) {
            drums.Event_MouseMove(x, y);
            QCOMPARE(drums.strum, note);
        }
        f.w().fields().EditFI[1]->setText("38");
        QTest::mouseClick(&drums, Qt::LeftButton, {}, QPoint(580, 330));
        QCOMPARE(f.w().fields().EditFI[1]->text(), QStringLiteral("38"));
        QVERIFY(!drums.isVisible());
        QTest::mouseClick(f.w().fields().EditFI[1], Qt::LeftButton);
        QTest::mouseClick(&drums, Qt::LeftButton, {}, QPoint(20, 21 * 2 + 5));
        QCOMPARE(f.g().edfiv[1][0].load(), 37);
    }

    // The sliders set the groove within its ranges, and show the loop's
    // groove again when another loop comes (here New Loop, and undo).
    void grooveWindowSetsTheGrooveAndFollowsTheLoop() {
        Fixture f;
        f.app->FileGroove->trigger();
        auto* groove = f.w().findChild<groovewin*>();
        QVERIFY(groove && groove->isVisible());
        const auto model = [&] {
            return QList<int>{f.g().swing, f.g().humanizeMs, f.g().humanizeVelocity};
        };
        QCOMPARE(model(), (QList<int>{50, 0, 0}));
        for (auto [slider, value, expected] : {std::tuple{0, 66, QList<int>{66, 0, 0}},
                                               {1, 30, {66, 10, 0}},
                                               {2, 7, {66, 10, 7}},
                                               {0, 10, {50, 10, 7}}}) {
            groove->sliders[slider]->setValue(value);
            QCOMPARE(model(), expected);
        }
        QCOMPARE(groove->values[1]->text(), QStringLiteral("10 ms"));
        QCOMPARE(f.app->EditUndo->text(), QStringLiteral("Undo Groove"));
        f.w().undo(); // the drags made one step
        QCOMPARE(model(), (QList<int>{50, 0, 0}));
        QCOMPARE(groove->sliders[2]->value(), 0);
        f.w().redo();
        QCOMPARE(model(), (QList<int>{50, 10, 7}));
        f.app->FileNew->trigger();
        QCOMPARE(model(), (QList<int>{50, 0, 0}));
        QCOMPARE(groove->sliders[0]->value(), 50);
        QCOMPARE(groove->values[0]->text(), QStringLiteral("50 %"));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::AuxWindowsTest)
#include "test_aux_windows.moc"
