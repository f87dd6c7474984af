#include "app/App.h"

#include "app/FactoryLoops.h"
#include "app/LoopsFolder.h"
#include "export/exportmidiwin.h"
#include "loops/FileNames.h"
#include "loops/LoopLibrary.h"
#include "loops/finestrasalva.h"
#include "windows/drumswin.h"
#include "windows/finestrainfo.h"
#include "windows/finestrapref.h"
#include "windows/volumewin.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <QApplication>
#include <QIcon>
#include <QMap>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <string>

namespace zumbal {

AppSettings settingsFrom(const CommandLine& options) {
    AppSettings settings;
    settings.sound.soundFont = options.soundFont.toStdString();
    if (!options.audio.isEmpty())
        settings.sound.drivers = {options.audio.toStdString()};
    if (options.period > 0)
        settings.sound.synth.periodSize = options.period;
    settings.sound.latencyMs = options.latency;
    settings.sound.connectPorts = options.connectPorts;
    settings.printAudioStats = options.stats;
    settings.loopsFolder = options.loops;
    settings.loopFile = options.loopFile;
    settings.sync = {options.sync, options.jackTransportMaster};
    // The JACK transport is there to follow or lead only on the JACK output.
    if ((options.sync == sync::Source::JackTransport || options.jackTransportMaster) &&
        options.audio.isEmpty()) {
        settings.sound.drivers = AudioOutput::defaultDrivers();
        std::stable_partition(settings.sound.drivers.begin(), settings.sound.drivers.end(),
                              [](const std::string& d) { return d == "jack"; });
    }
    return settings;
}

App::App(AppSettings settings)
    : m_settings(std::move(settings)),
      m_preferences(m_settings.preferencesFile.isEmpty() ? Preferences::defaultPath()
                                                         : m_settings.preferencesFile),
      m_sound(m_g, m_settings.sound),
      m_sounds(m_settings.eventSounds ? m_settings.eventSounds(m_g, &m_sound.mixer())
                                      : std::make_unique<EventSounds>(
                                            m_g, [&mixer = m_sound.mixer()](
                                                     const PcmClip& clip) { mixer.play(clip); })),
      m_recovery(m_settings.recoveryFile.isEmpty() ? LoopRecovery::defaultPath()
                                                   : m_settings.recoveryFile) {
    m_soundFontLoader = std::thread([this] { m_sound.loadSoundFont(); });
    m_window = std::make_unique<Window_t1>(m_g, m_sound.engine(), *m_sounds);
    m_live = std::make_unique<LiveControl>(m_g, m_sound, *m_window,
                                           m_settings.liveSettingsFile.isEmpty()
                                               ? LiveControl::defaultPath()
                                               : m_settings.liveSettingsFile,
                                           m_settings.sync);
    m_songs = new SongControl(m_g, *m_window, m_sound.engine(),
                              [this] { return m_live->settings().fillPreset; });
    connect(m_live.get(), &LiveControl::songMoveRequested, &m_songs->player(), &SongPlayer::skip);
    connect(m_live.get(), &LiveControl::fillRequested, m_songs, &SongControl::fill);
    connect(m_live.get(), &LiveControl::fillHeld, m_songs, &SongControl::holdFill);
    connect(m_live.get(), &LiveControl::songEntryRequested, &m_songs->player(), &SongPlayer::goTo);
    m_live->followSong([&player = m_songs->player()] {
        return player.active() ? static_cast<int>(player.song().entries.size()) : 0;
    });
    buildMenuBar();
    connect(m_window.get(), &Window_t1::closing, this, &App::Event_Close);
    connect(&m_recoveryWatch, &QTimer::timeout, this, &App::keepForRecovery);
}

App::~App() {
    finishSoundFontLoad();
    m_live.reset();
    m_window.reset();
}

void App::Event_Open() {
    QString folder = m_settings.loopsFolder;
    if (folder.isEmpty()) {
        folder =
            locateLoopsFolder(QCoreApplication::applicationDirPath(),
                              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        seedFactoryLoops(folder);
    }
    m_g.drumloopsfolder = folder.toStdString();
    if (!m_settings.loopFile.isEmpty() && isSongFile(fileNameBytes(m_settings.loopFile))) {
        QString error;
        m_openedSong = openSong(fileNameBytes(m_settings.loopFile),
                                fileNameBytes(m_settings.loopsFolder), error);
        if (m_openedSong) {
            m_g.drumloopsfolder = m_openedSong->loopsFolder;
            m_openedLoop = m_openedSong->loop;
        } else {
            std::fprintf(stderr, "zumbal: cannot play %s: %s; playing the start-up loop\n",
                         qPrintable(m_settings.loopFile), qPrintable(error));
        }
    } else if (!m_settings.loopFile.isEmpty()) {
        QString error;
        m_openedLoop = readLoopFile(fileNameBytes(m_settings.loopFile), error);
        if (!m_openedLoop)
            std::fprintf(stderr, "zumbal: cannot open %s: %s; playing the start-up loop\n",
                         qPrintable(m_settings.loopFile), qPrintable(error));
    }
    QApplication::setWindowIcon(QIcon(applicationIcon(qApp->devicePixelRatio())));
    m_preferences.leggipref(m_g);
    m_live->start();
    m_sounds->playIfOn(SoundId::Loaded2);
}

void App::openMainWindow() {
    if (m_openedSong) {
        m_window->Event_Open(&*m_openedLoop, m_openedSong->loopName);
        m_songs->playOpened(*m_openedSong);
    } else if (m_openedLoop) {
        m_window->Event_Open(&*m_openedLoop, QFileInfo(m_settings.loopFile).fileName());
    } else {
        m_window->Event_Open();
    }
    m_recovery.setBaseline(m_window->currentLoop());
    m_recoveryWatch.start(1000);
    Event_EnableMenuItems();
}

void App::finishSoundFontLoad() {
    if (m_soundFontLoader.joinable())
        m_soundFontLoader.join();
}

void App::startAudio() {
    finishSoundFontLoad();
    m_sound.startAudio();
    m_live->audioStarted();
    connect(&m_outputWatch, &QTimer::timeout, this, &App::showOutputState);
    m_outputWatch.start(500);
}

void App::showOutputState() {
    static const QMap<QString, QString> names{
        {QStringLiteral("pulseaudio"), QStringLiteral("PulseAudio")},
        {QStringLiteral("alsa"), QStringLiteral("ALSA")},
        {QStringLiteral("jack"), QStringLiteral("JACK")}};
    const QString lost = names.value(QString::fromStdString(m_sound.lostOutput()));
    m_window->setWindowTitle(
        lost.isEmpty() ? QStringLiteral("Zumbal")
                       : QStringLiteral("Zumbal (no sound: %1 output lost, retrying)").arg(lost));
}

void App::buildMenuBar() {
    MenuBar1 = new QMenuBar(m_window.get());
    FileMenu = MenuBar1->addMenu(QStringLiteral("&File"));
    auto add = [this](const QString& text, const QKeySequence& shortcut) {
        QAction* action = FileMenu->addAction(text);
        action->setShortcut(shortcut);
        return action;
    };
    FileNew = add(QStringLiteral("New Loop"), QKeySequence(Qt::CTRL | Qt::Key_N));
    FileLoadDrum =
        add(QStringLiteral("Load Drum Loops Folder.."), QKeySequence(Qt::CTRL | Qt::Key_O));
    FileMenu->addSeparator();
    FileSavecurrentloop =
        add(QStringLiteral("Save Current Loop.."), QKeySequence(Qt::CTRL | Qt::Key_S));
    FileRecoverLastLoop = FileMenu->addAction(QStringLiteral("Recover Last Loop"));
    FileExportMidiFile =
        add(QStringLiteral("Export Midi File.."), QKeySequence(Qt::CTRL | Qt::Key_E));
    // Beyond the usual menu, so no shortcut.
    FileGroove = FileMenu->addAction(QStringLiteral("Groove.."));
    FileSong = FileMenu->addAction(QStringLiteral("Song.."));
    FileMenu->addSeparator();
    FileFastSwitchMode = add(QStringLiteral("FastSwitch Mode"), QKeySequence(Qt::CTRL | Qt::Key_M));
    FileFastSwitchMode->setCheckable(true);
    FileMenu->addSeparator();
    FilePreferences = add(QStringLiteral("Preferences.."), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    FilePreferences->setMenuRole(QAction::PreferencesRole);
    // No shortcut: the usual Ctrl letters belong to the other commands.
    FileLiveSettings = FileMenu->addAction(QStringLiteral("Live Settings.."));
    FileMenu->addSeparator();
    FileQuit = add(QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    FileQuit->setMenuRole(QAction::QuitRole);
    AppleZumbalInfo = FileMenu->addAction(QStringLiteral("Zumbal Info.."));
    AppleZumbalInfo->setMenuRole(QAction::AboutRole);
    EditMenu = MenuBar1->addMenu(QStringLiteral("&Edit"));
    EditUndo = EditMenu->addAction(QStringLiteral("Undo"));
    EditUndo->setShortcut(QKeySequence::Undo);
    EditRedo = EditMenu->addAction(QStringLiteral("Redo"));
    EditRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    m_window->setMenuBar(MenuBar1);

    connect(FileMenu, &QMenu::aboutToShow, this, &App::Event_EnableMenuItems);
    connect(FileNew, &QAction::triggered, this, &App::FileNew_Action);
    connect(FileLoadDrum, &QAction::triggered, this, &App::FileLoadDrum_Action);
    connect(FileSavecurrentloop, &QAction::triggered, this, &App::FileSavecurrentloop_Action);
    connect(FileRecoverLastLoop, &QAction::triggered, this, &App::FileRecoverLastLoop_Action);
    connect(FileExportMidiFile, &QAction::triggered, this, &App::FileExportMidiFile_Action);
    connect(FileFastSwitchMode, &QAction::triggered, this, &App::FileFastSwitchMode_Action);
    connect(FileSong, &QAction::triggered, m_songs, &SongControl::openWindow);
    connect(m_window.get(), &Window_t1::presetsChanged, this, &App::Event_EnableMenuItems);
    connect(FileQuit, &QAction::triggered, m_window.get(), &QWidget::close);
    connect(FilePreferences, &QAction::triggered, this, &App::FilePreferences_Action);
    connect(FileLiveSettings, &QAction::triggered, this, &App::openLiveSettings);
    connect(FileGroove, &QAction::triggered, this, &App::openGrooveWindow);
    connect(m_live.get(), &LiveControl::fastSwitchToggleRequested, this, [this] {
        if (FileFastSwitchMode->isEnabled())
            FileFastSwitchMode_Action();
    });
    connect(AppleZumbalInfo, &QAction::triggered, this, &App::AppleZumbalInfo_Action);
    connect(EditUndo, &QAction::triggered, m_window.get(), &Window_t1::undo);
    connect(EditRedo, &QAction::triggered, m_window.get(), &Window_t1::redo);
    connect(&m_window->history(), &QUndoStack::indexChanged, this, &App::updateEditMenu);
    connect(m_window.get(), &Window_t1::volumeWindowRequested, this, &App::openVolumeWindow);
    connect(m_window.get(), &Window_t1::drumsWindowRequested, this, &App::openDrumsWindow);
    connect(m_window.get(), &Window_t1::stepWindowRequested, this, &App::openStepWindow);
}

void App::Event_EnableMenuItems() {
    const bool editing = !m_g.fastswitch;
    // The song window stays at hand in FastSwitch mode: a song is played live.
    for (QAction* action : {AppleZumbalInfo, FileNew, FileLoadDrum, FileSavecurrentloop,
                            FileExportMidiFile, FileGroove, FilePreferences})
        action->setEnabled(editing);
    FileRecoverLastLoop->setEnabled(editing && m_recovery.exists());
    const bool hasPresets = m_window->presetCount() > 0;
    FileFastSwitchMode->setEnabled(hasPresets);
    FileFastSwitchMode->setChecked(hasPresets && m_g.fastswitch);
    updateEditMenu();
}

void App::updateEditMenu() {
    const QUndoStack& history = m_window->history();
    const bool editing = !m_g.fastswitch;
    EditUndo->setEnabled(editing && history.canUndo());
    EditRedo->setEnabled(editing && history.canRedo());
    EditUndo->setText(history.canUndo() ? QStringLiteral("Undo ") + history.undoText()
                                        : QStringLiteral("Undo"));
    EditRedo->setText(history.canRedo() ? QStringLiteral("Redo ") + history.redoText()
                                        : QStringLiteral("Redo"));
}

void App::FileNew_Action() {
    m_window->newLoop();
}

void App::FilePreferences_Action() {
    auto* dialog = new finestrapref(m_g, *m_sounds, m_window.get());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->Event_Open();
}

void App::openLiveSettings() {
    m_live->openWindow();
}

void App::AppleZumbalInfo_Action() {
    auto* info = new finestrainfo(*m_sounds, m_window.get());
    info->Event_Open();
}

void App::openVolumeWindow(bool all, int track, int stroke, QPoint topLeft) {
    if (!m_volumeWindow) {
        m_volumeWindow = new volumewin(m_g, *m_window, m_window.get());
        connect(m_volumeWindow, &volumewin::stepWindowRequested, this, &App::openStepWindow);
    }
    m_volumeWindow->apri(all, track, stroke, topLeft.x(), topLeft.y());
}

void App::openGrooveWindow() {
    if (!m_grooveWindow)
        m_grooveWindow = new groovewin(m_g, *m_window, m_window.get());
    m_grooveWindow->apri();
}

void App::openStepWindow(int cell, QPoint topLeft) {
    if (!m_stepWindow)
        m_stepWindow = new stepwin(m_g, *m_window, m_window.get());
    m_stepWindow->apri(cell, topLeft);
}

void App::openDrumsWindow(int y, int track) {
    if (!m_drumsWindow)
        m_drumsWindow = new drumswin(m_g, *m_window, m_window.get());
    m_drumsWindow->apri(y, track);
}

void App::FileSavecurrentloop_Action() {
    if (m_saveDialog) {
        m_saveDialog->raise();
        m_saveDialog->activateWindow();
        return;
    }
    Window_t1& w = *m_window;
    auto* dialog = new finestrasalva(
        m_g, *m_sounds,
        [this, &w] {
            // The menu's rows, and whatever the folder holds at this moment
            // (files that are not loops, another instance's new loop).
            QStringList names = w.presetRows();
            names << QDir(QString::fromStdString(m_g.drumloopsfolder.string()))
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                    QDir::NoDotAndDotDot);
            return names;
        },
        [this, &w](const QString& name, QString& error) {
            m_g.nome_file = fileNameBytes(name);
            return w.loop_salva(error);
        },
        &w);
    // Not modal: edits made while it is open are saved with the loop. As a
    // child of the main window it stays above it.
    m_saveDialog = dialog;
    dialog->Event_Open();
}

void App::FileRecoverLastLoop_Action() {
    QString error;
    const std::optional<LoopRecord> loop = m_recovery.read(error);
    if (!loop) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("Recover Last Loop"),
                            QStringLiteral("The last loop could not be recovered: %1").arg(error),
                            QMessageBox::Ok, m_window.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    m_window->applyLoop(*loop, QStringLiteral("Recovered loop"));
}

void App::keepForRecovery() {
    // A fill's loop is not the musician's: the loop it interrupted is kept.
    if (m_g.fastswitch || m_sound.engine().fillPlaying())
        return;
    const QString error = m_recovery.update(m_window->currentLoop());
    if (!error.isEmpty() && error != m_recoveryError)
        std::fprintf(stderr, "zumbal: the loop cannot be kept for recovery in %s: %s\n",
                     qPrintable(m_recovery.path()), qPrintable(error));
    m_recoveryError = error;
}

void App::FileExportMidiFile_Action() {
    // The window is modal: playback would go on with its stop button out of reach.
    if (m_g.battito > 0)
        m_window->play_pausa();
    auto* dialog = new exportmidiwin(m_g, *m_sounds, m_window.get());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->Event_Open();
}

void App::FileLoadDrum_Action() {
    const QString folder = QFileDialog::getExistingDirectory(
        m_window.get(), QStringLiteral("Load Drum Loops Folder.."),
        QString::fromStdString(m_g.drumloopsfolder.string()));
    if (folder.isEmpty())
        return;
    m_g.drumloopsfolder = folder.toStdString();
    m_window->creapopupmenu();
}

void App::FileFastSwitchMode_Action() {
    const bool on = !m_g.fastswitch;
    m_sounds->play(SoundId::PublicD);
    m_window->setFastSwitch(on);
    m_g.fastswitch = on;
    Event_EnableMenuItems();
}

void App::Event_Close() {
    m_preferences.write(m_g);
    keepForRecovery();
    if (m_settings.printAudioStats) {
        const AudioStats s = m_sound.audioStats();
        std::fprintf(stderr,
                     "zumbal: audio stats: output %s, rate %d, period %d, latency %.1f ms, "
                     "callbacks %llu, late renders %llu, underruns %llu, server xruns %llu, "
                     "max render %.2f ms, foreign synth calls %llu, allocations %s\n",
                     s.output.c_str(), s.sampleRate, s.periodSize, s.latencyMs,
                     static_cast<unsigned long long>(s.callbacks),
                     static_cast<unsigned long long>(s.lateRenders),
                     static_cast<unsigned long long>(s.underruns),
                     static_cast<unsigned long long>(s.serverXruns), s.maxRenderMs,
                     static_cast<unsigned long long>(m_sound.synth().foreignCalls()),
                     s.allocations < 0 ? "not counted" : std::to_string(s.allocations).c_str());
    }
}

} // namespace zumbal
