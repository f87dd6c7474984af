#pragma once

#include "model/globali.h"

#include <array>
#include <utility>

namespace zumbal {

// The note each track has sounding on a MIDI stream (the live output or an
// exported file), so that a track's note-off ends the note it really sent,
// whatever pitch the track plays by now, and a note-off that would end
// nothing is not written at all.
class SoundingNotes {
public:
    struct Note {
        int note = -1; // -1: nothing sounds
        int channel = 0;
        explicit operator bool() const { return note >= 0; }
    };

    void started(int track, int note, int channel = 0) { m_notes[track] = {note, channel}; }
    // The note a note-off of `track` ends, forgotten from here on.
    Note end(int track) { return std::exchange(m_notes[track], Note{}); }

private:
    std::array<Note, kTracks> m_notes{};
};

} // namespace zumbal
