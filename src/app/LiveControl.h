#pragma once

#include "editor/Window_t1.h"
#include "midi/LiveSettings.h"
#include "midi/MidiMessage.h"
#include "model/globali.h"
#include "playback/AlsaMidiInput.h"
#include "playback/SoundSystem.h"
#include "windows/livesettingswin.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace zumbal {

// What the command line sets for this run in place of the settings file.
struct SyncOverride {
    std::optional<sync::Source> source;
    bool leadJackTransport = false;
};

// MIDI control of a live set. Reads what arrived on the MIDI input, turns it
// into the keyboard's own FastSwitch actions, play and stop, and hands it to
// the settings window while that learns a control. Keeps the live settings
// and their file, which is the program's second settings file, beside the
// one-line preferences.
class LiveControl : public QObject {
    Q_OBJECT
public:
    LiveControl(globali& g, SoundSystem& sound, Window_t1& window, QString settingsFile,
                SyncOverride sync = {});

    // The file in the user's configuration folder.
    static QString defaultPath();

    // Reads the settings file (defaults where it is missing or unreadable),
    // applies the settings and begins listening.
    void start();
    const LiveSettings& settings() const { return m_settings; }
    // Applies `settings` and writes them; returns the system's reason when
    // the file could not be written.
    QString save(const LiveSettings& settings);
    void openWindow();
    // Once the sound runs: without JACK's MIDI ports, listens on an ALSA
    // sequencer port instead.
    void audioStarted();

    // Acts on one incoming message, as the MIDI input's poll does.
    void receive(const MidiMessage& m);
    // How many entries the song playing has (0: none), for Program Change
    // in FastSwitch mode, which goes to them while it plays.
    void followSong(std::function<int()> entries) { m_songEntries = std::move(entries); }

signals:
    void fastSwitchToggleRequested();
    // A song's next (1), previous (-1) or restarted (0) entry; a fill.
    void songMoveRequested(int direction);
    // A Program Change in FastSwitch mode while a song plays: its entry, from 0.
    void songEntryRequested(int entry);
    void fillRequested();
    // The held fill's control went down (true) or up.
    void fillHeld(bool held);

private:
    void apply();
    // Once the sound runs: follows the chosen master or leads the JACK
    // transport, or says why not.
    void applySync();
    void poll();
    QString midiStatus() const;

    globali& m_g;
    SoundSystem& m_sound;
    Window_t1& m_window;
    QString m_path;
    LiveSettings m_settings;
    QTimer m_poll;
    QPointer<livesettingswin> m_settingsWindow;
    std::unique_ptr<AlsaMidiInput> m_alsaInput;
    SyncOverride m_syncOverride;
    std::function<int()> m_songEntries;
    bool m_audioStarted = false;
    std::optional<sync::Source> m_lastRefusedSync; // said once on stderr
    bool m_leadRefused = false; // said once, until the lead is taken or no longer asked for
};

} // namespace zumbal
