#include "AppFixture.h"
#include "loops/LoopFile.h"
#include "loops/finestrasalva.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace zumbal {

// Loop files through the real main window: the presets list, loading each
// layout, saving, and FastSwitch mode's keys.
class LoopsWindowTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static QByteArray fixture(const QString& name) {
        QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../loops/fixtures/") + name);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    static Fixture::Files threeFixtures() {
        return {{"old-119", fixture("old-119")},
                {"mid-120", fixture("mid-120")},
                {"new-130", fixture("new-130")},
                {"notes.txt", "not a loop\n"}};
    }
    static QStringList rows(Fixture& f) {
        QStringList texts;
        for (int i = 0; i < f.w().PopupMenu1->count(); ++i)
            texts << f.w().PopupMenu1->itemText(i);
        return texts;
    }
    // Chooses a row of the presets menu and lets the queued load run.
    static void choose(Fixture& f, int row) {
        f.w().PopupMenu1_Change(row);
        QCoreApplication::processEvents();
    }
    static std::vector<int> track(Fixture& f, int t) {
        std::vector<int> codes;
        for (int s = 1; s <= kStrokes; ++s)
            codes.push_back(f.g().pp[cellIndex(t, s)]);
        return codes;
    }

private slots:
    void presetsListTheTaggedFilesSorted() {
        Fixture f("1", threeFixtures());
        QCOMPARE(rows(f), (QStringList{"Loops Presets", "-", "mid-120", "new-130", "old-119"}));
        QVERIFY(f.app->FileFastSwitchMode->isEnabled());
    }

    void oldestLayoutGetsTheDefaultsAndIsNormalised() {
        Fixture f("1", threeFixtures());
        choose(f, 4);
        QCOMPARE(f.w().PopupMenu1->currentIndex(), 0);
        QCOMPARE(f.w().StaticText16->text(), QStringLiteral("old-119"));
        QCOMPARE(f.g().pb[kBassButton].load(), kSwitchOff);
        QCOMPARE(f.w().buttons().can_bot[kBassButton][2], QStringLiteral("1"));
        QCOMPARE(f.g().edfiv[kBassTrack][0].load(), 33);
        QCOMPARE(f.g().edfiv[kBassTrack][1].load(), 99);
        QCOMPARE(f.w().EditFI[kBassTrack]->text(), QStringLiteral("33"));
        QCOMPARE(f.g().tempo.load(), 95);
        QCOMPARE(f.w().Slider1->value(), 95);
        QVERIFY(f.g().ter_3_4);
        QVERIFY(!f.g().ter_ter);
        QCOMPARE(f.g().pp[0].load(), kHit);
        QCOMPARE(f.g().pp[4].load(), kRandomHit);
        QCOMPARE(f.g().pp[17].load(), kRest); // 7 loads as a rest
        QCOMPARE(f.g().pp[18].load(), -1);    // negative codes stay
        const std::vector<int> bass{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 3, 3, 3, 3};
        QCOMPARE(track(f, kBassTrack), bass);
        for (int t = 0; t < kTracks; ++t)
            QCOMPARE(f.g().pp[cellIndex(t, 13)].load(), kDisabled);
        QCOMPARE(f.g().volum[0].load(), 100); // velocities from the track volumes
        QCOMPARE(f.g().volum[20].load(), 90);
        QCOMPARE(f.g().volum[100].load(), 99);
        QCOMPARE(f.g().trans_start.load(), 0);
    }

    void middleLayoutReadsTheBassTrack() {
        Fixture f("1", threeFixtures());
        f.g().trans_start = 4;
        choose(f, 2);
        QVERIFY(f.g().ter_ter);
        QVERIFY(!f.g().ter_3_4);
        QCOMPARE(f.g().pp[96].load(), 40);
        QCOMPARE(f.g().pp[97].load(), kBassRest); // 5 is no note
        QCOMPARE(f.g().pp[100].load(), 12);
        QCOMPARE(f.g().pp[3].load(), kDisabled); // stroke 4 under ternary, hit in the file
        QCOMPARE(f.g().edfiv[kBassTrack][0].load(), 34);
        QCOMPARE(f.g().volum[100].load(), 77);
        QCOMPARE(f.g().tempo.load(), 140);
        QCOMPARE(f.g().trans_start.load(), 0);
    }

    void fastSwitchLoadsWithoutNormalising() {
        Fixture f("1", threeFixtures());
        f.g().fastswitch = true;
        f.g().nome_file = "old-119";
        f.w().loop_aprithr();
        QCOMPARE(f.g().tempo.load(), 120); // nothing happens until the load runs
        QCoreApplication::processEvents();
        QCOMPARE(f.g().tempo.load(), 95);
        QCOMPARE(f.g().pp[17].load(), 7);
        QCOMPARE(f.g().pp[12].load(), 1); // no code 3 written
        QCOMPARE(f.g().pb[kBassButton].load(), kSwitchOff);
        QCOMPARE(f.w().buttons().can_bot[kBassButton][2], QStringLiteral("101"));
        QCOMPARE(f.w().EditFV[0]->text(), QStringLiteral("99"));
        QCOMPARE(f.w().StaticText16->text(), QStringLiteral("old-119"));
    }

    void shortFilesFollowTheLenientRules() {
        Fixture f("1", {{"short", "s drum loop created by Zumbal (Zumbal loop text file format)\n"
                                  "130\n101\n"}});
        choose(f, 2);
        QCOMPARE(f.g().tempo.load(), 10);
        QCOMPARE(f.g().pp[5].load(), kHit); // missing drum codes read as hits
        QCOMPARE(f.g().pp[100].load(), kBassRest);
        QCOMPARE(f.g().volum[5].load(), 0);
        f.g().nome_file = "missing";
        f.w().loop_aprithr();
        QCoreApplication::processEvents();
        QCOMPARE(f.g().tempo.load(), 10);
    }

    void saveAndReloadGiveTheSameLoop() {
        Fixture f;
        f.g().pp[7] = kRandomHit;
        f.g().pp[98] = 45;
        f.g().volum[7] = 64;
        f.w().EditFI[3]->setText("56");
        f.w().Slider1->setValue(133);
        QTest::mouseClick(f.w().buttons().canv_bott[kThreeFourButton], Qt::LeftButton);
        const LoopRecord before = f.w().currentLoop();
        f.g().nome_file = "Saved 1";
        QString error;
        QVERIFY(f.w().loop_salva(error));
        QCOMPARE(rows(f).last(), QStringLiteral("Saved 1"));
        QFile saved(f.dir.filePath("loops/Saved 1"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().count('\n'), kLoopFileLines);

        QTest::keyClick(&f.w(), Qt::Key_N, Qt::ControlModifier);
        choose(f, rows(f).size() - 1);
        const LoopRecord after = f.w().currentLoop();
        QCOMPARE(after.pb, before.pb);
        QCOMPARE(after.pp, before.pp);
        QCOMPARE(after.edfiv, before.edfiv);
        QCOMPARE(after.volum, before.volum);
        QCOMPARE(after.tempo, 133);
    }

    void saveDialogRefusesTakenEmptyAndUnwritableNames() {
        Fixture f("1", threeFixtures());
        const auto open = [&] {
            f.sounds->played.clear();
            f.app->FileSavecurrentloop->trigger();
            auto* dialog = f.w().findChild<finestrasalva*>();
            return dialog;
        };
        const auto clickSave = [](finestrasalva* dialog) {
            // A dialog's push button acts once the pointer is over it.
            dialog->buttons().canv_bott_MouseEnter(1);
            dialog->buttons().canv_bott_MouseDown(1);
        };
        finestrasalva* dialog = open();
        QVERIFY(dialog);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::openWind});
        QCOMPARE(dialog->EditField1->text(), QStringLiteral("loop"));
        QCOMPARE(dialog->StaticText2->text(), QStringLiteral("Write loop name above"));

        // Typed and pasted characters alike: only letters, digits and spaces stay.
        dialog->EditField1->clear();
        dialog->EditField1->setFocus();
        QTest::keyClicks(dialog->EditField1, QStringLiteral("a/b-c.d"));
        QCOMPARE(dialog->EditField1->text(), QStringLiteral("abcd"));
        dialog->EditField1->insert(QStringLiteral("../x"));
        QCOMPARE(dialog->EditField1->text(), QStringLiteral("abcdx"));
        dialog->EditField1->setText(QString(40, 'n'));
        QCOMPARE(dialog->EditField1->text().size(), 32);

        const auto files = [&] { return QDir(f.dir.filePath("loops")).count(); };
        const auto filesBefore = files();
        dialog->EditField1->clear();
        clickSave(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(files(), filesBefore);
        QVERIFY(dialog->StaticText2->text() != QStringLiteral("Write loop name above"));

        f.w().PopupMenu1->addItem(QStringLiteral("Taken"));
        dialog->EditField1->setText(QStringLiteral("Taken"));
        clickSave(dialog);
        QCOMPARE(dialog->StaticText2->text(),
                 QStringLiteral("Name already in use, please change it!"));
        QVERIFY(dialog->isVisible());

        // A folder that cannot be written: nothing listed, the dialog stays.
        const auto folder = f.g().drumloopsfolder;
        f.g().drumloopsfolder = (f.dir.filePath("loops/old-119") + "/inside").toStdString();
        const int rowsBefore = f.w().PopupMenu1->count();
        dialog->EditField1->setText(QStringLiteral("Fresh"));
        clickSave(dialog);
        QVERIFY(dialog->StaticText2->text().startsWith(QStringLiteral("Could not save")));
        QCOMPARE(f.w().PopupMenu1->count(), rowsBefore);
        QVERIFY(dialog->isVisible());

        f.g().drumloopsfolder = folder;
        clickSave(dialog);
        QCoreApplication::processEvents();
        QVERIFY(!f.w().findChild<finestrasalva*>());
        QCOMPARE(rows(f).last(), QStringLiteral("Fresh"));
        QCOMPARE(f.g().nome_file, std::string("Fresh"));
        QVERIFY(QFile::exists(f.dir.filePath("loops/Fresh")));

        dialog = open(); // every opening starts afresh
        QCOMPARE(dialog->EditField1->text(), QStringLiteral("loop"));
        dialog->buttons().canv_bott_MouseEnter(0);
        dialog->buttons().canv_bott_MouseDown(0);
        QCoreApplication::processEvents();
        QVERIFY(!f.w().findChild<finestrasalva*>());
    }

    void cancellingTheFolderChooserChangesNothing() {
        Fixture f("1", threeFixtures());
        const auto folder = f.g().drumloopsfolder;
        QTimer::singleShot(200, [] {
            if (QWidget* chooser = QApplication::activeModalWidget())
                chooser->close();
        });
        f.app->FileLoadDrum->trigger();
        QCOMPARE(f.g().drumloopsfolder, folder);
        QCOMPARE(f.w().PopupMenu1->count(), 5);
    }

    void choosingTheLoadedPresetAgainReloadsIt() {
        Fixture f("1", threeFixtures());
        choose(f, 3);
        f.g().pp[1] = kRest;
        choose(f, 3);
        QCOMPARE(f.g().pp[1].load(), kHit);
    }

    void fastSwitchModeStepsThroughThePresets() {
        Fixture f("0", threeFixtures());
        f.sounds->played.clear();
        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        QVERIFY(f.g().fastswitch);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::PublicD});
        QCOMPARE(f.g().loopattuale.load(), 2);
        QCOMPARE(f.w().StaticText16->text(), QStringLiteral("mid-120"));
        QCOMPARE(f.w().StaticTN[0]->y(), 425);
        QCOMPARE(f.w().StaticTN[7]->y(), 385);
        QVERIFY(!f.w().EditFI[0]->isEnabled());
        QVERIFY(!f.app->FileNew->isEnabled());
        QVERIFY(f.app->FileFastSwitchMode->isChecked());

        const auto key = [&](Qt::Key k) {
            QTest::keyClick(&f.w(), k);
            QCoreApplication::processEvents();
        };
        key(Qt::Key_Left);
        QCOMPARE(f.g().loopattuale.load(), 2);
        for (int i = 0; i < 3; ++i)
            key(Qt::Key_Right);
        QCOMPARE(f.g().loopattuale.load(), 4);
        QCOMPARE(f.w().StaticText16->text(), QStringLiteral("old-119"));
        key(Qt::Key_Down);
        QCOMPARE(f.g().loopattuale.load(), 3);
        key(Qt::Key_7);
        QCOMPARE(f.g().loopattuale.load(), 4);
        key(Qt::Key_0);
        QCOMPARE(f.g().loopattuale.load(), 2);
        key(Qt::Key_9);
        QCOMPARE(f.g().loopattuale.load(), 4);

        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        QVERIFY(!f.g().fastswitch);
        QCOMPARE(f.g().loopattuale.load(), 2);
        QCOMPARE(f.w().StaticTN[0]->y(), 525);
        QVERIFY(f.w().EditFI[0]->isEnabled());
        QVERIFY(f.app->FileNew->isEnabled());
        QVERIFY(!f.app->FileFastSwitchMode->isChecked());
        QCOMPARE(f.w().StaticText16->text(), QStringLiteral("mid-120"));
        QCOMPARE(f.sounds->played.size(), 2u);
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LoopsWindowTest)
#include "test_loops_window.moc"
