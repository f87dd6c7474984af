#include "song/SongControl.h"

#include "loops/FileNames.h"
#include "loops/LoopLibrary.h"

#include <QKeyEvent>

namespace zumbal {

std::optional<OpenedSong> openSong(const std::filesystem::path& path,
                                   const std::filesystem::path& loopsFolder, QString& error) {
    std::string why;
    std::optional<Song> song = readSongFile(path, why);
    if (!song) {
        error = QString::fromStdString(why);
        return std::nullopt;
    }
    OpenedSong opened;
    opened.path = path;
    opened.song = std::move(*song);
    opened.loopsFolder = loopsFolder.empty() ? presetsFolderOf(path) : loopsFolder;
    for (size_t i = 0; i < opened.song.entries.size(); ++i) {
        const std::string& preset = opened.song.entries[i].preset;
        QString unreadable;
        if (std::optional<LoopRecord> loop =
                readLoopFile(opened.loopsFolder / preset, unreadable)) {
            opened.entry = static_cast<int>(i);
            opened.loop = *loop;
            opened.loopName = fileNameText(preset);
            return opened;
        }
    }
    error = QStringLiteral("nothing to play");
    return std::nullopt;
}

SongControl::SongControl(globali& g, Window_t1& window, PlaybackEngine& engine,
                         std::function<std::string()> fillPreset)
    : QObject(&window), m_g(g), m_window(window), m_engine(engine), m_player(g, window, engine),
      m_fillPreset(std::move(fillPreset)) {
    m_fillWatch.setInterval(30);
    connect(&m_fillWatch, &QTimer::timeout, this, &SongControl::watchFill);
    connect(&m_player, &SongPlayer::placeChanged, this, &SongControl::showPlace);
    // A loop put over a playing fill stays: nothing comes back after it.
    connect(&window, &Window_t1::loopReplaced, this, [this] { m_fillShown = false; });
    connect(&window, &Window_t1::closing, this, &SongControl::offerToSave);
    const auto key = [&](const char* text, const char* shortcut, auto move) {
        auto* action = new QAction(QString::fromLatin1(text), &window);
        action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        connect(action, &QAction::triggered, &m_player, move);
        window.addAction(action);
        return action;
    };
    nextEntry = key("Next Entry", ".", &SongPlayer::next);
    previousEntry = key("Previous Entry", ",", &SongPlayer::previous);
    restartEntry = key("Restart Entry", "/", &SongPlayer::restart);
    fillKey = new QAction(QStringLiteral("Fill"), &window);
    fillKey->setShortcut(QKeySequence(QStringLiteral("B")));
    connect(fillKey, &QAction::triggered, this, &SongControl::fill);
    window.addAction(fillKey);
    window.installEventFilter(this);
}

bool SongControl::eventFilter(QObject* watched, QEvent* event) {
    const bool down = event->type() == QEvent::KeyPress;
    if (down || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == kFillHoldKey && key->modifiers() == Qt::NoModifier &&
            !key->isAutoRepeat())
            holdFill(down);
    } else if (event->type() == QEvent::WindowDeactivate) {
        // A key let go of in another window is never seen here.
        holdFill(false);
    }
    return QObject::eventFilter(watched, event);
}

void SongControl::holdFill(bool held) {
    m_engine.holdFill(held);
}

SongControl::~SongControl() {
    delete m_engine.withdrawFill();
    delete m_engine.takeLandedFill();
}

void SongControl::offerToSave() {
    if (!m_songWindow || m_songWindow->history().isClean())
        return;
    const QString name = fileNameText(m_songWindow->song().name);
    if (m_songWindow->dialogs.confirm(
            QStringLiteral("The song \"%1\" has changes that are not saved. Save them?")
                .arg(name.isEmpty() ? QStringLiteral("Untitled") : name)))
        m_songWindow->save();
}

void SongControl::fill() {
    if (m_g.battito < 1)
        return;
    const std::string preset = m_fillPreset ? m_fillPreset() : std::string();
    // Without a fill preset the next bar is a fill for the steps alone.
    if (preset.empty()) {
        m_engine.latchFillBar();
        return;
    }
    QString error;
    const std::optional<LoopRecord> loop = LoopLibrary(m_g).read(preset, error);
    if (!loop)
        return;
    auto* fill = new PendingSwitch;
    fill->loop = *loop;
    fill->name = fileNameText(preset);
    fill->normalise = !m_g.fastswitch;
    // A fill asked for again before its bar line replaces the first.
    delete m_engine.queueFill(fill);
    m_fillWatch.start();
}

void SongControl::watchFill() {
    if (m_g.battito < 1)
        delete m_engine.withdrawFill();
    if (BarLineChange* landed = m_engine.takeLandedFill()) {
        if (!m_fillShown)
            m_beforeFill = m_window.loopName();
        m_fillShown = true;
        m_window.showPlayingLoop(static_cast<PendingSwitch*>(landed)->name);
        delete landed;
    }
    if (m_fillShown && !m_engine.fillPlaying()) {
        m_fillShown = false;
        m_window.showPlayingLoop(m_beforeFill);
    }
    if (!m_fillShown && m_g.battito < 1)
        m_fillWatch.stop();
}

void SongControl::playOpened(const OpenedSong& opened) {
    m_openedPath = opened.path;
    m_player.setSong(opened.song, false);
    m_player.arm(opened.entry);
}

void SongControl::openWindow() {
    if (!m_songWindow) {
        m_songWindow = new SongWindow(m_g.drumloopsfolder, &m_window);
        m_songWindow->setWindowFlag(Qt::Window);
        m_songWindow->setSong(m_player.song(), m_openedPath);
        connect(m_songWindow, &SongWindow::playRequested, this, &SongControl::playFromWindow);
        connect(m_songWindow, &SongWindow::stopRequested, this, [this] {
            if (m_g.battito > 0)
                m_window.play_pausa();
        });
        // An edit while the song plays goes on from the entry playing.
        connect(m_songWindow, &SongWindow::songEdited, this, [this] {
            if (m_player.active())
                m_player.setSong(m_songWindow->song(), m_songWindow->loopSong());
        });
        connect(&m_window, &Window_t1::presetsChanged, m_songWindow,
                [this] { m_songWindow->setPresets(LoopLibrary(m_g).presets()); });
    }
    m_songWindow->setLoopsFolder(m_g.drumloopsfolder);
    m_songWindow->setPresets(LoopLibrary(m_g).presets());
    showPlace();
    m_songWindow->show();
    m_songWindow->raise();
    m_songWindow->activateWindow();
}

void SongControl::playFromWindow(int entry) {
    m_player.setSong(m_songWindow->song(), m_songWindow->loopSong());
    if (!m_player.play(entry))
        m_songWindow->dialogs.tell(QStringLiteral("Nothing to play: no preset of the song is in "
                                                  "the loops folder."));
}

void SongControl::showPlace() {
    if (!m_songWindow)
        return;
    const std::optional<SongPlace> at = m_player.place();
    m_songWindow->showPlaying(at && m_g.battito > 0 ? at->entry : -1, at ? at->pass : 0);
}

} // namespace zumbal
