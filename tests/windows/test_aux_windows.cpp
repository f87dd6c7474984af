#include "../gui/AppFixture.h"
#include "editor/GridGeometry.h"
#include "windows/drumswin.h"
#include "windows/groovewin.h"
#include "windows/stepwin.h"
#include "windows/volumewin.h"

#include <QTest>

namespace zumbal {

class AuxWindowsTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;
    static void clickCell(Fixture& f, int cell, Qt::MouseButton button) {
        QTest::mouseClick(&f.w().grid(), button, {},
                          QPoint(cellOrigin(cell).x + 10, cellOrigin(cell).y + 10));
    }
    // Which controls of the step window are enabled, and what its lines say.
    static QStringList stepShown(const stepwin& step) {
        QStringList shown{step.stroke_text->text(), step.chance_text->text(),
                          step.note_text->text()};
        for (QWidget* control : std::initializer_list<QWidget*>{
                 step.chance, step.condition, step.ratchet, step.nudge, step.reset})
            shown << (control->isEnabled() ? "on" : "off");
        return shown;
    }

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

    // A middle click on a step opens the step window for it, on a rest
    // nothing; the window follows the cell and locks in FastSwitch mode.
    void stepWindowOpensOnAStepAndFollowsTheCell() {
        Fixture f("1", {{"preset", Fixture::loopFixture("mid-120")}});
        clickCell(f, 3, Qt::MiddleButton);
        QVERIFY(!f.w().findChild<stepwin*>());
        QCOMPARE(f.pp(3), kRest); // the middle button does not toggle
        f.g().pp[17] = kRandomHit;
        f.g().pp[99] = 60;
        const QString on = "on", off = "off";
        const std::tuple<int, QStringList> opened[] = {
            {0, {"Bass Drum 1, stroke 1", "100 %", "", on, on, on, on, on}},
            {17,
             {"Acoustic Snare, stroke 2", "A random hit keeps its own chance", "", off, on, on, on,
              on}},
            {99, {"Bass, stroke 4", "100 %", "", on, on, on, on, on}},
        };
        for (const auto& [cell, shown] : opened) {
            clickCell(f, cell, Qt::MiddleButton);
            const stepwin* step = f.w().findChild<stepwin*>();
            QVERIFY(step && step->isVisible() && step->cell() == cell);
            QCOMPARE(stepShown(*step), shown);
        }
        stepwin& step = *f.w().findChild<stepwin*>();
        step.nudge->setValue(-6);
        QCOMPARE(step.nudge_text->text(), "-25 %");
        QCOMPARE(unpackVariation(f.g().vary[99]).nudge, -6);
        f.w().undo();
        QCOMPARE(std::pair(step.nudge->value(), step.nudge_text->text()),
                 std::pair(0, QString("0 %")));
        f.w().redo();
        QCOMPARE(step.nudge->value(), -6);

        f.g().key_tasto_indice = 99;
        clickCell(f, 99, Qt::LeftButton); // deletes the note
        QCOMPARE(stepShown(step),
                 (QStringList{"Bass, stroke 4", "100 %", "This stroke holds no step.", off, off,
                              off, off, off}));
        f.w().undo();
        QCOMPARE(stepShown(step).mid(2), (QStringList{"", on, on, on, on, on}));
        clickCell(f, 0, Qt::MiddleButton); // a hit in the preset too
        f.app->FileFastSwitchMode->trigger();
        QTRY_COMPARE(f.w().loopNameLine()->text(), "preset");
        QCOMPARE(stepShown(step).mid(2),
                 (QStringList{"Editing is locked in FastSwitch mode.", off, off, off, off, off}));
    }

    // "More.." in the volume window opens the step window for its stroke,
    // when it holds a step; for a whole track there is none.
    void volumeWindowsMoreOpensTheStepWindow() {
        Fixture f;
        const std::tuple<int, bool, bool> mores[] = {{0, true, true}, {1, true, false}};
        for (auto [cell, visible, enabled] : mores) {
            clickCell(f, cell, Qt::RightButton);
            const volumewin& volume = *f.w().findChild<volumewin*>();
            QCOMPARE(std::pair(volume.more->isVisible(), volume.more->isEnabled()),
                     std::pair(visible, enabled));
        }
        QTest::mouseClick(f.w().fields().EditFV[0], Qt::LeftButton);
        QVERIFY(!f.w().findChild<volumewin*>()->more->isVisible());
        clickCell(f, 8, Qt::RightButton);
        f.w().findChild<volumewin*>()->more->click();
        const stepwin* step = f.w().findChild<stepwin*>();
        QVERIFY(step && step->isVisible());
        QCOMPARE(step->cell(), 8);
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::AuxWindowsTest)
#include "test_aux_windows.moc"
