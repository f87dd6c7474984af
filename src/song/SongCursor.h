#pragma once

#include "song/SongFile.h"

#include <optional>
#include <vector>

namespace zumbal {

// Where a song is: the entry playing and its pass (1-based).
struct SongPlace {
    int entry = 0;
    int pass = 1;
    friend bool operator==(const SongPlace&, const SongPlace&) = default;
};

// The rules by which a song moves on at a bar line, apart from the playing.
// The entries that can be played: `playable[i]` false for an entry whose
// preset is missing (an index past its end counts as missing too). Every
// place returned is a playable entry's, with a pass within its passes; a
// place given that is not (the song was edited while it played) moves on as
// if that entry's passes were done.

// The place after a bar line: the next pass of the entry, or the next
// playable entry's pass 1 once its passes are done; past the last entry, the
// first playable one when `loopSong`, else nullopt (the song ends).
std::optional<SongPlace> nextPlace(const Song& song, const std::vector<bool>& playable,
                                   SongPlace now, bool loopSong);

// The first playable entry at or after `entry` (wrapping around), nullopt
// when none is playable ("nothing to play"); an entry outside the list
// starts the search at the first.
std::optional<int> firstPlayable(const std::vector<bool>& playable, int entry);

// Next entry (`direction` > 0), previous entry (< 0) or restart of the entry
// playing (0), as a musician asks while playing: each lands on the next bar
// line at pass 1. Past the last entry, the first playable one when
// `loopSong`, else nullopt (the song ends); before the first, the last
// playable one when `loopSong`, else the first playable one again. A restart
// of an entry gone missing is the next one.
std::optional<SongPlace> skipTo(const Song& song, const std::vector<bool>& playable, SongPlace now,
                                int direction, bool loopSong);

} // namespace zumbal
