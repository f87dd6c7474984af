#include "AppFixture.h"
#include "editor/GridGeometry.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace zumbal {

// Drives the real main window with mouse and key events at the grid's and
// keyboard's coordinates, then reads back the loop and the drawn pixels.
class PatternEditorTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static void clickGrid(Fixture& f, int x, int y, Qt::MouseButton button = Qt::LeftButton,
                          Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(f.w().CanvasImageW, button, modifiers, QPoint(x, y));
    }
    static void clickWindow(Fixture& f, int x, int y) {
        QTest::mouseClick(f.w().client(), Qt::LeftButton, {}, QPoint(x, y));
    }
    static QColor surfacePixel(Fixture& f, int x, int y) {
        return f.w().CanvasImageW->surface().toImage().pixelColor(x, y);
    }
    // A cell's look on the canvas, for comparing before and after.
    static QImage cellImage(Fixture& f, int cell) {
        const Point o = cellOrigin(cell);
        return f.w().CanvasImageW->surface().toImage().copy(o.x, o.y, 32, 32);
    }
    static void type(QWidget* field, const QString& text) {
        field->setFocus();
        for (QChar c : text)
            QTest::keyClick(field, c.toLatin1());
    }

    // Compares a drawn picture with its reference under tests/gui/golden;
    // ZUMBAL_UPDATE_GOLDEN=1 writes the references instead.
    static void compareGolden(const QImage& actual, const QString& name) {
        const QString path = QStringLiteral(QT_TESTCASE_SOURCEDIR "/golden/") + name + ".png";
        const QImage image = actual.convertToFormat(QImage::Format_ARGB32);
        if (qEnvironmentVariableIsSet("ZUMBAL_UPDATE_GOLDEN")) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QVERIFY(image.save(path));
            return;
        }
        const QImage expected = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!expected.isNull(), qPrintable(path));
        QCOMPARE(image.size(), expected.size());
        int worst = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb a = image.pixel(x, y), b = expected.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        QVERIFY2(worst <= 2, qPrintable(name + QStringLiteral(" differs by %1").arg(worst)));
    }

private slots:
    void clicksOnTheGridToggleOnlyInsideACell() {
        Fixture f;
        const QImage hit = cellImage(f, 0);
        clickGrid(f, 6, 5);
        QCOMPARE(f.g().pp[0].load(), kRest);
        const QImage rest = cellImage(f, 0);
        QVERIFY(rest != hit);
        QCOMPARE(rest, cellImage(f, 1)); // looks like any other rest
        for (auto [x, y] : {std::pair{5, 5}, {29, 5}, {140, 5}, {151, 5}, {6, 277}})
            clickGrid(f, x, y);
        QCOMPARE(f.g().pp[0].load(), kRest);
        QCOMPARE(f.g().pp[4].load(), kRest);
        clickGrid(f, 6, 5);
        QCOMPARE(f.g().pp[0].load(), kHit);
        QCOMPARE(cellImage(f, 0), hit);

        f.g().pp[3] = kRandomHit;
        clickGrid(f, 102 + 6, 5);
        QCOMPARE(f.g().pp[3].load(), kRest); // a random hit becomes a rest
    }

    void contextualAndDisabledClicksLeaveTheStrokeAlone() {
        Fixture f;
        clickGrid(f, 6, 5, Qt::RightButton);
        clickGrid(f, 6, 5, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(f.g().pp[0].load(), kHit);
        f.g().pp[1] = kDisabled;
        clickGrid(f, 34 + 6, 5);
        QCOMPARE(f.g().pp[1].load(), kDisabled);
    }

    void bassCellsAreSelectedFilledFromTheKeyboardAndCleared() {
        Fixture f;
        const Point o = cellOrigin(97);
        clickGrid(f, o.x + 10, o.y + 10);
        QCOMPARE(f.g().key_tasto_indice.load(), 97);
        QCOMPARE(f.g().pp[97].load(), kBassRest); // a first click only selects
        QCOMPARE(surfacePixel(f, o.x + 9, o.y + 8 + 16), QColor(255, 0, 0)); // the marker

        clickWindow(f, 0, 420);
        QCOMPARE(f.g().pp[97].load(), 24);
        QCOMPARE(f.g().key_tasto_indice.load(), 97);
        QCOMPARE(surfacePixel(f, o.x + 9 + 1, o.y + 8 + 1), kBassLabelBackground);
        QCOMPARE(f.w().pictures.basso_testo.text, QStringLiteral("C1"));

        clickWindow(f, 797, 360);
        QCOMPARE(f.g().pp[97].load(), f.w().notearray[20][1] + 84);
        clickWindow(f, 400, 353); // above the keyboard: nothing
        QCOMPARE(f.g().pp[97].load(), 95);

        clickGrid(f, o.x + 10, o.y + 10); // second click on the selected note deletes it
        QCOMPARE(f.g().pp[97].load(), kBassRest);
        QCOMPARE(f.g().key_tasto_indice.load(), 97);

        // Clicking another cell that holds a note only moves the selection.
        f.g().pp[100] = 60;
        const Point o100 = cellOrigin(100);
        clickGrid(f, o100.x + 10, o100.y + 10);
        QCOMPARE(f.g().pp[100].load(), 60);
        QCOMPARE(f.g().key_tasto_indice.load(), 100);
    }

    void upAndDownTransposeAndFastSwitchLettersFollowTheLoadedLoop() {
        Fixture f;
        f.g().pp[96] = 40;
        f.g().pp[99] = 11;
        QTest::mouseClick(f.w().BevelB[0], Qt::LeftButton);
        QCOMPARE(f.g().pp[96].load(), 41);
        QTest::mouseClick(f.w().BevelB[1], Qt::LeftButton);
        QTest::mouseClick(f.w().BevelB[1], Qt::LeftButton);
        QCOMPARE(f.g().pp[96].load(), 39);
        QCOMPARE(f.g().pp[99].load(), kBassRest);
        QCOMPARE(f.g().trans_start.load(), -1);
        QVERIFY(f.w().BevelB[0]->toolTip().contains("In Fast Switch Mode"));

        // Letters do nothing outside FastSwitch mode.
        QTest::keyClick(&f.w(), Qt::Key_G);
        QCOMPARE(f.g().pp[96].load(), 39);

        f.g().fastswitch = true;
        f.g().trans_start = 0;
        f.w().client()->setFocus();
        QTest::keyClick(&f.w(), Qt::Key_G);
        QCOMPARE(f.g().pp[96].load(), 44);
        QTest::keyClick(&f.w(), Qt::Key_G);
        QCOMPARE(f.g().pp[96].load(), 44);
        QTest::keyClick(&f.w(), Qt::Key_S);
        QCOMPARE(f.g().pp[96].load(), 39);
        QTest::keyClick(&f.w(), Qt::Key_Q);
        QCOMPARE(f.g().pp[96].load(), 38);
        QTest::keyClick(&f.w(), Qt::Key_A);
        QCOMPARE(f.g().pp[96].load(), 39);
    }

    void volumeFieldTakesDigitsClampsAndSpreads() {
        Fixture f;
        EditField_Numero* field = f.w().EditFV[2];
        field->clear();
        type(field, "130");
        QCOMPARE(field->text(), QStringLiteral("127"));
        QCOMPARE(f.g().edfiv[2][1].load(), 127);
        for (int c = 32; c < 48; ++c)
            QCOMPARE(f.g().volum[c].load(), 127);
        QCOMPARE(f.g().volum[31].load(), 99);

        field->clear();
        type(field, "5a-,.7");
        QCOMPARE(field->text(), QStringLiteral("57"));
        field->setText(QStringLiteral("12"));
        field->setCursorPosition(2);
        type(field, "34");
        QCOMPARE(field->text(), QStringLiteral("123")); // a fourth digit is refused

        // A paste of mixed text keeps only its digits.
        field->clear();
        field->insert(QStringLiteral("1x2"));
        QCOMPARE(field->text(), QStringLiteral("12"));
        QCOMPARE(f.g().edfiv[2][1].load(), 12);

        // The volume window's guard keeps the per-stroke volumes.
        f.w().autoaggiorna = true;
        field->setText(QStringLiteral("40"));
        f.w().autoaggiorna = false;
        QCOMPARE(f.g().edfiv[2][1].load(), 40);
        QCOMPARE(f.g().volum[32].load(), 12);
    }

    void spaceInAFieldStartsAndStopsWithoutTyping() {
        Fixture f;
        EditField_Numero* field = f.w().EditFI[0];
        field->setFocus();
        field->setCursorPosition(2);
        QTest::keyClick(field, Qt::Key_Space);
        QCOMPARE(f.g().battito.load(), 0);
        QTest::keyClick(field, Qt::Key_Space);
        QCOMPARE(f.g().battito.load(), 1);
        QCOMPARE(field->text(), QStringLiteral("36"));
    }

    void instrumentFieldRedrawsTheTracksHits() {
        Fixture f;
        const QImage kick = cellImage(f, 8);
        EditField_Numero* field = f.w().EditFI[0];
        field->clear(); // 0: the hits show the default red circle
        QCOMPARE(f.g().edfiv[0][0].load(), 0);
        QCOMPARE(surfacePixel(f, 8 * 34 + 10 * 2 + 18, 17), QColor(255, 0, 0));
        type(field, "34"); // no picture of its own: red circle too
        QCOMPARE(f.g().edfiv[0][0].load(), 34);
        QCOMPARE(surfacePixel(f, 8 * 34 + 10 * 2 + 18, 17), QColor(255, 0, 0));
        field->clear();
        type(field, "36");
        QCOMPARE(cellImage(f, 8), kick);
        QCOMPARE(cellImage(f, 1), cellImage(f, 2)); // rests untouched
    }

    void bassListSetsTheProgram() {
        Fixture f;
        const auto actions = f.w().ContextualMenu1->actions();
        QCOMPARE(actions.size(), 8);
        QCOMPARE(actions[3]->text(), QStringLiteral("36 Fretless Bass"));
        actions[3]->trigger();
        QCOMPARE(f.w().EditFI[kBassTrack]->text(), QStringLiteral("36"));
        QCOMPARE(f.w().EditFI[kBassTrack]->selectedText(), QStringLiteral("36"));
        QCOMPARE(f.g().edfiv[kBassTrack][0].load(), 36);
    }

    void trackAndTransportButtons() {
        Fixture f;
        auto click = [&](int i) {
            QTest::mouseClick(f.w().buttons().canv_bott[i], Qt::LeftButton);
        };
        f.sounds->played.clear();
        click(2); // "DRUM 3" mutes track 2 and clicks
        QCOMPARE(f.g().pb[2].load(), kSwitchOff);
        click(2);
        QCOMPARE(f.g().pb[2].load(), kSwitchOn);
        QCOMPARE(f.sounds->played,
                 (std::vector<SoundId>{SoundId::ambientclick, SoundId::ambientclick}));

        click(kThreeFourButton); // 3/4 disables strokes 13..16
        QVERIFY(f.g().ter_3_4);
        QCOMPARE(f.g().pp[cellIndex(1, 13)].load(), kDisabled);
        QCOMPARE(f.g().pb[kThreeFourButton].load(), kSwitchOn);
        click(8); // R/C on track 2 overwrites them with random hits
        for (int s = 1; s <= 16; ++s)
            QCOMPARE(f.g().pp[cellIndex(2, s)].load(), kRandomHit);
        click(8);
        for (int s = 1; s <= 16; ++s)
            QCOMPARE(f.g().pp[cellIndex(2, s)].load(), kRest);
        click(kTernaryButton);
        QVERIFY(f.g().ter_ter);
        QCOMPARE(f.g().pp[cellIndex(0, 4)].load(), kDisabled);

        click(kPlayButton); // every click on the push button acts
        QCOMPARE(f.g().battito.load(), 0);
        click(kPlayButton);
        QCOMPARE(f.g().battito.load(), 1);
        QCOMPARE(f.g().pb[kPlayButton].load(), 11);
        QCOMPARE(f.w().buttons().can_bot[kPlayButton][3], QStringLiteral("PLAY / STOP    "));
    }

    void drawnCellsAndButtonsMatchTheirReferences() {
        Fixture f;
        f.g().pp[17] = kRandomHit;
        f.g().pp[34] = kDisabled;
        f.g().pp[99] = 60;
        f.w().disegna_drum(17, 999, 0);
        f.w().disegna_drum(34, 999, 0);
        f.w().labelBassCell(99);
        const std::vector<std::pair<int, QString>> cells{
            {0, "cell-hit-kick"}, {17, "cell-random-snare"}, {34, "cell-disabled"},
            {35, "cell-rest"},    {99, "cell-bass-C4"},      {96, "cell-bass-selected"}};
        for (const auto& [cell, name] : cells)
            compareGolden(cellImage(f, cell), name);
        QTest::mouseClick(f.w().buttons().canv_bott[6], Qt::LeftButton);
        const std::vector<std::pair<int, QString>> buttons{{0, "button-drum-on"},
                                                           {6, "button-rc-on"},
                                                           {7, "button-rc-off"},
                                                           {kPlayButton, "button-play"},
                                                           {kWebButton, "button-web"}};
        for (const auto& [i, name] : buttons)
            compareGolden(f.w().buttons().canv_bott[i]->backdrop().toImage(), name);
    }

    void newLoopClearsTheGridDrawing() {
        Fixture f;
        clickGrid(f, 34 + 6, 45); // a hit at cell 17
        QTest::keyClick(&f.w(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(cellImage(f, 0), cellImage(f, 5));
        QCOMPARE(cellImage(f, 17), cellImage(f, 5));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::PatternEditorTest)
#include "test_pattern_editor.moc"
