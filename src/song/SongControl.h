#pragma once

#include "editor/Window_t1.h"
#include "loops/LoopFile.h"
#include "model/globali.h"
#include "playback/PlaybackEngine.h"
#include "song/SongPlayer.h"

#include <QAction>
#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>

namespace zumbal {

// A song file named on the command line, ready to play: the song, the
// loops folder its presets are in, and the first entry's loop.
struct OpenedSong {
    Song song;
    std::filesystem::path loopsFolder;
    int entry = 0;
    LoopRecord loop;
    QString loopName;
};

// Whether the file at `path` is a song file, by the tag on its first line.
bool isSongFile(const std::filesystem::path& path);

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
    SongControl(globali& g, Window_t1& window, PlaybackEngine& engine);

    SongPlayer& player() { return m_player; }
    // A song opened with the program, whose first entry the window plays.
    void playOpened(const OpenedSong& opened);

    // The keys: "." next entry, "," previous entry, "/" restart the entry.
    QAction* nextEntry = nullptr;
    QAction* previousEntry = nullptr;
    QAction* restartEntry = nullptr;

private:
    SongPlayer m_player;
};

} // namespace zumbal
