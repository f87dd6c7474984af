#include "../support/Golden.h"
#include "AppFixture.h"
#include "editor/GridGeometry.h"
#include "loops/LoopFile.h"
#include "windows/stepwin.h"
#include "windows/volumewin.h"

#include <QTest>

#include <functional>

namespace zumbal {

// Undo and redo through the real main window: each kind of edit is one step
// that brings back the loop as it was shown, drawn and saved.
class UndoTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;
    using Action = std::function<void(Fixture&)>;

    static Fixture::Files files() {
        return {{"mid-120", Fixture::loopFixture("mid-120")},
                {"new-130", Fixture::loopFixture("new-130")}};
    }
    // The loop as shown: its file's lines, the bass line's transposition and
    // the name line. A loop file may hold PLAY and the globe lit; no edit does.
    static QStringList shown(Fixture& f) {
        LoopRecord loop = f.w().currentLoop();
        loop.pb[kPlayButton] = loop.pb[kWebButton] = kPushButton;
        QStringList lines = QString::fromStdString(writeLoop("shown", loop)).split('\n');
        lines << QStringLiteral("trans_start %1").arg(f.g().trans_start.load())
              << f.w().loopNameLine()->text();
        return lines;
    }
    // The Edit menu's items, in brackets when disabled.
    static QStringList editMenu(Fixture& f) {
        QStringList items;
        for (QAction* a : f.app->EditMenu->actions())
            items << (a->isEnabled() ? a->text() : "(" + a->text() + ")");
        return items;
    }
    // The loop saved through the window, without the first line, which names it.
    static QByteArray saved(Fixture& f) {
        const QString name = QStringLiteral("saved %1").arg(f.w().presetCount());
        f.g().nome_file = name.toStdString();
        QString error;
        if (!f.w().loop_salva(error))
            return error.toUtf8();
        const QByteArray file = f.read("loops/" + name);
        return file.mid(file.indexOf('\n'));
    }
    // The grid and the fields show the model: redrawing every cell and marking
    // the selected bass cell changes no pixel.
    static void verifyDrawn(Fixture& f) {
        const QImage drawn = f.w().grid().image();
        for (int c = 0; c < kCells; ++c)
            f.w().disegna_drum(c, Window_t1::kNoOrigin, 0);
        f.w().grid().markBassCell(f.g().key_tasto_indice);
        QCOMPARE(f.w().grid().image(), drawn);
        QStringList fields, model;
        for (int t = 0; t < kTracks; ++t) {
            fields << f.w().fields().EditFI[t]->text() << f.w().fields().EditFV[t]->text();
            model << QString::number(f.g().edfiv[t][0]) << QString::number(f.g().edfiv[t][1]);
        }
        QCOMPARE(fields, model);
        QCOMPARE(f.w().tempoText()->text(), QString::number(f.g().tempo));
    }

    static void clickCell(Fixture& f, int cell, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(&f.w().grid(), button, {},
                          QPoint(cellOrigin(cell).x + 10, cellOrigin(cell).y + 10));
    }
    static void clickButton(Fixture& f, int i) {
        QTest::mouseClick(f.w().buttons().canv_bott[i], Qt::LeftButton);
    }
    // Selects bass cell `cell` and enters C1 from the keyboard.
    static void enterNote(Fixture& f, int cell) {
        clickCell(f, cell);
        QTest::mouseClick(f.w().client(), Qt::LeftButton, {}, QPoint(0, 420));
    }
    static void type(EditField_Numero* field, const QString& digits) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, digits);
    }
    static void dragTempo(Fixture& f, const QList<int>& values) {
        QSlider* slider = f.w().tempoSlider();
        slider->setSliderDown(true);
        for (int v : values)
            slider->setSliderPosition(v);
        slider->setSliderDown(false);
    }
    // Moves the volume window's slider, opened as a click on a stroke or a volume field does.
    static void volumeSlider(Fixture& f, bool all, int track, int stroke,
                             const QList<int>& values) {
        f.app->openVolumeWindow(all, track, stroke, QPoint(100, 100));
        auto* window = f.w().findChild<volumewin*>();
        for (int v : values)
            window->Slider1->setValue(v);
        window->hide();
    }

    // The step window opened on `cell`, as a middle click opens it.
    static stepwin& stepWindow(Fixture& f, int cell) {
        clickCell(f, cell, Qt::MiddleButton);
        return *f.w().findChild<stepwin*>();
    }
    static void drag(QSlider* slider, const QList<int>& values) {
        slider->setSliderDown(true);
        for (int v : values)
            slider->setSliderPosition(v);
        slider->setSliderDown(false);
    }

private slots:
    void everyEditIsOneStep() {
        struct Edit {
            QString text;
            Action setUp;
            Action edit;
            const char* undone = nullptr; // the grid's reference picture after the undo
        };
        const std::vector<Edit> edits{
            {"Stroke", {}, [](Fixture& f) { clickCell(f, 3); }, "grid-stroke-undone"},
            {"Bass Note", {}, [](Fixture& f) { enterNote(f, 98); }},
            {"Delete Bass Note", [](Fixture& f) { enterNote(f, 99); },
             [](Fixture& f) { clickCell(f, 99); }},
            {"Fill Track 3", {}, [](Fixture& f) { clickButton(f, 8); }},
            {"Transpose", [](Fixture& f) { enterNote(f, 100); },
             [](Fixture& f) { QTest::mouseClick(f.w().keyboard().BevelB[1], Qt::LeftButton); }},
            {"Mute Track 2", {}, [](Fixture& f) { clickButton(f, 1); }},
            {"3/4", {}, [](Fixture& f) { clickButton(f, kThreeFourButton); }},
            {"Instrument Track 4", {}, [](Fixture& f) { type(f.w().fields().EditFI[3], "56"); }},
            {"Instrument Track 1", {}, [](Fixture& f) { f.w().chooseInstrument(0, 40); }},
            {"Volume Track 5",
             {},
             [](Fixture& f) {
                 volumeSlider(f, true, 4, 0, {10, 20, 30});
             }},
            {"Velocity Track 1 Stroke 3",
             {},
             [](Fixture& f) {
                 volumeSlider(f, false, 0, 2, {5, 6, 7});
             }},
            {"Tempo",
             {},
             [](Fixture& f) {
                 QList<int> values;
                 for (int v = 121; v <= 200; ++v)
                     values << v;
                 dragTempo(f, values);
             }},
            {"Chance Track 1 Stroke 9",
             {},
             [](Fixture& f) {
                 drag(stepWindow(f, 8).chance, {90, 60, 45});
             }},
            {"Condition Bass Stroke 3", [](Fixture& f) { enterNote(f, 98); },
             [](Fixture& f) { stepWindow(f, 98).condition->setCurrentText("2:4"); }},
            {"Ratchet Track 2 Stroke 5",
             {},
             [](Fixture& f) { stepWindow(f, 20).ratchet->setValue(3); }},
            {"Nudge Track 2 Stroke 13",
             {},
             [](Fixture& f) {
                 drag(stepWindow(f, 28).nudge, {-1, -2, -3});
             }},
            {"Reset Step Track 1 Stroke 9",
             [](Fixture& f) { stepWindow(f, 8).chance->setValue(45); },
             [](Fixture& f) { stepWindow(f, 8).reset->click(); }},
            {"New Loop",
             [](Fixture& f) {
                 type(f.w().fields().EditFI[0], "40");
                 dragTempo(f, {90});
             },
             [](Fixture& f) { f.app->FileNew->trigger(); }},
        };
        Fixture f("1", files());
        QStringList menus;
        for (QAction* menu : f.app->MenuBar1->actions())
            menus << menu->text();
        QCOMPARE(menus, (QStringList{"&File", "&Edit"}));
        QCOMPARE(editMenu(f), (QStringList{"(Undo)", "(Redo)"}));
        for (const Edit& e : edits) {
            if (e.setUp)
                e.setUp(f);
            const QStringList before = shown(f);
            const QString undoBefore = editMenu(f)[0];
            const QByteArray savedBefore = saved(f);
            e.edit(f);
            const QStringList after = shown(f);
            QVERIFY2(after != before, qPrintable(e.text));
            const QStringList done{"Undo " + e.text, "(Redo)"};
            const QStringList undone{undoBefore, "Redo " + e.text};
            QCOMPARE(editMenu(f), done);
            f.sounds->played.clear();
            for (QAction* action : {f.app->EditUndo, f.app->EditRedo, f.app->EditUndo}) {
                action->trigger();
                const bool undo = action == f.app->EditUndo;
                QCOMPARE(shown(f), undo ? before : after);
                QCOMPARE(editMenu(f), undo ? undone : done);
                if (undo && e.undone)
                    test::compareGolden(f.w().grid().image(),
                                        QStringLiteral(QT_TESTCASE_SOURCEDIR "/golden"), e.undone);
                verifyDrawn(f);
            }
            QCOMPARE(saved(f), savedBefore);
            QCOMPARE(f.sounds->played, std::vector<SoundId>{});
            QVERIFY(f.g().battito > 0); // playback goes on
        }

        // The shortcuts reach the Edit menu while a field has the focus.
        EditField_Numero* field = f.w().fields().EditFV[1];
        const QStringList before = shown(f);
        type(field, "64");
        const QStringList after = shown(f);
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(shown(f), before);
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shown(f), after);
    }

    // Moves of one control make one step until another gesture starts.
    void stepsEndWithTheGesture() {
        struct Case {
            const char* name;
            Action edits;
            QStringList steps; // the Undo items, last step first
        };
        const std::vector<Case> cases{
            {"two drags",
             [](Fixture& f) {
                 dragTempo(f, {130, 140});
                 dragTempo(f, {150});
             },
             {"Undo Tempo", "Undo Tempo"}},
            {"two tap counts, 100 then 150 BPM",
             [](Fixture& f) {
                 for (double seconds : {10.0, 10.6, 13.0, 13.4})
                     f.w().tapTempo(seconds);
             },
             {"Undo Tempo", "Undo Tempo"}},
            {"a drag back to its start",
             [](Fixture& f) {
                 dragTempo(f, {125, 130, 120});
             },
             {}},
            {"typing into two fields",
             [](Fixture& f) {
                 type(f.w().fields().EditFV[1], "64");
                 type(f.w().fields().EditFV[2], "5");
                 type(f.w().fields().EditFV[1], "7");
             },
             {"Undo Volume Track 2", "Undo Volume Track 3", "Undo Volume Track 2"}},
            {"the volume window opened twice",
             [](Fixture& f) {
                 volumeSlider(f, false, 2, 0, {5, 6});
                 volumeSlider(f, false, 2, 0, {7});
                 volumeSlider(f, true, 2, 0, {8, 9});
             },
             {"Undo Volume Track 3", "Undo Velocity Track 3 Stroke 1",
              "Undo Velocity Track 3 Stroke 1"}},
            {"the step window's controls in turn",
             [](Fixture& f) {
                 stepwin& step = stepWindow(f, 0);
                 drag(step.nudge, {2, 4});
                 drag(step.nudge, {6});
                 step.ratchet->setValue(2);
                 step.ratchet->setValue(4);
                 step.chance->setValue(50);
                 step.chance->setValue(40);
             },
             {"Undo Chance Track 1 Stroke 1", "Undo Ratchet Track 1 Stroke 1",
              "Undo Ratchet Track 1 Stroke 1", "Undo Nudge Track 1 Stroke 1",
              "Undo Nudge Track 1 Stroke 1"}},
        };
        Fixture f;
        for (const Case& c : cases) {
            const QStringList start = shown(f);
            const QString undoBefore = editMenu(f)[0];
            c.edits(f);
            QStringList steps;
            for (int i = 0; i < c.steps.size(); ++i) {
                steps << editMenu(f)[0];
                f.app->EditUndo->trigger();
            }
            QVERIFY2(steps == c.steps, qPrintable(c.name + (": " + steps.join(", "))));
            QCOMPARE(editMenu(f)[0], undoBefore);
            QCOMPARE(shown(f), start);
        }
    }

    // Undo after a load brings back the loop as edited before it, also when
    // the load waited for the bar line while the loop played.
    void undoBringsBackTheLoopALoadReplaced() {
        for (const bool atBarLine : {false, true}) {
            Fixture f("0", files());
            clickCell(f, 3);
            enterNote(f, 100);
            QTest::mouseClick(f.w().keyboard().BevelB[0], Qt::LeftButton);
            const QStringList edited = shown(f);
            f.w().setSwitchAtBarLine(atBarLine);
            f.w().PopupMenu1_Change(3);
            QCoreApplication::processEvents();
            if (atBarLine) {
                QCOMPARE(f.w().loopNameLine()->text(), "Next: new-130");
                QCOMPARE(editMenu(f)[0], "Undo Transpose");
                f.render(17 * 44100 * 15 / 120); // past the next stroke 1
            }
            QTRY_COMPARE(f.w().loopNameLine()->text(), "new-130");
            const QStringList loaded = shown(f);
            QVERIFY(loaded != edited);
            QCOMPARE(editMenu(f), (QStringList{"Undo Load new-130", "(Redo)"}));
            f.app->EditUndo->trigger();
            QCOMPARE(shown(f), edited);
            QCOMPARE(editMenu(f), (QStringList{"Undo Transpose", "Redo Load new-130"}));
            f.app->EditRedo->trigger();
            QCOMPARE(shown(f), loaded);
        }
    }

    // A preset waiting for the bar line gives way to whatever sets the loop
    // before the bar line comes; turning the setting off applies it at once.
    void anActionBeforeTheBarLineReplacesThePresetWaitingForIt() {
        struct Case {
            const char* name;
            Action act;
            QString nameLine;
        };
        const QString prompt = "Create a loop or choose a preset";
        const std::vector<Case> cases{
            {"New Loop", [](Fixture& f) { f.app->FileNew->trigger(); }, prompt},
            {"undo", [](Fixture& f) { f.app->EditUndo->trigger(); }, prompt},
            {"redo", [](Fixture& f) { f.app->EditRedo->trigger(); }, prompt},
            {"the setting off", [](Fixture& f) { f.w().setSwitchAtBarLine(false); }, "new-130"},
        };
        for (const Case& c : cases) {
            Fixture f("0", files());
            clickCell(f, 3);
            clickCell(f, 5);
            f.app->EditUndo->trigger();
            f.w().setSwitchAtBarLine(true);
            f.w().PopupMenu1_Change(3);
            QCoreApplication::processEvents();
            QCOMPARE(f.w().loopNameLine()->text(), "Next: new-130");
            c.act(f);
            QVERIFY2(f.w().loopNameLine()->text() == c.nameLine, c.name);
            const QStringList set = shown(f);
            f.render(17 * 44100 * 15 / 120); // past the next stroke 1
            QVERIFY2(shown(f) == set, c.name);
        }
    }

    // FastSwitch mode locks Undo and Redo; leaving it loads the first preset,
    // one step that an undo takes back to the loop edited before.
    void fastSwitchLocksUndoAndLeavingItIsOneStep() {
        Fixture f("0", files());
        clickCell(f, 3);
        const QStringList edited = shown(f);
        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(editMenu(f), (QStringList{"(Undo Stroke)", "(Redo)"}));
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_E, Qt::Key_A})
            QTest::keyClick(&f.w(), key);
        QCoreApplication::processEvents();
        const QStringList playing = shown(f);
        QVERIFY(playing != edited);
        QTest::keyClick(&f.w(), Qt::Key_Z, Qt::ControlModifier);
        f.w().undo();
        f.w().redo();
        QCOMPARE(shown(f), playing);
        QCOMPARE(editMenu(f), (QStringList{"(Undo Stroke)", "(Redo)"}));

        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(f.w().loopNameLine()->text(), "mid-120");
        QCOMPARE(editMenu(f), (QStringList{"Undo Load mid-120", "(Redo)"}));
        QTest::keyClick(&f.w(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(shown(f), edited);
        QCOMPARE(editMenu(f), (QStringList{"Undo Stroke", "Redo Load mid-120"}));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::UndoTest)
#include "test_undo.moc"
