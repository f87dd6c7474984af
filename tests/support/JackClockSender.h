#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zumbal::test {

// A MIDI clock master on JACK: a clock every `framesPerClock` frames, each on
// its exact frame, from the moment it is connected; start() sends Start just
// before the next clock, stop() Stop. It records the server's frame of every
// clock sent since the Start.
class JackClockSender {
public:
    explicit JackClockSender(double framesPerClock) : m_period(framesPerClock), m_sent(100000) {
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
    std::vector<int64_t> clocksSinceStart() const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {m_sent.begin(), m_sent.begin() + static_cast<std::ptrdiff_t>(n)};
    }

private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackClockSender*>(data);
        void* buffer = jack_port_get_buffer(self->m_port, frames);
        jack_midi_clear_buffer(buffer);
        const auto start = static_cast<int64_t>(jack_last_frame_time(self->m_client));
        if (self->m_next < 0)
            self->m_next = static_cast<double>(start);
        for (; std::llround(self->m_next) < start + frames; self->m_next += self->m_period) {
            const int64_t at = std::llround(self->m_next);
            const auto offset = static_cast<jack_nframes_t>(at - start);
            if (const uint8_t request = self->m_request.exchange(0)) {
                jack_midi_event_write(buffer, offset, &request, 1);
                self->m_rolling = request == 0xFA;
            }
            const uint8_t clock = 0xF8;
            jack_midi_event_write(buffer, offset, &clock, 1);
            const size_t used = self->m_used.load(std::memory_order_relaxed);
            if (self->m_rolling && used < self->m_sent.size()) {
                self->m_sent[used] = at;
                self->m_used.store(used + 1, std::memory_order_release);
            }
        }
        return 0;
    }

    double m_period;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<uint8_t> m_request{0};
    // Process thread only.
    double m_next = -1;
    bool m_rolling = false;
    std::vector<int64_t> m_sent;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::test
