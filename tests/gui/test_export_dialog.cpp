#include "AppFixture.h"
#include "app/Subcommands.h"
#include "export/MidiWriter.h"
#include "export/exportmidiwin.h"
#include "loops/FileNames.h"

#include <QMessageBox>
#include <QStandardPaths>

#include <fstream>

namespace zumbal {

// The export window through the real menu command: its two states, the name
// filter, the target folder and the file it writes.
class ExportDialogTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static Fixture::Files loops() {
        LoopRecord basic; // three drum tracks in 3/4: 12 strokes a pattern
        basic.pb.fill(kSwitchOff);
        for (int i : {0, 1, 2, kThreeFourButton})
            basic.pb[i] = kSwitchOn;
        basic.tempo = 100;
        return {{"Basic", QByteArray::fromStdString(writeLoop("Basic", basic))},
                {"Groove", Fixture::loopFixture("new-130")},
                {"notes", "not a loop\n"}};
    }
    static exportmidiwin* open(Fixture& f) {
        f.app->FileExportMidiFile->trigger();
        return f.w().findChild<exportmidiwin*>();
    }
    static void clickRow(exportmidiwin* win, int row, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(win->ListBox1->viewport(), Qt::LeftButton, keys,
                          win->ListBox1->visualItemRect(win->ListBox1->topLevelItem(row)).center());
    }
    // A dialog's push button acts once the pointer is over it.
    static void press(exportmidiwin* win) {
        win->buttons().canv_bott_MouseEnter(0);
        win->buttons().canv_bott_MouseDown(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The button's caption, how many of the controls waiting for a chosen loop are enabled,
    // the chosen loop, the name field, the repeats and the target.
    static QStringList state(exportmidiwin* win) {
        int enabled = win->Slider1->isEnabled() + win->EditField1->isEnabled();
        for (QRadioButton* radio : win->RadioBu)
            enabled += radio->isEnabled();
        return {win->buttons().can_bot[0].caption,
                QString::number(enabled),
                win->nome_emf,
                win->EditField1->text(),
                QString::number(win->Slider1->value()),
                win->StaticT->text(),
                win->StaticText6->text()};
    }

private slots:
    void statesNameFilterTargetsAndExports() {
        Fixture f("0", loops());
        const QString desktop =
            "Save to path: " + QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        exportmidiwin* win = open(f);
        QCOMPARE(f.g().battito.load(), 0); // the command stops playback
        QVERIFY(win && win->isVisible());
        QCOMPARE(state(win), (QStringList{"Close", "0", "", "", "4", "4", desktop}));
        QCOMPARE(win->ListBox1->topLevelItemCount(), 2); // "notes" has no tag
        // Closing by the close box exports nothing, whatever was chosen.
        clickRow(win, 0);
        win->setTarget(f.dir.filePath("out"));
        win->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!QDir(f.dir.filePath("out")).exists());

        win = open(f);
        clickRow(win, 1);
        win->Slider1->setValue(9);
        QCOMPARE(state(win),
                 (QStringList{"Export loop", "6", "Groove", "Groove", "9", "9", desktop}));
        clickRow(win, 1, Qt::ControlModifier);
        QCOMPARE(state(win).mid(0, 4), (QStringList{"Close", "0", "", ""}));
        press(win); // nothing chosen: the button only closes
        QVERIFY(!f.w().findChild<exportmidiwin*>());

        const QString target = f.dir.filePath("out/midi"); // made when missing
        // row, repeats, the name typed (null: the row's), the file written
        const std::tuple<int, int, const char*, const char*> cases[]{
            {0, 110, nullptr, "Basic.mid"},
            {1, 4, "My Take 2", "My Take 2.mid"},
            {1, 1, "", "Groove.mid"},
            {0, 4, nullptr, "Basic.mid"}};
        for (auto [row, repeats, typed, file] : cases) {
            win = open(f);
            clickRow(win, row);
            win->Slider1->setValue(repeats);
            if (typed)
                win->EditField1->setText(typed);
            win->setTarget(target);
            const QString loop = win->nome_emf;
            press(win);
            QVERIFY(!f.w().findChild<exportmidiwin*>());
            const QByteArray midi = f.read(target + "/" + file);
            const auto bytes =
                writeMidiFile(readLoopForExport(f.read("loops/" + loop).toStdString()), repeats);
            QCOMPARE(midi, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                      qsizetype(bytes.size())));
        }
        QCOMPARE(QDir(target).entryList(QDir::Files).size(), 3); // the last replaced the first

        const QString bad = f.dir.filePath("loops/Basic/inside"); // below a regular file
        win = open(f);
        clickRow(win, 0);
        win->setTarget(bad);
        press(win);
        QVERIFY(!f.w().findChild<exportmidiwin*>());
        auto* box = f.w().findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible() && box->text().contains("export failed"));
        QVERIFY(box->text().contains(bad + "/Basic.mid"));
        QCOMPARE(QDir(f.dir.filePath("loops")).entryList(QDir::Files).size(), 3);
        box->close();
        win = open(f); // the chosen file vanished: the window stays open
        clickRow(win, 1);
        QFile::remove(f.dir.filePath("loops/Groove"));
        press(win);
        QVERIFY(win->isVisible());
        QVERIFY(win->findChild<QMessageBox*>()->text().contains("Groove"));
    }

    // A song of the songs folder is listed after the loops and exported
    // whole, its entries' own passes and keys, a missing preset left out:
    // the same file as `zumbal export-midi SONGFILE` writes. One whose every
    // preset is missing says so and writes nothing.
    void aSongIsExportedWholeAsTheCommandLineExportsIt() {
        Fixture f("0", loops());
        f.write("loops/songs/Set", "Set song created by Zumbal (Zumbal song file format)\n100\n"
                                   "2\tD\tBasic\n1\t-\tgone\n3\t-\tGroove\n");
        f.write("loops/songs/Empty",
                "Empty song created by Zumbal (Zumbal song file format)\n100\n1\t-\tgone\n");
        const QString target = f.dir.filePath("out");
        exportmidiwin* win = open(f);
        QCOMPARE(win->ListBox1->topLevelItemCount(), 4);
        QCOMPARE(win->ListBox1->topLevelItem(3)->text(0), "Song: Set");
        clickRow(win, 3);
        QVERIFY(win->songChosen() && !win->Slider1->isEnabled());
        win->setTarget(target);
        press(win);
        Subcommand command;
        command.loopFile = f.dir.filePath("loops/songs/Set");
        command.output = f.dir.filePath("command.mid");
        QCOMPARE(runSubcommand(command), 0);
        QCOMPARE(f.read("out/Set.mid"), f.read("command.mid"));

        win = open(f);
        clickRow(win, 2);
        QCOMPARE(win->nome_emf, "Empty");
        win->setTarget(target);
        press(win);
        QVERIFY(win->isVisible());
        QVERIFY(win->findChild<QMessageBox*>()->text().contains("nothing to play"));
        QCOMPARE(QDir(target).entryList(QDir::Files), QStringList{"Set.mid"});
    }

    // The seed shows only for a row whose steps vary, a loop's or a song's
    // preset's, and is what the file's chances are drawn with; one that is
    // no seed keeps the window open.
    void aSeedForStepsThatVary() {
        Fixture f("0", loops());
        LoopRecord vary; // track 0 strikes every stroke, each at a chance of 50
        vary.pb.fill(kSwitchOff);
        vary.pb[0] = kSwitchOn;
        vary.tempo = 100;
        for (int c = 0; c < kStrokes; ++c)
            vary.steps[c].chance = 50;
        f.write("loops/Vary", QByteArray::fromStdString(writeLoop("Vary", vary)));
        f.write("loops/songs/Set",
                "Set song created by Zumbal (Zumbal song file format)\n100\n1\t-\tVary\n");
        const QString target = f.dir.filePath("out");
        // row, seed shown, seed typed, the file written (empty: none)
        const std::tuple<int, bool, const char*, const char*> cases[]{
            {0, false, nullptr, "Basic.mid"},
            {2, true, nullptr, "Vary.mid"},
            {2, true, "7", "Vary.mid"},
            {3, true, "8", "Set.mid"},
            {2, true, "18446744073709551616", ""}};
        for (auto [row, shown, typed, file] : cases) {
            exportmidiwin* win = open(f);
            clickRow(win, row);
            QCOMPARE(win->EditField2->isVisible(), shown);
            QCOMPARE(win->EditField2->text(), "1");
            if (typed)
                win->EditField2->setText(typed);
            win->setTarget(target);
            press(win);
            if (!*file) {
                QVERIFY(win->isVisible());
                QVERIFY(win->findChild<QMessageBox*>()->text().contains("seed"));
                continue;
            }
            const QByteArray midi = f.read("out/" + QString(file));
            const auto bytes = writeMidiFile(
                readLoopForExport(f.read(row ? "loops/Vary" : "loops/Basic").toStdString()),
                row == 3 ? 1 : 4, typed ? std::stoull(typed) : 1);
            QCOMPARE(midi, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                      qsizetype(bytes.size())));
        }
    }

    // A loop whose file name is not UTF-8 (Latin-1 "caf\xe9", from an older
    // system) is listed in the presets and the export window, loads when
    // chosen, and exports.
    void aFileNameInAnotherEncodingListsLoadsAndExports() {
        Fixture f("0", loops());
        const std::string name = "caf\xe9";
        std::ofstream(f.g().drumloopsfolder / name)
            << Fixture::loopFixture("new-130").toStdString();
        f.w().creapopupmenu();
        const int row = 3; // "Loops Presets", "-", "Basic", then it
        QCOMPARE(fileNameBytes(f.w().presetsMenu()->itemText(row)), name);
        f.g().tempo = 10;
        f.w().PopupMenu1_Change(row);
        QCoreApplication::processEvents();
        QCOMPARE(f.w().loopNameLine()->text(), fileNameText(name));
        QCOMPARE(f.g().tempo.load(),
                 parseLoop(Fixture::loopFixture("new-130").toStdString()).tempo); // loaded

        exportmidiwin* win = open(f);
        QCOMPARE(win->ListBox1->topLevelItemCount(), 3);
        clickRow(win, 1);
        QCOMPARE(win->EditField1->text(), "caf"); // letters, digits and spaces
        win->setTarget(f.dir.filePath("out"));
        press(win);
        QVERIFY(!QApplication::activeModalWidget()); // no "could not be read"
        QVERIFY(!f.read("out/caf.mid").isEmpty());
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::ExportDialogTest)
#include "test_export_dialog.moc"
