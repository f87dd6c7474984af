#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace zumbal::test {

struct ClockSenderOptions {
    // Each clock goes out this many frames off its ideal one at most, drawn
    // uniformly from a sequence seeded with `seed`, never before the last.
    double jitterFrames = 0;
    unsigned seed = 1;
    // Clocks also while stopped (from the moment it is connected), as many
    // masters do; without them the first clock is the one after Start.
    bool clockWhileStopped = true;
};

// A MIDI clock master on JACK: a clock every `framesPerClock` frames, each on
// its exact frame or jittered, from the moment it is connected; start() sends
// Start just before the next clock, stop() Stop, and setFramesPerClock()
// changes the tempo after the next clock. It records the server's frame of
// every clock sent since the Start, and the ideal frame it stood for.
class JackClockSender {
public:
    explicit JackClockSender(double framesPerClock, ClockSenderOptions options = {})
        : m_period(framesPerClock), m_options(options),
          m_jitter(-options.jitterFrames, options.jitterFrames), m_random(options.seed),
          m_sent(100000), m_ideal(m_sent.size()) {
        jack_status_t status{};
        m_client = jack_client_open("clocksender", JackNoStartServer, &status);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &JackClockSender::process, this);
        jack_activate(m_client);
    }
    ~JackClockSender() {
        if (m_client)
            jack_client_close(m_client);
    }
    bool connect(const char* to) {
        return m_client && jack_connect(m_client, jack_port_name(m_port), to) == 0;
    }
    void start() { m_request.store(0xFA); }
    void stop() { m_request.store(0xFC); }
    // The clocks after the next one sent while playing come
    // `framesPerClock` apart.
    void setFramesPerClock(double framesPerClock) { m_newPeriod.store(framesPerClock); }
    // The count since Start of the clock after which the new tempo went
    // out; -1 before it did.
    int64_t stepClock() const { return m_stepClock.load(std::memory_order_acquire); }
    std::vector<int64_t> clocksSinceStart() const { return sentSoFar(m_sent); }
    std::vector<double> idealSinceStart() const { return sentSoFar(m_ideal); }

private:
    template <class T> std::vector<T> sentSoFar(const std::vector<T>& all) const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n)};
    }

    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackClockSender*>(data);
        void* buffer = jack_port_get_buffer(self->m_port, frames);
        jack_midi_clear_buffer(buffer);
        const auto start = static_cast<int64_t>(jack_last_frame_time(self->m_client));
        if (self->m_next < 0) {
            self->m_next = static_cast<double>(start);
            self->m_sendAt = start;
        }
        while (self->m_sendAt < start + frames)
            self->send(buffer, start);
        return 0;
    }

    // The clock due at m_sendAt, in the cycle from `start`; then the next one.
    void send(void* buffer, int64_t start) {
        // A cycle lost in an xrun sends what was due in it late.
        const int64_t at = std::max(m_sendAt, start);
        const auto offset = static_cast<jack_nframes_t>(at - start);
        if (const uint8_t request = m_request.exchange(0)) {
            jack_midi_event_write(buffer, offset, &request, 1);
            m_rolling = request == 0xFA;
        }
        const uint8_t clock = 0xF8;
        if (m_rolling || m_options.clockWhileStopped)
            jack_midi_event_write(buffer, offset, &clock, 1);
        const size_t used = m_used.load(std::memory_order_relaxed);
        if (m_rolling && used < m_sent.size()) {
            m_sent[used] = at;
            m_ideal[used] = m_next;
            m_used.store(used + 1, std::memory_order_release);
            if (const double period = m_newPeriod.exchange(0); period > 0) {
                m_period = period;
                m_stepClock.store(static_cast<int64_t>(used), std::memory_order_release);
            }
        }
        m_next += m_period;
        const double jitter = m_options.jitterFrames > 0 ? m_jitter(m_random) : 0;
        m_sendAt = std::max<int64_t>(std::llround(m_next + jitter), at);
    }

    double m_period;
    ClockSenderOptions m_options;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<uint8_t> m_request{0};
    std::atomic<double> m_newPeriod{0};
    std::atomic<int64_t> m_stepClock{-1};
    // Process thread only.
    std::uniform_real_distribution<double> m_jitter;
    std::mt19937 m_random;
    double m_next = -1;   // the next clock's ideal frame
    int64_t m_sendAt = 0; // and the frame it goes out on
    bool m_rolling = false;
    std::vector<int64_t> m_sent;
    std::vector<double> m_ideal;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::test
