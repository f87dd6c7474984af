#include "midi/MidiMessage.h"

namespace zumbal {

namespace {

bool isRealTime(uint8_t byte) {
    return byte >= 0xF8;
}
bool isSystemCommon(uint8_t byte) {
    return byte >= 0xF0 && byte < 0xF8;
}
bool isStatus(uint8_t byte) {
    return byte >= 0x80;
}

// Program Change and Channel Pressure carry one data byte, the other channel
// messages two.
int dataBytes(uint8_t status) {
    const int type = status & 0xF0;
    return type == 0xC0 || type == 0xD0 ? 1 : 2;
}

} // namespace

std::optional<MidiMessage> MidiParser::feed(uint8_t byte) {
    if (isRealTime(byte))
        return MidiMessage{byte};
    if (isStatus(byte)) {
        // System common messages cancel running status, so their data bytes,
        // SysEx included, fall through as stray bytes until the next status.
        m_status = isSystemCommon(byte) ? 0 : byte;
        m_count = 0;
        return std::nullopt;
    }
    if (m_status == 0)
        return std::nullopt;
    m_data[m_count++] = byte;
    const int needed = dataBytes(m_status);
    if (m_count < needed)
        return std::nullopt;
    m_count = 0;
    return MidiMessage{m_status, m_data[0], needed == 2 ? m_data[1] : uint8_t{0}};
}

std::optional<MidiMessage> parseEvent(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size == 0 || !isStatus(bytes[0]) || isSystemCommon(bytes[0]))
        return std::nullopt;
    if (isRealTime(bytes[0]))
        return MidiMessage{bytes[0]};
    const size_t needed = static_cast<size_t>(dataBytes(bytes[0]));
    if (size < 1 + needed)
        return std::nullopt;
    for (size_t i = 1; i <= needed; ++i)
        if (isStatus(bytes[i]))
            return std::nullopt;
    return MidiMessage{bytes[0], bytes[1], needed == 2 ? bytes[2] : uint8_t{0}};
}

} // namespace zumbal
