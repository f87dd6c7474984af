#pragma once

#include "editor/Window_t1.h"
#include "loops/LoopFile.h"
#include "model/globali.h"
#include "playback/PlaybackEngine.h"
#include "song/SongPlayer.h"
#include "song/SongWindow.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zumbal {

// A song file named on the command line, ready to play: the song, the
// loops folder its presets are in, and the first entry's loop.
struct OpenedSong {
    std::filesystem::path path;
    Song song;
    std::filesystem::path loopsFolder;
    int entry = 0;
    LoopRecord loop;
    QString loopName;
};

// Reads the song at `path` and its first playable entry. Its presets are in
// `loopsFolder` when given, else in the folder that holds its "songs"
// folder (the song's own folder when that is not "songs"). Nothing, with
// the reason in `error` ("nothing to play" when no preset is there).
std::optional<OpenedSong> openSong(const std::filesystem::path& path,
                                   const std::filesystem::path& loopsFolder, QString& error);

// The songs in the program: the player, and the keys that move through a
// song while it plays, each landing on the next bar line.
class SongControl : public QObject {
    Q_OBJECT
public:
    // `fillPreset` says which preset a fill plays (the live settings').
    SongControl(globali& g, Window_t1& window, PlaybackEngine& engine,
                std::function<std::string()> fillPreset);
    // A fill still waiting, or landed and not shown, goes with the program.
    ~SongControl() override;

    SongPlayer& player() { return m_player; }
    // A song opened with the program, whose first entry the window plays.
    void playOpened(const OpenedSong& opened);
    // File > Song..: the song window, made on first use, with the song
    // that plays or played last.
    void openWindow();
    SongWindow* window() const { return m_songWindow; }
    // The fill: its preset for one pass from the next stroke 1, then the
    // loop it interrupted; nothing while stopped or without a fill preset.
    void fill();
    // The held fill: "fill" for the steps that ask for it while `held`.
    void holdFill(bool held);

    // The keys: "." next entry, "," previous entry, "/" restart the entry.
    QAction* nextEntry = nullptr;
    QAction* previousEntry = nullptr;
    QAction* restartEntry = nullptr;
    QAction* fillKey = nullptr; // "B"
    static constexpr int kFillHoldKey = Qt::Key_N;

protected:
    // The held fill's key, down and up.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void playFromWindow(int entry);
    void showPlace();
    // The fill's landing and end, shown in the window.
    void watchFill();
    // As the program quits: the song window's edits not saved yet are
    // saved if the musician says so.
    void offerToSave();

    globali& m_g;
    Window_t1& m_window;
    PlaybackEngine& m_engine;
    SongPlayer m_player;
    std::function<std::string()> m_fillPreset;
    QTimer m_fillWatch;
    bool m_fillShown = false;
    QString m_beforeFill; // the name of the loop the fill interrupted
    QPointer<SongWindow> m_songWindow;
    std::filesystem::path m_openedPath; // of the song opened with the program
};

} // namespace zumbal
