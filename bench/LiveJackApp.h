#pragma once

#include "StrikingLoop.h"
#include "app/App.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace zumbal::test {

// The whole program on the JACK server that JACK_DEFAULT_SERVER names, MIDI
// only (no SoundFont), in a folder of its own with two presets, "A" striking
// `noteA` and "B" striking `noteB` (see loopStriking), playing in FastSwitch
// mode with A loaded.
struct LiveJackApp {
    LiveJackApp(int noteA, int noteB) {
        QDir().mkpath(dir.filePath("loops"));
        for (const auto& [name, note] : {std::pair{"A", noteA}, {"B", noteB}}) {
            QFile file(dir.filePath(QStringLiteral("loops/") + name));
            file.open(QIODevice::WriteOnly);
            file.write(loopStriking(note));
        }
        AppSettings settings;
        settings.sound.soundFont = "/nonexistent/none.sf2";
        settings.sound.drivers = {"jack"};
        settings.sound.connectPorts = false;
        settings.loopsFolder = dir.filePath("loops");
        settings.preferencesFile = dir.filePath("preferences");
        settings.liveSettingsFile = dir.filePath("live");
        settings.recoveryFile = dir.filePath("recovered");
        app = std::make_unique<App>(settings);
        app->Event_Open();
        app->openMainWindow();
        app->startAudio();
        app->FileFastSwitchMode->trigger(); // loads A
    }
    QTemporaryDir dir;
    std::unique_ptr<App> app;
};

} // namespace zumbal::test
