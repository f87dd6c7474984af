#include "../gui/AppFixture.h"
#include "windows/drumswin.h"
#include "windows/finestrainfo.h"
#include "windows/finestrapref.h"
#include "windows/volumewin.h"

#include <QDesktopServices>
#include <QTest>

namespace zumbal {

// Catches the links the info window opens instead of starting a browser.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class AuxWindowsTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

private slots:
    void preferencesSaveOrCancel() {
        for (const char* preference : {"1", "0"}) {
            Fixture f(preference);
            for (const bool save : {false, true}) {
                f.sounds->played.clear();
                auto* pref = new finestrapref(f.g(), *f.sounds);
                pref->Event_Open();
                const bool on = preference[0] == '1';
                QCOMPARE(pref->CheckBox1->isChecked(), on);
                QCOMPARE(f.sounds->played.size(), on ? 1u : 0u); // openWind only when on
                pref->CheckBox1->setChecked(!on);
                pref->buttons().canv_bott_MouseEnter(save ? 1 : 0);
                pref->buttons().canv_bott_MouseDown(save ? 1 : 0);
                const std::string expected = save ? (on ? "0" : "1") : preference;
                QCOMPARE(f.g().prefe[0], expected);
                if (save)
                    break;
            }
        }
    }

    void clickSoundIgnoresThePreferenceAndQuitWritesIt() {
        Fixture f("0");
        f.sounds->played.clear();
        QTest::mouseClick(f.w().buttons().canv_bott[0], Qt::LeftButton);
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::ambientclick});
        f.g().prefe[0] = "1";
        f.w().close();
        QFile file(f.dir.filePath("zumbal preferences"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("1\n"));
    }

    void volumeWindowSetsOneStrokeOrTheWholeTrack() {
        Fixture f;
        volumewin volume(f.g(), f.w());
        f.g().volum[16 * 2 + 5] = 70;
        volume.apri(false, 2, 5, 100, 120);
        QCOMPARE(volume.pos(), QPoint(100, 120));
        QCOMPARE(volume.ind_b_text->text(), QStringLiteral("5"));
        QCOMPARE(volume.Slider1->value(), 70);
        QCOMPARE(f.g().volum[16 * 2 + 5].load(), 70); // opening writes nothing back
        volume.Slider1->setValue(0);
        QCOMPARE(f.g().volum[16 * 2 + 5].load(), 0);
        QCOMPARE(f.g().volum[16 * 2 + 6].load(), 99);
        QCOMPARE(volume.volume_text->text(), QStringLiteral("0"));

        f.g().edfiv[3][1] = 99;
        volume.apri(true, 3, 0, 10, 10);
        QCOMPARE(volume.ind_b_text->text(), QStringLiteral("ALL"));
        QCOMPARE(volume.Slider1->value(), 99);
        volume.Slider1->setValue(40);
        QCOMPARE(f.w().EditFV[3]->text(), QStringLiteral("40"));
        for (int c = 48; c < 64; ++c)
            QCOMPARE(f.g().volum[c].load(), 40);
        QCOMPARE(f.g().volum[16 * 2 + 5].load(), 0);
    }

    void gridAndFieldOpenTheVolumeWindowBesideThem() {
        Fixture f;
        std::vector<std::tuple<bool, int, int, QPoint>> requests;
        connect(&f.w(), &Window_t1::volumeWindowRequested,
                [&](bool all, int t, int c, QPoint at) { requests.emplace_back(all, t, c, at); });
        QTest::mouseClick(f.w().CanvasImageW, Qt::RightButton, {}, QPoint(152, 85));
        f.g().pp[3] = kDisabled;
        QTest::mouseClick(f.w().CanvasImageW, Qt::RightButton, {}, QPoint(108, 5)); // disabled
        QTest::mouseClick(f.w().EditFV[6], Qt::LeftButton);
        const QPoint client = f.w().client()->mapToGlobal(QPoint(0, 0));
        QCOMPARE(requests.size(), 2u);
        QCOMPARE(requests[0],
                 std::make_tuple(false, 2, 4, client + QPoint(168 + 146 - 137, 7 + 80 - 30)));
        QCOMPARE(requests[1], std::make_tuple(true, 6, 0, client + QPoint(764 - 137, 273 - 30)));
    }

    void menusAndClicksOpenTheWindows() {
        Fixture f;
        QTest::mouseClick(f.w().CanvasImageW, Qt::RightButton, {}, QPoint(152, 85));
        auto* volume = f.w().findChild<volumewin*>();
        QVERIFY(volume && volume->isVisible());
        QCOMPARE(volume->ind_a_text->text(), QStringLiteral("2"));
        QTest::mouseClick(f.w().EditFI[3], Qt::LeftButton);
        auto* drums = f.w().findChild<drumswin*>();
        QVERIFY(drums && drums->isVisible());
        QCOMPARE(drums->cont_m, 3);
        f.app->FilePreferences->trigger();
        QVERIFY(f.w().findChild<finestrapref*>());
        f.app->AppleZumbalInfo->trigger();
        QVERIFY(f.w().findChild<finestrainfo*>());
    }

    void drumsWindowPicksAnInstrument() {
        Fixture f;
        drumswin drums(f.g(), f.w());
        struct Open {
            int note;
            QPoint highlight;
        };
        for (const Open& o : {Open{36, {0, 21}}, Open{90, {388, 315}}, Open{81, {388, 294}},
                              Open{35, {0, 0}}, Open{51, {194, 0}}}) {
            f.g().edfiv[1][0] = o.note;
            drums.apri(f.w().EditFI[1]->y(), 1);
            QCOMPARE(drums.Canva_sel->pos(), o.highlight);
        }
        struct Point {
            int x, y, strum;
        };
        for (const Point& p : {Point{0, 0, 35}, Point{193, 20, 35}, Point{194, 21, 52},
                               Point{582, 336, 82}, Point{600, 400, 82}, Point{388, 0, 67}}) {
            drums.Event_MouseMove(p.x, p.y);
            QCOMPARE(drums.strum, p.strum);
        }

        f.w().EditFI[1]->setText("38");
        drums.apri(0, 1);
        QTest::mouseClick(&drums, Qt::LeftButton, {}, QPoint(580, 330)); // the last cell
        QCOMPARE(f.w().EditFI[1]->text(), QStringLiteral("38"));
        QVERIFY(!drums.isVisible());
        drums.apri(0, 1);
        QTest::mouseClick(&drums, Qt::LeftButton, {}, QPoint(20, 21 * 2 + 5)); // 37
        QCOMPARE(f.w().EditFI[1]->text(), QStringLiteral("37"));
        QCOMPARE(f.g().edfiv[1][0].load(), 37);
    }

    void infoWindowGradientLinksAndClose() {
        Fixture f;
        LinkCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        QDesktopServices::setUrlHandler("mailto", &catcher, "open");
        const QImage image = finestrainfo::gradient(320, 240);
        QCOMPARE(image.pixel(0, 10), QColor::fromHsvF(0, 0.5, 1).rgb());
        QCOMPARE(image.pixel(160, 200), QColor::fromHsvF(0.5, 0.25, 1).rgb());
        QCOMPARE(image.pixel(319, 0), QColor::fromHsvF(319 / 320.0, 1 / 640.0, 1).rgb());

        f.sounds->played.clear();
        auto* info = new finestrainfo(*f.sounds);
        QPointer<finestrainfo> alive(info);
        info->Event_Open();
        QCOMPARE(f.sounds->played, std::vector<SoundId>{SoundId::openWind});
        QVERIFY(info->StaticText1->text().contains("1.7.0"));
        QTest::mouseClick(info->StaticText3, Qt::LeftButton);
        QTest::mouseClick(info->StaticText5, Qt::LeftButton);
        QCOMPARE(catcher.opened.size(), 2);
        QCOMPARE(catcher.opened[0].scheme(), QStringLiteral("mailto"));
        QVERIFY(catcher.opened[0].toString().contains("subject=Zumbal"));
        QCOMPARE(catcher.opened[1].fragment(), QStringLiteral("loops"));
        QVERIFY(info->isVisible());
        QTest::mouseClick(info, Qt::LeftButton, {}, QPoint(300, 150));
        QTRY_VERIFY(alive.isNull());
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("mailto");
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::AuxWindowsTest)
#include "test_aux_windows.moc"
