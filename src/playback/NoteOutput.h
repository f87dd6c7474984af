#pragma once

#include <algorithm>

namespace zumbal {

// Where the note players send their notes: the synthesizer in the program, a
// recorder in tests. Called from the audio side only.
class NoteOutput {
public:
    virtual ~NoteOutput() = default;
    // A velocity of 0 ends the note.
    virtual void playNote(int track, int note, int velocity) = 0;
    // A drum kit for the drum tracks, a General MIDI program counted from 1 for the bass.
    virtual void setInstrument(int track, int instrument) = 0;
};

constexpr int clampMidi(int value) {
    return std::clamp(value, 0, 127);
}

// One of the seven players `NotePl`: a track's voice on the output. Notes and
// velocities outside MIDI's range (a transposed bass line, a typed volume)
// are clamped when sent.
class NotePlayer {
public:
    NotePlayer(NoteOutput& out, int track) : m_out(&out), m_track(track) {}
    void PlayNote(int note, int velocity) {
        m_out->playNote(m_track, clampMidi(note), clampMidi(velocity));
    }
    void setInstrument(int instrument) { m_out->setInstrument(m_track, instrument); }

private:
    NoteOutput* m_out;
    int m_track;
};

} // namespace zumbal
