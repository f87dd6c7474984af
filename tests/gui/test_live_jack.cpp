#include "app/App.h"
#include "loops/LoopFile.h"
#include "support/DummyJack.h"
#include "support/JackMidiCapture.h"
#include "support/JackMidiSender.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace zumbal {

// A Program Change on Zumbal:midi_in, through the whole program on a private
// dummy JACK server, in FastSwitch mode between two loops that strike
// different notes on every stroke: the new loop's notes come out on
// midi_out, and with "Switch at the bar line" the first of them is exactly
// on a stroke 1's frame.
class LiveJackTest : public QObject {
    Q_OBJECT

    static constexpr int kRate = 48000, kNoteA = 36, kNoteB = 38;

    static QByteArray loopStriking(int note) {
        LoopRecord loop;
        loop.layout = LoopLayout::Current;
        loop.pb.fill(kSwitchOff);
        loop.pb[0] = kSwitchOn;
        for (int c = 0; c < kCells; ++c) {
            loop.pp[c] = c >= kFirstBassCell ? kBassRest : c < kStrokes ? kHit : kRest;
            loop.volum[c] = kDefaultVolume;
        }
        for (int t = 0; t < kTracks; ++t)
            loop.edfiv[t] = {t == 0 ? note : kDefaultSounds[t], kDefaultVolume};
        loop.tempo = 120;
        return QByteArray::fromStdString(writeLoop("Loop", loop));
    }

    // The frame of the first `note` struck at or after `from`; -1 if none.
    static int64_t firstStrike(const test::JackMidiCapture& capture, int note, int64_t from) {
        for (const test::CapturedMidi& e : capture.events())
            if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0 && e.bytes[1] == note &&
                e.frame >= from)
                return e.frame;
        return -1;
    }

private slots:
    void programChangesSwitchTheLoopImmediatelyAndAtTheBarLine() {
        if (QStandardPaths::findExecutable("jackd").isEmpty())
            QSKIP("needs jackd");
        jack_set_error_function([](const char*) {});
        test::DummyJack server(kRate);
        QVERIFY(server.ready());
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("loops"));
        for (const auto& [name, note] : {std::pair{"A", kNoteA}, {"B", kNoteB}}) {
            QFile file(dir.filePath(QStringLiteral("loops/") + name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(loopStriking(note));
        }
        AppSettings settings;
        settings.sound.soundFont = "/nonexistent/none.sf2";
        settings.sound.drivers = {"jack"};
        settings.sound.connectPorts = false;
        settings.loopsFolder = dir.filePath("loops");
        settings.preferencesFile = dir.filePath("preferences");
        settings.liveSettingsFile = dir.filePath("live");
        App app(settings);
        app.Event_Open();
        app.openMainWindow();
        app.startAudio();
        QCOMPARE(QString::fromStdString(app.sound().outputName()), "jack");
        app.FileFastSwitchMode->trigger(); // loads A
        test::JackMidiCapture capture(1, 100000);
        QVERIFY(capture.connect("Zumbal:midi_out", 0));
        test::JackMidiSender sender;
        QVERIFY(sender.connect("Zumbal:midi_in"));
        QTest::qWait(300);

        sender.send({{0xC0, 1}}); // B, at once
        QTRY_VERIFY(sender.sentAt() >= 0);
        QTRY_VERIFY(firstStrike(capture, kNoteB, sender.sentAt()) >= 0);

        LiveSettings live;
        live.switchAtBarLine = true;
        QCOMPARE(app.live().save(live), QString());
        QTest::qWait(700);        // somewhere in the bar
        sender.send({{0xC0, 0}}); // A, at the next stroke 1
        QTRY_VERIFY(sender.sentAt() >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(firstStrike(capture, kNoteA, sender.sentAt()) >= 0, 5000);
        const int64_t landed = firstStrike(capture, kNoteA, sender.sentAt());
        // The play's grid, laid from its first stroke (stroke 1 of loop A).
        const double L = kRate * 15.0 / 120;
        const double start = double(firstStrike(capture, kNoteA, 0)) - std::llround(L);
        const auto stroke = std::llround((double(landed) - start) / L);
        QCOMPARE((stroke - 1) % 16, 0);
        QCOMPARE(landed, int64_t(std::floor(start + double(stroke) * L + 0.5)));
        // Until then loop B went on, up to its stroke 16.
        QVERIFY(firstStrike(capture, kNoteB, landed - std::llround(L)) >= 0);
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LiveJackTest)
#include "test_live_jack.moc"
