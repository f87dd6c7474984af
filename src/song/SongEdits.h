#pragma once

#include "song/SongFile.h"

#include <vector>

namespace zumbal {

// The edits of a song's entry list, as the song window makes them. Each
// takes the entry selected (-1: none) and returns the one selected after
// it; an edit that cannot be made (nothing selected, a move past an end)
// leaves the list as it is and returns `selected`.

// `entry` after the selected entry, or at the end when none is selected.
int insertEntry(std::vector<SongEntry>& entries, int selected, SongEntry entry);
// Selects the entry that took its place, or the new last one.
int removeEntry(std::vector<SongEntry>& entries, int selected);
// One place up (`direction` < 0) or down (> 0).
int moveEntry(std::vector<SongEntry>& entries, int selected, int direction);
// A copy of the selected entry right after it, selected.
int duplicateEntry(std::vector<SongEntry>& entries, int selected);

} // namespace zumbal
