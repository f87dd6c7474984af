#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace zumbal::test {

// A JACK client with one MIDI output that sends messages when asked, all at
// the first frame of its next cycle, and notes that cycle's frame.
class JackMidiSender {
public:
    JackMidiSender() {
        jack_status_t status{};
        m_client = jack_client_open("sender", JackNoStartServer, &status);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &JackMidiSender::process, this);
        jack_activate(m_client);
    }
    ~JackMidiSender() {
        if (m_client)
            jack_client_close(m_client);
    }
    bool connect(const char* to) {
        return m_client && jack_connect(m_client, jack_port_name(m_port), to) == 0;
    }
    // Call again only once sentAt() is no longer -1.
    void send(std::vector<std::vector<uint8_t>> messages) {
        m_sentAt.store(-1);
        m_messages = std::move(messages);
        m_ready.store(true, std::memory_order_release);
    }
    // The server's frame the messages went out on; -1 until they have.
    int64_t sentAt() const { return m_sentAt.load(); }

private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackMidiSender*>(data);
        void* buffer = jack_port_get_buffer(self->m_port, frames);
        jack_midi_clear_buffer(buffer);
        if (self->m_ready.exchange(false, std::memory_order_acq_rel)) {
            for (const std::vector<uint8_t>& m : self->m_messages)
                jack_midi_event_write(buffer, 0, m.data(), m.size());
            self->m_sentAt.store(jack_last_frame_time(self->m_client));
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::vector<std::vector<uint8_t>> m_messages;
    std::atomic<bool> m_ready{false};
    std::atomic<int64_t> m_sentAt{-1};
};

} // namespace zumbal::test
