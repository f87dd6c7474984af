#include "song/SongEdits.h"

#include <algorithm>
#include <utility>

namespace zumbal {

namespace {

bool inList(const std::vector<SongEntry>& entries, int index) {
    return index >= 0 && static_cast<size_t>(index) < entries.size();
}

} // namespace

int insertEntry(std::vector<SongEntry>& entries, int selected, SongEntry entry) {
    const int at = inList(entries, selected) ? selected + 1 : static_cast<int>(entries.size());
    entries.insert(entries.begin() + at, std::move(entry));
    return at;
}

int removeEntry(std::vector<SongEntry>& entries, int selected) {
    if (!inList(entries, selected))
        return selected;
    entries.erase(entries.begin() + selected);
    return std::min(selected, static_cast<int>(entries.size()) - 1);
}

int moveEntry(std::vector<SongEntry>& entries, int selected, int direction) {
    const int to = selected + (direction < 0 ? -1 : 1);
    if (direction == 0 || !inList(entries, selected) || !inList(entries, to))
        return selected;
    std::swap(entries[selected], entries[to]);
    return to;
}

int duplicateEntry(std::vector<SongEntry>& entries, int selected) {
    if (!inList(entries, selected))
        return selected;
    const SongEntry copy = entries[selected];
    return insertEntry(entries, selected, copy);
}

} // namespace zumbal
