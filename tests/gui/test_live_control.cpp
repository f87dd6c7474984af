#include "AppFixture.h"

#include <QTest>

#include <initializer_list>

namespace zumbal {

// MIDI control through the real program: bytes as the JACK input delivers
// them go into the input queue, and the window acts as for its own keys.
class LiveControlTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    static Fixture::Files files() {
        Fixture::Files files;
        for (const char* name : {"mid-120", "new-130", "old-119"})
            files.emplace_back(name, Fixture::loopFixture(name));
        return files;
    }
    // Sends one message and lets the poll pick it up.
    static void send(Fixture& f, std::initializer_list<uint8_t> bytes) {
        const std::vector<uint8_t> message(bytes);
        f.app->sound().midiInput().push(message.data(), message.size());
        QTest::qWait(20);
        QCoreApplication::processEvents();
    }
    static QString loaded(Fixture& f) { return f.w().loopNameLine()->text(); }
    // The start-up loop plays as the window opens; the tests begin stopped.
    static void stop(Fixture& f) {
        if (f.g().battito > 0)
            f.w().play_pausa();
    }

private slots:
    void programChangesNotesAndTransportInFastSwitch() {
        Fixture f("0", files());
        stop(f);
        f.app->FileFastSwitchMode->trigger();
        QTRY_COMPARE(loaded(f), "mid-120");

        const std::pair<std::vector<uint8_t>, const char*> programs[] = {
            {{0xC0, 1}, "new-130"}, {{0xC5, 0}, "mid-120"}, {{0xC0, 99}, "old-119"}};
        for (const auto& [message, name] : programs) {
            f.app->sound().midiInput().push(message.data(), message.size());
            QTRY_COMPARE(loaded(f), name);
        }
        send(f, {0x90, 64 - 36, 100}); // a note transposes as its letter key
        QCOMPARE(f.g().trans_start.load(), 4);
        // Start and Stop, in any mode.
        for (const bool fastSwitch : {true, false}) {
            if (!fastSwitch)
                f.app->FileFastSwitchMode->trigger();
            QCOMPARE(bool(f.g().fastswitch), fastSwitch);
            send(f, {0xFA});
            QVERIFY(f.g().battito > 0);
            send(f, {0xFA}); // already playing: no restart into a stop
            QVERIFY(f.g().battito > 0);
            send(f, {0xFC});
            QCOMPARE(f.g().battito.load(), 0);
        }
    }

    void learnedBindingsAndBadInput() {
        Fixture f("0", files());
        stop(f);
        LiveSettings settings;
        settings.bindings[int(Bindable::PlayStop)] = {BindingKind::ControlChange, 1, 64};
        settings.bindings[int(Bindable::FastSwitch)] = {BindingKind::Note, 10, 36};
        QCOMPARE(f.app->live().save(settings), QString());
        QVERIFY(f.read("zumbal live settings").contains("play_stop"));

        send(f, {0xB0, 64, 127}); // the pedal down plays
        QVERIFY(f.g().battito > 0);
        send(f, {0xB0, 64, 127});
        QCOMPARE(f.g().battito.load(), 0);
        send(f, {0x99, 36, 90});
        QVERIFY(f.g().fastswitch);
        send(f, {0x99, 36, 90});
        QVERIFY(!f.g().fastswitch);

        // A flood leaves the program as it was, and responsive.
        for (int i = 0; i < 10000; ++i) {
            const uint8_t cc[] = {0xB3, 7, uint8_t(i & 127)};
            f.app->sound().midiInput().push(cc, 3);
        }
        QTest::qWait(50);
        QCOMPARE(f.g().battito.load(), 0);
        QVERIFY(!f.g().fastswitch);
        send(f, {0xB0, 64, 127}); // and it still listens
        QVERIFY(f.g().battito > 0);
    }

    // With "Switch at the bar line" on, a FastSwitch key waits, shown, for
    // the next stroke 1; stopping first applies a waiting preset at once.
    void aPresetChosenWhilePlayingWaitsForTheBarLine() {
        Fixture f("0", files());
        LiveSettings settings;
        settings.switchAtBarLine = true;
        QCOMPARE(f.app->live().save(settings), QString());
        QVERIFY(f.g().battito > 0); // the start-up loop plays
        const int strokeLength = 44100 * 15 / 120;
        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        f.render(40 * strokeLength); // past the next stroke 1 at any of these tempos
        QTRY_COMPARE(loaded(f), "mid-120");
        f.w().Event_KeyDown("d");
        QCOMPARE(loaded(f), "Next: key D");
        QCOMPARE(f.g().trans_start.load(), 0);
        f.render(40 * strokeLength); // past the next stroke 1 at any of these tempos
        QCOMPARE(f.g().trans_start.load(), 2);
        QTRY_COMPARE(loaded(f), "mid-120");
        f.app->FileFastSwitchMode->trigger();
        QCoreApplication::processEvents();
        f.render(40 * strokeLength); // past the next stroke 1 at any of these tempos

        f.w().PopupMenu1_Change(2);
        QCoreApplication::processEvents();
        QCOMPARE(loaded(f), "Next: mid-120");
        f.w().play_pausa();
        QCOMPARE(loaded(f), "mid-120");
        QCOMPARE(f.g().tempo.load(), 140);
    }

    // A song through the real program: each entry plays its passes and the
    // next lands on its bar line, a missing preset skipped; at the song's
    // end the loop stops, and Play starts it again from the entry shown.
    // Next lands at the next bar line; a preset chosen by hand ends the song.
    void aSongPlaysItsEntriesPassesAndStopsAtItsEnd() {
        Fixture f("0", files());
        stop(f);
        Song song{"Set", {{2, std::nullopt, "mid-120"}, {1, 4, "gone"}, {1, 4, "new-130"}}};
        SongPlayer& player = f.app->songs().player();
        player.setSong(song, false);
        std::vector<std::pair<int, int>> heard; // entry, pass
        const auto playUntilStopped = [&] {
            for (int i = 0; i < 4000 && f.g().battito > 0; ++i) {
                f.render(512);
                QTest::qWait(1);
                if (const auto at = player.place();
                    at && (heard.empty() || heard.back() != std::pair{at->entry, at->pass}))
                    heard.emplace_back(at->entry, at->pass);
            }
        };
        QVERIFY(player.play(0));
        QCOMPARE(loaded(f), "mid-120");
        playUntilStopped();
        QCOMPARE(heard, (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {2, 1}}));
        QCOMPARE(loaded(f), "new-130");
        QCOMPARE(f.g().trans_start.load(), 4); // its key, E
        QVERIFY(player.active());

        heard.clear();
        f.w().play_pausa();
        playUntilStopped();
        QCOMPARE(heard, (std::vector<std::pair<int, int>>{{2, 1}}));

        heard.clear();
        QVERIFY(player.play(0));
        f.render(44100);
        player.next();
        f.render(512);
        QTest::qWait(40);
        QCOMPARE(player.place()->entry, 0); // until the bar line
        playUntilStopped();
        QCOMPARE(heard, (std::vector<std::pair<int, int>>{{0, 1}, {2, 1}}));

        QVERIFY(player.play(0));
        f.w().PopupMenu1_Change(3);
        QTRY_VERIFY(!player.active());
        QVERIFY(f.w().songPlaceLine()->isHidden());
        player.setSong(Song{"None", {{1, std::nullopt, "gone"}}}, false);
        QVERIFY(!player.play(0)); // nothing to play
    }

    // The fill plays its preset for one pass from the next bar line, shown
    // in the name line, and then the loop it interrupted comes back whole.
    void aFillPlaysOnePassThenTheLoopComesBack() {
        Fixture f("0", files());
        LiveSettings settings;
        settings.fillPreset = "new-130";
        QCOMPARE(f.app->live().save(settings), QString());
        QVERIFY(f.g().battito > 0);
        const QString before = loaded(f);
        const int tempo = f.g().tempo, kick = f.g().pp[0];
        f.app->songs().fillKey->trigger();
        const auto renderWhile = [&](auto going) {
            for (int i = 0; i < 2000 && going(); ++i)
                f.render(512);
        };
        renderWhile([&] { return !f.app->sound().engine().fillPlaying(); });
        QTRY_COMPARE(loaded(f), "new-130");
        QVERIFY(f.g().tempo != tempo);
        // An edit of the fill goes with it: the history keeps the loop that comes back.
        const int steps = f.w().history().count();
        f.w().tempoSlider()->setValue(tempo + 7);
        QCOMPARE(f.w().history().count(), steps);
        renderWhile([&] { return f.app->sound().engine().fillPlaying(); });
        QTRY_COMPARE(loaded(f), before);
        QCOMPARE(f.g().tempo.load(), tempo);
        QCOMPARE(f.g().pp[0].load(), kick);

        // A preset loaded over a playing fill stays after it.
        f.app->songs().fillKey->trigger();
        renderWhile([&] { return !f.app->sound().engine().fillPlaying(); });
        QTRY_COMPARE(loaded(f), "new-130");
        f.w().PopupMenu1_Change(2);
        QTRY_COMPARE(loaded(f), "mid-120");
        f.render(44100 * 4);
        QTest::qWait(60);
        QCOMPARE(loaded(f), "mid-120");
        QCOMPARE(f.g().tempo.load(), 140);
    }

    // In FastSwitch mode a Program Change goes to the song's entry at the
    // next bar line, as it loads a preset without a song; stopped, it loads
    // the entry to play from. A loop put in the window ends the song,
    // stopped as well as playing.
    void aSongFollowsProgramChangeAndEndsWhenTheLoopIsReplaced() {
        Fixture f("0", files());
        stop(f);
        SongPlayer& player = f.app->songs().player();
        player.setSong(Song{"Set",
                            {{8, std::nullopt, "mid-120"},
                             {8, std::nullopt, "new-130"},
                             {8, std::nullopt, "old-119"}}},
                       false);
        f.app->FileFastSwitchMode->trigger();
        QTRY_COMPARE(loaded(f), "mid-120");
        QVERIFY(f.app->FileSong->isEnabled());
        QVERIFY(player.play(0));
        f.render(4096);
        send(f, {0xC0, 9}); // beyond the last entry: the last
        QCOMPARE(player.place()->entry, 0);
        for (int i = 0; i < 400 && player.place()->entry == 0; ++i) {
            f.render(512);
            QTest::qWait(1);
        }
        QCOMPARE(player.place()->entry, 2);
        QTRY_COMPARE(loaded(f), "old-119");

        f.w().play_pausa();
        send(f, {0xC0, 1});
        QCOMPARE(loaded(f), "new-130");
        QCOMPARE(player.place()->entry, 1);
        f.app->FileFastSwitchMode->trigger(); // loads the first preset
        QTRY_VERIFY(!player.active());

        QVERIFY(player.play(0));
        f.w().play_pausa();
        f.app->FileNew->trigger();
        QVERIFY(!player.active());
        f.w().play_pausa();
        QVERIFY(f.w().songPlaceLine()->isHidden());

        // Quitting with edits of the song window not saved offers to save them.
        f.app->songs().openWindow();
        SongWindow& window = *f.app->songs().window();
        window.dialogs.confirm = [](const QString&) { return true; };
        window.dialogs.saveName = [](const QString&) { return std::optional<QString>("Kept"); };
        window.addButton->click();
        emit f.w().closing();
        QVERIFY(window.history().isClean());
        QVERIFY(std::filesystem::exists(f.g().drumloopsfolder / "songs" / "Kept"));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::LiveControlTest)
#include "test_live_control.moc"
