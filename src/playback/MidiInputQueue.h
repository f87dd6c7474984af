#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zumbal {

// MIDI that arrived on the audio thread, on its way to the GUI thread: one
// producer, one consumer, fixed size, no lock. Only short messages (at most
// three bytes: notes, controllers, programs, real-time) are carried; SysEx
// and anything longer is dropped, and so is whatever comes while the queue
// is full, so a flood can never stall the audio thread.
class MidiInputQueue {
public:
    static constexpr size_t kCapacity = 4096;
    struct Event {
        uint8_t bytes[3] = {};
        uint8_t size = 0;
    };

    // Audio thread.
    void push(const uint8_t* bytes, size_t size) {
        if (size == 0 || size > 3 || bytes[0] == 0xF0)
            return;
        const size_t write = m_write.load(std::memory_order_relaxed);
        if (write - m_read.load(std::memory_order_acquire) >= kCapacity) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        Event& e = m_events[write % kCapacity];
        for (size_t i = 0; i < size; ++i)
            e.bytes[i] = bytes[i];
        e.size = static_cast<uint8_t>(size);
        m_write.store(write + 1, std::memory_order_release);
    }

    // GUI thread: hands every waiting event to `take`, oldest first.
    template <class Take> void drain(Take&& take) {
        size_t read = m_read.load(std::memory_order_relaxed);
        const size_t write = m_write.load(std::memory_order_acquire);
        for (; read != write; ++read)
            take(m_events[read % kCapacity]);
        m_read.store(read, std::memory_order_release);
    }

    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::array<Event, kCapacity> m_events{};
    std::atomic<size_t> m_write{0}, m_read{0};
    std::atomic<uint64_t> m_dropped{0};
};

} // namespace zumbal
