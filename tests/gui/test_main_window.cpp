#include "AppFixture.h"

#include <QFile>
#include <QTest>

#include <vector>

namespace zumbal {

class MainWindowTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;
    using RecordingSounds = test::RecordingSounds;

private slots:
    void opensAtItsSizeWithTheStartupLoopPlaying() {
        Fixture f;
        QCOMPARE(f.w().windowTitle(), QStringLiteral("Zumbal"));
        QCOMPARE(f.w().client()->size(), QSize(799, 443));
        QCOMPARE(f.w().client()->y(), f.app->MenuBar1->height());
        QCOMPARE(f.w().minimumSize(), f.w().maximumSize());
        // The backdrop shows the keyboard: white keys light, black keys dark.
        const QImage backdrop = f.w().client()->grab().toImage();
        QVERIFY(qGray(backdrop.pixel(10, 430)) > 200);
        QVERIFY(qGray(backdrop.pixel(19, 370)) < 80);
        QVERIFY(qGray(backdrop.pixel(9, 370)) > 200);
        for (QWidget* control :
             std::initializer_list<QWidget*>{f.w().Slider1, f.w().StaticText14, f.w().StaticText13})
            QCOMPARE(control->parentWidget(), f.w().client());
        QCOMPARE(f.w().Slider1->geometry(), QRect(170, 324, 230, 20));
        QCOMPARE(f.w().CanvasTempo->geometry(), QRect(122, 317, 12, 12));
        QCOMPARE(f.w().StaticText13->text(), QStringLiteral("120"));

        QCOMPARE(f.g().battito.load(), 1);
        QCOMPARE(f.g().tempo.load(), 120);
        for (int c = 0; c < kCells; ++c) {
            const bool hit = c == 0 || c == 8 || c == 20 || c == 28;
            QCOMPARE(f.g().pp[c].load(), hit ? kHit : c < kFirstBassCell ? kRest : kBassRest);
        }
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::Loaded2});
    }

    void keyboardPictureMatchesTheClickGeometry() {
        Fixture f;
        const QImage backdrop = f.w().client()->grab().toImage();
        const NoteArray notes = crea_notearray();
        const auto sharp = [](int note) {
            const int n = note % 12;
            return n == 1 || n == 3 || n == 6 || n == 8 || n == 10;
        };
        int checked = 0;
        for (int y : {360, 380, 400, 410, 430}) {
            for (int x = 1; x < 798; ++x) {
                const int note = keyboardNote(x, y, notes);
                // Pixels next to a key boundary are the keys' edges.
                if (keyboardNote(x - 1, y, notes) != note || keyboardNote(x + 1, y, notes) != note)
                    continue;
                const bool dark = qGray(backdrop.pixel(x, y)) < 100;
                QVERIFY2(dark == sharp(note),
                         qPrintable(QStringLiteral("x %1 y %2").arg(x).arg(y)));
                ++checked;
            }
        }
        QVERIFY(checked > 3000);
    }

    void menuItemsAndTheEnablingRule() {
        Fixture f;
        const QStringList texts{"New Loop",
                                "Load Drum Loops Folder..",
                                "",
                                "Save Current Loop..",
                                "Export Midi File..",
                                "",
                                "FastSwitch Mode",
                                "",
                                "Preferences..",
                                "",
                                "Quit",
                                "Zumbal Info.."};
        const QStringList keys{"Ctrl+N", "Ctrl+O", "",       "Ctrl+S", "Ctrl+E", "",
                               "Ctrl+M", "",       "Ctrl+,", "",       "Ctrl+Q", ""};
        const auto actions = f.app->FileMenu->actions();
        QCOMPARE(f.app->FileMenu->title(), QStringLiteral("&File"));
        QCOMPARE(actions.size(), texts.size());
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->isSeparator(), texts[i].isEmpty());
            QCOMPARE(actions[i]->text(), texts[i]);
            QCOMPARE(actions[i]->shortcut().toString(), keys[i]);
        }
        QCOMPARE(f.app->FilePreferences->menuRole(), QAction::PreferencesRole);
        QCOMPARE(f.app->FileQuit->menuRole(), QAction::QuitRole);
        QCOMPARE(f.app->AppleZumbalInfo->menuRole(), QAction::AboutRole);

        const QList<QAction*> editing{f.app->AppleZumbalInfo,    f.app->FileNew,
                                      f.app->FileLoadDrum,       f.app->FileSavecurrentloop,
                                      f.app->FileExportMidiFile, f.app->FilePreferences};
        struct Case {
            bool fastswitch;
            int presets;
            bool fastSwitchEnabled;
            bool checked;
        };
        for (const Case& c : {Case{false, 0, false, false}, Case{false, 1, true, false},
                              Case{true, 1, true, true}, Case{true, 0, false, false}}) {
            f.w().PopupMenu1->clear();
            f.w().PopupMenu1->addItems({"Loops Presets", "-"});
            for (int i = 0; i < c.presets; ++i)
                f.w().PopupMenu1->addItem(QStringLiteral("preset %1").arg(i));
            f.g().fastswitch = c.fastswitch;
            f.app->Event_EnableMenuItems();
            for (QAction* a : editing)
                QCOMPARE(a->isEnabled(), !c.fastswitch);
            QCOMPARE(f.app->FileFastSwitchMode->isEnabled(), c.fastSwitchEnabled);
            QCOMPARE(f.app->FileFastSwitchMode->isChecked(), c.checked);
            QVERIFY(f.app->FileQuit->isEnabled());
        }
    }

    void spaceBarStopsAndStartsWithTheSoundOnlyWhenEnabled() {
        for (const char* preference : {"1", "0"}) {
            Fixture f(preference);
            f.sounds->played.clear();
            f.render(20000); // three strokes
            QCOMPARE(f.g().battito.load(), 4);
            QTest::keyClick(&f.w(), Qt::Key_Space);
            QCOMPARE(f.g().battito.load(), 0);
            QTest::keyClick(&f.w(), Qt::Key_Space);
            QCOMPARE(f.g().battito.load(), 1);
            const std::vector<SoundId> expected =
                preference[0] == '1' ? std::vector<SoundId>{SoundId::Loaded1, SoundId::Loaded1}
                                     : std::vector<SoundId>{};
            QCOMPARE(f.sounds->played, expected);
        }
    }

    void tempoSliderSetsTempoAndLabel() {
        Fixture f;
        f.w().Slider1->setValue(97);
        QCOMPARE(f.g().tempo.load(), 97);
        QCOMPARE(f.w().StaticText13->text(), QStringLiteral("97"));
        f.w().Slider1->setValue(500);
        QCOMPARE(f.g().tempo.load(), 240);
    }

    void lampFollowsTheStrokes() {
        Fixture f;
        f.render(6000); // stroke 1
        QTRY_COMPARE(f.w().CanvasTempo->colour(), QColor::fromHsvF(0.25, 1, 0.8));
        f.render(5600); // stroke 2
        QTRY_COMPARE(f.w().CanvasTempo->colour(), QColor::fromHsvF(0, 1, 0.8));
    }

    void newLoopSilencesWithoutStoppingAndResetsTempo() {
        Fixture f;
        f.render(20000);
        f.g().pp[5] = kRandomHit;
        f.g().pp[100] = 60;
        f.g().volum[7] = 12;
        f.g().edfiv[2][0] = 70;
        f.g().edfiv[6][1] = 5;
        f.w().EditFV[3]->setText("5");
        f.g().ter_3_4 = true;
        f.w().setButtonState(kThreeFourButton, kSwitchOn);
        f.w().setButtonState(2, kSwitchOff);
        f.w().setButtonState(8, kSwitchOn);
        f.w().Slider1->setValue(200);
        f.g().key_tasto_indice = 101;
        f.sounds->played.clear();
        const int battito = f.g().battito;

        QTest::keyClick(&f.w(), Qt::Key_N, Qt::ControlModifier);

        QCOMPARE(f.g().battito.load(), battito);
        QCOMPARE(f.g().tempo.load(), 120);
        QCOMPARE(f.w().StaticText13->text(), QStringLiteral("120"));
        QVERIFY(!f.g().ter_3_4);
        QVERIFY(!f.g().ter_ter);
        for (int c = 0; c < kCells; ++c) {
            QCOMPARE(f.g().pp[c].load(), c < kFirstBassCell ? kRest : kBassRest);
            QCOMPARE(f.g().volum[c].load(), 99);
        }
        for (int t = 0; t < kTracks; ++t) {
            QCOMPARE(f.g().edfiv[t][0].load(), kDefaultSounds[t]);
            QCOMPARE(f.g().edfiv[t][1].load(), 99);
            QCOMPARE(f.w().EditFI[t]->text(), QString::number(kDefaultSounds[t]));
            QCOMPARE(f.w().EditFV[t]->text(), QStringLiteral("99"));
        }
        for (int i = 0; i < kButtons; ++i) {
            if (i == kPlayButton || i == kWebButton)
                continue;
            const int expected = i < 6 || i == kBassButton ? kSwitchOn : kSwitchOff;
            QCOMPARE(f.g().pb[i].load(), expected);
            QCOMPARE(f.w().buttons().can_bot[i][2], QString::number(expected));
        }
        QCOMPARE(f.g().key_tasto_indice.load(), 101);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::powerdow});
    }

    void closingWritesThePreferences() {
        Fixture f;
        f.g().prefe[0] = "0";
        f.w().close();
        QFile file(f.dir.filePath("zumbal preferences"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("0\n"));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::MainWindowTest)
#include "test_main_window.moc"
