#include "song/SongCursor.h"

#include <algorithm>

namespace zumbal {

namespace {

// The entries that the song and the flags both hold; the rest cannot play.
class Playable {
public:
    Playable(const Song& song, const std::vector<bool>& playable)
        : m_playable(playable),
          m_count(static_cast<int>(std::min(song.entries.size(), playable.size()))) {}

    bool at(int entry) const { return entry >= 0 && entry < m_count && m_playable[entry]; }

    // The first playable entry at or after `from`, before the end.
    std::optional<int> from(int from) const {
        for (int i = std::max(from, 0); i < m_count; ++i)
            if (m_playable[i])
                return i;
        return std::nullopt;
    }

    // The last playable entry at or before `from`.
    std::optional<int> before(int from) const {
        for (int i = std::min(from, m_count - 1); i >= 0; --i)
            if (m_playable[i])
                return i;
        return std::nullopt;
    }

    int count() const { return m_count; }

private:
    const std::vector<bool>& m_playable;
    int m_count;
};

std::optional<SongPlace> startOf(std::optional<int> entry) {
    if (!entry)
        return std::nullopt;
    return SongPlace{*entry, 1};
}

} // namespace

std::optional<SongPlace> nextPlace(const Song& song, const std::vector<bool>& playable,
                                   SongPlace now, bool loopSong) {
    if (Playable(song, playable).at(now.entry) && now.pass >= 1 &&
        now.pass < song.entries[now.entry].passes)
        return SongPlace{now.entry, now.pass + 1};
    return skipTo(song, playable, now, +1, loopSong);
}

std::optional<int> firstPlayable(const std::vector<bool>& playable, int entry) {
    const int count = static_cast<int>(playable.size());
    const int start = entry >= 0 && entry < count ? entry : 0;
    for (int i = 0; i < count; ++i) {
        const int at = (start + i) % count;
        if (playable[at])
            return at;
    }
    return std::nullopt;
}

std::optional<SongPlace> skipTo(const Song& song, const std::vector<bool>& playable, SongPlace now,
                                int direction, bool loopSong) {
    const Playable entries(song, playable);
    if (direction == 0 && entries.at(now.entry))
        return SongPlace{now.entry, 1};
    if (direction >= 0) {
        if (const std::optional<int> next = entries.from(now.entry + 1))
            return startOf(next);
        return loopSong ? startOf(entries.from(0)) : std::nullopt;
    }
    if (const std::optional<int> previous = entries.before(now.entry - 1))
        return startOf(previous);
    return startOf(loopSong ? entries.before(entries.count() - 1) : entries.from(0));
}

} // namespace zumbal
