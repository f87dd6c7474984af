#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/transport.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace zumbal::test {

// One MIDI event as a second JACK client received it, on the server's
// absolute frame count (counted on across a change of the period size).
struct CapturedMidi {
    int port = 0; // which input, in the order they were named
    int64_t frame = 0;
    int64_t usecs = 0; // when, on the server's clock (CLOCK_MONOTONIC)
    uint8_t bytes[3] = {};
    int size = 0;
};

// What the transport said at one cycle's first frame, on the server's count.
struct CapturedCycle {
    int64_t serverFrame = 0;
    jack_transport_state_t state = JackTransportStopped;
    jack_position_t position{};
};

// A JACK client that records the MIDI arriving on its inputs, and the
// transport at every cycle, into buffers allocated up front.
class JackMidiCapture {
public:
    JackMidiCapture(int inputs, size_t capacity) : m_events(capacity), m_cycles(capacity) {
        jack_status_t status{};
        m_client = jack_client_open("midicapture", JackNoStartServer, &status);
        if (!m_client)
            return;
        for (int i = 0; i < inputs; ++i)
            m_in.push_back(jack_port_register(m_client, ("in" + std::to_string(i)).c_str(),
                                              JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
        jack_set_process_callback(m_client, &JackMidiCapture::process, this);
        jack_activate(m_client);
    }
    ~JackMidiCapture() {
        if (m_client)
            jack_client_close(m_client);
    }
    bool connect(const char* from, int input) {
        return m_client && jack_connect(m_client, from, jack_port_name(m_in[input])) == 0;
    }
    bool setPeriod(jack_nframes_t frames) {
        return m_client && jack_set_buffer_size(m_client, frames) == 0;
    }
    // The events and the cycles so far; safe to read while capturing.
    std::vector<CapturedMidi> events() const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {m_events.begin(), m_events.begin() + static_cast<std::ptrdiff_t>(n)};
    }
    std::vector<CapturedCycle> cycles() const {
        const size_t n = m_cyclesUsed.load(std::memory_order_acquire);
        return {m_cycles.begin(), m_cycles.begin() + static_cast<std::ptrdiff_t>(n)};
    }

private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackMidiCapture*>(data);
        const jack_nframes_t start = jack_last_frame_time(self->m_client);
        // A new period size moves the server's frame count though no time
        // was lost.
        if (self->m_period != 0 && frames != self->m_period)
            self->m_shift += static_cast<int32_t>(self->m_expected - start);
        self->m_period = frames;
        self->m_expected = start + frames;
        size_t used = self->m_used.load(std::memory_order_relaxed);
        for (size_t port = 0; port < self->m_in.size(); ++port) {
            void* buffer = jack_port_get_buffer(self->m_in[port], frames);
            const jack_nframes_t count = jack_midi_get_event_count(buffer);
            for (jack_nframes_t i = 0; i < count && used < self->m_events.size(); ++i) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) != 0 || event.size > 3)
                    continue;
                CapturedMidi& c = self->m_events[used++];
                c.port = static_cast<int>(port);
                c.frame = static_cast<int64_t>(start) + self->m_shift + event.time;
                c.usecs =
                    static_cast<int64_t>(jack_frames_to_time(self->m_client, start + event.time));
                c.size = static_cast<int>(event.size);
                for (size_t b = 0; b < event.size; ++b)
                    c.bytes[b] = event.buffer[b];
            }
        }
        self->m_used.store(used, std::memory_order_release);
        if (const size_t n = self->m_cyclesUsed.load(std::memory_order_relaxed);
            n < self->m_cycles.size()) {
            CapturedCycle& c = self->m_cycles[n];
            c.serverFrame = static_cast<int64_t>(start) + self->m_shift;
            c.state = jack_transport_query(self->m_client, &c.position);
            self->m_cyclesUsed.store(n + 1, std::memory_order_release);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    std::vector<jack_port_t*> m_in;
    std::vector<CapturedMidi> m_events;
    std::atomic<size_t> m_used{0};
    std::vector<CapturedCycle> m_cycles;
    std::atomic<size_t> m_cyclesUsed{0};
    // Process thread only.
    jack_nframes_t m_period = 0, m_expected = 0;
    int64_t m_shift = 0;
};

} // namespace zumbal::test
