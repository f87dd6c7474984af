#pragma once

#include "playback/AudioDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace zumbal {

// Stands between a running device and the client so that the client can be
// changed (moved to another rate) while the device's callbacks go on: while
// held, they play silence and leave the client alone, and once let go the
// client's clock moves on by the frames they played. Lock-free on the audio side.
class ClientHold final : public AudioSource {
public:
    explicit ClientHold(AudioSource& client) : m_client(client) {}

    void render(float* left, float* right, int frames, MidiSink* midi) override {
        if (m_hold.load(std::memory_order_acquire)) {
            std::fill_n(left, frames, 0.0f);
            std::fill_n(right, frames, 0.0f);
            m_heldFrames += frames;
            m_holding.store(true, std::memory_order_release);
            return;
        }
        if (m_heldFrames > 0)
            m_client.skip(static_cast<int>(std::exchange(m_heldFrames, 0)));
        m_client.render(left, right, frames, midi);
    }
    void skip(int frames) override {
        if (m_hold.load(std::memory_order_acquire))
            m_heldFrames += frames;
        else
            m_client.skip(frames);
    }
    void midiReceived(const uint8_t* bytes, size_t size, int offset) override {
        m_client.midiReceived(bytes, size, offset);
    }
    void heardAt(int64_t monotonicNs) override { m_client.heardAt(monotonicNs); }

    // Not on the audio thread: holds the callbacks, calls `change` once one
    // of them has held, and lets them go. False, with nothing changed, when
    // no callback comes within `wait`.
    template <class Change> bool whileHeld(std::chrono::milliseconds wait, Change&& change) {
        m_holding.store(false, std::memory_order_relaxed);
        m_hold.store(true, std::memory_order_release);
        const auto until = std::chrono::steady_clock::now() + wait;
        while (!m_holding.load(std::memory_order_acquire) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const bool held = m_holding.load(std::memory_order_acquire);
        if (held)
            change();
        m_hold.store(false, std::memory_order_release);
        return held;
    }

private:
    AudioSource& m_client;
    std::atomic<bool> m_hold{false};
    std::atomic<bool> m_holding{false};
    int64_t m_heldFrames = 0; // audio thread only
};

} // namespace zumbal
