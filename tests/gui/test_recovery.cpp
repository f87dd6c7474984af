#include "AppFixture.h"
#include "loops/LoopFile.h"

#include <QMessageBox>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <functional>

namespace zumbal {

namespace {

// Run with this and a folder, the test program is a session that edits its
// loop and waits to be killed.
constexpr char kSessionArgument[] = "--edit-and-wait";

// A whole loop as a loop file holds it, with PLAY and the globe unlit as
// the recovery file keeps them.
QByteArray bytesOf(LoopRecord loop) {
    loop.pb[kPlayButton] = loop.pb[kWebButton] = kPushButton;
    return QByteArray::fromStdString(writeLoop({}, loop));
}

// The program as it starts, with every file it keeps in `folder`.
std::unique_ptr<App> openApp(const QString& folder) {
    auto app = std::make_unique<App>(test::AppFixture::settingsIn(folder));
    app->Event_Open();
    app->openMainWindow();
    app->startAudio();
    return app;
}

QString recoveryFile(const QString& folder) {
    return QDir(folder).filePath("zumbal recovered loop");
}

using test::writeFile;

// Drum strokes, the 3/4 switch, a bass note, the tempo and a track's volume.
void edit(Window_t1& w) {
    for (int cell : {3, 21, 40, 70})
        w.gestisci_drum(cell, Window_t1::kNoOrigin, 0);
    QTest::mouseClick(w.buttons().canv_bott[kThreeFourButton], Qt::LeftButton);
    w.gestisci_drum(kFirstBassCell + 4, Window_t1::kNoOrigin, 0);
    w.Event_MouseDown(200, 420);
    w.tempoSlider()->setValue(97);
    w.setTrackVolume(2, 64);
}

// The killed session: edits, waits until the recovery file holds the edit,
// prints the start-up loop and the edited one, and waits for its end.
int editAndWait(const QString& folder) {
    const std::unique_ptr<App> app = openApp(folder);
    Window_t1& w = app->window();
    const QByteArray startUp = bytesOf(w.currentLoop());
    edit(w);
    const QByteArray edited = bytesOf(w.currentLoop());
    const auto written = [&] {
        const QByteArray file = test::readFile(recoveryFile(folder));
        return !file.isEmpty() && bytesOf(parseLoop(file.toStdString())) == edited;
    };
    if (!QTest::qWaitFor(written, 60000)) {
        std::fputs("the recovery file never held the edited loop\n", stderr);
        return 1;
    }
    std::printf("%s %s\n", startUp.toBase64().constData(), edited.toBase64().constData());
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    // A session killed after an edit: the next start plays the start-up loop,
    // and Recover Last Loop brings back the edited one, whole.
    void aKilledSessionsEditIsRecovered() {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("loops"));
        QProcess session;
        session.start(QCoreApplication::applicationFilePath(), {kSessionArgument, dir.path()});
        while (!session.canReadLine() && session.waitForReadyRead(60000)) {
        }
        QVERIFY2(session.canReadLine(), session.readAllStandardError().constData());
        const QList<QByteArray> loops = session.readLine().trimmed().split(' ');
        QCOMPARE(loops.size(), 2);
        const QByteArray startUp = QByteArray::fromBase64(loops[0]);
        const QByteArray edited = QByteArray::fromBase64(loops[1]);
        QVERIFY(startUp != edited);
        ::kill(static_cast<pid_t>(session.processId()), SIGKILL);
        QVERIFY(session.waitForFinished());
        QCOMPARE(session.exitStatus(), QProcess::CrashExit);

        const std::unique_ptr<App> app = openApp(dir.path());
        Window_t1& w = app->window();
        QCOMPARE(app->model().battito.load(), 1);
        QCOMPARE(bytesOf(w.currentLoop()), startUp);
        app->Event_EnableMenuItems();
        QVERIFY(app->FileRecoverLastLoop->isEnabled());
        app->FileRecoverLastLoop->trigger();
        QCOMPARE(bytesOf(w.currentLoop()), edited);
        QCOMPARE(w.loopNameLine()->text(), "Recovered loop");

        // A file that holds no loop changes nothing, and says so.
        writeFile(recoveryFile(dir.path()), "not a loop\n");
        app->FileRecoverLastLoop->trigger();
        auto* box = w.findChild<QMessageBox*>();
        QVERIFY(box);
        QCOMPARE(box->text(), "The last loop could not be recovered: it is not a Zumbal loop file");
        QCOMPARE(bytesOf(w.currentLoop()), edited);
    }

    // What the previous session left is replaced only by an edit: not by a
    // start and a quit, an edit taken back, stopping with PLAY, or presets
    // played in FastSwitch mode.
    void onlyAnEditReplacesTheRecoveryFile() {
        struct Case {
            const char* name;
            std::function<void(App&)> act;
            bool replaced;
        };
        const auto toggle = [](App& app) {
            app.window().gestisci_drum(3, Window_t1::kNoOrigin, 0);
        };
        const Case cases[] = {
            {"no edit", [](App&) {}, false},
            {"edit undone",
             [&](App& app) {
                 toggle(app);
                 toggle(app);
             },
             false},
            {"PLAY clicked",
             [](App& app) {
                 QTest::mouseClick(app.window().buttons().canv_bott[kPlayButton], Qt::LeftButton);
             },
             false},
            {"FastSwitch",
             [](App& app) {
                 app.FileFastSwitchMode_Action();
                 QTRY_COMPARE(app.window().loopNameLine()->text(), "mid-120");
             },
             false},
            {"edit", toggle, true},
        };
        const QByteArray previous = test::AppFixture::loopFixture("new-130");
        for (const auto& [name, act, replaced] : cases) {
            QTemporaryDir dir;
            QDir().mkpath(dir.filePath("loops"));
            writeFile(dir.filePath("loops/mid-120"), test::AppFixture::loopFixture("mid-120"));
            writeFile(recoveryFile(dir.path()), previous);

            const std::unique_ptr<App> app = openApp(dir.path());
            act(*app);
            const QByteArray live = bytesOf(app->window().currentLoop());
            app->FileQuit->trigger(); // the quit writes at once
            const QByteArray kept = test::readFile(recoveryFile(dir.path()));
            QVERIFY2(replaced ? bytesOf(parseLoop(kept.toStdString())) == live : kept == previous,
                     name);
        }
    }

    // A preset that landed at the bar line since the lamp's last tick is
    // saved and kept for recovery whole, not with the old loop's controls.
    void aLoopJustLandedIsWrittenWhole() {
        using Fixture = test::AppFixture;
        const std::pair<const char*, std::function<QByteArray(Fixture&)>> writes[] = {
            {"save",
             [](Fixture& f) {
                 f.g().nome_file = "saved";
                 QString error;
                 f.w().loop_salva(error);
                 return f.read("loops/saved");
             }},
            {"recovery",
             [](Fixture& f) {
                 f.app->FileQuit->trigger();
                 return f.read("zumbal recovered loop");
             }},
        };
        for (const auto& [name, write] : writes) {
            Fixture f("0", {{"new-130", Fixture::loopFixture("new-130")}});
            f.w().setSwitchAtBarLine(true);
            f.w().PopupMenu1_Change(2);
            QCoreApplication::processEvents();
            f.render(17 * 44100 * 15 / 120); // past the next stroke 1
            const QByteArray file = write(f);
            QTRY_COMPARE(f.w().loopNameLine()->text(), "new-130");
            QVERIFY2(bytesOf(parseLoop(file.toStdString())) == bytesOf(f.w().currentLoop()), name);
        }
    }
};

} // namespace zumbal

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == zumbal::kSessionArgument)
        return zumbal::editAndWait(QString::fromLocal8Bit(argv[2]));
    application.setAttribute(Qt::AA_Use96Dpi, true);
    zumbal::RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_recovery.moc"
