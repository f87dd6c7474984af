#pragma once

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zumbal::test {

// A second JACK client that records what arrives on its input, frame by
// frame, into a buffer allocated up front.
class JackCapture {
public:
    explicit JackCapture(int64_t frames) : m_left(static_cast<size_t>(frames)) {
        jack_status_t status{};
        m_client = jack_client_open("capture", JackNoStartServer, &status);
        if (!m_client)
            return;
        m_in = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &JackCapture::process, this);
        jack_activate(m_client);
    }
    ~JackCapture() {
        if (m_client)
            jack_client_close(m_client);
    }
    bool connect(const char* from) {
        return m_client && jack_connect(m_client, from, jack_port_name(m_in)) == 0;
    }
    bool full() const { return m_used.load() >= static_cast<int64_t>(m_left.size()); }
    const std::vector<float>& left() const { return m_left; }

private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackCapture*>(data);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->m_in, frames));
        const auto size = static_cast<int64_t>(self->m_left.size());
        int64_t used = self->m_used.load(std::memory_order_relaxed);
        // Cycles missed in an xrun stay in the recording as silence, so that
        // it keeps the server's frame count.
        const jack_nframes_t start = jack_last_frame_time(self->m_client);
        if (used > 0)
            used = std::min(size, used + static_cast<int32_t>(start - self->m_expected));
        self->m_expected = start + frames;
        for (jack_nframes_t i = 0; i < frames && used < size; ++i)
            self->m_left[static_cast<size_t>(used++)] = in[i];
        self->m_used.store(used, std::memory_order_release);
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    std::vector<float> m_left;
    std::atomic<int64_t> m_used{0};
    jack_nframes_t m_expected = 0; // process thread only
};

// Sound rises after at least `quiet` frames of near silence: the same
// threshold finds every hit of one instrument at the same point of its attack.
inline std::vector<int64_t> onsets(const std::vector<float>& signal, int quiet) {
    std::vector<int64_t> found;
    int64_t silentFor = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const float level = std::abs(signal[i]);
        if (level > 0.02f && silentFor >= quiet)
            found.push_back(static_cast<int64_t>(i));
        silentFor = level < 0.004f ? silentFor + 1 : (level > 0.02f ? 0 : silentFor);
    }
    return found;
}

} // namespace zumbal::test
