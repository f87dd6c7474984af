#pragma once

#include "editor/Window_t1.h"
#include "loops/LoopLibrary.h"
#include "model/globali.h"
#include "playback/PlaybackEngine.h"
#include "song/SongCursor.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

namespace zumbal {

// Plays a song through the main window's bar-line switch: each entry is read
// from the loops folder when it is queued, complete, with its passes, and
// the next one is queued as soon as the last lands; the engine counts the
// passes and lands the next entry on its bar line. The song ends when the
// musician takes over (a preset chosen, New Loop, undo) or at its end; after
// Stop, Play starts it again from the entry shown.
class SongPlayer : public QObject {
    Q_OBJECT
public:
    SongPlayer(globali& g, Window_t1& window, PlaybackEngine& engine);

    // The song from here on; while it plays it goes on from the entry
    // playing, as edited.
    void setSong(const Song& song, bool loopSong);
    const Song& song() const { return m_song; }
    // "Play song": from the first playable entry at or after `entry`;
    // stopped, the entry is loaded and the loop starts, playing, it lands at
    // the next bar line. False when no entry can be played: the loop goes on.
    bool play(int entry);
    // Makes `entry`, whose loop the window holds, the one the song plays
    // from: at once while playing (a song opened with the program), else at
    // the next Play.
    void arm(int entry);
    // The musician's moves, each landing on the next bar line at pass 1:
    // the next entry (`direction` > 0), the previous one (< 0) or the start
    // of the entry playing (0).
    void skip(int direction);
    // Program Change in FastSwitch mode: `entry` (or the next playable one
    // after it) at pass 1, at the next bar line while playing, else loaded
    // to play from at the next Play. Nothing without a song.
    void goTo(int entry);
    void next() { skip(1); }
    void previous() { skip(-1); }
    void restart() { skip(0); }
    // Whether a song plays or waits to play again from the entry shown.
    bool active() const { return m_shown.has_value(); }
    // The entry shown and its pass.
    std::optional<SongPlace> place() const;
    // "Funk · pass 2 of 4"; empty without a song.
    QString placeText() const;

signals:
    void placeChanged();

private:
    // Reads the presets of the song; false for each that is missing.
    std::vector<bool> playable() const;
    // Queues `entry`, read afresh, or the next one `found` playable when it
    // has gone meanwhile; false when nothing can be played.
    bool queue(int entry, bool waits, std::vector<bool> found);
    // Stopped: loads `entry`, or the next one `found` playable, into the
    // window as the entry to play from; false when nothing can be played.
    bool load(int entry, const std::vector<bool>& found);
    void landed(int songEntry);
    void withdrawn(int songEntry);
    void aboutToPlay();
    void end();
    void poll();
    void show();

    globali& m_g;
    Window_t1& m_window;
    PlaybackEngine& m_engine;
    LoopLibrary m_library;
    Song m_song;
    bool m_loopSong = false;
    std::optional<int> m_shown; // the entry playing, or to play again from
    PlaybackEngine::Passes m_passes;
    QTimer m_poll;
};

} // namespace zumbal
