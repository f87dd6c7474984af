#include "song/SongWindow.h"

#include "../support/TestFiles.h"
#include "loops/FileNames.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <functional>

Q_DECLARE_METATYPE(std::function<void(zumbal::SongWindow&)>)

namespace zumbal {

namespace fs = std::filesystem;

class SongWindowTest : public QObject {
    Q_OBJECT

    using Act = std::function<void(SongWindow&)>;

    // A window on a loops folder of its own, with its questions answered
    // from `names` and `yes` and its messages kept in `told`.
    struct Opened {
        QTemporaryDir dir;
        fs::path loops = fs::path(dir.path().toStdString()) / "loops";
        fs::path songs = loops / kSongsFolder;
        QMainWindow main; // stands in for the program's, with its own Undo
        SongWindow* w = nullptr;
        std::deque<QString> names;
        bool yes = true;
        int asked = 0;
        QStringList told;
        int mainUndos = 0;

        Opened() {
            fs::create_directories(loops);
            QAction* undo = main.menuBar()->addMenu(QStringLiteral("Edit"))->addAction("Undo");
            undo->setShortcut(QKeySequence::Undo);
            connect(undo, &QAction::triggered, [this] { ++mainUndos; });
            w = new SongWindow(loops, &main);
            w->dialogs.saveName = [this](const QString&) -> std::optional<QString> {
                if (names.empty())
                    return std::nullopt;
                QString name = names.front();
                names.pop_front();
                return name;
            };
            w->dialogs.confirm = [this](const QString&) {
                ++asked;
                return yes;
            };
            w->dialogs.tell = [this](const QString& message) { told << message; };
            w->setPresets({"Funk Ghosts", "Fill 2", "Caf\xe9 loop"});
            w->setSong(start(), {});
            main.show();
            w->show();
            w->activateWindow();
        }
        static Song start() {
            return {"Friday set", {{4, {}, "Funk Ghosts"}, {2, 4, "Gone"}, {1, {}, "Fill 2"}}};
        }
        QString row(int i) const {
            const QTreeWidgetItem* item = w->entryList->topLevelItem(i);
            return item->text(0) + " | " + item->text(1) + " | " + item->text(2);
        }
        bool greyed(int i) const {
            return w->entryList->topLevelItem(i)->foreground(0) ==
                   w->palette().brush(QPalette::Disabled, QPalette::Text);
        }
    };

    // The song in one line: "name: preset passes key, ..." and "loop" when it loops.
    static QByteArray describe(const SongWindow& w) {
        std::string text = w.song().name + ":";
        for (const SongEntry& e : w.song().entries)
            text += " " + e.preset + " " + std::to_string(e.passes) + " " +
                    (e.key ? std::string(keyName(*e.key)) : "-") + ",";
        return QByteArray::fromStdString(text + (w.loopSong() ? " loop" : ""));
    }

private slots:
    void eachEditIsOneStepUndoneAndRedoneByItsKeys_data() {
        const auto click = [](auto SongWindow::*button) {
            return [button](SongWindow& w) { QTest::mouseClick(w.*button, Qt::LeftButton); };
        };
        const auto keys = [](auto SongWindow::*field, std::vector<QKeyCombination> pressed) {
            return [field, pressed](SongWindow& w) {
                (w.*field)->setFocus();
                for (QKeyCombination key : pressed)
                    QTest::keyClick(w.*field, key.key(), key.keyboardModifiers());
            };
        };
        const auto add = [](int preset) {
            return [preset](SongWindow& w) {
                w.presetCombo->setCurrentIndex(preset);
                QTest::mouseClick(w.addButton, Qt::LeftButton);
            };
        };
        QTest::addColumn<int>("chosen");
        QTest::addColumn<Act>("act");
        QTest::addColumn<QByteArray>("after"); // empty: as it was, and no step
        QTest::addColumn<int>("selected");
        const auto row = [](const char* what, int chosen, Act act, const char* after,
                            int selected) {
            QTest::newRow(what) << chosen << act << QByteArray(after) << selected;
        };
        row("add after the selected", 0, add(2),
            "Friday set: Funk Ghosts 4 -, Caf\xe9 loop 1 -, Gone 2 E, Fill 2 1 -,", 1);
        row("add with none selected", -1, add(0),
            "Friday set: Funk Ghosts 4 -, Gone 2 E, Fill 2 1 -, Funk Ghosts 1 -,", 3);
        row("remove", 1, click(&SongWindow::removeButton),
            "Friday set: Funk Ghosts 4 -, Fill 2 1 -,", 1);
        row("remove the last", 2, click(&SongWindow::removeButton),
            "Friday set: Funk Ghosts 4 -, Gone 2 E,", 1);
        row("remove with none selected", -1, click(&SongWindow::removeButton), "", -1);
        row("up", 2, click(&SongWindow::upButton),
            "Friday set: Funk Ghosts 4 -, Fill 2 1 -, Gone 2 E,", 1);
        row("up from the top", 0, click(&SongWindow::upButton), "", 0);
        row("down", 0, click(&SongWindow::downButton),
            "Friday set: Gone 2 E, Funk Ghosts 4 -, Fill 2 1 -,", 1);
        row("down from the bottom", 2, click(&SongWindow::downButton), "", 2);
        row("duplicate a missing one", 1, click(&SongWindow::duplicateButton),
            "Friday set: Funk Ghosts 4 -, Gone 2 E, Gone 2 E, Fill 2 1 -,", 2);
        row("passes by arrow", 1, keys(&SongWindow::passesSpin, {Qt::Key_Up}),
            "Friday set: Funk Ghosts 4 -, Gone 3 E, Fill 2 1 -,", 1);
        row("passes typed", 0,
            keys(&SongWindow::passesSpin,
                 {Qt::CTRL | Qt::Key_A, Qt::Key_1, Qt::Key_2, Qt::Key_Return}),
            "Friday set: Funk Ghosts 12 -, Gone 2 E, Fill 2 1 -,", 0);
        row("passes past 99", 2,
            keys(&SongWindow::passesSpin,
                 {Qt::CTRL | Qt::Key_A, Qt::Key_9, Qt::Key_9, Qt::Key_Up, Qt::Key_Return}),
            "Friday set: Funk Ghosts 4 -, Gone 2 E, Fill 2 99 -,", 2);
        row("key", 0, keys(&SongWindow::keyCombo, {Qt::Key_Down}),
            "Friday set: Funk Ghosts 4 C, Gone 2 E, Fill 2 1 -,", 0);
        row("own key", 1, keys(&SongWindow::keyCombo, {Qt::Key_Home}),
            "Friday set: Funk Ghosts 4 -, Gone 2 -, Fill 2 1 -,", 1);
        row("name typed", 0, keys(&SongWindow::nameEdit, {Qt::Key_End, Qt::Key_Space, Qt::Key_2}),
            "Friday set 2: Funk Ghosts 4 -, Gone 2 E, Fill 2 1 -,", 0);
        row("name typed back", 0,
            keys(&SongWindow::nameEdit, {Qt::Key_End, Qt::Key_X, Qt::Key_Backspace}), "", 0);
        row("loop the song", 1, click(&SongWindow::loopBox),
            "Friday set: Funk Ghosts 4 -, Gone 2 E, Fill 2 1 -, loop", 1);
    }

    // Each edit is one step, undone with Ctrl+Z from the field that has the
    // focus and redone with Ctrl+Shift+Z or Ctrl+Y, the selection coming
    // back with it; one that cannot be made leaves no step. The main
    // window's Undo is never triggered.
    void eachEditIsOneStepUndoneAndRedoneByItsKeys() {
        QFETCH(int, chosen);
        QFETCH(Act, act);
        QFETCH(QByteArray, after);
        QFETCH(int, selected);
        const QByteArray start = "Friday set: Funk Ghosts 4 -, Gone 2 E, Fill 2 1 -,";
        const int steps = after.isEmpty() ? 0 : 1;
        if (after.isEmpty())
            after = start;
        Opened o;
        SongWindow& w = *o.w;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.entryList->setCurrentItem(chosen < 0 ? nullptr : w.entryList->topLevelItem(chosen));
        QSignalSpy edited(&w, &SongWindow::songEdited);
        act(w);
        QCOMPARE(describe(w), after);
        QCOMPARE(w.selectedEntry(), selected);
        QCOMPARE(w.history().count(), steps);
        const qsizetype byEdit = edited.count(); // one a key typed
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(describe(w), start);
        QCOMPARE(w.selectedEntry(), steps ? chosen : selected);
        QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(describe(w), after);
        QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(describe(w), after);
        QCOMPARE(edited.count() - byEdit, steps * 4);
        QCOMPARE(o.mainUndos, 0);
        // The row and the fields show the entry as edited.
        if (selected >= 0) {
            const SongEntry& e = w.song().entries[selected];
            QCOMPARE(w.passesSpin->value(), e.passes);
            QCOMPARE(w.keyCombo->currentIndex(), e.key ? *e.key + 1 : 0);
            QVERIFY(o.row(selected).contains(QStringLiteral("× %1").arg(e.passes)));
        }
    }

    // An entry whose preset is not in the presets list, or leaves it, shows
    // as missing, greyed, and stays through a save; the entry playing shows
    // its pass.
    void missingEntriesShowAndAreSaved() {
        Opened o;
        SongWindow& w = *o.w;
        QCOMPARE(o.row(0), QStringLiteral("Funk Ghosts | × 4 | own key"));
        QCOMPARE(o.row(1), QStringLiteral("Gone (missing) | × 2 | key E"));
        QVERIFY(!o.greyed(0) && o.greyed(1));
        w.setPresets({"Fill 2"}); // Funk Ghosts renamed
        QCOMPARE(o.row(0), QStringLiteral("Funk Ghosts (missing) | × 4 | own key"));
        QVERIFY(o.greyed(0) && !o.greyed(2));
        QCOMPARE(w.presetCombo->count(), 1);
        w.showPlaying(2, 1);
        QCOMPARE(o.row(2), QStringLiteral("▶ Fill 2 | pass 1 of 1 | own key"));
        w.showPlaying(-1, 0);
        QCOMPARE(o.row(2), QStringLiteral("Fill 2 | × 1 | own key"));

        QVERIFY(!fs::exists(o.songs));
        o.names = {QStringLiteral("Friday set")};
        QTest::mouseClick(w.saveButton, Qt::LeftButton);
        std::string error;
        QCOMPARE(readSongFile(o.songs / "Friday set", error), std::optional(Opened::start()));
        QCOMPARE(w.path(), o.songs / "Friday set");
        QVERIFY(o.told.isEmpty());
    }

    // Save As makes a new file and never replaces an item of that name (a
    // file, or a link to nothing): it asks for another name. Save writes
    // the opened file again. File names are the song's name, plain.
    void saveAsNeverReplacesAndSaveRewrites() {
        Opened o;
        SongWindow& w = *o.w;
        fs::create_directories(o.songs);
        QVERIFY(
            test::writeFile(QString::fromStdString((o.songs / "Friday set").string()), "precious"));
        fs::create_symlink(o.loops / "nowhere", o.songs / "Gig");
        o.names = {QStringLiteral("Friday set"), QStringLiteral("Gig"),
                   QStringLiteral(" ./Friday/set 2 ")};
        QVERIFY(w.saveAs());
        QCOMPARE(o.told.size(), 2);
        QVERIFY(o.told[0].contains(QStringLiteral("\"Friday set\" is already")));
        QCOMPARE(test::readFile(QString::fromStdString((o.songs / "Friday set").string())),
                 QByteArray("precious"));
        QVERIFY(!fs::exists(o.loops / "nowhere"));
        QCOMPARE(w.path(), o.songs / "Friday set 2");
        QVERIFY(w.history().isClean() && !w.fileLabel->text().contains("changed"));

        w.nameEdit->setFocus();
        QTest::keyClicks(w.nameEdit, QStringLiteral("!"));
        QVERIFY(w.fileLabel->text().endsWith(QStringLiteral("(changed)")));
        QVERIFY(w.save());
        std::string error;
        QCOMPARE(readSongFile(w.path(), error)->name, std::string("Friday set!"));
        o.names.clear(); // cancelled
        QVERIFY(!w.saveAs());
        QCOMPARE(std::distance(fs::directory_iterator(o.songs), {}), 3);

        const struct {
            QString name, file;
        } names[] = {
            {"  .hidden  ", "hidden"},
            {"..", "song"},
            {"", "song"},
            {"Tab\there\nand\x7f"
             "there",
             "Tab here and there"},
            {fileNameText("Caf\xe9 ol\xc3\xa9"), "Caf olé"},
            {QString(200, QChar(u'é')), QString(127, QChar(u'é'))},
        };
        for (const auto& [name, file] : names)
            QCOMPARE(songFileName(name), file);
    }

    // A file that is not a song is refused with a one-line message and
    // nothing changes; Open asks before dropping unsaved edits.
    void whatIsNotASongIsRefused() {
        Opened o;
        SongWindow& w = *o.w;
        const auto write = [&](const char* name, const std::string& bytes) {
            std::ofstream(o.loops / name, std::ios::binary) << bytes;
            return o.loops / name;
        };
        const fs::path song = write("a song", writeSong({"Saturday", {{3, 0, "Fill 2"}}}));
        std::string huge = writeSong({"Huge", {}});
        huge.resize(kMaxSongFileBytes + 1, '\n');
        QVERIFY(mkfifo((o.loops / "pipe").c_str(), 0600) == 0);
        fs::create_directory(o.loops / "folder");
        const fs::path refused[] = {
            write("notes.txt", "Friday set\n100\n4\t-\tFunk Ghosts\n"),
            write("loop", "Funk (Zumbal loop file format)\n"),
            write("binary", std::string("\x7f"
                                        "ELF\0\x02\x01(Zumbal song file format)",
                                        30)),
            write("huge", huge),
            o.loops / "pipe",
            o.loops / "folder",
            o.loops / "nothing",
        };
        QTest::mouseClick(w.duplicateButton, Qt::LeftButton);
        const QByteArray edited = describe(w);
        QSignalSpy changed(&w, &SongWindow::songEdited);
        for (const fs::path& path : refused) {
            o.told.clear();
            QVERIFY(!w.openFile(path));
            QCOMPARE(o.told.size(), 1);
            QVERIFY2(!o.told[0].contains(u'\n') && o.told[0].contains(path.filename().c_str()),
                     qPrintable(o.told[0]));
            QCOMPARE(describe(w), edited);
            QVERIFY(w.path().empty() && w.history().count() == 1);
        }
        QCOMPARE(changed.count(), 0);

        w.dialogs.songToOpen = [&](const fs::path&) { return std::optional(song); };
        o.yes = false;
        QTest::mouseClick(w.openButton, Qt::LeftButton);
        QCOMPARE(describe(w), edited);
        o.yes = true;
        QTest::mouseClick(w.openButton, Qt::LeftButton);
        QCOMPARE(o.asked, 2);
        QCOMPARE(describe(w), QByteArray("Saturday: Fill 2 3 C,"));
        QVERIFY(w.path() == song && w.history().count() == 0 && changed.count() == 1);
        QTest::mouseClick(w.newButton, Qt::LeftButton); // nothing to lose: not asked
        QVERIFY(o.asked == 2 && w.song() == Song{} && w.path().empty());
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::SongWindowTest)
#include "test_song_window.moc"
