#pragma once

#include "loops/LoopFile.h"
#include "playback/BarLineChange.h"

#include <QString>

#include <optional>

namespace zumbal {

// What the musician chose while the loop plays with "Switch at the bar
// line" on: a preset to load and a FastSwitch transposition key, applied
// together at the next stroke 1. A later choice of the same kind replaces
// an earlier one that has not landed yet.
class PendingSwitch final : public BarLineChange {
public:
    std::optional<LoopRecord> loop;
    QString name; // the loop's name as shown
    bool normalise = true;
    std::optional<char32_t> key;
    // The entry of the song it plays, -1: not a song's; kSongEnd: the end
    // of a song that does not loop, where playback stops.
    static constexpr int kSongEnd = -2;
    int songEntry = -1;

    void apply(globali& g, NotePlayer& bass) override;

    // The shown line while it waits, such as "Next: Funk, key E".
    QString describe() const;
};

} // namespace zumbal
