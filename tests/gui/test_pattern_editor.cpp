#include "../support/Golden.h"
#include "AppFixture.h"
#include "editor/GridGeometry.h"
#include "playback/BassLine.h"

#include <QTest>

namespace zumbal {

// Drives the real main window with mouse and key events at the grid's and
// keyboard's coordinates, then reads back the loop and the drawn pixels.
class PatternEditorTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static void clickGrid(Fixture& f, int x, int y, Qt::MouseButton button = Qt::LeftButton,
                          Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(&f.w().grid(), button, modifiers, QPoint(x, y));
    }
    static void clickCell(Fixture& f, int cell) {
        clickGrid(f, cellOrigin(cell).x + 10, cellOrigin(cell).y + 10);
    }
    static QColor surfacePixel(Fixture& f, int x, int y) {
        return f.w().grid().image().pixelColor(x, y);
    }
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

    void gridKeyboardFieldsAndButtons() {
        Fixture f;
        const QImage hit = cellImage(f, 0);
        clickGrid(f, 6, 5);
        QCOMPARE(cellImage(f, 0), cellImage(f, 1)); // now drawn as a rest
        // Clicks in the gaps around cells 0, 3 and 4 toggle nothing.
        f.g().pp[3] = kRandomHit;
        for (auto [x, y] : {std::pair{5, 5}, {29, 5}, {6, 4}, {6, 28}, {140, 5}, {151, 5}})
            clickGrid(f, x, y);
        QCOMPARE((QList{f.pp(0), f.pp(3), f.pp(4)}), (QList{kRest, kRandomHit, kRest}));
        clickGrid(f, 6, 5); // inside: a rest becomes a hit, a random hit a rest
        clickGrid(f, 102 + 6, 5);
        // Disabled strokes and contextual clicks stay as they are.
        f.g().pp[1] = kDisabled;
        clickGrid(f, 34 + 6, 5);
        clickGrid(f, 6, 5, Qt::RightButton);
        clickGrid(f, 68 + 6, 5, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE((QList{f.pp(0), f.pp(1), f.pp(2), f.pp(3)}),
                 (QList{kHit, kDisabled, kRest, kRest}));
        QCOMPARE(cellImage(f, 0), hit);

        const Point o = cellOrigin(97);
        clickCell(f, 97); // a first click only selects, with a marker
        QCOMPARE((QList{f.g().key_tasto_indice.load(), f.pp(97)}), (QList{97, kBassRest}));
        QCOMPARE(surfacePixel(f, o.x + 9, o.y + 8 + 16), QColor(255, 0, 0));
        // The keyboard fills the selected cell; above the keyboard nothing happens.
        for (auto [x, y, note, label] :
             {std::tuple{0, 420, 24, "C1"}, {797, 360, 95, "B6"}, {400, 353, 95, "B6"}}) {
            QTest::mouseClick(f.w().client(), Qt::LeftButton, {}, QPoint(x, y));
            QCOMPARE(f.pp(97), note);
            QCOMPARE(crea_basso_testo(f.pp(97)), label);
        }
        QCOMPARE(surfacePixel(f, o.x + 9 + 1, o.y + 8 + 1), kBassLabelBackground);
        clickCell(f, 97); // a second click on the selected note deletes it
        QCOMPARE((QList{f.g().key_tasto_indice.load(), f.pp(97)}), (QList{97, kBassRest}));
        f.g().pp[100] = 60;
        clickCell(f, 100); // another cell's note is only selected
        for (int y : {253, 277})
            clickGrid(f, 6, y); // just off the bass row
        QCOMPARE((QList{f.g().key_tasto_indice.load(), f.pp(100)}), (QList{100, 60}));

        f.g().pp[96] = 40;
        f.g().pp[99] = 11;
        for (int i : {0, 1, 1})
            QTest::mouseClick(f.w().keyboard().BevelB[i], Qt::LeftButton);
        QTest::keyClick(&f.w(), Qt::Key_G); // letters only transpose in FastSwitch mode
        QCOMPARE((QList{f.pp(96), f.pp(99), f.g().trans_start.load()}), (QList{39, kBassRest, -1}));

        EditField_Numero* field = f.w().fields().EditFV[2];
        // Only digits, three at most, clamped to 127.
        for (auto [start, typed, kept] :
             {std::tuple{"", "5a-,.7", "57"}, {"12", "34", "123"}, {"", "130", "127"}}) {
            field->setText(start);
            field->setCursorPosition(2);
            QTest::keyClicks(field, typed);
            QCOMPARE(field->text(), QString(kept));
        }
        QCOMPARE(f.g().edfiv[2][1].load(), 127);
        for (int c = 31; c < 49; ++c)
            QCOMPARE(f.g().volum[c].load(), c / kStrokes == 2 ? 127 : 99);
        field->clear();
        field->insert(QStringLiteral("1x2")); // a paste keeps only its digits
        QCOMPARE((QList{f.g().edfiv[2][1].load(), f.g().volum[32].load()}), (QList{12, 12}));

        field = f.w().fields().EditFI[0]; // space in a field starts and stops without typing
        field->setCursorPosition(2);
        for (int battito : {0, 1}) {
            QTest::keyClick(field, Qt::Key_Space);
            QCOMPARE(f.g().battito.load(), battito);
        }
        QCOMPARE(field->text(), "36");

        // The instrument redraws the track's hits; without a picture, a red circle.
        const QImage kick = cellImage(f, 8);
        for (auto [typed, value] : {std::pair{"", 0}, {"34", 34}, {"36", 36}}) {
            field->clear();
            QTest::keyClicks(field, typed);
            QCOMPARE(f.g().edfiv[0][0].load(), value);
            if (value != 36)
                QCOMPARE(surfacePixel(f, 8 * 34 + 10 * 2 + 18, 17), QColor(255, 0, 0));
        }
        QCOMPARE(cellImage(f, 8), kick);
        QCOMPARE(cellImage(f, 9), cellImage(f, 10));

        f.w().fields().ContextualMenu1->actions()[3]->trigger(); // "36 Fretless Bass"
        QCOMPARE(f.w().fields().EditFI[kBassTrack]->selectedText(), "36");
        QCOMPARE(f.g().edfiv[kBassTrack][0].load(), 36);

        // A button, its state afterwards, a stroke it rules and that stroke's code.
        f.sounds->played.clear();
        const std::tuple<int, int, int, int> steps[]{
            {2, kSwitchOff, cellIndex(2, 1), kRest},
            {2, kSwitchOn, cellIndex(2, 1), kRest},
            {kThreeFourButton, kSwitchOn, cellIndex(1, 13), kDisabled},
            {8, kSwitchOn, cellIndex(2, 13), kRandomHit},
            {8, kSwitchOff, cellIndex(2, 1), kRest},
            {kTernaryButton, kSwitchOn, cellIndex(0, 4), kDisabled}};
        for (auto [button, state, cell, code] : steps) {
            QTest::mouseClick(f.w().buttons().canv_bott[button], Qt::LeftButton);
            QCOMPARE((QList{f.g().pb[button].load(), f.pp(cell)}), (QList{state, code}));
        }
        QVERIFY(f.g().ter_3_4 && f.g().ter_ter);
        QCOMPARE(f.sounds->played, std::vector<SoundId>(6, SoundId::ambientclick));
        for (int battito : {0, 1}) { // every click on the push button acts
            QTest::mouseClick(f.w().buttons().canv_bott[kPlayButton], Qt::LeftButton);
            QCOMPARE(f.g().battito.load(), battito);
        }
        QCOMPARE(f.g().pb[kPlayButton].load(), kPushButton);

        // In FastSwitch mode a letter transposes to its note, Q and A by a half tone.
        f.g().fastswitch = true;
        f.g().trans_start = 0;
        f.w().client()->setFocus();
        QList<int> notes;
        for (char key : std::string("ggsqa")) {
            QTest::keyClick(&f.w(), key);
            notes << f.pp(96);
        }
        QCOMPARE(notes, (QList{44, 44, 39, 38, 39}));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::PatternEditorTest)
#include "test_pattern_editor.moc"
