#include "song/SongPlayer.h"

#include "loops/FileNames.h"

#include <algorithm>

namespace zumbal {

SongPlayer::SongPlayer(globali& g, Window_t1& window, PlaybackEngine& engine)
    : m_g(g), m_window(window), m_engine(engine), m_library(g) {
    connect(&window, &Window_t1::switchLanded, this, &SongPlayer::landed);
    connect(&window, &Window_t1::switchWithdrawn, this, &SongPlayer::withdrawn);
    connect(&window, &Window_t1::aboutToPlay, this, &SongPlayer::aboutToPlay);
    // The musician took the loop over, playing or stopped.
    connect(&window, &Window_t1::loopReplaced, this, [this] {
        if (m_shown)
            end();
    });
    m_poll.setInterval(30);
    connect(&m_poll, &QTimer::timeout, this, &SongPlayer::poll);
}

void SongPlayer::setSong(const Song& song, bool loopSong) {
    m_song = song;
    m_loopSong = loopSong;
    if (m_shown && *m_shown >= static_cast<int>(m_song.entries.size()))
        m_shown = static_cast<int>(m_song.entries.size()) - 1;
    if (m_shown && *m_shown < 0)
        end();
    show();
}

std::vector<bool> SongPlayer::playable() const {
    const std::vector<std::string> presets = m_library.presets();
    std::vector<bool> found;
    for (const SongEntry& e : m_song.entries)
        found.push_back(std::find(presets.begin(), presets.end(), e.preset) != presets.end());
    return found;
}

bool SongPlayer::play(int entry) {
    const std::vector<bool> found = playable();
    const std::optional<int> first = firstPlayable(found, entry);
    if (!first)
        return false;
    if (m_g.battito > 0)
        return queue(*first, false, found);
    // Stopped: the entry is loaded now, and its passes count from stroke 1.
    if (!load(*first, found))
        return false;
    m_window.play_pausa();
    return true;
}

void SongPlayer::goTo(int entry) {
    if (!m_shown)
        return;
    const std::vector<bool> found = playable();
    if (m_g.battito > 0)
        queue(entry, false, found);
    else
        load(entry, found);
}

bool SongPlayer::load(int entry, const std::vector<bool>& found) {
    for (std::optional<int> at = firstPlayable(found, entry); at;
         at = firstPlayable(found, *at + 1)) {
        QString error;
        const std::optional<LoopRecord> loop = m_library.read(m_song.entries[*at].preset, error);
        if (!loop)
            continue;
        // The loop replaced ends the song that was; this one starts.
        m_window.applyLoop(*loop, fileNameText(m_song.entries[*at].preset));
        m_shown = *at;
        m_passes = {};
        show();
        return true;
    }
    return false;
}

void SongPlayer::arm(int entry) {
    m_shown = entry;
    m_passes = {};
    // Already playing: the passes count from the next stroke 1.
    if (m_g.battito > 0)
        aboutToPlay();
    show();
}

void SongPlayer::skip(int direction) {
    if (!m_shown || m_g.battito < 1)
        return;
    const std::vector<bool> found = playable();
    const std::optional<SongPlace> to =
        skipTo(m_song, found, place().value_or(SongPlace{}), direction, m_loopSong);
    if (to)
        queue(to->entry, false, found);
}

bool SongPlayer::queue(int entry, bool waits, std::vector<bool> found) {
    for (std::optional<int> at = firstPlayable(found, entry); at;
         at = firstPlayable(found, *at + 1)) {
        const SongEntry& e = m_song.entries[*at];
        QString error;
        const std::optional<LoopRecord> loop = m_library.read(e.preset, error);
        // Gone or unreadable since the list was read: the next one plays in its place.
        if (!loop) {
            found[*at] = false;
            continue;
        }
        PendingSwitch next;
        next.loop = *loop;
        next.name = fileNameText(e.preset);
        next.normalise = !m_g.fastswitch;
        if (e.key)
            next.key = fastSwitchLetter(*e.key);
        next.passes = e.passes;
        next.waitsForPasses = waits;
        next.songEntry = *at;
        m_window.barLineQueue().queueEntry(std::move(next));
        if (!m_shown)
            m_shown = *at;
        m_poll.start();
        return true;
    }
    return false;
}

void SongPlayer::landed(int songEntry) {
    if (!m_shown)
        return;
    if (songEntry == PendingSwitch::kSongEnd) {
        // Played to its end, which stopped the loop: Play starts it again
        // from the entry shown, the last.
        m_passes = {};
        show();
        return;
    }
    if (songEntry < 0 || songEntry >= static_cast<int>(m_song.entries.size())) {
        end(); // a preset chosen by hand
        return;
    }
    m_shown = songEntry;
    m_passes = m_engine.passes();
    // A move asked for since (next, previous, restart) waits already.
    if (m_window.barLineQueue().waiting()) {
        show();
        return;
    }
    // The next entry, or the song's end, waits in the engine for this one's passes.
    const std::vector<bool> found = playable();
    const std::optional<SongPlace> after =
        nextPlace(m_song, found, {songEntry, m_song.entries[songEntry].passes}, m_loopSong);
    if (!after || !queue(after->entry, true, found)) {
        PendingSwitch stop;
        stop.songEntry = PendingSwitch::kSongEnd;
        stop.waitsForPasses = true;
        m_window.barLineQueue().queueEntry(std::move(stop));
    }
    show();
}

void SongPlayer::withdrawn(int songEntry) {
    if (!m_shown || songEntry < 0)
        return;
    // A stop keeps the song, to play again from the entry shown; anything
    // else that took the waiting entry back ends it.
    if (m_g.battito > 0)
        end();
    show();
}

void SongPlayer::aboutToPlay() {
    if (!m_shown)
        return;
    // Only the passes: the loop in the window is the entry's, with any
    // edit made to it since, and it goes on being so.
    // The key is the entry's own: on a loop already in it, it moves nothing.
    const SongEntry& e = m_song.entries[*m_shown];
    PendingSwitch passes;
    if (e.key)
        passes.key = fastSwitchLetter(*e.key);
    passes.passes = e.passes;
    passes.songEntry = *m_shown;
    m_window.barLineQueue().queueEntry(std::move(passes));
    m_poll.start();
}

void SongPlayer::end() {
    m_shown.reset();
    m_poll.stop();
    m_window.showSongPlace({});
    emit placeChanged();
}

void SongPlayer::poll() {
    const PlaybackEngine::Passes now = m_engine.passes();
    if (now == m_passes)
        return;
    m_passes = now;
    show();
}

std::optional<SongPlace> SongPlayer::place() const {
    if (!m_shown)
        return std::nullopt;
    // Stopped, the entry plays again from its pass 1.
    const int pass = m_g.battito > 0 ? m_passes.pass : 1;
    return SongPlace{*m_shown, std::clamp(pass, 1, m_song.entries[*m_shown].passes)};
}

QString SongPlayer::placeText() const {
    const std::optional<SongPlace> at = place();
    if (!at)
        return {};
    const SongEntry& e = m_song.entries[at->entry];
    return QStringLiteral(" %1 \u00B7 pass %2 of %3")
        .arg(fileNameText(e.preset))
        .arg(at->pass)
        .arg(e.passes);
}

void SongPlayer::show() {
    m_window.showSongPlace(placeText());
    emit placeChanged();
}

} // namespace zumbal
