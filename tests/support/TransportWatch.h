#pragma once

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace zumbal::test {

// A JACK client that records what the transport says at each cycle, with
// the cycle's first frame on the server's count, into a buffer allocated
// up front.
class TransportWatch {
public:
    struct Cycle {
        int64_t serverFrame = 0;
        jack_transport_state_t state = JackTransportStopped;
        jack_position_t position{};
    };

    explicit TransportWatch(size_t capacity) : m_cycles(capacity) {
        jack_status_t status{};
        m_client = jack_client_open("watch", JackNoStartServer, &status);
        if (!m_client)
            return;
        jack_set_process_callback(m_client, &TransportWatch::process, this);
        jack_activate(m_client);
    }
    ~TransportWatch() {
        if (m_client)
            jack_client_close(m_client);
    }
    // The cycles so far; safe to read while recording.
    std::vector<Cycle> cycles() const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {m_cycles.begin(), m_cycles.begin() + static_cast<std::ptrdiff_t>(n)};
    }

private:
    static int process(jack_nframes_t, void* data) {
        auto* self = static_cast<TransportWatch*>(data);
        const size_t used = self->m_used.load(std::memory_order_relaxed);
        if (used < self->m_cycles.size()) {
            Cycle& c = self->m_cycles[used];
            c.serverFrame = jack_last_frame_time(self->m_client);
            c.state = jack_transport_query(self->m_client, &c.position);
            self->m_used.store(used + 1, std::memory_order_release);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    std::vector<Cycle> m_cycles;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::test
