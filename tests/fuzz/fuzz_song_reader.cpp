// libFuzzer target for the song file reader: any bytes must parse without a
// crash, an out-of-bounds index or undefined behaviour; a song read must
// hold only entries in range, write back as a file that reads the same and
// writes the same again, and play through the cursor's rules on places of
// its own only.

#include "loops/LoopFile.h"
#include "song/SongCursor.h"
#include "song/SongFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zumbal;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<Song> song = parseSong(text);
    if (song.has_value() != hasSongFileTag(firstLine(text)))
        std::abort();
    if (!song)
        return 0;
    for (const SongEntry& entry : song->entries) {
        if (entry.passes < kMinPasses || entry.passes > kMaxPasses ||
            (entry.key && (*entry.key < 0 || *entry.key > 11)) || !isPresetFileName(entry.preset))
            std::abort();
    }

    const std::string written = writeSong(*song);
    const std::optional<Song> again = parseSong(written);
    if (!again || *again != *song || writeSong(*again) != written)
        std::abort();

    // Which presets are missing, from the names' lengths; every place the
    // rules give must be a playable entry's, within its passes.
    std::vector<bool> playable;
    for (const SongEntry& entry : song->entries)
        playable.push_back(entry.preset.size() % 3 != 0);
    const auto valid = [&](const std::optional<SongPlace>& place) {
        return !place || (place->entry >= 0 && place->entry < int(playable.size()) &&
                          playable[place->entry] && place->pass >= 1 &&
                          place->pass <= song->entries[place->entry].passes);
    };
    const bool loopSong = data[0] & 1;
    std::optional<SongPlace> place;
    if (const std::optional<int> first = firstPlayable(playable, 0))
        place = SongPlace{*first, 1};
    // Mostly bar lines, now and then a skip as the input's bytes ask.
    for (size_t bar = 0; place && bar < 1000; ++bar) {
        const int choice = data[bar % size] % 8;
        place = choice < 5 ? nextPlace(*song, playable, *place, loopSong)
                           : skipTo(*song, playable, *place, choice - 6, loopSong);
        if (!valid(place))
            std::abort();
    }
    return 0;
}
