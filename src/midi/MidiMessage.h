#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zumbal {

// One short MIDI message. Channel messages carry their channel (0..15) in the
// low nibble of `status`; the one-byte real-time messages leave both data
// bytes 0.
struct MidiMessage {
    uint8_t status = 0, data1 = 0, data2 = 0;
    bool operator==(const MidiMessage&) const = default;
};

// Turns a raw MIDI byte stream, as a sequencer port or a cable delivers it,
// into channel and real-time messages. Running status is honoured, real-time
// bytes come out at once even inside another message, and SysEx and the other
// system common messages are skipped whole.
class MidiParser {
public:
    // The message `byte` completes, if any.
    std::optional<MidiMessage> feed(uint8_t byte);

private:
    uint8_t m_status = 0; // the running status; 0 while there is none
    uint8_t m_data[2] = {0, 0};
    int m_count = 0; // data bytes of the current message received so far
};

// One complete event as JACK delivers it: a status byte and its data bytes,
// without running status. SysEx, system common and malformed events give
// nothing.
std::optional<MidiMessage> parseEvent(const uint8_t* bytes, size_t size);

} // namespace zumbal
