#include "app/App.h"
#include "loops/LoopFile.h"
#include "support/DummyJack.h"
#include "support/JackMidiCapture.h"
#include "support/JackMidiSender.h"
#include "support/LiveJackApp.h"

#include <QStandardPaths>
#include <QTest>

#include <algorithm>

namespace zumbal {

// A Program Change on Zumbal:midi_in, through the whole program on a private
// dummy JACK server, in FastSwitch mode between two loops that strike
// different notes on every stroke (and a note of their own on stroke 1):
// the new loop's notes come out on midi_out, and with "Switch at the bar
// line" the first of them is its stroke 1, exactly one stroke after the old
// loop's last.
class LiveJackTest : public QObject {
    Q_OBJECT

    static constexpr int kRate = 48000, kNoteA = 60, kNoteB = 62;

    // The first note-on of `note` (or with `orNext`, of note + 1) at or
    // after `from`; the frame is -1 if there is none.
    static test::CapturedMidi firstStrike(const test::JackMidiCapture& capture, int note,
                                          int64_t from, bool orNext = true) {
        for (const test::CapturedMidi& e : capture.events())
            if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0 && e.frame >= from &&
                (e.bytes[1] == note || (orNext && e.bytes[1] == note + 1)))
                return e;
        test::CapturedMidi none;
        none.frame = -1;
        return none;
    }
    // The last note-on before `frame`.
    static int64_t lastStrikeBefore(const test::JackMidiCapture& capture, int64_t frame) {
        int64_t last = -1;
        for (const test::CapturedMidi& e : capture.events())
            if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0 && e.frame < frame)
                last = std::max(last, e.frame);
        return last;
    }

private slots:
    void programChangesSwitchTheLoopImmediatelyAndAtTheBarLine() {
        if (QStandardPaths::findExecutable("jackd").isEmpty())
            QSKIP("needs jackd");
        jack_set_error_function([](const char*) {});
        test::DummyJack server(kRate);
        QVERIFY(server.ready());
        test::LiveJackApp live(kNoteA, kNoteB);
        App& app = *live.app;
        QCOMPARE(QString::fromStdString(app.sound().outputName()), "jack");
        test::JackMidiCapture capture(1, 100000);
        QVERIFY(capture.connect("Zumbal:midi_out", 0));
        test::JackMidiSender sender;
        QVERIFY(sender.connect("Zumbal:midi_in"));
        QTest::qWait(300);

        sender.send({{0xC0, 1}}); // B, at once
        QTRY_VERIFY(sender.sentAt() >= 0);
        QTRY_VERIFY(firstStrike(capture, kNoteB, sender.sentAt()).frame >= 0);

        LiveSettings barLine;
        barLine.switchAtBarLine = true;
        QCOMPARE(app.live().save(barLine), QString());
        QTest::qWait(700);        // somewhere in the bar
        sender.send({{0xC0, 0}}); // A, at the next stroke 1
        QTRY_VERIFY(sender.sentAt() >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(firstStrike(capture, kNoteA, sender.sentAt()).frame >= 0, 5000);
        const test::CapturedMidi landed = firstStrike(capture, kNoteA, sender.sentAt());
        QCOMPARE(int(landed.bytes[1]), kNoteA + 1); // loop A's stroke 1
        // One stroke (6000 frames at 120 BPM) after loop B's last, its stroke 16.
        QCOMPARE(landed.frame - lastStrikeBefore(capture, landed.frame), int64_t(6000));
        QCOMPARE(firstStrike(capture, kNoteB, landed.frame - 6000, false).frame,
                 landed.frame - 6000);
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LiveJackTest)
#include "test_live_jack.moc"
