#pragma once

#include "model/globali.h"
#include "playback/NoteOutput.h"

namespace zumbal {

// A change that waits for the next stroke 1 while a loop plays: a preset to
// load, a transposition, or both. The GUI thread makes it complete, with
// everything it needs, and hands it to the engine; the audio thread applies
// it just before it plays stroke 1, so the change sounds from stroke 1's
// own frame on.
class BarLineChange {
public:
    virtual ~BarLineChange() = default;
    // Audio thread: no allocation, no lock, no widget.
    virtual void apply(globali& g, NotePlayer& bass) = 0;

    // The passes of the bar it plays (a song's entry), counted from the
    // stroke 1 where it lands; 0: not counted.
    int passes = 0;
    // Whether it waits until the passes of the change playing are played
    // (a song's next entry); any other change lands at the next stroke 1.
    bool waitsForPasses = false;
};

} // namespace zumbal
