#include "AppFixture.h"
#include "editor/GridGeometry.h"
#include "loops/LoopFile.h"
#include "loops/finestrasalva.h"

#include <QPointer>
#include <QTest>

#include <climits>

namespace zumbal {

// Loop files through the real main window: the presets list, loading each
// layout, saving, and FastSwitch mode's keys.
class LoopsWindowTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static Fixture::Files files() {
        Fixture::Files files{{"notes.txt", "not a loop\n"},
                             {"notes", "my own notes, not a loop\n"},
                             {"short", "s drum loop created by Zumbal (Zumbal loop text file "
                                       "format)\n130\n101\n"}};
        for (const char* name : {"old-119", "mid-120", "new-130"})
            files.emplace_back(name, Fixture::loopFixture(name));
        return files;
    }
    static QStringList rows(Fixture& f) {
        QStringList texts;
        for (int i = 0; i < f.w().presetsMenu()->count(); ++i)
            texts << f.w().presetsMenu()->itemText(i);
        return texts;
    }
    // Chooses a row of the presets menu and lets the queued load run.
    static void choose(Fixture& f, int row) {
        f.w().PopupMenu1_Change(row);
        QCoreApplication::processEvents();
    }

private slots:
    // While audio runs only its thread may call the synth: a burst of edits of
    // every kind leaves no call from the GUI thread.
    void editsWhilePlayingNeverCallTheSynth() {
        Fixture f("1", files(), true);
        QTRY_VERIFY(f.app->sound().audioStats().callbacks > 10);
        Window_t1& w = f.w();
        for (int round = 0; round < 3; ++round) {
            for (int cell : {0, 5, 17, 40, 90})
                QTest::mouseClick(&w.grid(), Qt::LeftButton, {},
                                  QPoint(cellOrigin(cell).x + 10, cellOrigin(cell).y + 10));
            w.tempoSlider()->setValue(90 + 40 * round);
            for (int button : {kThreeFourButton, kTernaryButton, kBassButton, 0, 6})
                QTest::mouseClick(w.buttons().canv_bott[button], Qt::LeftButton);
            w.fields().EditFI[kBassTrack]->setText(QString::number(20 + round));
            w.fields().EditFV[2]->setText("64");
            choose(f, 2 + round);
            f.app->FileFastSwitchMode_Action();
            QCoreApplication::processEvents();
            for (auto key : {Qt::Key_Right, Qt::Key_E, Qt::Key_A, Qt::Key_1})
                QTest::keyClick(&w, key);
            f.app->FileFastSwitchMode_Action();
            QCoreApplication::processEvents();
            f.app->FileNew_Action();
            QTest::keyClick(&w, Qt::Key_Space);
            QTest::qWait(30);
            QTest::keyClick(&w, Qt::Key_Space);
        }
        const uint64_t callbacks = f.app->sound().audioStats().callbacks;
        QTRY_VERIFY(f.app->sound().audioStats().callbacks > callbacks + 10);
        QVERIFY(f.app->sound().engine().strokesPlayed() > 0);
        QCOMPARE(f.app->sound().synth().foreignCalls(), uint64_t{0});
    }

    // Out-of-range numbers in a file are clamped before the three-digit
    // fields see them, so the loop plays as it exports.
    void fieldsClampNumbersFromTheFile() {
        LoopRecord loop = parseLoop(Fixture::loopFixture("new-130").toStdString());
        const std::vector<std::pair<int, int>> cases{{1000, 127},  {-5, 0},        {128, 127},
                                                     {INT_MIN, 0}, {INT_MAX, 127}, {77, 77}};
        Fixture::Files files;
        for (size_t i = 0; i < cases.size(); ++i) {
            loop.edfiv[i % kTracks][0] = cases[i].first;
            loop.edfiv[kBassTrack][0] = cases[i].first;
            loop.edfiv[i % kTracks][1] = cases[i].first;
            files.emplace_back(QString("case %1").arg(i),
                               QByteArray::fromStdString(writeLoop("case", loop)));
        }
        Fixture f("1", files);
        for (size_t i = 0; i < cases.size(); ++i) {
            choose(f, 2 + static_cast<int>(i));
            const QString expected = QString::number(cases[i].second);
            const int t = static_cast<int>(i % kTracks);
            QCOMPARE(
                (QStringList{f.w().fields().EditFI[t]->text(), f.w().fields().EditFV[t]->text(),
                             f.w().fields().EditFI[kBassTrack]->text()}),
                (QStringList{expected, expected, expected}));
            QCOMPARE(f.g().edfiv[kBassTrack][0].load(), cases[i].second);
        }
    }

    void presetsFastSwitchAndSaving() {
        Fixture f("1", files());
        QCOMPARE(rows(f),
                 (QStringList{"Loops Presets", "-", "mid-120", "new-130", "old-119", "short"}));

        // In FastSwitch mode a load is queued, then changes only what sounds: codes 7 and 1
        // stay, the bass button's drawing, the fields and the grid are left as they were.
        const QImage bassButton = f.w().buttons().canv_bott[kBassButton]->backdrop().toImage();
        f.g().fastswitch = true;
        f.g().nome_file = "old-119";
        f.w().loop_aprithr();
        QCOMPARE(f.g().tempo.load(), 120);
        QCoreApplication::processEvents();
        QCOMPARE((QList{f.g().tempo.load(), f.pp(17), f.pp(12), f.g().pb[kBassButton].load()}),
                 (QList{95, 7, 1, kSwitchOff}));
        QCOMPARE((QStringList{f.w().fields().EditFV[0]->text(), f.w().loopNameLine()->text()}),
                 (QStringList{"99", "old-119"}));
        QCOMPARE(f.w().buttons().canv_bott[kBassButton]->backdrop().toImage(), bassButton);
        f.g().fastswitch = false;

        // The controls follow the loaded loop; the oldest layout's 7 loads as a
        // rest, and its velocities come from the track volumes.
        choose(f, 4);
        QCOMPARE((QList<int>{f.w().buttons().look(kBassButton), f.g().pb[kBassButton],
                             f.w().tempoSlider()->value(), f.g().ter_3_4}),
                 (QList<int>{kSwitchOff, kSwitchOff, 95, true}));
        QCOMPARE((QList{f.pp(17), f.g().volum[20].load()}), (QList{kRest, 90}));

        choose(f, 3); // choosing the loaded preset again reloads it
        f.g().pp[1] = kRest;
        choose(f, 3);
        QCOMPARE(f.pp(1), kHit);

        // FastSwitch mode turns the fields off and loads the first preset.
        for (const bool on : {true, false}) {
            f.app->FileFastSwitchMode->trigger();
            QCoreApplication::processEvents();
            QCOMPARE((QList<int>{f.g().fastswitch, f.g().loopattuale,
                                 f.w().fields().EditFI[0]->isEnabled()}),
                     (QList<int>{on, 2, !on}));
            QCOMPARE(f.w().loopNameLine()->text(), "mid-120");
            if (!on)
                break;
            // The arrows step without wrapping; a digit picks a row, the last at most.
            QList<int> visited;
            for (Qt::Key key :
                 {Qt::Key_Left, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                  Qt::Key_Down, Qt::Key_Up, Qt::Key_0, Qt::Key_1, Qt::Key_9}) {
                QTest::keyClick(&f.w(), key);
                QCoreApplication::processEvents();
                visited << f.g().loopattuale;
                QCOMPARE(f.w().loopNameLine()->text(), rows(f)[visited.last()]);
            }
            QCOMPARE(visited, (QList{2, 3, 4, 5, 5, 4, 5, 2, 3, 5}));
        }

        const auto folder = f.g().drumloopsfolder;
        const QStringList presets = rows(f);

        // Saving: what is saved, the groove too, comes back after New Loop.
        f.g().prefe[0] = "1";
        f.g().swing = 62;
        f.g().humanizeMs = 3;
        f.g().pp[6] = kRandomHit;
        f.g().pp[98] = 45;
        f.g().volum[6] = 64;
        f.w().fields().EditFI[3]->setText("56");
        f.w().tempoSlider()->setValue(133);
        QTest::mouseClick(f.w().buttons().canv_bott[kThreeFourButton], Qt::LeftButton);
        const QString before = QString::fromStdString(writeLoop("Fresh", f.w().currentLoop()));
        QPointer<finestrasalva> dialog;
        const auto open = [&] {
            f.app->FileSavecurrentloop->trigger();
            dialog = f.w().findChild<finestrasalva*>();
            QVERIFY(dialog);
            QCOMPARE(dialog->EditField1->text(), "loop"); // afresh every time
        };
        // A dialog's push button acts once the pointer is over it; true if the dialog stays.
        const auto click = [&](int button) {
            dialog->buttons().canv_bott_MouseEnter(button);
            dialog->buttons().canv_bott_MouseDown(button);
            QCoreApplication::processEvents();
            return !dialog.isNull();
        };
        open();
        // The grid takes edits while the dialog is open, and they are saved too.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        const int stroke2 = f.pp(1);
        QTest::mouseClick(&f.w().grid(), Qt::LeftButton, {},
                          QPoint(cellOrigin(1).x + 10, cellOrigin(1).y + 10));
        QVERIFY(f.pp(1) != stroke2);
        const QString edited = QString::fromStdString(writeLoop("Fresh", f.w().currentLoop()));
        QVERIFY(edited != before);
        f.app->FileSavecurrentloop->trigger(); // a second request shows the same dialog
        QCOMPARE(f.w().findChildren<finestrasalva*>().size(), 1);
        QLineEdit* name = dialog->EditField1;
        // Refused, the dialog staying: no name, a listed name, a folder that cannot be written.
        const auto files = QDir(f.dir.filePath("loops")).count();
        const auto unwritable = (f.dir.filePath("loops/old-119") + "/inside").toStdString();
        for (auto [text, where, message] :
             {std::tuple{"", folder, "Please write"},
              {"short", folder, "Name already in use, please change it!"},
              {"notes", folder, "Name already in use, please change it!"},
              {"Fresh", unwritable, "Could not save"}}) {
            f.g().drumloopsfolder = where;
            name->setText(text);
            QVERIFY(click(1));
            QVERIFY(dialog->StaticText2->text().startsWith(message));
        }
        QCOMPARE(rows(f), presets);
        QCOMPARE(QDir(f.dir.filePath("loops")).count(), files);
        QVERIFY(f.read("loops/short").endsWith("130\n101\n"));
        QCOMPARE(f.read("loops/notes"), "my own notes, not a loop\n");

        f.g().drumloopsfolder = folder;
        QVERIFY(!click(1));
        QCOMPARE(rows(f).last(), "Fresh");
        QCOMPARE(f.g().nome_file, std::string("Fresh"));
        QVERIFY(f.read("loops/Fresh").endsWith("\n62\n3\n0\n"));
        f.app->FileNew->trigger();
        QCOMPARE(f.g().swing.load(), kStraight);
        choose(f, rows(f).size() - 1);
        QCOMPARE(QString::fromStdString(writeLoop("Fresh", f.w().currentLoop())), edited);
        open();
        QVERIFY(!click(0));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LoopsWindowTest)
#include "test_loops_window.moc"
