#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zumbal::sync {

// Short MIDI messages from one thread to another: one producer, one
// consumer, fixed size, no lock. Only messages of at most three bytes
// (real-time, Song Position Pointer, notes, controllers, programs) are
// carried, each with the CLOCK_MONOTONIC time it arrived at where the
// producer gives one; SysEx and whatever comes while the queue is full are
// dropped and counted, so that a flood never stalls either thread.
template <size_t Capacity> class ShortMidiQueue {
public:
    static constexpr size_t kCapacity = Capacity;
    struct Event {
        int64_t ns = 0;
        uint8_t bytes[3] = {};
        uint8_t size = 0;
    };

    // Producer.
    void push(const uint8_t* bytes, size_t size, int64_t ns = 0) {
        if (size == 0 || size > 3 || bytes[0] == 0xF0)
            return;
        const size_t write = m_write.load(std::memory_order_relaxed);
        if (write - m_read.load(std::memory_order_acquire) >= kCapacity) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        Event& e = m_events[write % kCapacity];
        e.ns = ns;
        for (size_t i = 0; i < size; ++i)
            e.bytes[i] = bytes[i];
        e.size = static_cast<uint8_t>(size);
        m_write.store(write + 1, std::memory_order_release);
    }
    // Consumer: hands every waiting event to `take`, oldest first.
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

// From the ALSA sequencer's input thread to the audio thread, stamped.
using TimedMidiQueue = ShortMidiQueue<1024>;

// Where CLOCK_MONOTONIC times fall on the engine's frames, for the buffer
// whose first frame is heard at `heardNs`: a message is stamped with the
// frame heard when it arrived. Messages arrive before the buffer they
// bear on is heard, so their frames are earlier than its first one by
// about the output's latency; frameAt(now) is the `now` the follower's
// at() takes. A device that cannot tell when its buffer is heard gives
// heardNs = now: stamps then lag the sound by its latency.
struct HeardFrames {
    int64_t firstFrame = 0;
    int64_t heardNs = 0;
    int rate = 48000;

    int64_t frameAt(int64_t ns) const {
        // In double: to the frame over days, and ns × rate cannot overflow.
        return firstFrame + std::llround(static_cast<double>(ns - heardNs) * rate / 1e9);
    }
};

} // namespace zumbal::sync
