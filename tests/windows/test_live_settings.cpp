#include "windows/livesettingswin.h"

#include <QPointer>
#include <QTest>

namespace zumbal {

class LiveSettingsTest : public QObject {
    Q_OBJECT

    static constexpr int kPlayStop = static_cast<int>(Bindable::PlayStop);
    static constexpr int kNext = static_cast<int>(Bindable::NextPreset);

    struct Opened {
        QPointer<livesettingswin> w;
        std::vector<LiveSettings> saved;
    };

    static std::unique_ptr<Opened> open(const LiveSettings& current) {
        auto opened = std::make_unique<Opened>();
        opened->w = new livesettingswin(current, QStringLiteral("MIDI: JACK ports midi_in"));
        connect(opened->w, &livesettingswin::saved,
                [o = opened.get()](const LiveSettings& s) { o->saved.push_back(s); });
        opened->w->show();
        return opened;
    }

private slots:
    // Learn waits for the first learnable message and shows it; messages that
    // are not learnable, or come while no row waits, change nothing. A control
    // learned for a second action leaves the first; Clear empties a row.
    void learnTakesTheFirstLearnableMessageAndClearEmpties() {
        auto o = open({});
        livesettingswin& w = *o->w;
        const auto shown = [&](int row) { return w.bindingLabels[row]->text(); };
        w.midiReceived({0xC0, 1});
        QCOMPARE(w.edited(), LiveSettings{});
        QTest::mouseClick(w.learnButtons[kPlayStop], Qt::LeftButton);
        QCOMPARE(shown(kPlayStop), QStringLiteral("press a pedal or key..."));
        const MidiMessage ignored[] = {
            {0x80, 60, 64}, {0x90, 60, 0}, {0xB0, 64, 0}, {0xF8}, {0xFA}};
        for (const MidiMessage& m : ignored)
            w.midiReceived(m);
        QCOMPARE(shown(kPlayStop), QStringLiteral("press a pedal or key..."));
        w.midiReceived({0xC0, 5});
        w.midiReceived({0xC0, 6});
        QCOMPARE(shown(kPlayStop), QStringLiteral("Program 5, ch 1"));
        QVERIFY(!w.learnButtons[kPlayStop]->isChecked());

        QTest::mouseClick(w.learnButtons[kNext], Qt::LeftButton);
        w.midiReceived({0xC0, 5});
        QCOMPARE(shown(kNext), QStringLiteral("Program 5, ch 1"));
        QCOMPARE(shown(kPlayStop), QStringLiteral("none"));
        QCOMPARE(w.edited().bindings[kPlayStop], Binding{});
        QTest::mouseClick(w.learnButtons[kPlayStop], Qt::LeftButton);
        QTest::mouseClick(w.learnButtons[kPlayStop], Qt::LeftButton); // stops waiting
        w.midiReceived({0x99, 36, 100});
        QCOMPARE(shown(kPlayStop), QStringLiteral("none"));

        QTest::mouseClick(w.clearButtons[kNext], Qt::LeftButton);
        QCOMPARE(shown(kNext), QStringLiteral("none"));
        QCOMPARE(w.edited(), LiveSettings{});
        w.close();
    }

    // The Sync section edits the choice of master; leading the JACK
    // transport goes with Zumbal's own clock, start and stop with Link.
    void syncChoosesTheMasterAndWhatGoesWithIt() {
        LiveSettings current;
        current.sync = sync::Source::JackTransport;
        auto o = open(current);
        livesettingswin& w = *o->w;
        QVERIFY(w.syncButtons[1]->isChecked());
        QVERIFY(!w.leadTransportBox->isEnabled());
        w.syncButtons[3]->click();
        QCOMPARE(w.edited().sync, sync::Source::Link);
        QVERIFY(w.linkStartStopBox->isEnabled());
        w.linkStartStopBox->click();
        w.syncButtons[0]->click();
        QVERIFY(w.leadTransportBox->isEnabled() && !w.linkStartStopBox->isEnabled());
        w.leadTransportBox->click();
        QCOMPARE(w.edited().sync, sync::Source::Internal);
        QVERIFY(w.edited().leadJackTransport && w.edited().linkStartStop);
        w.close();
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LiveSettingsTest)
#include "test_live_settings.moc"
