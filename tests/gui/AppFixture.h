#pragma once

#include "app/App.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
// as at start-up but without an audio output: the test drives the clock.
struct AppFixture {
    using Files = std::vector<std::pair<QString, QByteArray>>;

    // `loops`: files written into the loops folder before the program opens.
    explicit AppFixture(const char* preference = "1", const Files& loops = {}) {
        QDir().mkpath(dir.filePath("loops"));
        for (const auto& [name, content] : loops) {
            QFile loop(dir.filePath("loops/" + name));
            loop.open(QIODevice::WriteOnly);
            loop.write(content);
        }
        const QString prefs = dir.filePath("zumbal preferences");
        QFile file(prefs);
        file.open(QIODevice::WriteOnly);
        file.write(preference);
        file.close();
        AppSettings settings;
        settings.sound.soundFont = "/nonexistent/none.sf2";
        settings.loopsFolder = dir.filePath("loops");
        settings.preferencesFile = prefs;
        app = std::make_unique<App>(settings);
        auto recorder = std::make_unique<RecordingSounds>(app->model(), nullptr);
        sounds = recorder.get();
        app->setEventSounds(std::move(recorder));
        app->Event_Open();
        app->openMainWindow();
        app->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->window()));
    }
    void render(int frames) {
        app->sound().engine().process(frames, [](int, int) {});
    }
    globali& g() { return app->model(); }
    Window_t1& w() { return app->window(); }

    QTemporaryDir dir;
    std::unique_ptr<App> app;
    RecordingSounds* sounds = nullptr;
};

} // namespace zumbal::test
