#pragma once

#include "app/CommandLine.h"
#include "app/LiveControl.h"
#include "app/Preferences.h"
#include "assets/EventSounds.h"
#include "editor/Window_t1.h"
#include "loops/LoopRecovery.h"
#include "loops/finestrasalva.h"
#include "model/globali.h"
#include "playback/SoundSystem.h"
#include "song/SongControl.h"
#include "windows/drumswin.h"
#include "windows/groovewin.h"
#include "windows/stepwin.h"
#include "windows/volumewin.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace zumbal {

struct AppSettings {
    SoundOptions sound;
    QString loopsFolder;          // empty: locate it (see locateLoopsFolder)
    QString loopFile;             // played instead of the start-up loop; empty: none
    QString preferencesFile;      // empty: Preferences::defaultPath()
    QString liveSettingsFile;     // empty: LiveControl::defaultPath()
    QString recoveryFile;         // empty: LoopRecovery::defaultPath()
    bool printAudioStats = false; // at quit, on stderr
    SyncOverride sync;            // the command line's choice of master
    // Makes the event sound player; empty: one that plays through the mixer.
    std::function<std::unique_ptr<EventSounds>(const globali&, EventSoundMixer*)> eventSounds;
};

AppSettings settingsFrom(const CommandLine& options);

// The application object: owns the one model instance, the sound, the main
// window and its menu bar, and carries out the menu commands.
class App : public QObject {
    Q_OBJECT
public:
    // Starts loading the SoundFont first, so that the load overlaps with
    // building the window.
    explicit App(AppSettings settings);
    ~App() override;

    // Locates the loops folder, reads the preferences and the loop file of the
    // command line, and plays the start sound. A loop file that cannot be
    // opened is said in one line on stderr, and the start-up loop plays.
    void Event_Open();
    // Opens the main window, which starts the start-up loop or the loop file,
    // and begins keeping the loop for recovery once it is edited.
    void openMainWindow();
    // Waits for the SoundFont and starts the audio output.
    void startAudio();

    void Event_EnableMenuItems();
    void FileNew_Action();
    void FileLoadDrum_Action();
    void FileSavecurrentloop_Action();
    void FileRecoverLastLoop_Action();
    void FileExportMidiFile_Action();
    void FileFastSwitchMode_Action();
    void FilePreferences_Action();
    void openLiveSettings();
    void AppleZumbalInfo_Action();
    void openVolumeWindow(bool all, int track, int stroke, QPoint topLeft);
    void openDrumsWindow(int y, int track);
    void openGrooveWindow();
    void openStepWindow(int cell, QPoint topLeft);

    globali& model() { return m_g; }
    Window_t1& window() { return *m_window; }
    SoundSystem& sound() { return m_sound; }
    EventSounds& sounds() { return *m_sounds; }
    LiveControl& live() { return *m_live; }
    SongControl& songs() { return *m_songs; }

    QMenuBar* MenuBar1 = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* FileNew = nullptr;
    QAction* FileLoadDrum = nullptr;
    QAction* FileSavecurrentloop = nullptr;
    QAction* FileRecoverLastLoop = nullptr;
    QAction* FileExportMidiFile = nullptr;
    QAction* FileFastSwitchMode = nullptr;
    QAction* FilePreferences = nullptr;
    QAction* FileLiveSettings = nullptr;
    QAction* FileGroove = nullptr;
    QAction* FileSong = nullptr;
    QAction* FileQuit = nullptr;
    QAction* AppleZumbalInfo = nullptr;
    QMenu* EditMenu = nullptr;
    QAction* EditUndo = nullptr;
    QAction* EditRedo = nullptr;

private:
    void buildMenuBar();
    // Names the steps that Undo and Redo take, and locks them in FastSwitch mode.
    void updateEditMenu();
    void Event_Close();
    // The title says when the sound output is lost and being retried.
    void showOutputState();
    void finishSoundFontLoad();
    // Writes the loop to the recovery file if it changed; not in FastSwitch
    // mode, where the loop is a preset and nothing is edited.
    void keepForRecovery();

    AppSettings m_settings;
    globali m_g;
    Preferences m_preferences;
    SoundSystem m_sound;
    std::unique_ptr<EventSounds> m_sounds;
    std::unique_ptr<Window_t1> m_window;
    std::unique_ptr<LiveControl> m_live;
    std::optional<LoopRecord> m_openedLoop; // from settings.loopFile
    std::optional<OpenedSong> m_openedSong; // settings.loopFile, when it is a song
    SongControl* m_songs = nullptr;         // the main window owns it
    // Made on first use, then only shown and hidden; the main window owns them.
    QPointer<volumewin> m_volumeWindow;
    QPointer<drumswin> m_drumsWindow;
    QPointer<groovewin> m_grooveWindow;
    QPointer<stepwin> m_stepWindow;
    // Open while the user goes on editing; one at a time.
    QPointer<finestrasalva> m_saveDialog;
    std::thread m_soundFontLoader;
    QTimer m_outputWatch;
    LoopRecovery m_recovery;
    // At most one write a second, however fast the edits come.
    QTimer m_recoveryWatch;
    QString m_recoveryError; // the last write's, said once on stderr
};

} // namespace zumbal
