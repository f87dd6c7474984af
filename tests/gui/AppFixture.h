#pragma once

#include "../support/TestFiles.h"
#include "app/App.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace zumbal::test {

// Records the event sounds instead of playing them.
class RecordingSounds final : public EventSounds {
public:
    using EventSounds::EventSounds;
    void play(SoundId id) override { played.push_back(id); }
    std::vector<SoundId> played;
};

// A fresh application with its own preferences and loops folder, opened
// as at start-up. Without `audio` there is no audio output and the test
// drives the clock; with it the silent output's thread does, as in the program.
struct AppFixture {
    using Files = std::vector<std::pair<QString, QByteArray>>;

    // `loops`: files written into the loops folder before the program opens.
    explicit AppFixture(const char* preference = "1", const Files& loops = {}, bool audio = false) {
        QDir().mkpath(dir.filePath("loops"));
        for (const auto& [name, content] : loops)
            write("loops/" + name, content);
        write("zumbal preferences", preference);
        AppSettings settings = settingsIn(dir.path());
        settings.eventSounds = [this](const globali& g, EventSoundMixer*) {
            auto recorder = std::make_unique<RecordingSounds>(g, nullptr);
            sounds = recorder.get();
            return std::unique_ptr<EventSounds>(std::move(recorder));
        };
        app = std::make_unique<App>(settings);
        app->Event_Open();
        app->openMainWindow();
        if (audio)
            app->startAudio();
        app->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->window()));
    }
    // No SoundFont, the silent output, and every file the program keeps in `folder`.
    static AppSettings settingsIn(const QString& folder) {
        const QDir dir(folder);
        AppSettings settings;
        settings.sound.soundFont = "/nonexistent/none.sf2";
        settings.sound.drivers = {"null"};
        settings.loopsFolder = dir.filePath("loops");
        settings.preferencesFile = dir.filePath("zumbal preferences");
        settings.liveSettingsFile = dir.filePath("zumbal live settings");
        settings.recoveryFile = dir.filePath("zumbal recovered loop");
        return settings;
    }
    // A file under the folder.
    void write(const QString& name, const QByteArray& content) {
        writeFile(dir.filePath(name), content);
    }
    QByteArray read(const QString& name) { return readFile(QDir(dir.path()).filePath(name)); }
    static QByteArray loopFixture(const QString& name) {
        return readFile(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../loops/fixtures/") + name);
    }
    // Cancels the next modal window, such as a folder chooser, once it shows.
    static void cancelNextModal() {
        QTimer::singleShot(200, [] {
            if (QWidget* chooser = QApplication::activeModalWidget())
                chooser->close();
        });
    }
    void render(int frames) {
        app->sound().engine().process(frames, [](int, int) {});
    }
    globali& g() { return app->model(); }
    Window_t1& w() { return app->window(); }
    int pp(int cell) { return g().pp[cell]; }

    QTemporaryDir dir;
    std::unique_ptr<App> app;
    RecordingSounds* sounds = nullptr;
};

} // namespace zumbal::test
