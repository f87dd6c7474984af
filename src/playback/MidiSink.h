#pragma once

#include <cstdint>

namespace zumbal {

// The two MIDI outputs of one audio buffer: the notes, and the clock with its
// Start and Stop. Called on the audio thread, in frame order per output;
// nothing here may lock, allocate or log.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    // `frame` is the offset in the buffer being rendered.
    virtual void note(int frame, const uint8_t* bytes, int size) = 0;
    virtual void clock(int frame, uint8_t byte) = 0;
};

inline constexpr uint8_t kMidiClock = 0xF8;
inline constexpr uint8_t kMidiStart = 0xFA;
inline constexpr uint8_t kMidiStop = 0xFC;

} // namespace zumbal
