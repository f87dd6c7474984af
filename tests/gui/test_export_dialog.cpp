#include "AppFixture.h"
#include "export/MidiWriter.h"
#include "export/exportmidiwin.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

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
        QFile groove(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../loops/fixtures/new-130"));
        groove.open(QIODevice::ReadOnly);
        return {{"Basic", QByteArray::fromStdString(writeLoop("Basic", basic))},
                {"Groove", groove.readAll()},
                {"notes", "not a loop\n"}};
    }
    static QString desktop() {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
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
    // How many of the controls that wait for a chosen loop are enabled.
    static int enabledControls(exportmidiwin* win) {
        int enabled = win->Slider1->isEnabled() + win->EditField1->isEnabled();
        for (QRadioButton* radio : win->RadioBu)
            enabled += radio->isEnabled();
        return enabled;
    }
    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray expectedMidi(Fixture& f, const QString& loop, int repeats) {
        const auto bytes = writeMidiFile(
            readLoopForExport(readAll(f.dir.filePath("loops/" + loop)).toStdString()), repeats);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }

private slots:
    void commandStopsPlaybackAndEveryOpeningStartsAfresh() {
        Fixture f("1", loops());
        QCOMPARE(f.g().battito.load(), 1);
        f.sounds->played.clear();
        exportmidiwin* win = open(f);
        QCOMPARE(f.g().battito.load(), 0);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::Loaded1});
        for (int opening = 0; opening < 2; ++opening) {
            QVERIFY(win && win->isVisible());
            QCOMPARE(win->StaticText6->text(), "Save to path: " + desktop());
            QCOMPARE(win->Slider1->value(), 4);
            QCOMPARE(win->StaticT->text(), QStringLiteral("4"));
            QCOMPARE(enabledControls(win), 0);
            QCOMPARE(win->buttons().can_bot[0][3], QStringLiteral("Close"));
            QCOMPARE(win->ListBox1->topLevelItemCount(), 2); // "notes" has no tag
            QCOMPARE(win->ListBox1->topLevelItem(1)->text(0), QStringLiteral("Groove"));
            // Closing by the close box exports nothing, whatever was chosen.
            clickRow(win, 0);
            win->Slider1->setValue(20);
            win->setTarget(f.dir.filePath("out"));
            win->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!QDir(f.dir.filePath("out")).exists());
            win = open(f);
        }
        press(win); // nothing chosen: the button only closes
        QVERIFY(!f.w().findChild<exportmidiwin*>());
    }

    void selectionSwitchesStatesAndSoundsWhateverThePreference() {
        Fixture f("0", loops());
        exportmidiwin* win = open(f);
        const QImage closeLook = win->buttons().canv_bott[0]->backdrop().toImage();
        f.sounds->played.clear();
        clickRow(win, 1);
        QCOMPARE(win->nome_emf, QStringLiteral("Groove"));
        QCOMPARE(win->EditField1->text(), QStringLiteral("Groove"));
        QCOMPARE(win->buttons().can_bot[0][3], QStringLiteral("Export loop"));
        QVERIFY(win->buttons().canv_bott[0]->backdrop().toImage() != closeLook);
        QCOMPARE(enabledControls(win), 6);

        clickRow(win, 1, Qt::ControlModifier);
        QVERIFY(win->nome_emf.isEmpty() && win->EditField1->text().isEmpty());
        QCOMPARE(win->buttons().canv_bott[0]->backdrop().toImage(), closeLook);
        QCOMPARE(enabledControls(win), 0);
        QCOMPARE(f.sounds->played, (std::vector<SoundId>{SoundId::PublicD, SoundId::ButtonC}));
    }

    void nameFieldKeepsLettersDigitsAndSpaces() {
        Fixture f("1", loops());
        exportmidiwin* win = open(f);
        clickRow(win, 0);
        QLineEdit* field = win->EditField1;
        QTest::keyClicks(field, QStringLiteral("-_. a1"));
        QCOMPARE(field->text(), QStringLiteral("Basic a1"));
        // Pasted text is filtered through, and the caret stays after it.
        field->setCursorPosition(2);
        field->insert(QStringLiteral("x-y_z/../é"));
        QCOMPARE(field->text(), QStringLiteral("Baxyzsic a1"));
        QCOMPARE(field->cursorPosition(), 5);
    }

    void exportWritesTheChosenLoopRepeated() {
        struct Case {
            int row;
            int repeats;
            QString typed; // "=": keep the row's name
            QString file;
        };
        const std::vector<Case> cases{
            {0, 110, "=", "Basic.mid"},
            {1, 4, "My Take 2", "My Take 2.mid"},
            {1, 1, "", "Groove.mid"},
            {0, 4, "=", "Basic.mid"}, // replaces the first
        };
        Fixture f("1", loops());
        const QString target = f.dir.filePath("out/midi"); // made when missing
        for (const Case& c : cases) {
            exportmidiwin* win = open(f);
            clickRow(win, c.row);
            win->Slider1->setValue(c.repeats);
            QCOMPARE(win->StaticT->text(), QString::number(c.repeats));
            if (c.typed != "=")
                win->EditField1->setText(c.typed);
            win->setTarget(target);
            const QString loop = win->nome_emf;
            if (c.repeats == 110) {
                press(win);
                // Three drum tracks of 12 strokes, 110 times, 4 bytes an event.
                const QByteArray midi = readAll(target + "/" + c.file);
                QCOMPARE(midi.mid(41, 4), QByteArray("MTrk"));
                QCOMPARE(qFromBigEndian<quint32>(midi.constData() + 45), 8u + 4 * 3 * 12 * 110);
            } else {
                f.sounds->played.clear();
                press(win);
                QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::Loaded2});
            }
            QVERIFY(!f.w().findChild<exportmidiwin*>());
            QCOMPARE(readAll(target + "/" + c.file), expectedMidi(f, loop, c.repeats));
        }
        QCOMPARE(QDir(target).entryList(QDir::Files).size(), 3);
    }

    void failuresWarnAndWriteNothing() {
        Fixture f("1", loops());
        const QString target = f.dir.filePath("loops/Basic/inside"); // below a regular file
        exportmidiwin* win = open(f);
        clickRow(win, 0);
        win->setTarget(target);
        press(win);
        QVERIFY(!f.w().findChild<exportmidiwin*>());
        auto* box = f.w().findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible() && box->text().contains("export failed"));
        QVERIFY(box->text().contains(target + "/Basic.mid"));
        QCOMPARE(QDir(f.dir.filePath("loops")).entryList(QDir::Files).size(), 3);
        box->close();

        // The chosen file vanished: the window stays open.
        win = open(f);
        clickRow(win, 1);
        QFile::remove(f.dir.filePath("loops/Groove"));
        press(win);
        QVERIFY(win->isVisible());
        QVERIFY(win->findChild<QMessageBox*>()->text().contains("Groove"));
    }

    void cancelledFolderChooserTargetsTheDesktop() {
        Fixture f("1", loops());
        exportmidiwin* win = open(f);
        clickRow(win, 0);
        QTest::mouseClick(win->RadioBu[2], Qt::LeftButton);
        QCOMPARE(win->target(), QCoreApplication::applicationDirPath());
        QTimer::singleShot(200, [] {
            if (QWidget* chooser = QApplication::activeModalWidget())
                chooser->close();
        });
        QTest::mouseClick(win->RadioBu[3], Qt::LeftButton);
        QVERIFY(win->RadioBu[0]->isChecked());
        QCOMPARE(win->StaticText6->text(), "Save to path: " + desktop());
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::ExportDialogTest)
#include "test_export_dialog.moc"
