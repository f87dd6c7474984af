#include "AppFixture.h"
#include "loops/LoopModel.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace zumbal {

class MainWindowTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    // What the program writes on stderr while `run` runs.
    static QByteArray stderrOf(const std::function<void()>& run) {
        QTemporaryFile file;
        if (!file.open())
            return "<no temporary file>";
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        ::dup2(file.handle(), STDERR_FILENO);
        run();
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        file.seek(0);
        return file.readAll();
    }

private slots:
    // A loop file named on the command line opens in place of the start-up
    // loop and plays from its stroke 1, whatever its layout; a missing file
    // and a file that is not a loop are said in one line on stderr, and the
    // start-up loop plays.
    void loopFileOnTheCommandLine() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("loops")));
        QFile notes(dir.filePath("notes"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("a shopping list\n");
        notes.close();
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);
        const QString fixtures = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../loops/fixtures/");
        for (const char* name : {"old-119", "mid-120", "new-130", "missing", "notes", "pipe"}) {
            const QByteArray text = Fixture::loopFixture(name);
            const bool loop = !text.isEmpty();
            globali expected;
            setStartupLoop(expected);
            if (loop)
                loadIntoModel(expected, parseLoop(text.toStdString()), true);

            AppSettings settings = Fixture::settingsIn(dir.path());
            settings.loopFile = (loop ? fixtures : dir.path() + '/') + name;
            App app(settings);
            // The SoundFont loader's own line may come meanwhile, from its thread.
            QByteArray said = stderrOf([&app] { app.Event_Open(); });
            said.replace("zumbal: no such file: /nonexistent/none.sf2; playing silently\n", "");
            app.openMainWindow();
            const QString trace = QStringLiteral("%1: %2").arg(name, said);
            QVERIFY2(loop ? said.isEmpty()
                          : said.startsWith("zumbal: cannot open " + settings.loopFile.toUtf8()) &&
                                said.count('\n') == 1 && said.endsWith("start-up loop\n"),
                     qPrintable(trace));
            QVERIFY2((app.window().loopNameLine()->text() == name) == loop, qPrintable(trace));
            const globali& g = app.model();
            QCOMPARE(g.tempo, expected.tempo);
            for (int c = 0; c < kCells; ++c)
                QVERIFY2(g.pp[c] == expected.pp[c], qPrintable(trace + QString::number(c)));
            for (int t = 0; t < kTracks; ++t)
                QCOMPARE(g.edfiv[t][0].load(), expected.edfiv[t][0].load());

            PlaybackEngine& engine = app.sound().engine();
            for (int i = 0; i < 2000 && engine.strokesPlayed() == 0; ++i)
                engine.process(512, [](int, int) {});
            QCOMPARE(engine.lastStroke(), 1);
        }
    }

    // Every File menu shortcut reaches its command while a track field has
    // the focus, as a volume or drum pick leaves it; Ctrl+A stays the field's.
    void menuShortcutsWorkWhileAFieldHasTheFocus() {
        test::AppFixture f("1", {{"a loop", test::AppFixture::loopFixture("new-130")}});
        App& app = *f.app;
        const std::vector<std::pair<QAction*, Qt::Key>> shortcuts{
            {app.FileNew, Qt::Key_N},
            {app.FileLoadDrum, Qt::Key_O},
            {app.FileSavecurrentloop, Qt::Key_S},
            {app.FileExportMidiFile, Qt::Key_E},
            {app.FileFastSwitchMode, Qt::Key_M},
            {app.FilePreferences, Qt::Key_Comma},
            {app.FileQuit, Qt::Key_Q}};
        for (EditField_Numero* field :
             {f.w().fields().EditFV[0], f.w().fields().EditFI[3], f.w().fields().EditFV[6]}) {
            for (const auto& [action, key] : shortcuts) {
                action->disconnect(); // only whether it fires matters here
                QSignalSpy fired(action, &QAction::triggered);
                field->setFocus();
                QTest::keyClick(field, key, Qt::ControlModifier);
                QVERIFY2(fired.count() == 1, qPrintable(action->text()));
            }
            field->setText("12");
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(field->selectedText(), "12");
        }
    }

    void mainWindowFromStartupToNewLoop() {
        test::AppFixture f;
        QCOMPARE(f.g().battito.load(), 1); // a beat is playing
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::Loaded2});
        f.render(6000); // the lamp follows the strokes: 1, then 2
        QTRY_COMPARE(f.w().tempoLamp()->colour(), QColor::fromHsvF(0.25, 1, 0.8));
        f.render(5600);
        QTRY_COMPARE(f.w().tempoLamp()->colour(), QColor::fromHsvF(0, 1, 0.8));

        // The space bar stops and starts, also in a track field, where it types nothing, with
        // the sound only when the preference is on.
        EditField_Numero* field = f.w().fields().EditFI[0];
        for (const char* on : {"0", "1"}) {
            f.g().prefe[0] = on;
            f.sounds->played.clear();
            for (int battito : {0, 1}) {
                QTest::keyClick(*on == '1' ? static_cast<QWidget*>(field) : &f.w(), Qt::Key_Space);
                QCOMPARE(f.g().battito.load(), battito);
            }
            QCOMPARE(f.sounds->played, std::vector<SoundId>(*on == '1' ? 2 : 0, SoundId::Loaded1));
        }
        QCOMPARE(field->text(), "36");

        // T taps the tempo; two quick taps are a fast beat.
        for (int tap = 0; tap < 2; ++tap)
            QTest::keyClick(&f.w(), Qt::Key_T);
        QVERIFY(f.g().tempo.load() > 120);

        // New Loop resets everything but the playback and the bass selection.
        for (int t = 0; t < kTracks; ++t) {
            f.w().fields().EditFI[t]->setText("70");
            f.w().fields().EditFV[t]->setText("5");
        }
        for (int c = 0; c < kCells; ++c)
            f.g().pp[c] = c < kFirstBassCell ? kRandomHit : 60;
        for (int i : {0, 5, 6, 11, kThreeFourButton, kTernaryButton, kBassButton})
            f.w().setButtonState(i, f.g().pb[i] == kSwitchOn ? kSwitchOff : kSwitchOn);
        f.g().ter_3_4 = f.g().ter_ter = true;
        f.g().key_tasto_indice = 101;
        f.render(6000);
        const int battito = f.g().battito;
        f.sounds->played.clear();
        QTest::keyClick(&f.w(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE((QList<int>{f.g().battito, f.g().tempo, f.g().ter_3_4, f.g().ter_ter,
                             f.g().key_tasto_indice}),
                 (QList<int>{battito, 120, false, false, 101}));
        QCOMPARE(f.w().tempoText()->text(), "120");
        for (int c = 0; c < kCells; ++c) {
            QCOMPARE(f.pp(c), c < kFirstBassCell ? kRest : kBassRest);
            QCOMPARE(f.g().volum[c].load(), 99);
        }
        for (int t = 0; t < kTracks; ++t)
            QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                         .arg(f.g().edfiv[t][0])
                         .arg(f.g().edfiv[t][1])
                         .arg(f.w().fields().EditFI[t]->text(), f.w().fields().EditFV[t]->text()),
                     QStringLiteral("%1 99 %1 99").arg(kDefaultSounds[t]));
        for (int i = 0; i < kButtons; ++i)
            if (i != kPlayButton && i != kWebButton)
                QCOMPARE(f.w().buttons().look(i),
                         i < 6 || i == kBassButton ? kSwitchOn : kSwitchOff);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::powerdow});

        // FastSwitch mode wants a preset, Recover Last Loop a recovery file; while FastSwitch
        // is on (checked: C), only itself, Live Settings (for learning a pedal on stage), the
        // song window (a song is played live) and Quit are enabled.
        const QString recoveryFile = f.dir.filePath("zumbal recovered loop");
        for (auto [fast, presets, recovery, states] :
             {std::tuple{false, 0, false, "EE|E-EEE|-|EE|EE"},
              {false, 1, true, "EE|EEEEE|E|EE|EE"},
              {true, 1, true, "--|----E|C|-E|E-"},
              {true, 0, false, "--|----E|-|-E|E-"}}) {
            f.w().presetsMenu()->clear();
            f.w().presetsMenu()->addItems(QStringList(2 + presets, "row"));
            QFile::remove(recoveryFile);
            if (recovery)
                f.write("zumbal recovered loop", "");
            f.g().fastswitch = fast;
            f.app->Event_EnableMenuItems();
            QString shown;
            for (QAction* a : f.app->FileMenu->actions())
                shown += a->isSeparator() ? "|" : a->isChecked() ? "C" : a->isEnabled() ? "E" : "-";
            QCOMPARE(shown, QString(states));
        }
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::MainWindowTest)
#include "test_main_window.moc"
